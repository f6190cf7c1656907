#include "app/PointerDoc.h"
#include "app/Settings.h"
#include "framework/Archive.h"
#include "pipeline/DumbCryptFilter.h"
#include "pipeline/LZCompressFilter.h"
#include "pipeline/SimpleCryptFilter.h"
#include "pipeline/StrongCryptFilter.h"
#include "platform/FileHandle.h"
#include "platform/SystemError.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fcntl.h>
#include <new>
#include <string_view>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace testing_support;

namespace {

std::string ClassTag(const std::string& name) {
  return Bytes({0xFF, 0xFF, 0x01, 0x00, static_cast<int>(name.size()), 0x00}) + name;
}

// A default-chain pointer file put together byte by byte.
std::string DefaultChainFile(const std::string& url, const std::string& key, int dumbKey) {
  return Bytes({0x05, 0x6C, 0x72, 0x75, 0x10, 0x27, 0x00, 0x00}) +
         static_cast<char>(url.size()) + url + Bytes({0x03, 0x00}) +
         ClassTag("CLZCompressFilter") + Bytes({0x10, 0x27, 0, 0, 0x94, 0x11, 0, 0}) +
         ClassTag("CSimpleCryptFilter") + static_cast<char>(key.size()) + key +
         ClassTag("CDumbCryptFilter") + static_cast<char>(dumbKey);
}

class PointerFileTest : public ::testing::Test {
 protected:
  std::string Write(CPointerDoc& doc) {
    const std::string path = dir + "/out.qvr";
    EXPECT_TRUE(doc.WriteToFile(path));
    return ReadFile(path);
  }

  // Reads `bytes` as a pointer file; expects it rejected as badly formed.
  void ExpectRejected(const std::string& bytes, const std::string& label) {
    const std::string path = dir + "/bad.qvr";
    WriteFile(path, bytes);
    CPointerDoc doc;
    doc.BuildChain(CSettings());
    EXPECT_FALSE(doc.ReadFromFile(path)) << label;
    EXPECT_EQ(doc.GetError(), ERROR_INVALID_DATA) << label;
    EXPECT_EQ(doc.GetUrl(), "Bad File Format!") << label;
    EXPECT_TRUE(doc.GetFilters().empty()) << label;
  }

  std::string dir = MakeDir("qvr");
};

TEST_F(PointerFileTest, NoFiltersIsThirtyOneBytes) {
  CPointerDoc doc;
  doc.SetSize(1234);
  doc.SetUrl("http://h/abcdefghijk");
  EXPECT_EQ(Write(doc), Bytes({0x05, 0x6C, 0x72, 0x75, 0xD2, 0x04, 0, 0, 20}) +
                            "http://h/abcdefghijk" + Bytes({0, 0}));
  CPointerDoc back;
  ASSERT_TRUE(back.ReadFromFile(dir + "/out.qvr"));
  EXPECT_EQ(back.GetSize(), 1234u);
  EXPECT_EQ(back.GetUrl(), "http://h/abcdefghijk");
  EXPECT_TRUE(back.GetFilters().empty());
  EXPECT_EQ(back.GetCompressionDescription(), "None: 1234 bytes");
  EXPECT_EQ(back.GetEncryptionDescription(), "None");
}

TEST_F(PointerFileTest, DefaultChainIsNinetyPlusUrlPlusKey) {
  const std::string key = Bytes({1, 0, 2, 0xFF, 3, 4, 0, 5, 6, 7, 8});
  const std::string expected = DefaultChainFile("http://host/r.doc", key, 0xAB);
  ASSERT_EQ(expected.size(), 90u + 17 + key.size());
  WriteFile(dir + "/in.qvr", expected);
  CPointerDoc doc;
  ASSERT_TRUE(doc.ReadFromFile(dir + "/in.qvr"));
  ASSERT_EQ(doc.GetFilters().size(), 3u);
  auto* simple = static_cast<CSimpleCryptFilter*>(doc.GetFilters()[1].get());
  EXPECT_EQ(simple->GetKey(), key);
  EXPECT_EQ(static_cast<CDumbCryptFilter*>(doc.GetFilters()[2].get())->GetKeyByte(), 0xAB);
  EXPECT_EQ(doc.GetCompressionDescription(), "LZ (Lempel-Ziv): 4500/10000 (45%)");
  EXPECT_EQ(doc.GetEncryptionDescription(), "Simple");
  EXPECT_EQ(Write(doc), expected);
}

TEST_F(PointerFileTest, FreshChainsCarryFreshKeys) {
  CSettings settings;
  settings.encryptType = 1;
  CPointerDoc a, b;
  a.BuildChain(settings);
  b.BuildChain(settings);
  const auto& ka = static_cast<CSimpleCryptFilter*>(a.GetFilters()[1].get())->GetKey();
  const auto& kb = static_cast<CSimpleCryptFilter*>(b.GetFilters()[1].get())->GetKey();
  EXPECT_NE(ka, kb);
  EXPECT_GE(ka.size(), 10u);
  EXPECT_LE(ka.size(), 19u);
  a.SetUrl("u");
  EXPECT_EQ(Write(a).size(), 90u + 1 + ka.size());
}

// LZ + Strong: 11 + L up to the count, 31 for LZ, 57 for the Strong object
// (its key a counted string of 32 bytes). The file is the secret: 0600, also
// when it replaces a file that others could read.
TEST_F(PointerFileTest, StrongChainIsExactAndOnlyForItsOwner) {
  CSettings settings;
  settings.encryptType = 2;
  CPointerDoc doc;
  doc.BuildChain(settings);
  doc.SetUrl("http://h/r.doc");
  const auto& key = static_cast<CStrongCryptFilter*>(doc.GetFilters()[1].get())->GetKey();
  const std::string path = dir + "/out.qvr";
  WriteFile(path, "older");
  ASSERT_EQ(chmod(path.c_str(), 0644), 0);
  const std::string bytes = Write(doc);
  EXPECT_EQ(bytes.size(), 11u + 14 + 31 + 57);
  EXPECT_EQ(bytes.substr(bytes.size() - 57),
            ClassTag("CStrongCryptFilter") + " " + std::string(key.begin(), key.end()));
  struct stat st;
  ASSERT_EQ(stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  CPointerDoc back;
  ASSERT_TRUE(back.ReadFromFile(path));
  ASSERT_EQ(back.GetFilters().size(), 2u);
  EXPECT_EQ(static_cast<CStrongCryptFilter*>(back.GetFilters()[1].get())->GetKey(), key);
  EXPECT_EQ(back.GetEncryptionDescription(), "Strong (XChaCha20-Poly1305)");
}

TEST_F(PointerFileTest, UrlLengthPrefixes) {
  const std::pair<size_t, std::string> cases[] = {
      {254, Bytes({0xFE})},
      {255, Bytes({0xFF, 0xFF, 0x00})},
      {65533, Bytes({0xFF, 0xFD, 0xFF})},
      {65534, Bytes({0xFF, 0xFF, 0xFF, 0xFE, 0xFF, 0x00, 0x00})},
  };
  for (const auto& [length, prefix] : cases) {
    CPointerDoc doc;
    doc.SetUrl(std::string(length, 'u'));
    const std::string bytes = Write(doc);
    EXPECT_EQ(bytes.substr(8, prefix.size()), prefix) << length;
    EXPECT_EQ(bytes.size(), 8 + prefix.size() + length + 2) << length;
    CPointerDoc back;
    ASSERT_TRUE(back.ReadFromFile(dir + "/out.qvr"));
    EXPECT_EQ(back.GetUrl().size(), length);
  }
}

TEST_F(PointerFileTest, ReadingReplacesTheFiltersItHad) {
  CPointerDoc none;
  none.SetUrl("http://h/x.doc");
  Write(none);
  CPointerDoc doc;
  doc.BuildChain(CSettings());
  ASSERT_EQ(doc.GetFilters().size(), 2u);
  ASSERT_TRUE(doc.ReadFromFile(dir + "/out.qvr"));
  EXPECT_TRUE(doc.GetFilters().empty());
}

TEST_F(PointerFileTest, EveryKindOfDamageIsABadFormat) {
  const std::string good = DefaultChainFile("http://h/r.doc", "0123456789", 7);
  std::string wrongMagic = good;
  for (int first : {0x04, 0x06, 0x00}) {
    wrongMagic[0] = static_cast<char>(first);
    ExpectRejected(wrongMagic, "magic");
  }
  for (size_t cut = 0; cut < good.size(); ++cut) {
    ExpectRejected(good.substr(0, cut), "cut at " + std::to_string(cut));
  }
  std::string lowerCase = good;
  lowerCase.replace(lowerCase.find("CLZCompress"), 4, "CLzC");
  ExpectRejected(lowerCase, "class name case");
  std::string schema2 = good;
  schema2[schema2.find("CLZ") - 4] = 2;
  ExpectRejected(schema2, "schema 2");

  const std::string head = good.substr(0, 8 + 1 + 14);
  const std::string lzObject = ClassTag("CLZCompressFilter") + std::string(8, '\0');
  const std::string dumbObject = ClassTag("CDumbCryptFilter") + Bytes({1});
  const std::string simpleObject = ClassTag("CSimpleCryptFilter") + "\x0a" + std::string(10, 's');
  const std::string strongObject = ClassTag("CStrongCryptFilter") + " " + std::string(32, 'k');
  const std::pair<std::string, std::string> lists[] = {
      {"64-byte name", Bytes({1, 0, 0xFF, 0xFF, 1, 0, 64, 0}) + std::string(64, 'C')},
      {"sink filter", Bytes({1, 0}) + ClassTag("CSinkFilter")},
      {"source filter", Bytes({1, 0}) + ClassTag("CSourceFilter")},
      {"base filter", Bytes({1, 0}) + ClassTag("CFilter")},
      {"unknown class", Bytes({1, 0}) + ClassTag("CMysteryFilter")},
      {"no object", Bytes({1, 0, 0, 0})},
      {"object reference", Bytes({2, 0}) + lzObject + Bytes({2, 0})},
      {"unassigned class index", Bytes({1, 0, 0x01, 0x80})},
      {"large class index", Bytes({1, 0, 0xFF, 0x7F, 5, 0, 0, 0x80})},
      {"same filter twice", Bytes({2, 0}) + lzObject + Bytes({1, 0x80}) + std::string(8, '\0')},
      {"wrong order", Bytes({2, 0}) + dumbObject + lzObject},
      {"four filters", Bytes({4, 0}) + lzObject + dumbObject + dumbObject + dumbObject},
      {"strong before LZ", Bytes({2, 0}) + strongObject + lzObject},
      {"strong after simple", Bytes({3, 0}) + simpleObject + dumbObject + strongObject},
      {"strong after dumb", Bytes({2, 0}) + dumbObject + strongObject},
      {"strong key of 31", Bytes({1, 0}) + ClassTag("CStrongCryptFilter") + "\x1f" +
                               std::string(31, 'k')},
      {"strong key of 33", Bytes({1, 0}) + ClassTag("CStrongCryptFilter") + "!" +
                               std::string(33, 'k')},
      {"absurd count", Bytes({0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x7F}) + lzObject},
      {"absurd name length", Bytes({1, 0, 0xFF, 0xFF, 1, 0, 0xFF, 0xFF})},
  };
  for (const auto& [label, list] : lists) ExpectRejected(head + list, label);
  for (const std::string& url : {std::string("http://h/r.qvr\0.doc", 19),
                                 std::string("http://h/r\x1f.doc"), std::string("h/\nr.doc")}) {
    ExpectRejected(DefaultChainFile(url, "0123456789", 7), "control byte");
  }
  ExpectRejected(Bytes({5, 0x6C, 0x72, 0x75, 0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x7F}),
                 "absurd url length");
  ExpectRejected(Bytes({5, 0x6C, 0x72, 0x75, 0, 0, 0, 0, 0xFF, 0xFE, 0xFF, 0xFF, 0xFF, 0xFF,
                        0xFF, 0x7F}),
                 "absurd wide url length");
}

TEST_F(PointerFileTest, AWideUrlIsReadAsText) {
  const std::string file = Bytes({5, 0x6C, 0x72, 0x75, 1, 0, 0, 0, 0xFF, 0xFE, 0xFF, 3}) +
                           Bytes({'h', 0, 0xE9, 0, '.', 0}) + Bytes({0, 0});
  WriteFile(dir + "/wide.qvr", file);
  CPointerDoc doc;
  ASSERT_TRUE(doc.ReadFromFile(dir + "/wide.qvr"));
  EXPECT_EQ(doc.GetUrl(), "h\xC3\xA9.");
}

// A hostile file with huge counts and lengths must not make the reader
// allocate memory for them.
TEST_F(PointerFileTest, HostileCountsAllocateNothingBig) {
  struct rusage before;
  getrusage(RUSAGE_SELF, &before);
  for (int i = 0; i < 50; ++i) {
    ExpectRejected(Bytes({5, 0x6C, 0x72, 0x75, 0, 0, 0, 0, 1, 'x', 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
                          0x7F}) + std::string(64, '\xFF'),
                   "huge");
  }
  struct rusage after;
  getrusage(RUSAGE_SELF, &after);
  EXPECT_LT(after.ru_maxrss - before.ru_maxrss, 16 * 1024);  // kilobytes
}

// Whatever stands at a pointer file's name is replaced, never written
// through, and only when it is a regular file; a refused or failed write
// leaves no file of its own. The key makes the new file its owner's alone.
TEST_F(PointerFileTest, OnlyARegularFileAtTheNameIsReplaced) {
  const std::string outside = MakeDir("outside"), victim = outside + "/victim.txt";
  WriteFile(victim, "someone's");
  const struct {
    std::string plant, name;
    uint32_t error;
    std::vector<std::string> left;
  } cases[] = {
      {"true", "x.qvr", 0, {"x.qvr"}},
      {"echo older > x.qvr && chmod 644 x.qvr", "x.qvr", 0, {"x.qvr"}},
      {"ln -s " + victim + " x.qvr", "x.qvr", ERROR_ACCESS_DENIED, {"x.qvr"}},
      {"ln -s " + outside + "/new.txt x.qvr", "x.qvr", ERROR_ACCESS_DENIED, {"x.qvr"}},
      {"mkfifo x.qvr", "x.qvr", ERROR_ACCESS_DENIED, {"x.qvr"}},
      {"mkdir x.qvr", "x.qvr", ERROR_ACCESS_DENIED, {"x.qvr"}},
      {"true", "missing/x.qvr", ERROR_PATH_NOT_FOUND, {}},
  };
  CSettings settings;
  settings.encryptType = 2;
  CPointerDoc doc;
  doc.BuildChain(settings);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.plant);
    const std::string folder = MakeDir("target"), target = folder + "/" + c.name;
    ASSERT_EQ(testing_support::Run("cd " + folder + " && " + c.plant), 0);
    struct stat st;
    const bool pipe = lstat(target.c_str(), &st) == 0 && S_ISFIFO(st.st_mode);
    const int reader = pipe ? open(target.c_str(), O_RDONLY | O_NONBLOCK) : -1;
    EXPECT_EQ(doc.WriteToFile(target), c.error == 0);
    EXPECT_EQ(doc.GetError(), c.error);
    EXPECT_EQ(ListDir(folder), c.left);
    EXPECT_EQ(ListDir(outside), std::vector<std::string>{"victim.txt"});
    EXPECT_EQ(ReadFile(victim), "someone's");
    if (pipe) {
      char got;
      EXPECT_LE(read(reader, &got, 1), 0);
      close(reader);
    }
    if (c.error == 0) {
      ASSERT_EQ(lstat(target.c_str(), &st), 0);
      EXPECT_EQ(st.st_mode, S_IFREG | 0600u);
    }
  }
}

// The archive that read a Strong key keeps no copy of it once it is gone.
TEST_F(PointerFileTest, ReadingLeavesNoCopyOfTheStrongKey) {
  CPointerDoc doc;
  doc.AddFilter(std::make_unique<CStrongCryptFilter>());
  const auto& key = static_cast<CStrongCryptFilter*>(doc.GetFilters()[0].get())->GetKey();
  Write(doc);
  CFileHandle file;
  ASSERT_TRUE(file.OpenForReading(dir + "/out.qvr", FileShare::None));
  alignas(CArchive) char storage[sizeof(CArchive)];
  CPointerDoc().Serialize(*new (storage) CArchive(file, CArchive::Mode::Load));
  reinterpret_cast<CArchive*>(storage)->~CArchive();
  EXPECT_EQ(std::string_view(storage, sizeof storage)
                .find(std::string_view(reinterpret_cast<const char*>(key.data()), key.size())),
            std::string_view::npos);
}

TEST_F(PointerFileTest, OpenAndWriteFailuresKeepTheirCodes) {
  CPointerDoc doc;
  doc.SetUrl("http://h/x.doc");
  WriteFile(dir + "/held.qvr", "someone's");
  CFileHandle holder;
  ASSERT_TRUE(holder.OpenForReading(dir + "/held.qvr", FileShare::Read));
  EXPECT_FALSE(doc.ReadFromFile(dir + "/held.qvr"));
  EXPECT_EQ(doc.GetError(), ERROR_SHARING_VIOLATION);
  EXPECT_EQ(doc.GetUrl(), "http://h/x.doc");

  EXPECT_FALSE(doc.ReadFromFile(dir + "/absent.qvr"));
  EXPECT_EQ(doc.GetError(), ERROR_FILE_NOT_FOUND);
  EXPECT_TRUE(doc.WriteToFile(dir + "/fine.qvr"));
  EXPECT_EQ(doc.GetError(), 0u);
}

// Pointer files made byte by byte from the format, not by the writer, one
// for every chain the program makes and one with a wide URL: each reads as
// what it holds, and each written back is the same file (a wide URL comes
// back narrow, the only form the writer makes).
struct GoldenCase {
  const char* file;
  const char* url;
  const char* compression;
  const char* encryption;
  bool rewrittenSame;
};

void PrintTo(const GoldenCase& c, std::ostream* os) { *os << c.file; }

class GoldenPointerFileTest : public ::testing::TestWithParam<GoldenCase> {};

TEST_P(GoldenPointerFileTest, ReadsAsWhatItHoldsAndWritesBackTheSameBytes) {
  const GoldenCase& c = GetParam();
  const std::string path = SourceDir() + "/tests/app/golden/" + c.file;
  CPointerDoc doc;
  ASSERT_TRUE(doc.ReadFromFile(path)) << doc.GetError();
  EXPECT_EQ(doc.GetUrl(), c.url);
  EXPECT_EQ(doc.GetSize(), 10000u);
  EXPECT_EQ(doc.GetCompressionDescription(), c.compression);
  EXPECT_EQ(doc.GetEncryptionDescription(), c.encryption);
  const std::string out = MakeDir("golden") + "/out.qvr";
  ASSERT_TRUE(doc.WriteToFile(out));
  EXPECT_EQ(ReadFile(out) == ReadFile(path), c.rewrittenSame);
  CPointerDoc back;
  ASSERT_TRUE(back.ReadFromFile(out));
  EXPECT_EQ(back.GetUrl(), c.url);
  EXPECT_EQ(back.GetEncryptionDescription(), c.encryption);
}

constexpr char kUrl[] = "http://example.org/f/report.doc";
constexpr char kLZ[] = "LZ (Lempel-Ziv): 4500/10000 (45%)";
constexpr char kStrong[] = "Strong (XChaCha20-Poly1305)";

INSTANTIATE_TEST_SUITE_P(
    Chains, GoldenPointerFileTest,
    ::testing::Values(GoldenCase{"none.qvr", kUrl, "None: 10000 bytes", "None", true},
                      GoldenCase{"lz.qvr", kUrl, kLZ, "None", true},
                      GoldenCase{"simple.qvr", kUrl, "None: 10000 bytes", "Simple", true},
                      GoldenCase{"lz-simple.qvr", kUrl, kLZ, "Simple", true},
                      GoldenCase{"strong.qvr", kUrl, "None: 10000 bytes", kStrong, true},
                      GoldenCase{"lz-strong.qvr", kUrl, kLZ, kStrong, true},
                      GoldenCase{"wide-lz-simple.qvr", "http://example.org/f/r\xC3\xA9sum\xC3\xA9.doc",
                                 kLZ, "Simple", false}),
    [](const auto& row) {
      std::string name = row.param.file;
      name.resize(name.size() - 4);
      std::replace(name.begin(), name.end(), '-', '_');
      return name;
    });

}  // namespace
