#include "app/Publisher.h"

#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <ctime>

#include "app/PointerDoc.h"
#include "app/Settings.h"
#include "app/Unpublisher.h"
#include "platform/MessageBox.h"

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
                         const std::string& source, const CSettings& settings) {
  if (settings.KeepDays() > 0) ExpireDue(settings);
  if (!doc.Send(pointerFile, source, settings.UrlRoot(), settings.FileRoot())) return false;
  Record(doc, pointerFile, source, settings);
  return true;
}

void CPublisher::ExpireDue(const CSettings& settings) {
  CUnpublisher unpublisher(m_register, settings.FileRoot());
  if (!unpublisher.Expire(settings.KeepDays(), std::time(nullptr))) {
    Notice("Expiring old published files: " + unpublisher.Problems().front());
  }
}

void CPublisher::Record(CPointerDoc& doc, const std::string& pointerFile, const std::string& source,
                        const CSettings& settings) {
  PublishedFile file;
  file.url = doc.GetUrl();
  file.fileRoot = settings.FileRoot();
  file.name = file.url.substr(settings.UrlRoot().size());
  struct stat st;
  if (stat((file.fileRoot + file.name).c_str(), &st) == 0) {
    file.size = st.st_size;
    file.inode = static_cast<int64_t>(st.st_ino);
    file.modified = CUnpublisher::ModifiedNs(st);
  }
  file.source = Absolute(source);
  file.pointer = Absolute(pointerFile);
  file.time = std::time(nullptr);
  file.transforms = "compression " + doc.GetCompressionDescription() + ", encryption " +
                    doc.GetEncryptionDescription();
  if (!m_register.Add(file)) {
    Notice(m_register.Error() + " " + source + " was published all the same.");
  }
}

void CPublisher::Notice(const std::string& problem) {
  if (m_noticed) return;
  m_noticed = true;
  CMessageBox::Current().Notice(problem);
}
