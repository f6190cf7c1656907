#pragma once
// How far a long send or fetch has come, and the request to stop it.
//
// The thread doing the work installs its progress with a Scope; the file
// reads of the filter chain (pipeline/HandleFilter.h) and the web fetch then
// count their bytes into it and fail with ERROR_CANCELLED once Cancel was
// called. The scope also installs the progress's stop event, which the waits
// of the network code watch, so that a cancel ends them at once. Any thread
// may read the figures while the work runs; Cancel may also be called from a
// signal handler.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <string>

#include "platform/StopEvent.h"

enum class ProgressStage { Sending, Fetching, Decoding };

class CProgress {
 public:
  // Whether the reads of a thread count (see Count).
  enum class Counting { kYes, kNo };

  // Installs `progress` (null for none) as the current progress of this
  // thread for as long as the scope lives. With Counting::kNo the thread's
  // reads count for nothing: it reads what another thread counted before.
  class Scope {
   public:
    explicit Scope(CProgress* progress, Counting counting = Counting::kYes);
    ~Scope();
    Scope(const Scope&) = delete;
    Scope& operator=(const Scope&) = delete;

   private:
    CProgress* m_previous;
    bool m_previousCounts;
    CStopEvent::Scope m_stop;
  };

  // The progress of the calling thread; null when none is installed.
  static CProgress* Current();

  // `path` is the file or URL the work is about; its last component is
  // shown with the stage.
  explicit CProgress(const std::string& path) : m_name(path.substr(path.rfind('/') + 1)) {}
  CProgress(const CProgress&) = delete;
  CProgress& operator=(const CProgress&) = delete;

  // Starts a stage of `total` bytes (-1 when unknown) with nothing done.
  void Begin(ProgressStage stage, int64_t total);
  // Adds the bytes of one read. Only the first reader of a stage counts:
  // the reads of intermediate files would count the data twice. While a
  // fetch runs its figures are the fetch's own, and reads of what has
  // arrived count for nothing.
  void Count(const void* reader, uint64_t bytes);
  // Sets the bytes done and the total (-1 when unknown) of the stage.
  void Set(int64_t done, int64_t total);
  // A send's destination has taken `taken` of the `written` bytes handed to
  // it so far: what is still on its way counts as not done, so a slow link
  // draining its buffers does not show 100%. May be called from any thread.
  void Delivered(uint64_t written, uint64_t taken);
  // A broken fetch goes on from `kept` of `total` bytes after waiting `wait`,
  // for its `attempt`th of at most `attempts` resumes; the stage says so
  // until it ends.
  void Resume(int64_t kept, int64_t total, int attempt, int attempts,
              std::chrono::milliseconds wait);
  // Asks the work to stop; safe in a signal handler.
  void Cancel() noexcept { m_stop.Raise(); }
  bool IsCancelled() const { return m_stop.IsRaised(); }
  CStopEvent& StopEvent() { return m_stop; }

  ProgressStage Stage() const { return m_stage.load(); }
  int64_t Done() const;
  int64_t Total() const { return m_total.load(); }
  const std::string& Name() const { return m_name; }
  // "Sending name", "Fetching name" or "Decoding name"; while a resume
  // waits, followed by " (connection lost, retrying in 4 s, 2 of 5)", and
  // after it by " (resuming at 93%)", the share of the total kept.
  std::string Describe(
      std::chrono::steady_clock::time_point now = std::chrono::steady_clock::now()) const;

 private:
  std::string m_name;
  std::atomic<ProgressStage> m_stage{ProgressStage::Sending};
  std::atomic<int64_t> m_done{0};
  std::atomic<int64_t> m_total{-1};
  std::atomic<int> m_resumedAt{-1};  // per cent; -1 for no resume
  std::atomic<int> m_attempt{0};
  std::atomic<int> m_attempts{0};
  std::atomic<std::chrono::steady_clock::rep> m_retryAt{0};  // when the resume's wait ends
  std::atomic<uint64_t> m_written{0};  // of a send: handed to the destination
  std::atomic<uint64_t> m_taken{0};    // and taken by it
  CStopEvent m_stop;
  std::atomic<const void*> m_reader{nullptr};
};
