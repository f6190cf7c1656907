#include "pipeline/ReadAheadSourceFilter.h"
#include "pipeline/Progress.h"
#include "platform/SystemError.h"
#include "PipelineTestSupport.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

namespace {

struct Case {
  const char* name;
  bool cancelled;                  // the caller's progress is cancelled
  std::set<size_t> failingWrites;  // of the blocks reaching the chain
  uint32_t error;                  // 0: the run succeeds
};

void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }

class ReadAheadSourceFilterTest : public ::testing::TestWithParam<Case> {};

TEST_P(ReadAheadSourceFilterTest, PassesTheFileInOrderOrTheFirstFailure) {
  const Case& c = GetParam();
  const std::string input =
      testing_support::RandomBytes(8 * CReadAheadSourceFilter::kGather + 4321, 17);
  CProgress progress("input");
  const CProgress::Scope scope(&progress);
  if (c.cancelled) progress.Cancel();
  CCollectFilter chain;
  chain.failingWrites = c.failingWrites;
  chain.failureCode = ERROR_DISK_FULL;
  CReadAheadSourceFilter source(&chain);
  ASSERT_TRUE(source.Open(MakeInputFile(input)));
  const bool ran = source.Run();
  if (c.error == 0) {
    EXPECT_TRUE(ran);
    EXPECT_EQ(chain.data, input);
    EXPECT_EQ(chain.closes, 1);
    EXPECT_EQ(source.GetByteCount(), input.size());
    return;
  }
  EXPECT_FALSE(ran);
  EXPECT_EQ(GetLastError(), c.error);
  EXPECT_EQ(chain.closes, 0);
  // The file is longer than the queue and the block being read: reading
  // stops a few blocks after the failure, and the reading thread saw
  // the cancel of the caller's progress.
  EXPECT_LT(source.GetByteCount(), input.size());
}

INSTANTIATE_TEST_SUITE_P(
    Runs, ReadAheadSourceFilterTest,
    ::testing::Values(Case{"whole_file", false, {}, 0},
                      Case{"disk_full_at_the_first_block", false, {0}, ERROR_DISK_FULL},
                      Case{"cancelled", true, {}, ERROR_CANCELLED}),
    [](const auto& row) { return std::string(row.param.name); });

}  // namespace
