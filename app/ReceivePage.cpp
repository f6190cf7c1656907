#include "app/ReceivePage.h"

#include <dirent.h>
#include <sodium.h>

#include <algorithm>
#include <memory>
#include <regex>

#include "app/PointerDoc.h"
#include "platform/FileHandle.h"
#include "platform/ProgramPrefix.h"
#include "platform/SystemError.h"
#include "remote/PublishRoot.h"

namespace {

constexpr const char* kStemPrefix = "quiver-receive-";
constexpr size_t kUploadBlock = 65536;

std::string Base64Url(const std::string& bytes) {
  constexpr int kVariant = sodium_base64_VARIANT_URLSAFE_NO_PADDING;
  std::string text(sodium_base64_ENCODED_LEN(bytes.size(), kVariant), '\0');
  sodium_bin2base64(text.data(), text.size(), reinterpret_cast<const unsigned char*>(bytes.data()),
                    bytes.size(), kVariant);
  text.resize(text.find('\0'));
  return text;
}

}  // namespace

std::string CReceivePage::Stem() { return QUIVER_PAGE_STEM; }

std::string CReceivePage::PageName() { return Stem() + ".html"; }

bool CReceivePage::IsPageName(const std::string& name) {
  static const std::regex kPage(std::string(kStemPrefix) +
                                R"([0-9]+\.[0-9]+\.[0-9]+[-.][A-Za-z0-9._-]+)");
  return std::regex_match(name, kPage);
}

std::string CReceivePage::Link(const std::string& url, const std::string& pointerBytes) {
  return url.substr(0, url.rfind('/') + 1) + PageName() + "#" + Base64Url(pointerBytes);
}

bool CReceivePage::LinkOf(const std::string& path, std::string& link) {
  CPointerDoc doc;
  if (!doc.ReadFromFile(path)) {
    SetLastError(doc.GetError());
    return false;
  }
  std::string bytes;
  if (!ReadWholeFile(path, bytes)) return false;
  link = Link(doc.GetUrl(), bytes);
  return true;
}

CReceivePage::CReceivePage(std::string directory) : m_directory(std::move(directory)) {}

std::string CReceivePage::DefaultDirectory() { return ProgramPrefixPath(QUIVER_WEB_DIR); }

std::vector<std::string> CReceivePage::Files() const {
  std::vector<std::string> names;
  const std::unique_ptr<DIR, int (*)(DIR*)> dir(opendir(m_directory.c_str()), closedir);
  if (!dir) return names;
  const std::string stem = Stem();
  bool hasPage = false;
  while (const dirent* entry = readdir(dir.get())) {
    const std::string name = entry->d_name;
    if (name == PageName()) hasPage = true;
    else if (name.starts_with(stem) && IsPageName(name)) names.push_back(name);
  }
  if (!hasPage) return {};
  std::sort(names.begin(), names.end());
  names.push_back(PageName());
  return names;
}

bool CReceivePage::Read(const std::string& name, std::string& bytes) const {
  return ReadWholeFile(m_directory + "/" + name, bytes);
}

bool CReceivePage::Publish(CPublishRoot& root) const {
  const std::vector<std::string> files = Files();
  if (files.empty()) {
    return root.Fail(ERROR_FILE_NOT_FOUND, "No receive page was built into " + m_directory + ".");
  }
  return std::all_of(files.begin(), files.end(),
                     [&](const std::string& name) { return PublishFile(root, name); });
}

bool CReceivePage::PublishFile(CPublishRoot& root, const std::string& name) const {
  RootEntry entry;
  if (root.Look(name, entry)) return true;
  if (root.Code() != ERROR_FILE_NOT_FOUND) return false;
  std::string bytes;
  if (!Read(name, bytes)) return root.Fail(GetLastError(), "Cannot read " + name + ".");
  std::unique_ptr<CPublishUpload> upload =
      root.Create([&](unsigned index) { return index == 0 ? name : std::string(); });
  if (!upload) return root.Code() == ERROR_TOO_MANY_OPEN_FILES;
  for (size_t at = 0; at < bytes.size(); at += kUploadBlock) {
    const size_t length = std::min(kUploadBlock, bytes.size() - at);
    if (!upload->Write(reinterpret_cast<const uint8_t*>(bytes.data()) + at, length)) break;
  }
  return upload->Finish() || root.Fail(*upload);
}
