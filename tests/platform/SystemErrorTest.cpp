#include "platform/SystemError.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <thread>

namespace {

struct ErrnoCase {
  int err;
  bool creating;
  uint32_t code;
};

TEST(SystemError, TranslatesErrnoToWindowsNumbering) {
  const ErrnoCase cases[] = {
      {ENOENT, false, 2},  {ENOENT, true, 3},   {ENOTDIR, false, 3}, {EMFILE, false, 4},
      {ENFILE, false, 4},  {EACCES, false, 5},  {EPERM, false, 5},   {EISDIR, false, 5},
      {EBADF, false, 6},   {ENOMEM, false, 8},  {ETXTBSY, false, 32}, {EEXIST, false, 80},
      {EINVAL, false, 87}, {ENOSPC, false, 112}, {EDQUOT, false, 112},
      {ENAMETOOLONG, false, 206}, {EROFS, false, 19}, {EFBIG, false, 223},
      {EIO, false, 1117},  {ECHILD, false, 31}, {EXDEV, true, 31},
  };
  for (const ErrnoCase& c : cases) {
    EXPECT_EQ(SystemErrorFromErrno(c.err, c.creating), c.code) << "errno " << c.err;
  }
}

TEST(SystemError, MessagesAreTheEnglishTextsWithoutLineBreak) {
  const std::pair<uint32_t, const char*> cases[] = {
      {2, "The system cannot find the file specified."},
      {3, "The system cannot find the path specified."},
      {4, "The system cannot open the file."},
      {13, "The data is invalid."},
      {29, "The system cannot write to the specified device."},
      {32, "The process cannot access the file because it is being used by another process."},
      {59, "An unexpected network error occurred."},
      {161, "The specified path is invalid."},
      {1117, "The request could not be performed because of an I/O device error."},
      {12345, "Unknown error 12345."},
      {0xFFFFFFFFu, "Unknown error -1."},
  };
  for (const auto& [code, text] : cases) EXPECT_EQ(SystemErrorMessage(code), text);
}

TEST(SystemError, LastErrorBelongsToTheThread) {
  SetLastError(80);
  uint32_t seen = 99;
  std::thread([&] {
    seen = GetLastError();
    SetLastError(5);
  }).join();
  EXPECT_EQ(seen, 0u);
  EXPECT_EQ(GetLastError(), 80u);
}

}  // namespace
