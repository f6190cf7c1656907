// Whole runs from a file through the transform filters to a file and back,
// linked as the sending and receiving runs link them.

#include "PipelineTestSupport.h"
#include "pipeline/DumbCryptFilter.h"
#include "pipeline/LZCompressFilter.h"
#include "pipeline/SimpleCryptFilter.h"
#include "pipeline/StrongCryptFilter.h"
#include "platform/SystemError.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sys/stat.h>

namespace {

using testing_support::RandomBytes;
using testing_support::ReadFile;
using testing_support::SampleText;

struct ChainKind {
  const char* what;
  bool lz;
  int crypt;  // the encryption type
};

const ChainKind kEveryChain[] = {{"copy", false, 0},    {"LZ", true, 0},
                                 {"crypt", false, 1},   {"LZ+crypt", true, 1},
                                 {"strong", false, 2},  {"LZ+strong", true, 2}};

// The transform filters of one kind of chain, in sending order.
struct Chain {
  explicit Chain(const ChainKind& kind) {
    if (kind.lz) filters.push_back(&lz);
    if (kind.crypt == 1) filters.insert(filters.end(), {&simple, &dumb});
    if (kind.crypt == 2) filters.push_back(&strong);
  }
  Chain(const Chain&) = delete;
  Chain& operator=(const Chain&) = delete;

  CLZCompressFilter lz;
  CSimpleCryptFilter simple;
  CDumbCryptFilter dumb;
  CStrongCryptFilter strong;
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
      {"chunk-1", RandomBytes(CStrongCryptFilter::kChunkSize - 1, 5)},
      {"chunk", RandomBytes(CStrongCryptFilter::kChunkSize, 6)},
      {"chunk+1", RandomBytes(CStrongCryptFilter::kChunkSize + 1, 7)},
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
      const uint64_t payload = kind.lz ? chain.lz.GetBytesOut() : sample.bytes.size();
      if (kind.lz) {
        EXPECT_EQ(chain.lz.GetBytesIn(), sample.bytes.size());
      }
      if (kind.crypt == 2) {
        // The header, then 17 bytes per chunk; an empty payload has one.
        const uint64_t chunk = CStrongCryptFilter::kChunkSize;
        const uint64_t chunks = payload == 0 ? 1 : (payload + chunk - 1) / chunk;
        EXPECT_EQ(stream.size(), 24 + payload + 17 * chunks) << kind.what << " " << sample.what;
      } else {
        EXPECT_EQ(stream.size(), payload) << kind.what << " " << sample.what;
      }
      if (!kind.lz && kind.crypt == 0) {
        EXPECT_TRUE(stream == sample.bytes);
      }
      if (kind.crypt && sample.bytes.size() > 100) {
        EXPECT_NE(stream.substr(0, 100), sample.bytes.substr(0, 100));
      }
      if (kind.lz && kind.crypt == 0 && sample.bytes.size() > 4000000) {
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

// Every damage of a Strong stream fails with 13; a row that does not fit a
// short stream is skipped.
TEST(ChainTest, DamagedStrongStreamsFailWith13) {
  const size_t sealed = CStrongCryptFilter::kChunkSize + 17;
  using Damage = bool (*)(std::string&, size_t sealed);
  const struct {
    const char* what;
    Damage damage;
  } damages[] = {
      {"empty file", [](std::string& s, size_t) { s.clear(); return true; }},
      {"header cut short", [](std::string& s, size_t) { s.resize(10); return true; }},
      {"header only", [](std::string& s, size_t) { s.resize(24); return true; }},
      {"header byte flipped", [](std::string& s, size_t) { s[5] ^= 1; return true; }},
      {"first chunk byte flipped", [](std::string& s, size_t) { s[24] ^= 1; return true; }},
      {"last byte flipped", [](std::string& s, size_t) { s.back() ^= 1; return true; }},
      {"last byte cut", [](std::string& s, size_t) { s.pop_back(); return true; }},
      {"byte after the final chunk", [](std::string& s, size_t) { s += 'x'; return true; }},
      {"cut after a whole chunk",
       [](std::string& s, size_t n) { return s.size() > 24 + n && (s.resize(24 + n), true); }},
      {"chunks swapped",
       [](std::string& s, size_t n) {
         return s.size() > 24 + 2 * n && (std::swap_ranges(&s[24], &s[24 + n], &s[24 + n]), true);
       }},
      {"wrong key", [](std::string&, size_t) { return true; }},
  };
  for (const ChainKind& kind : {kEveryChain[4], kEveryChain[5]}) {
    for (const std::string& input : {std::string(), std::string("q"), RandomBytes(300000, 8)}) {
      Chain chain(kind);
      const std::string encoded = NewTempPath("encoded");
      ASSERT_TRUE(EncodeChain(chain.filters, MakeInputFile(input), encoded));
      for (const auto& row : damages) {
        std::string stream = ReadFile(encoded);
        if (!row.damage(stream, sealed)) continue;
        if (row.what == std::string("wrong key")) chain.strong.GenerateKey();
        SetLastError(0);
        EXPECT_FALSE(DecodeChain(chain.filters, MakeInputFile(stream), NewTempPath("decoded")))
            << kind.what << ", " << input.size() << " bytes, " << row.what;
        EXPECT_EQ(GetLastError(), 13u) << kind.what << ", " << input.size() << " bytes, " << row.what;
      }
    }
  }
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
