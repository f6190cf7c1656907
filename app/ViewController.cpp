#include "app/ViewController.h"

#include "app/PointerDoc.h"
#include "app/QuiverApp.h"
#include "pipeline/Messages.h"
#include "pipeline/Progress.h"
#include "platform/AppLauncher.h"
#include "platform/MessageBox.h"
#include "platform/Process.h"
#include "platform/SystemError.h"

#include <unistd.h>

CViewController::CViewController(CQuiverApp& app, const std::string& pointerFile)
    : m_doc(std::make_unique<CPointerDoc>()), m_pApp(&app) {
  m_settings.Assign(app.GetSettings());
  if (!pointerFile.empty()) {
    m_strFile = pointerFile;
    LoadPointerFile(pointerFile);
  }
}

// The program must not end before the applications it launched on deletable
// files have exited: their files are removed only then.
CViewController::~CViewController() {
  for (auto& [pid, launched] : m_launched) {
    auto& [process, path] = launched;
    process->Wait();
    unlink(path.c_str());
  }
}

bool CViewController::LoadPointerFile(const std::string& path) {
  if (!m_doc->ReadFromFile(path)) {
    m_strUrl.clear();
    m_strEncryption.clear();
    m_strCompression.clear();
    return false;
  }
  m_strUrl = m_doc->GetUrl();
  m_strEncryption = m_doc->GetEncryptionDescription();
  m_strCompression = m_doc->GetCompressionDescription();
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
  if (!m_pApp->RunTransfer(progress, [&] { return m_doc->FetchToTempFile(local); })) {
    if (m_doc->GetError() != ERROR_CANCELLED) {
      ReportSystemError("Problem fetching " + m_strUrl, m_doc->GetError());
    }
    return false;
  }
  auto process = std::make_unique<CProcess>();
  if (!LaunchAssociatedApp(local, process.get(), false)) {
    const std::string question = "Problem launching application on " + local +
                                 "\r\n(check your associations).  Keep the file?";
    if (!CMessageBox::Current().AskYesNo(question, true)) unlink(local.c_str());
    return false;
  }
  if (m_settings.DeleteTempFiles() == 0) {
    process->Release();
    return true;
  }
  const pid_t pid = process->Pid();
  m_launched[pid] = {std::move(process), local};
  return true;
}
