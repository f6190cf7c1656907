#include "ReceiveFixture.h"

#include "pipeline/GrowthLimitFilter.h"
#include "pipeline/LZCompressFilter.h"
#include "platform/SystemError.h"

#include <algorithm>
#include <unistd.h>

using namespace testing_support;

namespace {

struct Transform {
  int compress, encrypt;
};
const Transform kTransforms[] = {{0, 0}, {1, 0}, {0, 1}, {1, 1}, {0, 2}, {1, 2}};

TEST_F(ReceiveTest, EveryTransformAndSizeComesBackWhole) {
  const std::pair<std::string, std::string> contents[] = {
      {"empty", ""},
      {"one", "x"},
      {"block-1", RandomBytes(8191, 1)},
      {"block", RandomBytes(8192, 2)},
      {"block+1", RandomBytes(8193, 3)},
      {"random", RandomBytes(1 << 20, 4)},
      {"text", SampleText(6 << 20)},
  };
  for (const Transform& t : kTransforms) {
    for (const auto& [label, content] : contents) {
      const std::string pointer = Send(label + ".txt", content, t.compress, t.encrypt);
      uint32_t error = 0;
      const std::string decoded = Fetch(pointer, &error);
      ASSERT_FALSE(decoded.empty()) << label << " with " << t.compress << "/" << t.encrypt << " error " << error;
      EXPECT_TRUE(ReadFile(decoded) == content)
          << label << " with " << t.compress << "/" << t.encrypt;
      unlink(decoded.c_str());
      EXPECT_TRUE(TempFiles().empty()) << label;
    }
  }
}

TEST_F(ReceiveTest, CompressedFilesAreOrdinaryDotZStreams) {
  const std::string content = SampleText(3 << 20) + RandomBytes(300000, 9);
  Send("plain.txt", content, 1, 0);
  const std::string out = MakeDir("unpacked");
  ASSERT_EQ(testing_support::Run("gzip -d -c < '" + published + "/plain.txt' > '" + out + "/gzip'"), 0);
  ASSERT_EQ(testing_support::Run("compress -d -c < '" + published + "/plain.txt' > '" + out + "/uncompress'"), 0);
  EXPECT_TRUE(ReadFile(out + "/gzip") == content);
  EXPECT_TRUE(ReadFile(out + "/uncompress") == content);
}

// LZ goes only where it shrinks the file: what is compressed already, or
// turns so part way, goes as it is, never larger, and comes back whole; the
// pointer file names what was applied.
TEST_F(ReceiveTest, CompressionGoesOnlyWhereItShrinks) {
  const std::string text = SampleText(2 << 20);
  WriteFile(sources + "/text", text);
  ASSERT_EQ(testing_support::Run("cd '" + sources + "' && gzip -c text > gz && compress -c text > Z"),
            0);
  const struct {
    const char* name;
    std::string content;
    bool compressed;
  } rows[] = {{"random.bin", RandomBytes(4 << 20, 31), false},
              {"text.txt", text, true},
              {"archive.gz", ReadFile(sources + "/gz"), false},
              {"old.Z", ReadFile(sources + "/Z"), false},
              {"turning.bin", SampleText(1 << 20) + RandomBytes(3 << 20, 32), false}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    const std::string pointer = Send(row.name, row.content, 1, 0);
    struct stat st;
    ASSERT_EQ(stat((published + "/" + row.name).c_str(), &st), 0);
    EXPECT_LE(static_cast<uint64_t>(st.st_size), row.content.size() + CGrowthLimitFilter::kSlack);
    CPointerDoc doc;
    ASSERT_TRUE(doc.ReadFromFile(pointer));
    EXPECT_EQ(doc.FindFilter<CLZCompressFilter>() != nullptr, row.compressed);
    const std::string decoded = Fetch(pointer);
    EXPECT_TRUE(ReadFile(decoded) == row.content);
    unlink(decoded.c_str());
  }
}

TEST_F(ReceiveTest, DecodedFilesAreNamedAfterTheUrl) {
  const std::string pointer = Send("report.doc", "word", 1, 1);
  const std::string first = Fetch(pointer);
  const std::string second = Fetch(pointer);
  EXPECT_EQ(first, TempDir() + "/report.doc");
  EXPECT_EQ(second, TempDir() + "/repo0000.doc");
  const std::string spaced = Fetch(Send("my report.doc", "spaced", 1, 1));
  EXPECT_EQ(spaced, TempDir() + "/my report.doc");
  EXPECT_EQ(ReadFile(spaced), "spaced");
  const std::string plain = Fetch(Send("notes.txt", "unencoded", 0, 0));
  EXPECT_EQ(plain.substr(plain.size() - 4), ".txt");
  EXPECT_EQ(ReadFile(plain), "unencoded");
  for (const std::string& path : {first, second, spaced, plain}) unlink(path.c_str());
}

// Pre-signed links carry a query; a fragment is the reader's alone. Neither
// may reach the local name, and the server must get the query but never the
// fragment.
TEST_F(ReceiveTest, QueryAndFragmentStayOutOfTheLocalName) {
  for (const Transform& t : {kTransforms[0], kTransforms[3]}) {
    const std::string pointer = Send("r.doc", "signed", t.compress, t.encrypt);
    for (const char* tail : {"?v=2", "#page=3", "?X-Sig=a.b/c#x.y", "#a?b.c"}) {
      const std::string before = server->AccessLog();
      CPointerDoc doc;
      ASSERT_TRUE(doc.ReadFromFile(pointer));
      doc.SetUrl(doc.GetUrl() + tail);
      std::string path;
      ASSERT_TRUE(doc.FetchToTempFile(path)) << tail << " error " << doc.GetError();
      EXPECT_EQ(path.substr(path.size() - (t.compress ? 6 : 4)), t.compress ? "/r.doc" : ".doc");
      EXPECT_EQ(ReadFile(path), "signed") << tail;
      const std::string query = std::string(tail).substr(0, std::string(tail).find('#'));
      const std::string log =
          server->AccessLog(std::count(before.begin(), before.end(), '\n') + 1);
      const std::string last = log.substr(log.rfind('\n', log.size() - 2) + 1);
      EXPECT_NE(last.find("\"GET /r.doc" + query + " HTTP/1.0"), std::string::npos) << last;
      unlink(path.c_str());
    }
    unlink((published + "/r.doc").c_str());
  }
}

TEST_F(ReceiveTest, DamagedPublishedFilesFailWith13AndLeaveNothing) {
  const std::string content = SampleText(200000);
  for (const Transform& t : kTransforms) {
    const std::string name = "cut" + std::to_string(t.compress) + std::to_string(t.encrypt) + ".txt";
    const std::string pointer = Send(name, content, t.compress, t.encrypt);
    const std::string publishedFile = published + "/" + name;
    const std::string full = ReadFile(publishedFile);
    for (const std::string& damaged : {full.substr(0, full.size() / 2), full + "tail"}) {
      WriteFile(publishedFile, damaged);
      uint32_t error = 0;
      EXPECT_EQ(Fetch(pointer, &error), "") << name;
      EXPECT_EQ(error, ERROR_INVALID_DATA) << name;
      EXPECT_TRUE(TempFiles().empty()) << name;
    }
  }
  const std::string pointer = Send("header.txt", content, 1, 0);
  std::string bytes = ReadFile(published + "/header.txt");
  bytes[1] = 'x';
  WriteFile(published + "/header.txt", bytes);
  uint32_t error = 0;
  EXPECT_EQ(Fetch(pointer, &error), "");
  EXPECT_EQ(error, ERROR_INVALID_DATA);
  EXPECT_TRUE(TempFiles().empty());
}

TEST_F(ReceiveTest, FetchFailuresCarryTheirCodes) {
  const std::string dir = MakeDir("pointers");
  auto pointerTo = [&](const std::string& url) {
    CPointerDoc doc;
    doc.SetUrl(url);
    doc.SetSize(3);
    const std::string path = dir + "/p.qvr";
    EXPECT_TRUE(doc.WriteToFile(path));
    return path;
  };
  const std::string refused = "http://127.0.0.1:" + std::to_string(FreePort());
  const std::pair<std::string, uint32_t> cases[] = {
      {server->BaseUrl() + "missing.doc", ERROR_FILE_NOT_FOUND},
      {refused + "/x.doc", ERROR_UNEXP_NET_ERR},
      {refused + "/nodot", ERROR_BAD_PATHNAME},
      {refused + "/dir.d/nodot", ERROR_BAD_PATHNAME},
  };
  for (const auto& [url, code] : cases) {
    uint32_t error = 0;
    EXPECT_EQ(Fetch(pointerTo(url), &error), "") << url;
    EXPECT_EQ(error, code) << url;
    EXPECT_TRUE(TempFiles().empty()) << url;
  }
}

}  // namespace
