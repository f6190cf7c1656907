#pragma once
// A request to stop that every wait can watch.
//
// Raise() sets the event once and for good; it is safe in a signal handler.
// A wait that polls descriptors adds Fd(), which is readable from then on,
// so that it wakes at once instead of at its next time-out. Should the
// system refuse the descriptor, Fd() is -1 and waits see the stop through
// IsRaised() at their next turn.
//
// The thread doing a piece of work installs its event with a Scope; code
// that cannot be handed the event (a connection made deep in a publishing
// root) finds it through Current().

#include <atomic>

class CStopEvent {
 public:
  class Scope {
   public:
    // Installs `event` (null for none: work that must run to its end, such
    // as removing what a stopped transfer left) for the life of the scope.
    explicit Scope(CStopEvent* event);
    ~Scope();
    Scope(const Scope&) = delete;
    Scope& operator=(const Scope&) = delete;

   private:
    CStopEvent* m_previous;
  };

  // The event of the calling thread; null when none is installed.
  static CStopEvent* Current();

  CStopEvent();
  ~CStopEvent();
  CStopEvent(const CStopEvent&) = delete;
  CStopEvent& operator=(const CStopEvent&) = delete;

  void Raise() noexcept;
  bool IsRaised() const noexcept { return m_raised.load(); }
  int Fd() const noexcept { return m_fd; }

 private:
  std::atomic<bool> m_raised{false};
  int m_fd;
};
