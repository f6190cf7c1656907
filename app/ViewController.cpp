#include "app/ViewController.h"

#include "app/PointerDoc.h"
#include "app/ProgressMeter.h"
#include "app/QuiverApp.h"
#include "app/ReceivePage.h"
#include "app/RedactedUrl.h"
#include "app/StopSignals.h"
#include "pipeline/Messages.h"
#include "pipeline/Progress.h"
#include "platform/AppLauncher.h"
#include "platform/MessageBox.h"
#include "platform/OpenFiles.h"
#include "platform/Process.h"
#include "platform/ProgramType.h"
#include "platform/SystemError.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

constexpr std::chrono::milliseconds kHandOffGrace = std::chrono::seconds(5);

// Five seconds, unless QUIVER_HAND_OFF_GRACE_MS names a shorter one in
// milliseconds: the tests that run the program itself shorten it there, as
// those in process do with SetHandOffGrace. Anything else in it is ignored.
std::chrono::milliseconds HandOffGraceOfProcess() {
  const char* value = std::getenv("QUIVER_HAND_OFF_GRACE_MS");
  if (!value || !*value || std::strspn(value, "0123456789") != std::strlen(value) ||
      std::strlen(value) > 9) {
    return kHandOffGrace;
  }
  return std::min(kHandOffGrace, std::chrono::milliseconds(std::atol(value)));
}

// How long a file stays after its application has exited, for an instance
// that the application handed it to, and how often a file still open is
// looked at again.
std::chrono::milliseconds g_handOffGrace = HandOffGraceOfProcess();
constexpr std::chrono::milliseconds kOpenPoll{200};

}  // namespace

void CViewController::SetHandOffGrace(std::chrono::milliseconds grace) { g_handOffGrace = grace; }

CViewController::CViewController(CQuiverApp& app, const std::string& pointerFile)
    : m_doc(std::make_unique<CPointerDoc>()), m_pApp(&app) {
  m_settings.Assign(app.GetSettings());
  if (!pointerFile.empty()) {
    m_strFile = pointerFile;
    LoadPointerFile(pointerFile);
  }
}

// The program must not end before the applications it launched on deletable
// files are done with them. Many applications hand the file to an instance
// that is already running and exit at once; that instance opens the file
// only a moment later. So a file goes only once its process has exited, a
// grace period has passed since, and no process has it open any more.
CViewController::~CViewController() {
  using Clock = std::chrono::steady_clock;
  std::vector<std::pair<Clock::time_point, std::string>> ended;
  for (auto& [pid, launched] : m_launched) {
    auto& [process, path] = launched;
    process->Wait();
    ended.emplace_back(Clock::now(), path);
  }
  for (const auto& [exit, path] : ended) {
    std::this_thread::sleep_until(exit + g_handOffGrace);
    while (IsFileOpenAnywhere(path)) std::this_thread::sleep_for(kOpenPoll);
    unlink(path.c_str());
    KeepOnStop(path);
  }
}

void CViewController::Discard(const std::string& path) {
  unlink(path.c_str());
  KeepOnStop(path);
}

bool CViewController::LoadPointerFile(const std::string& path) {
  if (!m_doc->ReadFromFile(path)) {
    m_strUrl.clear();
    m_strEncryption.clear();
    m_strCompression.clear();
    m_strSize.clear();
    m_strLink.clear();
    return false;
  }
  m_strUrl = m_doc->GetUrl();
  if (!CReceivePage::LinkOf(path, m_strLink)) m_strLink.clear();
  m_strEncryption = m_doc->GetEncryptionDescription();
  m_strCompression = m_doc->GetCompressionDescription();
  m_strSize = CProgressMeter::FormatByteCount(m_doc->GetSize());
  return true;
}

bool CViewController::ReadPointerFile(const std::string& path) {
  if (LoadPointerFile(path)) return true;
  ReportSystemError("Problem reading " + path, m_doc->GetError());
  return false;
}

bool CViewController::FetchAndLaunch() {
  std::string local;
  CProgress progress(m_strUrl);
  // The decoded file is known to the stop signals before the transfer ends:
  // a stop right after it must not leave the file behind.
  const bool fetched = m_pApp->RunTransfer(progress, [&] {
    return m_doc->FetchToTempFile(local) && (RemoveOnStop(local), true);
  });
  if (!fetched) {
    if (m_doc->GetError() != ERROR_CANCELLED) {
      ReportSystemError("Problem fetching " + RedactedUrl(m_strUrl), m_doc->GetError(),
                        m_doc->GetErrorDetail());
    }
    return false;
  }
  // Pointer files come from anyone: a program must not run unasked.
  if (IsProgramOrScript(local) &&
      !CMessageBox::Current().AskYesNo(local + " is a program or script. Opening it may run it "
                                               "on your computer. Open it anyway?",
                                       false)) {
    Discard(local);
    return false;
  }
  auto process = std::make_unique<CProcess>();
  if (!LaunchAssociatedApp(local, process.get(), false)) {
    const std::string question = "Problem launching application on " + local +
                                 "\r\n(check your associations).  Keep the file?";
    if (CMessageBox::Current().ReportAndAsk(question, true)) {
      KeepOnStop(local);
    } else {
      Discard(local);
    }
    return false;
  }
  if (m_settings.deleteTempFiles == 0) {
    KeepOnStop(local);
    process->Release();
    return true;
  }
  const pid_t pid = process->Pid();
  m_launched[pid] = {std::move(process), local};
  return true;
}
