// The two crypt filters: key making, byte arithmetic, key wrap, round trips.

#include "PipelineTestSupport.h"
#include "pipeline/DumbCryptFilter.h"
#include "pipeline/SimpleCryptFilter.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <set>

namespace {

const uint8_t* Data(const std::string& s) { return reinterpret_cast<const uint8_t*>(s.data()); }

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
  EXPECT_EQ(CDumbCryptFilter().GetDescription(), "CDumbCryptFilter");
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

}  // namespace
