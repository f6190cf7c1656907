// Handle ownership, error recording, the source pump, the input buffer, the
// sink and the stage.

#include "PipelineTestSupport.h"
#include "pipeline/InputBuffer.h"
#include "pipeline/SinkFilter.h"
#include "pipeline/SourceFilter.h"
#include "pipeline/StageFilter.h"
#include "platform/SystemError.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fcntl.h>
#include <vector>

namespace {

using testing_support::Exists;
using testing_support::RandomBytes;
using testing_support::ReadFile;

std::unique_ptr<CFileHandle> OpenRead(const std::string& path) {
  auto file = std::make_unique<CFileHandle>();
  EXPECT_TRUE(file->OpenForReading(path, FileShare::ReadWrite));
  return file;
}

std::unique_ptr<CFileHandle> TempFile(const std::string& path) {
  auto file = std::make_unique<CFileHandle>();
  EXPECT_TRUE(file->CreateNew(path, FileShare::None, true));
  return file;
}

TEST(HandleFilterTest, SetErrorRecordsTheFirstCodeOnly) {
  struct Case {
    uint32_t pending;
    uint32_t given;
    uint32_t recorded;
  };
  const Case cases[] = {{0, 0, 31}, {5, 0, 5}, {5, 13, 13}, {0, 8, 8}};
  for (const Case& c : cases) {
    CHandleFilter filter;
    SetLastError(c.pending);
    filter.SetError(c.given);
    EXPECT_EQ(filter.GetError(), c.recorded);
    filter.SetError(112);
    EXPECT_EQ(filter.GetError(), c.recorded);
    EXPECT_TRUE(filter.HasError());
    filter.Reset();
    EXPECT_FALSE(filter.HasError());
  }
}

TEST(HandleFilterTest, AttachClosesAnOwnedHandleFirst) {
  CHandleFilter filter(TempFile(NewTempPath("owned")));
  EXPECT_TRUE(filter.OwnsHandle());
  const int first = filter.GetHandle()->Descriptor();
  filter.Attach(TempFile(NewTempPath("owned")));
  const int second = filter.GetHandle()->Descriptor();
  EXPECT_EQ(fcntl(first, F_GETFD), -1);
  EXPECT_NE(fcntl(second, F_GETFD), -1);
  filter.ReleaseHandle();
  EXPECT_EQ(fcntl(second, F_GETFD), -1);
  EXPECT_EQ(filter.GetHandle(), nullptr);
}

TEST(HandleFilterTest, BorrowedHandleIsNeverClosed) {
  const std::string path = NewTempPath("borrowed");
  auto file = TempFile(path);
  {
    CHandleFilter filter(*file);
    EXPECT_FALSE(filter.OwnsHandle());
    filter.ReleaseHandle();
    EXPECT_EQ(filter.GetHandle(), file.get());
    filter.Attach(TempFile(NewTempPath("other")));
  }
  EXPECT_TRUE(file->IsOpen());
  EXPECT_NE(fcntl(file->Descriptor(), F_GETFD), -1);
}

TEST(HandleFilterTest, ReadCountsAndStopsAtTheFirstError) {
  CHandleFilter filter(OpenRead(MakeInputFile("0123456789")));
  uint8_t buffer[4];
  size_t count = 0;
  EXPECT_TRUE(filter.Read(buffer, 4, count));
  EXPECT_EQ(count, 4u);
  EXPECT_EQ(filter.GetByteCount(), 4u);
  filter.SetError(13);
  EXPECT_FALSE(filter.Read(buffer, 4, count));
  EXPECT_FALSE(filter.Seek(0));
  EXPECT_EQ(filter.GetByteCount(), 4u);
  // After Reset the same handle serves again, counting from 0.
  filter.Reset();
  EXPECT_TRUE(filter.Seek(8));
  EXPECT_TRUE(filter.Read(buffer, 4, count));
  EXPECT_EQ(count, 2u);
  EXPECT_EQ(filter.GetByteCount(), 2u);
}

TEST(HandleFilterTest, NoHandleFailsWithInvalidHandle) {
  CHandleFilter filter;
  uint8_t byte;
  size_t count = 0;
  SetLastError(0);
  EXPECT_FALSE(filter.Read(&byte, 1, count));
  EXPECT_EQ(filter.GetError(), 6u);
  EXPECT_EQ(GetLastError(), 6u);
}

TEST(SourceFilterTest, EmptyFileIsOneEmptyWriteAndClose) {
  CCollectFilter end;
  CSourceFilter source(&end);
  ASSERT_TRUE(source.Open(MakeInputFile("")));
  EXPECT_TRUE(source.Run());
  EXPECT_EQ(end.writeSizes, (std::vector<size_t>{0}));
  EXPECT_EQ(end.closes, 1);
  EXPECT_EQ(source.GetByteCount(), 0u);
}

TEST(SourceFilterTest, PumpsWholeBlocks) {
  CCollectFilter end;
  CSourceFilter source(&end);
  const size_t block = CFilter::kBlockSize;
  const std::string input = RandomBytes(2 * block + 3616, 4);
  ASSERT_TRUE(source.Open(MakeInputFile(input)));
  EXPECT_TRUE(source.IsSource());
  EXPECT_TRUE(source.Run());
  EXPECT_EQ(end.writeSizes, (std::vector<size_t>{block, block, 3616, 0}));
  EXPECT_EQ(end.data, input);
  EXPECT_EQ(source.GetByteCount(), input.size());
}

TEST(SourceFilterTest, FailedWriteStopsWithoutClosing) {
  CCollectFilter end;
  end.failWrites = true;
  CSourceFilter source(&end);
  ASSERT_TRUE(source.Open(MakeInputFile("data")));
  EXPECT_FALSE(source.Run());
  EXPECT_EQ(end.closes, 0);
}

TEST(SourceFilterTest, OpenFailureRecordsNothing) {
  CSourceFilter source;
  SetLastError(0);
  EXPECT_FALSE(source.Open(NewTempPath("missing")));
  EXPECT_EQ(GetLastError(), 2u);
  EXPECT_FALSE(source.HasError());
}

TEST(SourceFilterTest, OpenSharesReadingOnly) {
  const std::string path = MakeInputFile("shared");
  CSourceFilter source;
  ASSERT_TRUE(source.Open(path));
  CFileHandle reader;
  EXPECT_TRUE(reader.OpenForReading(path, FileShare::Read));
  CFileHandle exclusive;
  EXPECT_FALSE(exclusive.OpenForReading(path, FileShare::None));
  EXPECT_EQ(GetLastError(), 32u);
}

TEST(SourceFilterTest, SourceWithoutHandleFailsAtTheFirstRead) {
  CCollectFilter end;
  CSourceFilter source(&end);
  EXPECT_FALSE(source.Run());
  EXPECT_EQ(source.GetError(), 6u);
  EXPECT_TRUE(end.writeSizes.empty());
}

TEST(SourceFilterTest, ByteCountPassesFourGiB) {
  const std::string path = MakeSparseFile((uint64_t{1} << 32) + 10);
  CCollectFilter end(false);
  CSourceFilter source(&end);
  ASSERT_TRUE(source.Open(path));
  ASSERT_TRUE(source.Run());
  EXPECT_EQ(source.GetByteCount(), (uint64_t{1} << 32) + 10);
  EXPECT_EQ(end.bytes, (uint64_t{1} << 32) + 10);
}

TEST(InputBufferTest, ReadIsShortAtTheEndAndFailsAfterAnError) {
  CSourceFilter source;
  CInputBuffer input(source, CFilter::kBlockSize);
  ASSERT_TRUE(source.Open(MakeInputFile("abcde")));
  uint8_t buffer[8];
  size_t count = 0;
  EXPECT_TRUE(input.Read(buffer, 0, count));
  EXPECT_EQ(count, 0u);
  EXPECT_TRUE(input.Read(buffer, 3, count));
  EXPECT_EQ(count, 3u);
  EXPECT_TRUE(input.Read(buffer, 8, count));
  EXPECT_EQ(count, 2u);
  EXPECT_TRUE(input.IsAtEnd());
  EXPECT_EQ(std::string(buffer, buffer + 2), "de");

  CSourceFilter broken;
  CInputBuffer brokenInput(broken, CFilter::kBlockSize);
  CFileHandle closed;
  broken.Attach(closed);
  EXPECT_FALSE(brokenInput.Read(buffer, 8, count));
  EXPECT_EQ(count, 0u);
  EXPECT_FALSE(brokenInput.IsAtEnd());
  EXPECT_EQ(broken.GetError(), 6u);
}

TEST(InputBufferTest, ReadsOfAnyLengthCrossRefillsAsGetByteWould) {
  const std::string input = RandomBytes(50000, 9);
  const size_t lengths[] = {0, 1, 8190, 2, 8192, 8193, 3, 16384, 5000, 20000};
  CSourceFilter source;
  CInputBuffer buffered(source, 8192);
  ASSERT_TRUE(source.Open(MakeInputFile(input)));
  std::string got;
  std::vector<uint8_t> buffer(20000);
  for (const size_t length : lengths) {
    size_t count = 99;
    ASSERT_TRUE(buffered.Read(buffer.data(), length, count)) << length;
    ASSERT_EQ(count, std::min(length, input.size() - got.size())) << length;
    got.append(buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(count));
  }
  EXPECT_TRUE(got == input);
  EXPECT_TRUE(buffered.IsAtEnd());
  EXPECT_EQ(source.GetByteCount(), input.size());
}

TEST(InputBufferTest, ReadHandsOutBufferedBytesThenFailsAtTheRefillAfterAnError) {
  const size_t block = CFilter::kBlockSize;
  const std::string input = RandomBytes(block + 20000, 10);
  CSourceFilter source;
  CInputBuffer buffered(source, CFilter::kBlockSize);
  ASSERT_TRUE(source.Open(MakeInputFile(input)));
  std::vector<uint8_t> buffer(block);
  size_t count = 0;
  ASSERT_TRUE(buffered.Read(buffer.data(), 5000, count));
  source.SetError(13);
  EXPECT_FALSE(buffered.Read(buffer.data(), block, count));
  // The rest of the first block was still there to be taken.
  EXPECT_EQ(count, block - 5000);
  EXPECT_TRUE(std::string(buffer.begin(), buffer.begin() + count) == input.substr(5000, count));
  EXPECT_FALSE(buffered.IsAtEnd());
}

TEST(InputBufferTest, ResetForgetsBufferedInput) {
  CSourceFilter source;
  CInputBuffer input(source, CFilter::kBlockSize);
  ASSERT_TRUE(source.Open(MakeInputFile("0123456789")));
  uint8_t byte;
  ASSERT_TRUE(input.GetByte(byte));
  input.Reset();
  ASSERT_TRUE(source.Seek(5));
  ASSERT_TRUE(input.GetByte(byte));
  EXPECT_EQ(byte, '5');
}

TEST(SinkFilterTest, WritesCountsAndKeepsTheFileOpenAtClose) {
  const std::string path = NewTempPath("sink");
  auto file = std::make_unique<CFileHandle>();
  ASSERT_TRUE(file->CreateNew(path, FileShare::None));
  CSinkFilter sink(std::move(file));
  EXPECT_TRUE(sink.Write(reinterpret_cast<const uint8_t*>("hello"), 5));
  EXPECT_TRUE(sink.Write(nullptr, 0));
  EXPECT_TRUE(sink.Close());
  EXPECT_TRUE(sink.GetHandle()->IsOpen());
  EXPECT_EQ(sink.GetByteCount(), 5u);
  EXPECT_EQ(ReadFile(path), "hello");
}

TEST(SinkFilterTest, WriteErrorSticks) {
  CSinkFilter sink(OpenRead(MakeInputFile("")));
  SetLastError(0);
  EXPECT_FALSE(sink.Write(reinterpret_cast<const uint8_t*>("x"), 1));
  EXPECT_EQ(sink.GetError(), 6u);
  EXPECT_FALSE(sink.Write(nullptr, 0));
  EXPECT_EQ(sink.GetByteCount(), 0u);
}

// The source behind a stage reads it on its own thread: all of it, closed
// once; when a write in front fails, the source's run ends without a close.
TEST(StageFilterTest, TheSourceBehindReadsWhatIsWrittenOrStopsAtAFailure) {
  const std::string input = RandomBytes(3 * CFilter::kBlockSize + 5, 6);
  for (const bool failing : {false, true}) {
    SCOPED_TRACE(failing);
    CCollectFilter end;
    CSourceFilter source(&end);
    const auto stage = Stage(source);
    for (size_t at = 0; at < input.size(); at += 70000) {
      const size_t piece = std::min<size_t>(70000, input.size() - at);
      ASSERT_TRUE(stage->Write(reinterpret_cast<const uint8_t*>(input.data()) + at, piece));
    }
    if (failing) stage->SetError(ERROR_DISK_FULL);
    SetLastError(0);
    EXPECT_EQ(!failing, stage->Close());
    EXPECT_EQ(failing ? ERROR_DISK_FULL : 0u, GetLastError());
    EXPECT_EQ(failing ? 0 : 1, end.closes);
    EXPECT_TRUE(failing || end.data == input);
  }
}

}  // namespace
