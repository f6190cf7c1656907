// The two crypt filters: key making, byte arithmetic, key wrap, round trips,
// and Write of whole spans against PutByte of each byte.

#include "PipelineTestSupport.h"
#include "pipeline/DumbCryptFilter.h"
#include "pipeline/SimpleCryptFilter.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <set>

namespace {

using testing_support::Data;

// Runs `filter` once over `input` in the given direction.
std::string Through(CFilter& filter, const std::string& input, bool encode) {
  CCollectFilter end;
  Prepare(filter, encode, &end);
  EXPECT_TRUE(filter.Write(Data(input), input.size()));
  EXPECT_TRUE(filter.Close());
  return end.data;
}

TEST(CryptFilterTest, SimpleKeysHaveTenToNineteenRandomBytes) {
  std::set<size_t> lengths;
  std::set<std::string> keys;
  for (int i = 0; i < 300; ++i) {
    CSimpleCryptFilter filter;
    const std::string& key = filter.GetKey();
    ASSERT_GE(key.size(), 10u);
    ASSERT_LE(key.size(), 19u);
    lengths.insert(key.size());
    keys.insert(key);
  }
  EXPECT_EQ(keys.size(), 300u);
  // 300 draws miss one of ten lengths with a chance of about 1e-13.
  EXPECT_EQ(lengths.size(), 10u);
}

TEST(CryptFilterTest, DumbKeysTakeManyValues) {
  std::set<uint8_t> keys;
  for (int i = 0; i < 300; ++i) keys.insert(CDumbCryptFilter().GetKeyByte());
  EXPECT_GT(keys.size(), 150u);
}

TEST(CryptFilterTest, SimpleKeyWrapsAtItsLength) {
  CSimpleCryptFilter filter;
  const std::string key = "\x01\x02\x03\x04\x05\x06\x07\x08\x09\x00";
  filter.SetKey(std::string(key.data(), 10));
  const std::string zeros(25, '\0');
  const std::string out = Through(filter, zeros, true);
  ASSERT_EQ(out.size(), 25u);
  for (size_t i = 0; i < out.size(); ++i) EXPECT_EQ(out[i], key[i % 10]) << i;
  // Every run starts again at key byte 0.
  EXPECT_EQ(Through(filter, zeros, true), out);
}

TEST(CryptFilterTest, EmptySimpleKeyChangesNothing) {
  CSimpleCryptFilter filter;
  filter.SetKey("");
  EXPECT_EQ(Through(filter, "unchanged", true), "unchanged");
}

struct DumbCase {
  uint8_t key;
  uint8_t in;
  uint8_t encoded;
  uint8_t decoded;
};

TEST(CryptFilterTest, DumbAddsWhenEncodingAndSubtractsWhenDecoding) {
  const DumbCase cases[] = {
      {255, 0, 255, 1}, {0, 0x7F, 0x7F, 0x7F}, {1, 255, 0, 254}, {128, 200, 72, 72},
  };
  for (const DumbCase& c : cases) {
    CDumbCryptFilter filter;
    filter.SetKeyByte(c.key);
    const std::string in(1, static_cast<char>(c.in));
    EXPECT_EQ(static_cast<uint8_t>(Through(filter, in, true)[0]), c.encoded) << int(c.key);
    EXPECT_EQ(static_cast<uint8_t>(Through(filter, in, false)[0]), c.decoded) << int(c.key);
  }
}

TEST(CryptFilterTest, DescriptionsNameOnlyTheSimpleFilter) {
  EXPECT_EQ(CSimpleCryptFilter().GetDescription(), "Simple");
  EXPECT_EQ(CDumbCryptFilter().GetDescription(), "");
}

TEST(CryptFilterTest, PairRoundTrips) {
  CSimpleCryptFilter simple;
  CDumbCryptFilter dumb;
  for (size_t size : {0, 1, 8191, 8192, 8193, 100000}) {
    const std::string input = testing_support::RandomBytes(size, static_cast<uint32_t>(size));
    CCollectFilter encoded;
    Prepare(dumb, true, &encoded);
    Prepare(simple, true, &dumb);
    ASSERT_TRUE(simple.Write(Data(input), input.size()));
    ASSERT_TRUE(simple.Close());
    ASSERT_EQ(encoded.data.size(), size);
    if (size > 100) {
      EXPECT_NE(encoded.data, input);
    }

    CCollectFilter decoded;
    Prepare(simple, false, &decoded);
    Prepare(dumb, false, &simple);
    ASSERT_TRUE(dumb.Write(Data(encoded.data), encoded.data.size()));
    ASSERT_TRUE(dumb.Close());
    EXPECT_TRUE(decoded.data == input) << size;
  }
}

// One crypt filter set up for a run: which one, its key and its direction.
struct CryptCase {
  const char* what;
  std::function<std::unique_ptr<CFilter>()> make;
  bool encode;
};

std::unique_ptr<CFilter> Simple(std::string key) {
  auto filter = std::make_unique<CSimpleCryptFilter>();
  filter->SetKey(std::move(key));
  return filter;
}

std::unique_ptr<CFilter> Dumb(uint8_t key) {
  auto filter = std::make_unique<CDumbCryptFilter>();
  filter->SetKeyByte(key);
  return filter;
}

std::vector<CryptCase> CryptCases() {
  const std::string key19 = testing_support::RandomBytes(19, 77);
  const std::string key300 = testing_support::RandomBytes(300, 78);
  return {
      {"simple, 10-byte key", [] { return Simple(testing_support::RandomBytes(10, 76)); }, true},
      {"simple, 19-byte key", [key19] { return Simple(key19); }, true},
      {"simple, 19-byte key, decoding", [key19] { return Simple(key19); }, false},
      {"simple, 300-byte stored key", [key300] { return Simple(key300); }, true},
      {"simple, empty key", [] { return Simple(""); }, true},
      {"dumb, encoding", [] { return Dumb(0xA7); }, true},
      {"dumb, decoding", [] { return Dumb(0xA7); }, false},
      {"dumb, key 255, decoding", [] { return Dumb(0xFF); }, false},
  };
}

// What a sequence of calls did: the result of each and what reached the end.
struct Outcome {
  std::vector<bool> results;
  std::string data;
  std::vector<size_t> writeSizes;
  bool closed = false;

  bool operator==(const Outcome&) const = default;
};

// Feeds `input` to a new filter of `c` in consecutive spans of the given
// lengths and closes it. A span goes in with one Write, or (byteWise) with
// PutByte of each byte up to the first that fails, which is what the
// CBufferFilter Write does. `failing` lists the downstream writes that fail.
Outcome Feed(const CryptCase& c, const std::string& input, const std::vector<size_t>& spans,
             bool byteWise, const std::set<size_t>& failing = {}) {
  const std::unique_ptr<CFilter> filter = c.make();
  CCollectFilter end;
  end.failingWrites = failing;
  Prepare(*filter, c.encode, &end);
  Outcome outcome;
  size_t at = 0;
  for (const size_t span : spans) {
    const uint8_t* bytes = Data(input) + at;
    at += span;
    if (!byteWise) {
      outcome.results.push_back(filter->Write(bytes, span));
      continue;
    }
    bool ok = true;
    for (size_t i = 0; i < span && ok; ++i) ok = filter->PutByte(bytes[i]);
    outcome.results.push_back(ok);
  }
  outcome.closed = filter->Close();
  outcome.data = end.data;
  outcome.writeSizes = end.writeSizes;
  return outcome;
}

constexpr size_t kBlock = CFilter::kBlockSize;

TEST(CryptFilterTest, WriteOfEveryLengthAroundTheBlocksMatchesPutByte) {
  const std::string input = testing_support::RandomBytes(3 * kBlock, 79);
  for (const CryptCase& c : CryptCases()) {
    const Outcome whole = Feed(c, input, {input.size()}, true);
    ASSERT_EQ(whole.data.size(), input.size()) << c.what;
    for (size_t length : {size_t{0}, size_t{1}, kBlock - 1, kBlock, kBlock + 1, 2 * kBlock + 5}) {
      ASSERT_EQ(Feed(c, input, {length}, true).data, whole.data.substr(0, length)) << c.what;
    }
    for (size_t length : {size_t{0}, size_t{1}, size_t{2}, kBlock - 1, kBlock, kBlock + 1,
                          2 * kBlock - 1, 2 * kBlock, 2 * kBlock + 1, 3 * kBlock}) {
      const std::unique_ptr<CFilter> filter = c.make();
      CCollectFilter end;
      Prepare(*filter, c.encode, &end);
      ASSERT_TRUE(filter->Write(Data(input), length)) << c.what << " " << length;
      // Whole blocks leave when the byte after them comes, the rest at Close.
      const size_t passed = length == 0 ? 0 : (length - 1) / kBlock;
      ASSERT_EQ(end.writeSizes, std::vector<size_t>(passed, kBlock)) << c.what << " " << length;
      ASSERT_TRUE(filter->Close());
      if (length > passed * kBlock) end.writeSizes.pop_back();
      ASSERT_EQ(end.writeSizes.size(), passed) << c.what << " " << length;
      ASSERT_TRUE(end.data == whole.data.substr(0, length)) << c.what << " " << length;
    }
  }
}

TEST(CryptFilterTest, KeyPositionCarriesAcrossWrites) {
  const std::vector<size_t> pieces = {0,   1,    2,  9,    10,   11,   19,   20, 255,
                                      256, 257,  3,  8191, 8192, 8193, 0,    7,  300,
                                      299, 4095, 13, 17,   1,    1,    1000, 5};
  std::vector<size_t> spans;
  size_t total = 0;
  for (int round = 0; round < 3; ++round) {
    for (const size_t piece : pieces) {
      spans.push_back(piece);
      total += piece;
    }
  }
  const std::string input = testing_support::RandomBytes(total, 80);
  for (const CryptCase& c : CryptCases()) {
    const Outcome byteWise = Feed(c, input, spans, true);
    ASSERT_EQ(byteWise.data.size(), total) << c.what;
    EXPECT_EQ(Feed(c, input, spans, false), byteWise) << c.what;
    // The same bytes in one span give the same stream.
    EXPECT_TRUE(Feed(c, input, {total}, false).data == byteWise.data) << c.what;
  }
}

struct FailureCase {
  const char* what;
  std::vector<size_t> spans;
  std::set<size_t> failing;
};

TEST(CryptFilterTest, FailingDownstreamInTheMiddleOfASpanActsAsPutByte) {
  const FailureCase failures[] = {
      // The flush at byte kBlock fails: that block and byte kBlock are
      // dropped, the rest of the span is not taken, later spans are.
      {"first flush", {2 * kBlock + 1000, 3000, kBlock + 500}, {0}},
      {"second flush, span starting mid-buffer", {100, 2 * kBlock + 1000, kBlock + 500}, {1}},
      {"every flush", {3 * kBlock + 100, 10, 2 * kBlock}, {0, 1, 2, 3, 4, 5, 6}},
      {"flush of a full buffer by the next span", {kBlock, 1, 5}, {0}},
      {"last flush at Close", {kBlock + 100}, {1}},
  };
  const std::string input = testing_support::RandomBytes(6 * kBlock, 81);
  for (const CryptCase& c : CryptCases()) {
    for (const FailureCase& f : failures) {
      const Outcome byteWise = Feed(c, input, f.spans, true, f.failing);
      const Outcome spanWise = Feed(c, input, f.spans, false, f.failing);
      EXPECT_EQ(spanWise, byteWise) << c.what << ", " << f.what;
      // Every case fails somewhere.
      EXPECT_TRUE(!byteWise.closed || std::count(byteWise.results.begin(),
                                                 byteWise.results.end(), false) > 0)
          << c.what << ", " << f.what;
    }
  }
}

}  // namespace
