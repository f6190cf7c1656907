// Whole runs from a file through the transform filters to a file and back,
// linked as the sending and receiving runs link them.

#include "PipelineTestSupport.h"
#include "pipeline/DumbCryptFilter.h"
#include "pipeline/LZCompressFilter.h"
#include "pipeline/SimpleCryptFilter.h"
#include "platform/SystemError.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace {

using testing_support::RandomBytes;
using testing_support::ReadFile;
using testing_support::SampleText;

struct ChainKind {
  const char* what;
  bool lz;
  bool crypt;
};

const ChainKind kEveryChain[] = {
    {"copy", false, false}, {"LZ", true, false}, {"crypt", false, true}, {"LZ+crypt", true, true}};

// The transform filters of one kind of chain, in sending order.
struct Chain {
  explicit Chain(const ChainKind& kind) {
    if (kind.lz) filters.push_back(&lz);
    if (kind.crypt) filters.insert(filters.end(), {&simple, &dumb});
  }
  Chain(const Chain&) = delete;
  Chain& operator=(const Chain&) = delete;

  CLZCompressFilter lz;
  CSimpleCryptFilter simple;
  CDumbCryptFilter dumb;
  std::vector<CFilter*> filters;
};

struct Sample {
  const char* what;
  std::string bytes;
};

TEST(ChainTest, FilesRoundTripThroughEveryChain) {
  const Sample samples[] = {
      {"empty", ""},
      {"1 byte", "q"},
      {"8191", RandomBytes(8191, 1)},
      {"8192", RandomBytes(8192, 2)},
      {"8193", RandomBytes(8193, 3)},
      {"1 MB random", RandomBytes(1 << 20, 4)},
      {"5 MB text", SampleText(5 << 20)},
  };
  for (const ChainKind& kind : kEveryChain) {
    Chain chain(kind);
    const std::vector<CFilter*>& filters = chain.filters;
    for (const Sample& sample : samples) {
      const std::string in = MakeInputFile(sample.bytes);
      const std::string encoded = NewTempPath("encoded");
      const std::string decoded = NewTempPath("decoded");
      ASSERT_TRUE(EncodeChain(filters, in, encoded)) << kind.what << " " << sample.what;
      const std::string stream = ReadFile(encoded);
      if (kind.lz) {
        EXPECT_EQ(chain.lz.GetBytesIn(), sample.bytes.size());
        EXPECT_EQ(chain.lz.GetBytesOut(), stream.size()) << kind.what << " " << sample.what;
      }
      if (!kind.lz && !kind.crypt) {
        EXPECT_TRUE(stream == sample.bytes);
      }
      if (kind.crypt && sample.bytes.size() > 100) {
        EXPECT_NE(stream.substr(0, 100), sample.bytes.substr(0, 100));
      }
      if (kind.lz && !kind.crypt && sample.bytes.size() > 4000000) {
        // Long enough to pass the dictionary reset.
        size_t clears = 0;
        for (const ZCode& c : ParseZ(stream).codes) clears += c.code == 256;
        EXPECT_GE(clears, 1u);
      }
      ASSERT_TRUE(DecodeChain(filters, encoded, decoded)) << kind.what << " " << sample.what;
      EXPECT_TRUE(ReadFile(decoded) == sample.bytes) << kind.what << " " << sample.what;
    }
  }
}

TEST(ChainTest, DamagedStreamFailsTheDecodingRunWith13) {
  CLZCompressFilter lz;
  CSimpleCryptFilter simple;
  CDumbCryptFilter dumb;
  const std::vector<CFilter*> filters = {&lz, &simple, &dumb};
  const std::string encoded = NewTempPath("encoded");
  ASSERT_TRUE(EncodeChain(filters, MakeInputFile(SampleText(50000)), encoded));
  // Flip the magic byte under both crypt steps.
  std::string stream = ReadFile(encoded);
  stream[0] = static_cast<char>(stream[0] ^ 0x40);
  SetLastError(0);
  EXPECT_FALSE(DecodeChain(filters, MakeInputFile(stream), NewTempPath("decoded")));
  EXPECT_EQ(GetLastError(), 13u);
}

// /dev/full refuses every write with ENOSPC, as a full disk does: every
// chain fails with the disk's own code, in both directions, however far the
// failure is from the filter that reports it.
TEST(ChainTest, AFullDiskFailsEveryChainWith112) {
  const std::string input = SampleText(300000);
  // Written through, never created: the test needs the device itself.
  struct stat device;
  ASSERT_EQ(stat("/dev/full", &device), 0);
  ASSERT_TRUE(S_ISCHR(device.st_mode));
  for (const ChainKind& kind : kEveryChain) {
    Chain chain(kind);
    const std::vector<CFilter*>& filters = chain.filters;
    SetLastError(0);
    EXPECT_FALSE(EncodeChain(filters, MakeInputFile(input), "/dev/full")) << kind.what;
    EXPECT_EQ(GetLastError(), 112u) << kind.what;

    const std::string encoded = NewTempPath("encoded");
    ASSERT_TRUE(EncodeChain(filters, MakeInputFile(input), encoded)) << kind.what;
    SetLastError(0);
    EXPECT_FALSE(DecodeChain(filters, encoded, "/dev/full")) << kind.what;
    EXPECT_EQ(GetLastError(), 112u) << kind.what;
  }
}

TEST(ChainTest, MissingSourceFileFailsWithItsCode) {
  CLZCompressFilter lz;
  SetLastError(0);
  EXPECT_FALSE(EncodeChain({&lz}, NewTempPath("missing"), NewTempPath("encoded")));
  EXPECT_EQ(GetLastError(), 2u);
}

}  // namespace
