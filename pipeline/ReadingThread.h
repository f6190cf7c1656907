#pragma once
// The reading of an arriving file (pipeline/ArrivingFile.h) on a thread of
// its own, under the progress of the thread that starts it. The writer ends
// the file through Finish, which then waits for the reading; a reading that
// was never finished is abandoned and waited for on destruction.

#include "pipeline/ArrivingFile.h"
#include "pipeline/Progress.h"

#include <cstdint>
#include <functional>
#include <string>
#include <thread>

class CReadingThread {
 public:
  // Starts `read`, which reads `file`; `file` must outlive this object.
  CReadingThread(CArrivingFile& file, std::function<void()> read,
                 CProgress::Counting counting = CProgress::Counting::kYes);
  ~CReadingThread();
  CReadingThread(const CReadingThread&) = delete;
  CReadingThread& operator=(const CReadingThread&) = delete;

  // Tells the file it is whole as `name` at `length` bytes, or abandoned
  // when `length` is negative, then waits for the reading to end.
  void Finish(const std::string& name, int64_t length);
  bool Finished() const { return !m_thread.joinable(); }

 private:
  CArrivingFile& m_file;
  std::thread m_thread;
};
