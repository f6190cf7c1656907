#include "pipeline/Progress.h"

namespace {

thread_local CProgress* t_current = nullptr;
thread_local bool t_counts = true;

}  // namespace

CProgress::Scope::Scope(CProgress* progress, Counting counting)
    : m_previous(t_current),
      m_previousCounts(t_counts),
      m_stop(progress ? &progress->StopEvent() : nullptr) {
  t_current = progress;
  t_counts = counting == Counting::kYes;
}

CProgress::Scope::~Scope() {
  t_current = m_previous;
  t_counts = m_previousCounts;
}

CProgress* CProgress::Current() { return t_current; }

void CProgress::Begin(ProgressStage stage, int64_t total) {
  m_reader.store(nullptr);
  m_done.store(0);
  m_total.store(total);
  m_resumedAt.store(-1);
  m_written.store(0);
  m_taken.store(0);
  m_stage.store(stage);
}

void CProgress::Delivered(uint64_t written, uint64_t taken) {
  m_taken.store(taken);
  m_written.store(written);
}

int64_t CProgress::Done() const {
  const int64_t done = m_done.load();
  const uint64_t written = m_written.load(), taken = m_taken.load();
  if (written == 0 || taken >= written) return done;
  return static_cast<int64_t>(static_cast<double>(done) * static_cast<double>(taken) /
                              static_cast<double>(written));
}

void CProgress::Count(const void* reader, uint64_t bytes) {
  if (!t_counts || Stage() == ProgressStage::Fetching) return;
  const void* first = nullptr;
  if (m_reader.compare_exchange_strong(first, reader) || first == reader) {
    m_done.fetch_add(static_cast<int64_t>(bytes));
  }
}

void CProgress::Set(int64_t done, int64_t total) {
  m_total.store(total);
  m_done.store(done);
}

void CProgress::Resume(int64_t kept, int64_t total, int attempt, int attempts,
                       std::chrono::milliseconds wait) {
  Set(kept, total);
  m_attempt.store(attempt);
  m_attempts.store(attempts);
  m_retryAt.store((std::chrono::steady_clock::now() + wait).time_since_epoch().count());
  m_resumedAt.store(total > 0 ? static_cast<int>(kept * 100 / total) : 0);
}

std::string CProgress::Describe(std::chrono::steady_clock::time_point now) const {
  const int resumedAt = m_resumedAt.load();
  const auto waiting = std::chrono::steady_clock::duration(m_retryAt.load()) - now.time_since_epoch();
  const auto seconds = std::chrono::ceil<std::chrono::seconds>(waiting).count();
  std::string note;
  if (resumedAt >= 0 && seconds > 0) {
    note = " (connection lost, retrying in " + std::to_string(seconds) + " s, " +
           std::to_string(m_attempt.load()) + " of " + std::to_string(m_attempts.load()) + ")";
  } else if (resumedAt >= 0) {
    note = " (resuming at " + std::to_string(resumedAt) + "%)";
  }
  switch (Stage()) {
    case ProgressStage::Sending:
      return "Sending " + m_name + note;
    case ProgressStage::Fetching:
      return "Fetching " + m_name + note;
    case ProgressStage::Decoding:
      return "Decoding " + m_name + note;
  }
  return m_name;
}
