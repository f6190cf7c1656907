#include "pipeline/ReadingThread.h"

CReadingThread::CReadingThread(CArrivingFile& file, std::function<void()> read,
                               CProgress::Counting counting)
    : m_file(file),
      m_thread([progress = CProgress::Current(), read = std::move(read), counting] {
        const CProgress::Scope scope(progress, counting);
        read();
      }) {}

CReadingThread::~CReadingThread() {
  if (!Finished()) Finish("", -1);
}

void CReadingThread::Finish(const std::string& name, int64_t length) {
  if (length < 0) {
    m_file.Abandon();
  } else {
    m_file.Complete(name, static_cast<uint64_t>(length));
  }
  m_thread.join();
}
