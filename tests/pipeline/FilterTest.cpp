// Linking, closing and block buffering of the filter base classes.

#include "PipelineTestSupport.h"
#include "pipeline/BufferFilter.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

namespace {

using testing_support::Data;

TEST(FilterTest, PassesWritesOnAndFailuresBack) {
  CCollectFilter end;
  CFilter filter(&end);
  EXPECT_TRUE(filter.Write(Data("abc"), 3));
  EXPECT_TRUE(filter.PutByte('d'));
  EXPECT_TRUE(filter.Write(nullptr, 0));
  EXPECT_EQ(end.data, "abcd");
  EXPECT_EQ(end.writeSizes, (std::vector<size_t>{3, 1, 0}));
  end.failWrites = true;
  EXPECT_FALSE(filter.Write(Data("e"), 1));
  EXPECT_FALSE(filter.PutByte('f'));
}

TEST(FilterTest, CloseTravelsDownOnceAndUnlinks) {
  CCollectFilter end;
  CFilter middle(&end);
  CFilter head(&middle);
  EXPECT_TRUE(head.Close());
  EXPECT_EQ(end.closes, 1);
  EXPECT_EQ(head.GetNext(), nullptr);
  EXPECT_EQ(middle.GetNext(), nullptr);
  EXPECT_TRUE(head.Close());
  EXPECT_EQ(end.closes, 1);
}

TEST(BufferFilterTest, PassesWholeBuffersThenTheRestAtClose) {
  CCollectFilter end;
  CBufferFilter buffer(&end);
  const size_t block = CFilter::kBlockSize;
  const std::string input(2 * block + 3616, 'b');
  EXPECT_EQ(buffer.GetFreeSpace(), CFilter::kBlockSize);
  EXPECT_TRUE(buffer.Write(Data(input), input.size()));
  EXPECT_EQ(end.writeSizes, (std::vector<size_t>{block, block}));
  EXPECT_EQ(buffer.GetFreeSpace(), CFilter::kBlockSize - 3616);
  EXPECT_TRUE(buffer.Close());
  EXPECT_EQ(end.writeSizes, (std::vector<size_t>{block, block, 3616}));
  EXPECT_EQ(end.data, input);
  EXPECT_EQ(end.closes, 1);
}

TEST(BufferFilterTest, FullBufferIsPassedOnlyWhenTheNextByteComes) {
  CCollectFilter end;
  CBufferFilter buffer(&end, 4);
  EXPECT_TRUE(buffer.Write(Data("abcd"), 4));
  EXPECT_TRUE(buffer.IsFull());
  EXPECT_TRUE(end.writeSizes.empty());
  EXPECT_TRUE(buffer.PutByte('e'));
  EXPECT_EQ(end.data, "abcd");
  EXPECT_FALSE(buffer.IsFull());
}

TEST(BufferFilterTest, EmptyInputPassesNothingButTheClose) {
  CCollectFilter end;
  CBufferFilter buffer(&end);
  EXPECT_TRUE(buffer.Write(nullptr, 0));
  EXPECT_TRUE(buffer.Close());
  EXPECT_TRUE(end.writeSizes.empty());
  EXPECT_EQ(end.closes, 1);
}

TEST(BufferFilterTest, FailingDownstreamDropsTheBlockAndKeepsAccepting) {
  CCollectFilter end;
  end.failWrites = true;
  CBufferFilter buffer(&end, 4);
  EXPECT_TRUE(buffer.Write(Data("abcd"), 4));
  // The fifth byte needs a flush, which fails: the block and the byte go.
  EXPECT_FALSE(buffer.PutByte('e'));
  EXPECT_EQ(buffer.GetFreeSpace(), 4);
  end.failWrites = false;
  EXPECT_TRUE(buffer.Write(Data("fg"), 2));
  EXPECT_TRUE(buffer.Close());
  EXPECT_EQ(end.data, "fg");
}

TEST(BufferFilterTest, WriteStopsAtTheFirstFailingByte) {
  CCollectFilter end;
  end.failWrites = true;
  CBufferFilter buffer(&end, 2);
  EXPECT_FALSE(buffer.Write(Data("abcdef"), 6));
  // a, b held; c failed with the flush; d, e, f never offered.
  EXPECT_EQ(end.writeSizes, (std::vector<size_t>{2}));
  EXPECT_EQ(buffer.GetFreeSpace(), 2);
}

TEST(BufferFilterTest, CloseReportsAFailedLastFlushButStillCloses) {
  CCollectFilter end;
  CBufferFilter buffer(&end);
  EXPECT_TRUE(buffer.Write(Data("xyz"), 3));
  end.failWrites = true;
  EXPECT_FALSE(buffer.Close());
  EXPECT_EQ(end.closes, 1);
  EXPECT_EQ(buffer.GetNext(), nullptr);
}

TEST(BufferFilterTest, ResetDropsBytesOfAnUnfinishedRun) {
  CCollectFilter end;
  CBufferFilter buffer(&end);
  EXPECT_TRUE(buffer.Write(Data("stale"), 5));
  buffer.Reset();
  buffer.SetNext(&end);
  EXPECT_TRUE(buffer.Write(Data("fresh"), 5));
  EXPECT_TRUE(buffer.Close());
  EXPECT_EQ(end.data, "fresh");
}

}  // namespace
