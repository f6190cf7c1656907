#include "app/PublishCommands.h"

#include <cstdio>
#include <ctime>
#include <memory>
#include <vector>

#include "app/ProgressMeter.h"
#include "app/PublishCheck.h"
#include "app/RedactedUrl.h"
#include "app/RemoteConnect.h"
#include "app/Unpublisher.h"
#include "app/UserInterface.h"
#include "remote/PublishRoot.h"

namespace {

std::string LocalTime(int64_t seconds) {
  const std::time_t when = static_cast<std::time_t>(seconds);
  std::tm parts{};
  localtime_r(&when, &parts);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%d %H:%M", &parts);
  return text;
}

std::string Age(int64_t seconds) {
  if (seconds < 0) seconds = 0;
  if (seconds < 60 * 60) return std::to_string(seconds / 60) + " min";
  if (seconds < 24 * 60 * 60) return std::to_string(seconds / (60 * 60)) + " h";
  return std::to_string(seconds / (24 * 60 * 60)) + " d";
}

std::string BaseName(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// A whole number of days from 0 up; false for anything else.
bool ParseDays(const std::string& text, int32_t& days) {
  if (text.empty() || text.size() > 6 ||
      text.find_first_not_of("0123456789") != std::string::npos) {
    return false;
  }
  days = std::stoi(text);
  return true;
}

void PrintLine(const std::string& line) { std::printf("%s\n", line.c_str()); }

}  // namespace

std::string CPublishCommands::FormatEntry(const PublishedFile& file, int64_t now) {
  char head[64];
  std::snprintf(head, sizeof head, "%s  %10s  %6s", LocalTime(file.time).c_str(),
                CProgressMeter::FormatBytes(file.size).c_str(), Age(now - file.time).c_str());
  std::string line = std::string(head) + "  " + RedactedUrl(file.url) + "  " + BaseName(file.source);
  if (!file.state.empty()) {
    line += "  [" + file.state + (file.ended ? " " + LocalTime(file.ended) : "") + "]";
  }
  return line;
}

CPublishCommands::CPublishCommands(CUserInterface& ui, const CSettings& settings,
                                   CPublishRegister& publishRegister)
    : m_ui(ui), m_register(publishRegister) {
  m_settings.Assign(settings);
}

int CPublishCommands::Run(int argc, const char* const* argv) {
  const std::string command = argv[0];
  if (command == "--check" && argc == 1) return Check();
  if (command == "--published" && argc == 1) return Published();
  if (command == "--expire" && argc <= 2) return Expire(argc, argv);
  if (command == "--unpublish" && argc == 2) return Unpublish(argv[1]);
  return 2;
}

int CPublishCommands::Check() {
  CPublishCheck check(m_settings);
  const bool works = check.Run();
  m_ui.ShowReport(CPublishCheck::kTitle, check.Report());
  return works ? 0 : 1;
}

int CPublishCommands::Published() {
  std::vector<PublishedFile> files;
  if (!m_register.List(files)) {
    m_ui.Warning(m_register.Error());
    return 1;
  }
  const int64_t now = std::time(nullptr);
  for (const PublishedFile& file : files) PrintLine(FormatEntry(file, now));
  std::fflush(stdout);
  return 0;
}

int CPublishCommands::Unpublishing(const std::function<bool(CUnpublisher&)>& work) {
  if (m_settings.fileRoot.empty()) {
    m_ui.Warning("FileRoot is not set: nothing can be deleted from it (quiver -P).");
    return 1;
  }
  std::string error;
  const std::unique_ptr<CPublishRoot> root = CPublishRoot::Open(m_settings.fileRoot, error);
  if (!root || !ConnectRemoteRoot(*root)) {
    m_ui.Warning(root ? root->Error() : error);
    return 1;
  }
  CUnpublisher unpublisher(m_register, m_settings.fileRoot, *root);
  const bool ok = work(unpublisher);
  for (const std::string& line : unpublisher.Lines()) PrintLine(line);
  std::fflush(stdout);
  for (const std::string& problem : unpublisher.Problems()) m_ui.Warning(problem);
  return ok ? 0 : 1;
}

// KeepDays 0 keeps for ever, but a 0 typed on the command line asks for
// everything published so far.
int CPublishCommands::Expire(int argc, const char* const* argv) {
  int32_t days = m_settings.keepDays;
  if (argc == 2 && !ParseDays(argv[1], days)) return 2;
  if (argc == 1 && days <= 0) {
    PrintLine(
        "Nothing expires: KeepDays is 0 (keep for ever); give the days: quiver --expire DAYS");
    return 0;
  }
  // The register counts whole seconds and expires what is strictly older:
  // a file published within this second is due only a second later.
  const int64_t now = std::time(nullptr) + (days == 0 ? 1 : 0);
  return Unpublishing(
      [&](CUnpublisher& unpublisher) { return unpublisher.Expire(days, now); });
}

int CPublishCommands::Unpublish(const std::string& key) {
  return Unpublishing(
      [&](CUnpublisher& unpublisher) {
        return unpublisher.Unpublish(RedactedUrl(key), std::time(nullptr));
      });
}
