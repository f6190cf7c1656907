// The LZ filter's exact stream, its dictionary reset, its counts and
// description, and the expander's handling of damaged and hostile streams.

#include "PipelineTestSupport.h"
#include "framework/Archive.h"
#include "pipeline/LZCompressFilter.h"
#include "platform/FileHandle.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <random>
#include <stdexcept>

namespace {

using testing_support::RandomBytes;
using testing_support::SampleText;
using testing_support::Bytes;

struct Vector {
  const char* what;
  std::string input;
  std::string stream;
};

TEST(LZCompressFilterTest, ExactStreams) {
  const Vector vectors[] = {
      {"empty", "", Bytes({0x1F, 0x9D, 0x90})},
      {"one byte 0", Bytes({0x00}), Bytes({0x1F, 0x9D, 0x90, 0x00, 0x00})},
      {"one byte x", "x", Bytes({0x1F, 0x9D, 0x90, 'x', 0x00})},
      {"one byte FF", Bytes({0xFF}), Bytes({0x1F, 0x9D, 0x90, 0xFF, 0x00})},
      {"ABAB", "ABAB", Bytes({0x1F, 0x9D, 0x90, 0x41, 0x84, 0x04, 0x04})},
      {"ten A", std::string(10, 'A'), Bytes({0x1F, 0x9D, 0x90, 0x41, 0x02, 0x0A, 0x1C, 0x08})},
  };
  for (const Vector& v : vectors) {
    const LZRun encoded = RunLZ(v.input, true);
    ASSERT_TRUE(encoded.ok) << v.what;
    EXPECT_EQ(encoded.output, v.stream) << v.what;
    EXPECT_EQ(encoded.bytesIn, v.input.size()) << v.what;
    EXPECT_EQ(encoded.bytesOut, v.stream.size()) << v.what;
    EXPECT_EQ(encoded.lastError, 0u) << v.what;

    const LZRun decoded = RunLZ(v.stream, false);
    ASSERT_TRUE(decoded.ok) << v.what;
    EXPECT_EQ(decoded.output, v.input) << v.what;
  }
}

TEST(LZCompressFilterTest, WidensAfterCode512AndFlushesTheGroup) {
  const std::string input = RandomBytes(4000, 11);
  const LZRun encoded = RunLZ(input, true);
  ASSERT_TRUE(encoded.ok);
  const ZStream z = ParseZ(encoded.output);
  ASSERT_TRUE(z.valid);
  EXPECT_EQ(z.expanded, input);
  // Codes 1..256 are 9 bits wide (the 256th assigns code 512); the 257th is
  // the first of 10 bits and starts a fresh group.
  ASSERT_GT(z.codes.size(), 300u);
  EXPECT_EQ(z.codes[255].width, 9);
  EXPECT_EQ(z.codes[256].width, 10);
  EXPECT_EQ(z.codes[256].bitPos, z.codes[256].groupStart);
  EXPECT_EQ(z.codes[256].groupStart, 24u + 32 * 9 * 8);
}

// Finds the first CLEAR of a stream.
size_t FirstClear(const ZStream& z) {
  for (size_t i = 1; i < z.codes.size(); ++i) {
    if (z.codes[i].code == 256) return i;
  }
  return 0;
}

TEST(LZCompressFilterTest, DictionaryResetsAfterCode61439) {
  const std::string input = RandomBytes(300000, 5);
  const LZRun encoded = RunLZ(input, true);
  ASSERT_TRUE(encoded.ok);
  EXPECT_EQ(encoded.bytesOut, encoded.output.size());
  const ZStream z = ParseZ(encoded.output);
  ASSERT_TRUE(z.valid);
  EXPECT_EQ(z.expanded, input);

  // Codes 1 .. 61183 assign 257 .. 61439; code 61184 finds the dictionary
  // full; then the byte that ended it and CLEAR, all at 16 bits.
  const size_t clear = FirstClear(z);
  ASSERT_EQ(clear, 61185u);
  EXPECT_EQ(z.codes[clear].width, 16);
  EXPECT_EQ(z.codes[clear - 1].width, 16);
  EXPECT_LT(z.codes[clear - 1].code, 256u);
  EXPECT_EQ(z.codes[clear - 2].width, 16);
  // The CLEAR's group is written whole (16 bytes) and 9-bit codes follow.
  ASSERT_GT(z.codes.size(), clear + 1);
  EXPECT_EQ(z.codes[clear + 1].width, 9);
  EXPECT_EQ(z.codes[clear + 1].bitPos, z.codes[clear].groupStart + 16 * 8);
  EXPECT_LT(z.codes[clear + 1].code, 256u);

  const LZRun decoded = RunLZ(encoded.output, false);
  ASSERT_TRUE(decoded.ok);
  EXPECT_EQ(decoded.output, input);
}

TEST(LZCompressFilterTest, InputEndingRightAfterTheResetWritesNoFurtherCode) {
  const std::string full = RandomBytes(300000, 5);
  const ZStream z = ParseZ(RunLZ(full, true).output);
  const size_t clear = FirstClear(z);
  ASSERT_GT(clear, 0u);
  const std::string input = full.substr(0, z.codes[clear - 1].decoded);

  const LZRun encoded = RunLZ(input, true);
  ASSERT_TRUE(encoded.ok);
  const ZStream cut = ParseZ(encoded.output);
  ASSERT_EQ(cut.codes.size(), clear + 1);
  EXPECT_EQ(cut.codes.back().code, 256u);
  // Only the bytes that hold the CLEAR are written.
  EXPECT_EQ(encoded.output.size(), (cut.codes.back().bitPos + 16 + 7) / 8);
  EXPECT_EQ(encoded.bytesOut, encoded.output.size());
  EXPECT_EQ(RunLZ(encoded.output, false).output, input);
}

TEST(LZCompressFilterTest, RoundTripsAcrossManyResets) {
  const std::string text = SampleText(3000000);
  const std::string input = text + RandomBytes(200000, 9) + text.substr(0, 500000);
  const LZRun encoded = RunLZ(input, true);
  ASSERT_TRUE(encoded.ok);
  EXPECT_EQ(encoded.bytesIn, input.size());
  EXPECT_EQ(encoded.bytesOut, encoded.output.size());
  const ZStream z = ParseZ(encoded.output);
  size_t clears = 0;
  for (const ZCode& c : z.codes) clears += c.code == 256 && c.width == 16;
  EXPECT_GE(clears, 2u);
  const LZRun decoded = RunLZ(encoded.output, false);
  ASSERT_TRUE(decoded.ok);
  EXPECT_TRUE(decoded.output == input);
}

// FNV-1a, 64 bits.
uint64_t Digest(const std::string& bytes) {
  uint64_t h = 0xCBF29CE484222325ull;
  for (const char b : bytes) h = (h ^ static_cast<uint8_t>(b)) * 0x100000001B3ull;
  return h;
}

// Runs of one byte, from two bytes to a megabyte, between random bytes:
// they end inside strings and at their ends, cross the read buffer and the
// dictionary's resets. Then zeros after a 1, so that strings that start
// with a zero but hold the 1 are pending where runs of zeros go on.
std::string Runs() {
  std::string runs;
  std::mt19937 random(31);
  const size_t lengths[] = {2, 3, 63, 64, 65, 300, 4097, 70000, 262145, size_t{1} << 20};
  for (uint32_t i = 0; i < 60; ++i) {
    const auto byte = static_cast<char>(i % 4 == 0 ? 0 : random());
    runs += std::string(lengths[random() % std::size(lengths)], byte);
    runs += RandomBytes(random() % 30000, i);
  }
  for (uint32_t i = 0; i < 2000; ++i) {
    runs += std::string("\0\1", 2) + std::string(100 + i % 150, '\0');
  }
  return runs;
}

TEST(LZCompressFilterTest, StreamsKeepTheirBytesIncludingGroupPadding) {
  // Every width from 9 to 16, dictionary resets, and groups cut short by a
  // width change, whose padding repeats bytes of earlier groups: the bytes
  // written are those of the encoder as it always was.
  struct Golden {
    const char* what;
    std::string input;
    uint64_t digest;
  };
  const Golden cases[] = {
      {"text and random", SampleText(700000) + RandomBytes(300000, 21), 0xD0D1108AAF3BF3F3ull},
      {"random", RandomBytes(400000, 22), 0x19169DEDB31DCD00ull},
      {"runs", Runs(), 0x97C6684EFEDB0B54ull},
  };
  for (const Golden& g : cases) {
    const LZRun run = RunLZ(g.input, true);
    ASSERT_TRUE(run.ok) << g.what;
    EXPECT_EQ(Digest(run.output), g.digest) << g.what;
    EXPECT_TRUE(RunLZ(run.output, false).output == g.input) << g.what;
  }
}

// Expands `stream` into `collect`; returns the result of the run.
bool ExpandInto(const std::string& stream, CCollectFilter& collect) {
  CLZCompressFilter lz;
  Prepare(lz, false, &collect);
  if (!lz.Open(MakeInputFile(stream))) throw std::runtime_error("cannot open LZ input");
  return lz.Run();
}

TEST(LZCompressFilterTest, LongStringsGrowTheStackAndLeaveInWholeBlocks) {
  // Runs of one byte make strings of up to about 2400 bytes, past three
  // doublings of the stack, and most strings cross a block boundary.
  const std::string input = std::string(3000000, '\0') + SampleText(100000) +
                            std::string(500000, 'r') + RandomBytes(50000, 12);
  const std::string stream = RunLZ(input, true).output;
  CCollectFilter whole;
  ASSERT_TRUE(ExpandInto(stream, whole));
  ASSERT_TRUE(whole.data == input);
  const size_t blocks = (input.size() + CFilter::kBlockSize - 1) / CFilter::kBlockSize;
  std::vector<size_t> sizes(blocks, CFilter::kBlockSize);
  sizes.back() = input.size() - (blocks - 1) * CFilter::kBlockSize;
  EXPECT_EQ(whole.writeSizes, sizes);
}

TEST(LZCompressFilterTest, FailedOutputBlockDropsItselfAndOneByteOnly) {
  // The filter does not examine its writes: a block that fails downstream is
  // lost with the byte that flushed it, and the expansion goes on.
  const size_t block = CFilter::kBlockSize;
  const std::string input = std::string(4 * block, 'z') + SampleText(2 * block);
  const std::string stream = RunLZ(input, true).output;
  for (const size_t failing : {size_t{0}, size_t{2}, size_t{4}}) {
    CCollectFilter collect;
    collect.failingWrites = {failing};
    EXPECT_TRUE(ExpandInto(stream, collect)) << failing;
    const std::string expected =
        input.substr(0, failing * block) + input.substr((failing + 1) * block + 1);
    EXPECT_TRUE(collect.data == expected) << failing;
    EXPECT_EQ(collect.writeSizes.size(), (input.size() - 1) / block + 1) << failing;
  }
}

struct BadStream {
  const char* what;
  std::string stream;
};

TEST(LZCompressFilterTest, BadHeadersAndImpossibleCodesFailWith13) {
  const BadStream cases[] = {
      {"empty", ""},
      {"one byte", Bytes({0x1F})},
      {"no flags byte", Bytes({0x1F, 0x9D})},
      {"wrong magic", Bytes({0x1F, 0x9E, 0x90})},
      {"gzip magic", Bytes({0x1F, 0x8B, 0x08})},
      {"8 bits", Bytes({0x1F, 0x9D, 0x88, 0x41, 0x00})},
      {"0 bits", Bytes({0x1F, 0x9D, 0x80})},
      {"17 bits", Bytes({0x1F, 0x9D, 0x91, 0x41, 0x00})},
      {"31 bits", Bytes({0x1F, 0x9D, 0x9F})},
      // 9-bit codes 0x41, then 0x12C: beyond the next entry 257.
      {"code beyond the next entry", Bytes({0x1F, 0x9D, 0x90, 0x41, 0x58, 0x02})},
      // A first code that is not a byte names nothing.
      {"first code 257", Bytes({0x1F, 0x9D, 0x90, 0x01, 0x01})},
      // CLEAR as the first code, then 0x1FF after it.
      {"code after CLEAR not a byte", Bytes({0x1F, 0x9D, 0x90, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00,
                                             0x00, 0x00, 0x00, 0xFF, 0x01})},
  };
  for (const BadStream& c : cases) {
    const LZRun run = RunLZ(c.stream, false);
    EXPECT_FALSE(run.ok) << c.what;
    EXPECT_EQ(run.error, 13u) << c.what;
    EXPECT_EQ(run.lastError, 13u) << c.what;
  }
}

TEST(LZCompressFilterTest, HeadersOfNineToSixteenBitsAreAccepted) {
  for (int bits = 9; bits <= 16; ++bits) {
    const LZRun run = RunLZ(Bytes({0x1F, 0x9D, 0x80 | bits, 'q', 0x00}), false);
    EXPECT_TRUE(run.ok) << bits;
    EXPECT_EQ(run.output, "q") << bits;
  }
}

TEST(LZCompressFilterTest, StreamsWithoutBlockModeExpand) {
  // Without block mode code 256 is the first dictionary entry: "AB" then
  // code 256 = "AB" again.
  const LZRun run = RunLZ(Bytes({0x1F, 0x9D, 0x10, 0x41, 0x84, 0x00, 0x04}), false);
  ASSERT_TRUE(run.ok);
  EXPECT_EQ(run.output, "ABAB");
}

TEST(LZCompressFilterTest, CutStreamsEndQuietlyWithAPrefix) {
  const std::string input = SampleText(20000) + RandomBytes(3000, 2);
  const std::string stream = RunLZ(input, true).output;
  CLZCompressFilter expander;
  for (size_t cut = 3; cut < stream.size(); cut += 7) {
    const LZRun run = RunLZ(stream.substr(0, cut), false, &expander);
    ASSERT_TRUE(run.ok) << cut;
    ASSERT_LE(run.output.size(), input.size()) << cut;
    ASSERT_EQ(run.output, input.substr(0, run.output.size())) << cut;
  }
}

TEST(LZCompressFilterTest, MutatedStreamsNeverCrashAndFailOnlyWith13) {
  const std::string input = SampleText(6000) + RandomBytes(1500, 3) + SampleText(3000);
  const std::string stream = RunLZ(input, true).output;
  std::mt19937 gen(20240607);
  int failures = 0;
  CLZCompressFilter expander;
  for (int round = 0; round < 3000; ++round) {
    std::string mutated = stream;
    const int edits = 1 + static_cast<int>(gen() % 4);
    for (int e = 0; e < edits; ++e) {
      const size_t at = gen() % mutated.size();
      switch (gen() % 4) {
        case 0: mutated[at] = static_cast<char>(gen()); break;
        case 1: mutated[at] = static_cast<char>(mutated[at] ^ (1 << (gen() % 8))); break;
        case 2: mutated.erase(at, 1 + gen() % 4); break;
        default: mutated.insert(at, 1 + gen() % 4, static_cast<char>(gen())); break;
      }
      if (mutated.size() < 4) mutated = stream;
    }
    const LZRun run = RunLZ(mutated, false, &expander);
    if (!run.ok) {
      ++failures;
      ASSERT_EQ(run.error, 13u) << "round " << round;
    }
  }
  // Most damage is caught as impossible codes; some decodes to other bytes.
  EXPECT_GT(failures, 100);
}

std::string StoredCounts(uint32_t in, uint32_t out) {
  std::string s;
  for (uint32_t v : {in, out}) {
    for (int i = 0; i < 4; ++i) s += static_cast<char>(v >> (8 * i));
  }
  return s;
}

// A filter whose counts were loaded from stored bytes.
std::unique_ptr<CLZCompressFilter> LoadedFilter(uint32_t in, uint32_t out) {
  const std::string path = MakeInputFile(StoredCounts(in, out));
  CFileHandle file;
  EXPECT_TRUE(file.OpenForReading(path, FileShare::None));
  CArchive archive(file, CArchive::Mode::Load);
  auto lz = std::make_unique<CLZCompressFilter>();
  lz->Serialize(archive);
  EXPECT_EQ(archive.GetBytesLeft(), 0u);
  return lz;
}

struct DescriptionCase {
  uint32_t in;
  uint32_t out;
  const char* text;
};

TEST(LZCompressFilterTest, DescriptionShowsUnsignedCountsAndPercent) {
  const DescriptionCase cases[] = {
      {0, 3, "LZ (Lempel-Ziv)"},
      {10000, 4500, "LZ (Lempel-Ziv): 4500/10000 (45%)"},
      {3, 7, "LZ (Lempel-Ziv): 7/3 (233%)"},
      {4000000000u, 4100000000u, "LZ (Lempel-Ziv): 4100000000/4000000000 (102%)"},
      {0xFFFFFFFFu, 0xFFFFFFFFu, "LZ (Lempel-Ziv): 4294967295/4294967295 (100%)"},
      {1, 0xFFFFFFFFu, "LZ (Lempel-Ziv): 4294967295/1 (429496729500%)"},
  };
  for (const DescriptionCase& c : cases) {
    EXPECT_EQ(LoadedFilter(c.in, c.out)->GetDescription(), c.text);
  }
  EXPECT_EQ(CLZCompressFilter().GetDescription(), "LZ (Lempel-Ziv)");
}

TEST(LZCompressFilterTest, DecodingKeepsTheStoredCounts) {
  auto lz = LoadedFilter(10000, 4500);
  CCollectFilter collect;
  Prepare(*lz, false, &collect);
  ASSERT_TRUE(lz->Open(MakeInputFile(RunLZ("abcabcabc", true).output)));
  ASSERT_TRUE(lz->Run());
  EXPECT_EQ(collect.data, "abcabcabc");
  EXPECT_EQ(lz->GetDescription(), "LZ (Lempel-Ziv): 4500/10000 (45%)");
}

TEST(LZCompressFilterTest, CountsSurviveResetAndRerun) {
  CLZCompressFilter lz;
  CCollectFilter collect;
  for (int run = 0; run < 2; ++run) {
    Prepare(lz, true, &collect);
    ASSERT_TRUE(lz.Open(MakeInputFile(std::string(run == 0 ? 100 : 5000, 'z'))));
    ASSERT_TRUE(lz.Run());
  }
  EXPECT_EQ(lz.GetBytesIn(), 5000u);
  lz.Reset();
  EXPECT_EQ(lz.GetBytesIn(), 5000u);
}

TEST(LZCompressFilterTest, FailedExpansionLeavesNothingForTheNextRun) {
  CLZCompressFilter lz;
  CCollectFilter collect;
  const std::string good = RunLZ("hello hello hello", true).output;
  // Whole bytes expand before the impossible code stops the run.
  const std::string bad = good.substr(0, 5) + Bytes({0xFF, 0xFF, 0xFF, 0xFF});
  for (const std::string* stream : {&bad, &good}) {
    Prepare(lz, false, &collect);
    collect.data.clear();
    ASSERT_TRUE(lz.Open(MakeInputFile(*stream)));
    EXPECT_EQ(lz.Run(), stream == &good);
  }
  EXPECT_EQ(collect.data, "hello hello hello");
}

TEST(LZCompressFilterTest, ReadErrorStopsTheRunWithItsCode) {
  CLZCompressFilter lz;
  CCollectFilter collect;
  lz.SetNext(&collect);
  CFileHandle closed;
  lz.Attach(closed);
  EXPECT_FALSE(lz.Run());
  EXPECT_EQ(lz.GetError(), 6u);
  EXPECT_EQ(collect.closes, 0);
}

}  // namespace

namespace {

TEST(LZCompressFilterTest, CountsPassFourGiBAndAreStoredModulo2To32) {
  const std::string path = MakeSparseFile((uint64_t{1} << 32) + 10);
  CCollectFilter end(false);
  CLZCompressFilter lz;
  Prepare(lz, true, &end);
  ASSERT_TRUE(lz.Open(path));
  ASSERT_TRUE(lz.Run());
  EXPECT_EQ(lz.GetBytesIn(), (uint64_t{1} << 32) + 10);
  EXPECT_EQ(lz.GetBytesOut(), end.bytes);
  EXPECT_EQ(lz.GetDescription(), "LZ (Lempel-Ziv): " + std::to_string(end.bytes) +
                                     "/4294967306 (0%)");

  const std::string stored = NewTempPath("stored");
  {
    CFileHandle file;
    ASSERT_TRUE(file.CreateNew(stored, FileShare::None));
    CArchive archive(file, CArchive::Mode::Store);
    lz.Serialize(archive);
    archive.Close();
  }
  const std::string bytes = testing_support::ReadFile(stored);
  ASSERT_EQ(bytes.size(), 8u);
  EXPECT_EQ(bytes.substr(0, 4), std::string("\x0A\0\0\0", 4));
}

}  // namespace
