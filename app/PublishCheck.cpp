#include "app/PublishCheck.h"

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <random>

#include "app/ReceivePage.h"
#include "app/RedactedUrl.h"
#include "app/RemoteConnect.h"
#include "app/UniqueFile.h"
#include "app/UrlDoc.h"
#include "platform/FileHandle.h"
#include "platform/SystemError.h"
#include "remote/PublishRoot.h"

namespace {

using Clock = std::chrono::steady_clock;

long Milliseconds(Clock::time_point since) {
  return static_cast<long>(
      std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - since).count());
}

std::string Octal(unsigned mode) {
  char text[16];
  std::snprintf(text, sizeof text, "%04o", mode);
  return text;
}

// "HTTP/1.1 404 Not Found" gives 404; 0 when the line holds no status.
int StatusCode(const std::string& line) {
  const size_t space = line.find(' ');
  if (space == std::string::npos) return 0;
  return std::atoi(line.c_str() + space + 1);
}

// The first link of an error page: where a server's redirect page points.
std::string FirstLink(const std::string& page) {
  const std::string marker = "href=\"";
  const size_t start = page.find(marker);
  if (start == std::string::npos) return "";
  const size_t end = page.find('"', start + marker.size());
  return end == std::string::npos ? ""
                                  : page.substr(start + marker.size(), end - start - marker.size());
}

// What a fetch of a URL brought: `body` is what the server sent, error page
// included.
struct CFetched {
  bool ok = false;
  int32_t code = 0;
  std::string statusLine;
  std::string cause;
  std::string body;
};

CFetched Fetch(const std::string& url) {
  CUrlDoc doc(1);
  CFetched fetched;
  fetched.ok = doc.SetUrl(url) != 0;
  fetched.code = doc.GetErrorCode();
  fetched.cause = doc.GetCause();
  std::string& line = fetched.statusLine = doc.GetErrorMessage();
  while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.pop_back();
  std::string local;
  if (doc.GetLocalName(local, nullptr)) ReadWholeFile(local, fetched.body);
  return fetched;
}

std::string RandomToken() {
  std::random_device device;
  char text[20];
  std::snprintf(text, sizeof text, "%08x%08x", device(), device());
  return text;
}

}  // namespace

CPublishCheck::CPublishCheck(const CSettings& settings) { m_settings.Assign(settings); }

CPublishCheck::~CPublishCheck() = default;

std::string CPublishCheck::Report() const {
  std::string report;
  for (const std::string& line : m_lines) report += line + "\n";
  return report;
}

void CPublishCheck::Problem(const std::string& text) {
  ++m_problems;
  m_lines.push_back("problem: " + text);
}

bool CPublishCheck::Run() {
  m_lines.clear();
  m_problems = 0;
  const Clock::time_point start = Clock::now();
  if (!m_settings.IsComplete()) {
    Problem("UrlRoot and FileRoot must both be set (quiver -P).");
  } else if (PublishProbe()) {
    CheckMode();
    FetchProbe();
    CheckPage();
    CheckListing();
    DeleteProbe();
  }
  m_lines.push_back("The check took " + std::to_string(Milliseconds(start)) + " ms.");
  m_lines.push_back(m_problems == 0 ? "Publishing works."
                                    : "Publishing does not work: " + std::to_string(m_problems) +
                                          " problem(s) above.");
  return m_problems == 0;
}

bool CPublishCheck::PublishProbe() {
  const std::string& root = m_settings.fileRoot;
  m_content = "Quiver publishing check " + RandomToken() + "\n";
  std::string error;
  if (!(m_root = CPublishRoot::Open(root, error))) {
    Problem(error);
    return false;
  }
  if (!ConnectRemoteRoot(*m_root)) return CreateFailed(*m_root);
  if (!m_root->CheckExclusive()) {
    Problem(m_root->Error());
    return false;
  }
  if (CPublishRoot::IsServer(root)) Ok("the server of " + root + " refuses to create what exists.");
  std::unique_ptr<CPublishUpload> probe = CreateUniqueUpload(*m_root, "quiver-check", ".txt");
  if (!probe) return CreateFailed(*m_root);
  if (!probe->Write(reinterpret_cast<const uint8_t*>(m_content.data()), m_content.size()) ||
      !probe->Finish()) {
    Problem("Cannot write the probe " + root + probe->Name() + ": " + probe->Reason());
    return false;
  }
  m_name = probe->Name();
  Ok("published the probe " + root + m_name + ".");
  return true;
}

bool CPublishCheck::CreateFailed(const CStatus& failure) {
  const std::string& root = m_settings.fileRoot;
  const uint32_t code = failure.Code();
  const std::string reason = failure.Reason();
  if (!failure.Error().empty()) {
    Problem("Cannot create a file in FileRoot " + root + ": " + reason);
  } else if (code == ERROR_PATH_NOT_FOUND || code == ERROR_FILE_NOT_FOUND) {
    Problem("FileRoot " + root + " does not exist (" + reason +
            "); create it or choose the directory the web server publishes.");
  } else if (code == ERROR_ACCESS_DENIED || code == ERROR_WRITE_PROTECT) {
    Problem("FileRoot " + root + " is not writable (" + reason +
            "); Quiver must be allowed to create files there.");
  } else {
    Problem("Cannot create a file in FileRoot " + root + ": " + reason);
  }
  return false;
}

void CPublishCheck::CheckMode() {
  // A WebDAV server tells no mode; its files get the one it chooses.
  RootEntry entry;
  if (!m_root->Look(m_name, entry) || entry.mode == 0) return;
  const unsigned mode = entry.mode;
  if (mode & S_IROTH) {
    Ok("the probe has mode " + Octal(mode) + ": any user, the web server's included, can read it.");
  } else {
    Warn("the probe has mode " + Octal(mode) +
         ": a web server running as another user cannot read what Quiver publishes; run Quiver "
         "with umask 022.");
  }
}

void CPublishCheck::FetchProbe() {
  const std::string url = m_settings.urlRoot + m_name;
  const Clock::time_point start = Clock::now();
  const CFetched fetched = Fetch(url);
  const std::string took = " (" + std::to_string(Milliseconds(start)) + " ms)";
  const std::string shown = RedactedUrl(url);
  if (!fetched.ok) {
    ReportFetchFailure(fetched.code, fetched.statusLine, fetched.cause, fetched.body);
  } else if (fetched.body != m_content) {
    Problem(shown + " answered" + took + ", but not with the probe (" +
            std::to_string(fetched.body.size()) +
            " bytes instead of " + std::to_string(m_content.size()) +
            "): UrlRoot does not publish FileRoot; make UrlRoot the URL of FileRoot.");
  } else {
    Ok("fetched " + shown + took + "; the bytes match.");
  }
}

void CPublishCheck::ReportFetchFailure(int32_t code, const std::string& statusLine,
                                       const std::string& cause, const std::string& body) {
  const std::string url = RedactedUrl(m_settings.urlRoot + m_name);
  if (statusLine.empty()) {
    Problem("cannot fetch " + url + ": " + SystemErrorMessage(static_cast<uint32_t>(code)) + " " +
            (cause.empty() ? "Is the web server running, and are the host and port in UrlRoot "
                             "right?"
                           : cause));
    return;
  }
  const std::string answered = url + " answered \"" + statusLine + "\"";
  const int status = StatusCode(statusLine);
  if (status == 404) {
    Problem(answered +
            ": the web server does not publish FileRoot under UrlRoot; check the "
            "path in UrlRoot and the server's root directory.");
  } else if (status == 403) {
    Problem(answered +
            ": the web server may not read the probe; check the permissions of "
            "FileRoot and the probe's mode.");
  } else if (status >= 300 && status < 400) {
    const std::string target = FirstLink(body);
    Problem(answered + ": the server redirects" + (target.empty() ? "" : " to " + target) +
            ", and receivers do not follow redirects; set UrlRoot to the URL that serves the "
            "file itself.");
  } else {
    Problem(answered + ".");
  }
}

// The page is not needed for Quiver to receive, so a page that cannot be
// published or fetched is a warning, not a problem.
void CPublishCheck::CheckPage() {
  const CReceivePage page;
  const std::vector<std::string> files = page.Files();
  const std::string quiverOnly = " Links open in Quiver only.";
  if (files.empty()) {
    Warn("this Quiver was built without its receive page." + quiverOnly);
    return;
  }
  if (!page.Publish(*m_root)) {
    Warn("cannot publish the receive page into " + m_settings.fileRoot + ": " +
         m_root->Reason() + quiverOnly);
    return;
  }
  for (const std::string& name : files) {
    const std::string url = m_settings.urlRoot + name;
    std::string bytes;
    const CFetched fetched = Fetch(url);
    if (!fetched.ok || !page.Read(name, bytes) || fetched.body != bytes) {
      Warn(RedactedUrl(url) + " is not served as published" +
           (fetched.statusLine.empty() ? "" : " (" + fetched.statusLine + ")") + "." + quiverOnly);
      return;
    }
  }
  Ok("the receive page " + RedactedUrl(m_settings.urlRoot + CReceivePage::PageName()) +
     " is served: links open in any web browser.");
}

void CPublishCheck::CheckListing() {
  const std::string& url = m_settings.urlRoot;
  const CFetched fetched = Fetch(url);
  if (fetched.ok && fetched.body.find(m_name) != std::string::npos) {
    Problem(RedactedUrl(url) +
            " lists the directory (its index page names the probe): anyone can see every "
            "file published; turn directory listing off (nginx: autoindex off; Apache: "
            "Options -Indexes).");
  } else if (fetched.ok || !fetched.statusLine.empty()) {
    Ok(RedactedUrl(url) + " does not list the published files.");
  }
}

void CPublishCheck::DeleteProbe() {
  if (m_root->Remove(m_name)) {
    Ok("deleted the probe.");
  } else {
    Problem("cannot delete the probe " + m_settings.fileRoot + m_name + ": " + m_root->Reason());
  }
}
