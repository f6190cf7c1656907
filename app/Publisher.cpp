#include "app/Publisher.h"

#include <unistd.h>

#include <climits>
#include <ctime>

#include "app/PointerDoc.h"
#include "app/ReceivePage.h"
#include "app/RedactedUrl.h"
#include "app/RemoteConnect.h"
#include "app/Settings.h"
#include "app/Unpublisher.h"
#include "platform/MessageBox.h"
#include "platform/SystemError.h"
#include "remote/PublishRoot.h"

namespace {

// The register keeps absolute paths: a relative one means nothing later.
std::string Absolute(const std::string& path) {
  char cwd[PATH_MAX];
  if (path.empty() || path[0] == '/' || !getcwd(cwd, sizeof cwd)) return path;
  return std::string(cwd) + "/" + path;
}

// The transforms as the register shows them; the compression's figures are
// known once the send ran.
std::string Transforms(CPointerDoc& doc) {
  return "compression " + doc.GetCompressionDescription() + ", encryption " +
         doc.GetEncryptionDescription();
}

}  // namespace

CPublisher::CPublisher(std::string registerPath) : m_register(std::move(registerPath)) {}

CPublisher::~CPublisher() = default;

bool CPublisher::Publish(CPointerDoc& doc, const std::string& pointerFile,
                         const std::string& source, const CSettings& settings,
                         const SendRunner& run) {
  // The register learns how the send ended inside the step: a stop signal
  // ends the program as soon as the step returns.
  const auto send = [&] {
    PublishedFile file;
    Describe(file, doc, pointerFile, source, settings);
    CPublishRoot* root = Prepare(doc, settings);
    if (!root) return false;
    doc.OnCreated([&](const std::string& workName) { Claim(file, workName); });
    // An old pointer file must never fetch someone else's newer file.
    // A send that tries again may take the name its first attempt claimed.
    doc.AvoidNames([&](const std::string& name) {
      if (CReceivePage::IsPageName(name)) return true;
      bool known = false;
      return m_register.Remembers(settings.fileRoot, name, known) && known &&
             !(file.id != 0 && name == file.name);
    });
    const bool sent = doc.Send(pointerFile, source, settings.urlRoot, *root);
    doc.OnCreated(nullptr);
    doc.AvoidNames(nullptr);
    Settle(file, doc, sent, settings);
    if (sent) PublishPage(settings);
    return sent;
  };
  return run ? run(send) : send();
}

CPublishRoot* CPublisher::Prepare(CPointerDoc& doc, const CSettings& settings) {
  if (!m_root || m_rootName != settings.fileRoot) {
    std::string error;
    m_root.reset();  // before Open, whose failure is told by the last error
    m_root = CPublishRoot::Open(settings.fileRoot, error);
    m_rootName = settings.fileRoot;
    if (!m_root) {
      doc.Fail(GetLastError(), error);
      return nullptr;
    }
  }
  if (!ConnectRemoteRoot(*m_root) || !Proven(settings)) {
    doc.Fail(m_root->Code(), m_root->Error());
    return nullptr;
  }
  Tidy(settings);
  return m_root.get();
}

bool CPublisher::Proven(const CSettings& settings) {
  bool proven = false;
  m_register.IsProven(settings.fileRoot, proven);
  if (proven) return true;
  if (!m_root->CheckExclusive()) return false;
  m_register.Prove(settings.fileRoot, std::time(nullptr));
  return true;
}

// Removals that fail now are tried again before the next send.
void CPublisher::Tidy(const CSettings& settings) {
  CUnpublisher unpublisher(m_register, settings.fileRoot, *m_root);
  const int64_t now = std::time(nullptr);
  const bool ok = settings.keepDays > 0 ? unpublisher.Expire(settings.keepDays, now)
                                          : unpublisher.RemoveUnfinished(now);
  if (!ok && settings.keepDays > 0) {
    Notice("Expiring old published files: " + unpublisher.Problems().front());
  }
}

void CPublisher::PublishPage(const CSettings& settings) {
  const std::string stem = CReceivePage::Stem();
  bool has = false;
  if (m_register.HasPage(settings.fileRoot, stem, has) && has) return;
  const CReceivePage page;
  if (page.Files().empty()) return;
  if (page.Publish(*m_root)) {
    m_register.AddPage(settings.fileRoot, stem, std::time(nullptr));
  } else if (m_root->Code() != ERROR_CANCELLED) {
    Notice("Publishing the receive page: " + m_root->Error() +
           " Links to what you send open in Quiver only until the page is published.");
  }
}

void CPublisher::Describe(PublishedFile& file, CPointerDoc& doc, const std::string& pointerFile,
                          const std::string& source, const CSettings& settings) {
  file.fileRoot = settings.fileRoot;
  file.source = Absolute(source);
  file.pointer = Absolute(pointerFile);
  file.transforms = Transforms(doc);
}

void CPublisher::Claim(PublishedFile& file, const std::string& workName) {
  // A send that tries again (without compression) removed what its first
  // attempt claimed.
  if (file.id != 0) m_register.Forget(file.id);
  file.name = workName;
  file.url = file.fileRoot + workName;
  file.state = CPublishRegister::kClaimed;
  file.sender = getpid();
  file.time = std::time(nullptr);
  // A register that cannot record this is noticed once the send ended.
  if (!m_register.Add(file)) file.id = 0;
}

void CPublisher::Settle(PublishedFile& file, CPointerDoc& doc, bool sent,
                        const CSettings& settings) {
  const bool recorded = file.id != 0;
  if (!sent && doc.GetLeftOver().empty()) {
    if (recorded) m_register.Forget(file.id);
    return;
  }
  file.name = sent ? doc.GetUrl().substr(settings.urlRoot.size()) : doc.GetLeftOver().front();
  file.url = sent ? RedactedUrl(doc.GetUrl()) : file.fileRoot + file.name;
  file.state = sent ? "" : CPublishRegister::kUnfinished;
  file.sender = 0;
  file.size = sent ? static_cast<int64_t>(doc.GetPublishedSize()) : 0;
  file.time = std::time(nullptr);
  file.transforms = Transforms(doc);
  RootEntry entry;
  if (sent && m_root && m_root->Look(file.name, entry)) {
    file.inode = entry.inode;
    file.modified = entry.modified;
  }
  if (recorded ? m_register.Update(file) : m_register.Add(file)) return;
  Notice(m_register.Error() + " " + file.source +
         (sent ? " was published all the same."
               : ": what its failed send left on the server is not recorded."));
}

void CPublisher::Notice(const std::string& problem) {
  if (m_noticed) return;
  m_noticed = true;
  CMessageBox::Current().Notice(problem);
}
