#include "app/Publisher.h"

#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <ctime>

#include "app/PointerDoc.h"
#include "app/RemoteConnect.h"
#include "app/Settings.h"
#include "app/Unpublisher.h"
#include "platform/MessageBox.h"
#include "remote/RemoteRoot.h"

namespace {

// The register keeps absolute paths: a relative one means nothing later.
std::string Absolute(const std::string& path) {
  char cwd[PATH_MAX];
  if (path.empty() || path[0] == '/' || !getcwd(cwd, sizeof cwd)) return path;
  return std::string(cwd) + "/" + path;
}

}  // namespace

CPublisher::CPublisher(std::string registerPath) : m_register(std::move(registerPath)) {}

bool CPublisher::Publish(CPointerDoc& doc, const std::string& pointerFile,
                         const std::string& source, const CSettings& settings,
                         const SendRunner& run) {
  if (settings.KeepDays() > 0) ExpireDue(settings);
  if (RemoteAddress::IsRemote(settings.FileRoot())) PrepareRemote(doc, settings);
  const auto send = [&] {
    return doc.Send(pointerFile, source, settings.UrlRoot(), settings.FileRoot());
  };
  if (!(run ? run(send) : send())) {
    for (const std::string& name : doc.GetLeftOver()) {
      Record(doc, pointerFile, source, settings, name, CPublishRegister::kUnfinished);
    }
    return false;
  }
  Record(doc, pointerFile, source, settings, doc.GetUrl().substr(settings.UrlRoot().size()), "");
  return true;
}

void CPublisher::PrepareRemote(CPointerDoc& doc, const CSettings& settings) {
  std::string error;
  std::unique_ptr<CRemoteRoot> root = CRemoteRoot::Open(settings.FileRoot(), error);
  // A root that does not parse or connect fails the send with its reason.
  if (!root || !ConnectRemoteRoot(*root)) return;
  // Removals that fail now are tried again before the next send.
  CUnpublisher(m_register, settings.FileRoot()).RemoveUnfinished(std::time(nullptr));
  doc.SetRemoteRoot(std::move(root));
}

void CPublisher::ExpireDue(const CSettings& settings) {
  CUnpublisher unpublisher(m_register, settings.FileRoot());
  if (!unpublisher.Expire(settings.KeepDays(), std::time(nullptr))) {
    Notice("Expiring old published files: " + unpublisher.Problems().front());
  }
}

void CPublisher::Record(CPointerDoc& doc, const std::string& pointerFile, const std::string& source,
                        const CSettings& settings, const std::string& name,
                        const std::string& state) {
  PublishedFile file;
  file.fileRoot = settings.FileRoot();
  file.name = name;
  file.url = settings.UrlRoot() + name;
  file.state = state;
  file.size = state.empty() ? static_cast<int64_t>(doc.GetPublishedSize()) : 0;
  struct stat st;
  if (!RemoteAddress::IsRemote(file.fileRoot) &&
      stat((file.fileRoot + file.name).c_str(), &st) == 0) {
    file.inode = static_cast<int64_t>(st.st_ino);
    file.modified = CUnpublisher::ModifiedNs(st);
  }
  file.source = Absolute(source);
  file.pointer = Absolute(pointerFile);
  file.time = std::time(nullptr);
  file.transforms = "compression " + doc.GetCompressionDescription() + ", encryption " +
                    doc.GetEncryptionDescription();
  if (!m_register.Add(file)) {
    Notice(m_register.Error() + " " + source +
           (state.empty() ? " was published all the same."
                          : ": what its failed send left on the server is not recorded."));
  }
}

void CPublisher::Notice(const std::string& problem) {
  if (m_noticed) return;
  m_noticed = true;
  CMessageBox::Current().Notice(problem);
}
