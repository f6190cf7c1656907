// The stop event in the page: there is no descriptor to wait on (Fd() is
// -1), so whoever waits sees a stop through IsRaised(). The page runs one
// thread.

#include "platform/StopEvent.h"

namespace {

CStopEvent* g_current = nullptr;

}  // namespace

CStopEvent::Scope::Scope(CStopEvent* event) : m_previous(g_current) { g_current = event; }

CStopEvent::Scope::~Scope() { g_current = m_previous; }

CStopEvent* CStopEvent::Current() { return g_current; }

CStopEvent::CStopEvent() : m_fd(-1) {}

CStopEvent::~CStopEvent() = default;

void CStopEvent::Raise() noexcept { m_raised.store(true); }
