// Strong files seen from outside: the quiver program sends and opens one
// through nginx, and python3-nacl reads what it publishes.

#include "ReceiveFixture.h"

#include "support/CuttingProxy.h"

#include <sys/stat.h>

using namespace testing_support;

namespace {

// The Python reader of docs/STRONG-STREAM.md, run on argv: key, file, output.
std::string DocumentedReader() {
  const std::string doc = ReadFile(SourceDir() + "/docs/STRONG-STREAM.md");
  const size_t begin = doc.find("```python\n") + 10;
  return doc.substr(begin, doc.find("```", begin) - begin) +
         "import sys\nopen(sys.argv[3], 'wb').write(read_strong(bytes.fromhex(sys.argv[1]), "
         "open(sys.argv[2], 'rb').read()))\n";
}

const std::string kHeadless = "env -u DISPLAY -u WAYLAND_DISPLAY ";

int Shell(const std::string& command) { return testing_support::Run(command); }

TEST_F(ReceiveTest, AnotherImplementationReadsThePublishedStream) {
  WriteFile(sources + "/reader.py", DocumentedReader());
  const std::string content = SampleText(400000) + RandomBytes(100000, 3);
  for (int compress : {0, 1}) {
    SCOPED_TRACE(compress);
    const std::string name = "interop" + std::to_string(compress) + ".txt";
    const std::string pointer = Send(name, content, compress, 2);
    const std::string out = sources + "/out" + std::to_string(compress);
    ASSERT_EQ(Shell("/usr/bin/python3 " + sources + "/reader.py $(" + QVRINFO_EXECUTABLE + " --key " +
                    pointer + ") " + published + "/" + name + " " + out),
              0);
    ASSERT_EQ(Shell((compress ? "compress -d -c < " : "cat ") + out + " > " + out + ".plain"), 0);
    EXPECT_TRUE(ReadFile(out + ".plain") == content);
  }
}

// quiver -s, then quiver x.qvr; damaged, nothing is launched.
TEST_F(ReceiveTest, TheProgramSendsAndOpensStrongFiles) {
  StoreSettings(1, 2, 1);
  const std::string source = sources + "/letter.txt";
  const std::string content = SampleText(200000);
  WriteFile(source, content);
  const std::string quiver = kHeadless + QUIVER_EXECUTABLE;
  ASSERT_EQ(Shell(quiver + " -s " + source), 0);
  const std::string pointer = sources + "/letter.qvr";
  struct stat st;
  ASSERT_EQ(stat(pointer.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  ASSERT_EQ(Shell(quiver + " " + pointer), 0);
  EXPECT_TRUE(ReadFile(copies + "/copy0") == content);
  EXPECT_TRUE(Exists(copies + "/marker0"));
  EXPECT_TRUE(TempFiles().empty());

  std::string stream = ReadFile(published + "/letter.txt");
  stream[stream.size() / 2] ^= 1;
  WriteFile(published + "/letter.txt", stream);
  ASSERT_EQ(Shell(quiver + " " + pointer + " 2> " + sources + "/errors"), 1);
  EXPECT_EQ(ReadFile(sources + "/errors"),
            "Quiver: Problem fetching " + server->BaseUrl() +
                "letter.txt: The data is invalid. It was damaged or altered in transit: its "
                "Strong encryption does not authenticate it.\n");
  EXPECT_FALSE(Exists(copies + "/copy1"));
}

// quiver x.qvr over a connection that breaks once: the fetch resumes, the
// terminal line (on a terminal that script(1) provides) says so, and the
// original is opened. The pause before the resume is shortened, yet long
// enough for the line, drawn every 100 ms, to show it.
TEST_F(ReceiveTest, TheProgramResumesABrokenFetch) {
  WriteFile(TestRoot() + "/config/w3skua.ini", "[network]\ntimeout=10\nretrywait=400\n");
  const int port = FreePort();
  const auto proxy = StartCuttingProxy(port, server->Port(), 1, 110000);
  settings.urlRoot = "http://127.0.0.1:" + std::to_string(port) + "/";
  StoreSettings(0, 2, 1);
  const std::string content = RandomBytes(400000, 93), quiver = kHeadless + QUIVER_EXECUTABLE;
  WriteFile(sources + "/video.txt", content);
  ASSERT_EQ(Shell(quiver + " -s " + sources + "/video.txt"), 0);
  ASSERT_EQ(Shell("script -qec '" + quiver + " " + sources + "/video.qvr' " + sources +
                  "/terminal > /dev/null"),
            0);
  const std::string terminal = ReadFile(sources + "/terminal");
  EXPECT_NE(terminal.find("Fetching video.txt (connection lost, retrying in 1 s, 1 of 5)"),
            std::string::npos);
  EXPECT_NE(terminal.find("Fetching video.txt (resuming at 27%)"), std::string::npos);
  EXPECT_TRUE(ReadFile(copies + "/copy0") == content);
  EXPECT_TRUE(TempFiles().empty());
}

}  // namespace
