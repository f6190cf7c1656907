#include "pipeline/WriteBehindFilter.h"
#include "platform/SystemError.h"
#include "PipelineTestSupport.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

namespace {

struct Case {
  const char* name;
  size_t writeSize;             // the chain's writes, all of this size
  std::set<size_t> failingWrites;  // of the blocks reaching the disk
  bool close;                   // else the filter is dropped part way
};

class WriteBehindFilterTest : public ::testing::TestWithParam<Case> {};

TEST_P(WriteBehindFilterTest, PassesEveryByteInOrderOrTheFirstFailure) {
  const Case& c = GetParam();
  const std::string input =
      testing_support::RandomBytes(11 * CWriteBehindFilter::kGather + 12345, 17);
  const auto* bytes = reinterpret_cast<const uint8_t*>(input.data());
  CCollectFilter disk;
  disk.failingWrites = c.failingWrites;
  disk.failureCode = ERROR_DISK_FULL;
  bool ok = true;
  {
    CWriteBehindFilter behind(&disk);
    const size_t stop = c.close ? input.size() : input.size() / 2;
    for (size_t pos = 0; ok && pos < stop; pos += c.writeSize) {
      ok = behind.Write(bytes + pos, std::min(c.writeSize, input.size() - pos));
    }
    if (c.close) ok = ok && behind.Close();
  }
  if (!c.failingWrites.empty()) {
    EXPECT_FALSE(ok);
    EXPECT_EQ(GetLastError(), ERROR_DISK_FULL);
    // Nothing goes on after the failing block.
    EXPECT_EQ(disk.writeSizes.size(), *c.failingWrites.begin() + 1);
    EXPECT_EQ(disk.closes, 0);
  } else if (c.close) {
    EXPECT_TRUE(ok);
    EXPECT_EQ(disk.data, input);
    EXPECT_EQ(disk.closes, 1);
  } else {
    EXPECT_EQ(disk.data, input.substr(0, disk.data.size()));
    EXPECT_EQ(disk.closes, 0);
  }
  for (size_t i = 0; i + 1 < disk.writeSizes.size(); ++i) {
    EXPECT_GE(disk.writeSizes[i], CWriteBehindFilter::kGather);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Runs, WriteBehindFilterTest,
    ::testing::Values(Case{"small_writes", 17, {}, true},
                      Case{"chunks_of_the_strong_filter", 65553, {}, true},
                      Case{"one_write_larger_than_a_block", 5 * CWriteBehindFilter::kGather, {}, true},
                      Case{"disk_full_at_the_first_block", 65553, {0}, true},
                      Case{"disk_full_part_way", 65553, {3}, true},
                      Case{"dropped_part_way", 4096, {}, false}),
    [](const auto& row) { return std::string(row.param.name); });

}  // namespace
