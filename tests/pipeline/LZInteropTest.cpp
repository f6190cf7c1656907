// The LZ filter against ncompress and gzip: what it writes they restore, and
// what compress -b9 ... -b16 writes it restores, CLEAR codes included.

#include "PipelineTestSupport.h"
#include "support/NineBitStream.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

namespace {

using testing_support::RandomBytes;
using testing_support::ReadFile;

using testing_support::SampleText;

struct Input {
  const char* what;
  std::string bytes;
};

// Text whose character changes twice, so that compress's ratio check clears
// the dictionary at every code width.
std::string ChangingData() {
  const std::string text = SampleText(600000);
  return text + RandomBytes(100000, 17) + text;
}

std::vector<Input> Inputs() {
  return {
      {"empty", ""},
      {"one byte", "x"},
      {"ABAB", "ABAB"},
      {"block of zeros", std::string(100000, '\0')},
      {"random", RandomBytes(300000, 23)},
      {"text", SampleText(2500000)},
      {"changing", ChangingData()},
  };
}

TEST(LZInteropTest, UncompressAndGzipRestoreOurStreams) {
  for (const Input& in : Inputs()) {
    const LZRun encoded = RunLZ(in.bytes, true);
    ASSERT_TRUE(encoded.ok) << in.what;
    const std::string z = MakeInputFile(encoded.output);
    const std::string viaUncompress = NewTempPath("uncompress");
    const std::string viaGzip = NewTempPath("gzip");
    ASSERT_EQ(testing_support::Run("compress -d -c < " + z + " > " + viaUncompress), 0) << in.what;
    ASSERT_EQ(testing_support::Run("gzip -dc < " + z + " > " + viaGzip), 0) << in.what;
    EXPECT_TRUE(ReadFile(viaUncompress) == in.bytes) << in.what;
    EXPECT_TRUE(ReadFile(viaGzip) == in.bytes) << in.what;
  }
}

// Inputs that never fill a 9-bit dictionary. Once it is full, compress -b9
// (ncompress 4.2.4.6) assigns codes 512 and 513 and writes them cut to 9
// bits: neither its own uncompress nor gzip can read those streams.
std::vector<Input> SmallInputs() {
  return {{"empty", ""}, {"one byte", "x"}, {"ABAB", "ABAB"}, {"short text", SampleText(400)}};
}

TEST(LZInteropTest, ExpanderRestoresCompressStreamsOfEveryWidth) {
  for (int bits = 9; bits <= 16; ++bits) {
    for (const Input& in : bits == 9 ? SmallInputs() : Inputs()) {
      const std::string plain = MakeInputFile(in.bytes);
      const std::string z = NewTempPath("compressed");
      // compress exits with 2 when the output would be larger; it still
      // writes it with -c.
      const int status = testing_support::Run("compress -b" + std::to_string(bits) + " -c < " +
                                              plain + " > " + z);
      ASSERT_TRUE(status == 0 || status == 2) << bits << " " << in.what;
      const std::string stream = ReadFile(z);
      const LZRun decoded = RunLZ(stream, false);
      ASSERT_TRUE(decoded.ok) << bits << " " << in.what << " error " << decoded.error;
      EXPECT_TRUE(decoded.output == in.bytes) << bits << " " << in.what;
    }
  }
}

TEST(LZInteropTest, CompressClearsAtItsWidestCodesAndWeFollow) {
  const std::string data = ChangingData();
  const std::string plain = MakeInputFile(data);
  for (int bits = 10; bits <= 16; ++bits) {
    const std::string z = NewTempPath("compressed");
    ASSERT_EQ(testing_support::Run("compress -b" + std::to_string(bits) + " -c < " + plain +
                                   " > " + z),
              0);
    const std::string stream = ReadFile(z);
    const ZStream parsed = ParseZ(stream);
    ASSERT_TRUE(parsed.valid) << bits;
    ASSERT_TRUE(parsed.expanded == data) << bits;
    size_t clears = 0;
    for (size_t i = 1; i < parsed.codes.size(); ++i) {
      clears += parsed.codes[i].code == 256 && parsed.codes[i].width == bits;
    }
    EXPECT_GT(clears, 0u) << bits;
    const LZRun decoded = RunLZ(stream, false);
    ASSERT_TRUE(decoded.ok) << bits;
    EXPECT_TRUE(decoded.output == data) << bits;
  }
}

TEST(LZInteropTest, ClearAtNineBitsSkipsTheRestOfItsGroup) {
  // "ABAB", CLEAR, then "CDCD": the width stays 9 across the CLEAR, so only
  // the padding tells where the codes go on.
  const std::string stream = NineBitStream({'A', 'B', 257, 256, 'C', 'D', 257});
  const std::string expected = "ABABCDCD";
  const std::string z = MakeInputFile(stream);
  const std::string viaUncompress = NewTempPath("uncompress");
  const std::string viaGzip = NewTempPath("gzip");
  ASSERT_EQ(testing_support::Run("compress -d -c < " + z + " > " + viaUncompress), 0);
  ASSERT_EQ(testing_support::Run("gzip -dc < " + z + " > " + viaGzip), 0);
  ASSERT_EQ(ReadFile(viaUncompress), expected);
  ASSERT_EQ(ReadFile(viaGzip), expected);
  const LZRun decoded = RunLZ(stream, false);
  ASSERT_TRUE(decoded.ok);
  EXPECT_EQ(decoded.output, expected);
}

}  // namespace
