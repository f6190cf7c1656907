#include "app/HeadlessUserInterface.h"

#include "app/ProgressMeter.h"
#include "app/QuiverApp.h"

#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <mutex>
#include <pthread.h>
#include <sys/ioctl.h>
#include <thread>
#include <unistd.h>

namespace {

constexpr auto kRedrawInterval = std::chrono::milliseconds(100);

// A line that wrapped could no longer be redrawn in place.
std::string FitToTerminal(const std::string& line) {
  winsize size = {};
  if (ioctl(STDERR_FILENO, TIOCGWINSZ, &size) != 0 || size.ws_col < 2) return line;
  return line.substr(0, size.ws_col - 1u);
}

}  // namespace

// Redraws the progress line on its own thread until destroyed, then clears it.
class CTerminalLine {
 public:
  explicit CTerminalLine(const CProgress& progress)
      : m_meter(progress), m_thread([this] { Draw(); }) {}
  ~CTerminalLine() {
    {
      std::lock_guard<std::mutex> lock(m_mutex);
      m_finished = true;
    }
    m_wake.notify_one();
    m_thread.join();
    std::fputs("\r\033[K", stderr);
    std::fflush(stderr);
  }
  CTerminalLine(const CTerminalLine&) = delete;
  CTerminalLine& operator=(const CTerminalLine&) = delete;

  // Clears the line and keeps it from being drawn while the lock is held.
  std::unique_lock<std::mutex> Hold() {
    std::unique_lock<std::mutex> lock(m_mutex);
    std::fputs("\r\033[K", stderr);
    return lock;
  }

 private:
  void Draw() {
    // The stop signals belong to the thread doing the work.
    sigset_t stops;
    sigemptyset(&stops);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&stops, signal);
    pthread_sigmask(SIG_BLOCK, &stops, nullptr);
    const auto start = std::chrono::steady_clock::now();
    std::unique_lock<std::mutex> lock(m_mutex);
    while (!m_wake.wait_for(lock, kRedrawInterval, [this] { return m_finished; })) {
      m_meter.Update(
          std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
      std::fprintf(stderr, "\r\033[K%s", FitToTerminal(m_meter.Line()).c_str());
      std::fflush(stderr);
    }
  }

  CProgressMeter m_meter;
  std::mutex m_mutex;
  std::condition_variable m_wake;
  bool m_finished = false;
  std::thread m_thread;
};

void CHeadlessUserInterface::ShowAbout() {
  std::printf("%s\n", CQuiverApp::VersionLine().c_str());
  std::fflush(stdout);
}

void CHeadlessUserInterface::ShowUsage(const std::string& text) {
  std::string plain;
  for (char c : text) {
    if (c != '\r') plain += c;
  }
  std::fputs(plain.c_str(), stderr);
  std::fflush(stderr);
}

// The application never asks for a window without a display; should it do
// so, the usage text explains what can be done instead.
bool CHeadlessUserInterface::RunPreferences(CQuiverApp&, CSettings&) {
  ShowUsage(CQuiverApp::UsageText());
  return false;
}

void CHeadlessUserInterface::RunSendWindow(CQuiverApp&) { ShowUsage(CQuiverApp::UsageText()); }

void CHeadlessUserInterface::RunViewWindow(CQuiverApp&, const std::string&) {
  ShowUsage(CQuiverApp::UsageText());
}

bool CHeadlessUserInterface::RunTransfer(CProgress& progress, const std::function<bool()>& work) {
  if (!isatty(STDERR_FILENO)) return work();
  CTerminalLine line(progress);
  m_line.store(&line);
  const bool ok = work();
  m_line.store(nullptr);
  return ok;
}

void CHeadlessUserInterface::ShowWarning(const std::string& text) {
  CTerminalLine* line = m_line.load();
  const auto hold = line ? line->Hold() : std::unique_lock<std::mutex>();
  m_console.Warning(text);
}

bool CHeadlessUserInterface::ShowYesNo(const std::string& text, bool keepsData) {
  CTerminalLine* line = m_line.load();
  const auto hold = line ? line->Hold() : std::unique_lock<std::mutex>();
  return m_console.AskYesNo(text, keepsData);
}
