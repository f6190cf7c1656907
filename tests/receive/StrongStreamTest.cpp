// Strong encryption seen from outside: the quiver program sends and opens a
// Strong file through nginx, and a second implementation of the stream
// (python3-nacl over libsodium) reads what it publishes.

#include "ReceiveFixture.h"

#include <sys/stat.h>

using namespace testing_support;

namespace {

// Reads a Strong stream as docs/STRONG-STREAM.md describes it; exit 1 on
// any failure, including a stream without its final tag.
const char kReader[] = R"(import sys
from nacl.bindings import (crypto_secretstream_xchacha20poly1305_state as State,
    crypto_secretstream_xchacha20poly1305_init_pull as init_pull,
    crypto_secretstream_xchacha20poly1305_pull as pull,
    crypto_secretstream_xchacha20poly1305_TAG_FINAL as FINAL)
key, data = bytes.fromhex(sys.argv[1]), open(sys.argv[2], 'rb').read()
state, pos, tag, out = State(), 24, None, bytearray()
init_pull(state, data[:24], key)
while pos < len(data):
    message, tag = pull(state, data[pos:pos + 65536 + 17])
    out += message
    pos += 65536 + 17
if tag != FINAL:
    sys.exit(1)
open(sys.argv[3], 'wb').write(out)
)";

const std::string kHeadless = "env -u DISPLAY -u WAYLAND_DISPLAY ";

int Shell(const std::string& command) { return testing_support::Run(command); }

TEST_F(ReceiveTest, AnotherImplementationReadsThePublishedStream) {
  WriteFile(sources + "/reader.py", kReader);
  const std::string content = SampleText(400000) + RandomBytes(100000, 3);
  for (int compress : {0, 1}) {
    SCOPED_TRACE(compress);
    const std::string name = "interop" + std::to_string(compress) + ".txt";
    const std::string pointer = Send(name, content, compress, 2);
    const std::string out = sources + "/out" + std::to_string(compress);
    ASSERT_EQ(Shell(std::string(QVRINFO_EXECUTABLE) + " --key " + pointer + " > " + out + ".key"), 0);
    const std::string key = ReadFile(out + ".key").substr(0, 64);
    const std::string file = published + "/" + name;
    ASSERT_EQ(Shell("/usr/bin/python3 " + sources + "/reader.py " + key + " " + file + " " + out), 0);
    if (compress) {
      ASSERT_EQ(Shell("compress -d -c < " + out + " > " + out + ".Z-d"), 0);
      EXPECT_TRUE(ReadFile(out + ".Z-d") == content);
    } else {
      EXPECT_TRUE(ReadFile(out) == content);
    }
  }
}

// quiver -s with Strong set, then quiver x.qvr: the file arrives whole, the
// pointer file is its owner's alone. Damaged, nothing is launched.
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
  EXPECT_EQ(ReadFile(sources + "/errors"), "Quiver: Problem fetching " + server->BaseUrl() +
                                               "letter.txt: The data is invalid.\n");
  EXPECT_FALSE(Exists(copies + "/copy1"));
}

}  // namespace
