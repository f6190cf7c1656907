#pragma once
// A check of the publishing set-up: makes sure the server of FileRoot
// refuses to create what exists, publishes a small probe into FileRoot
// exactly as a send does (same naming, same mode), fetches UrlRoot followed by
// its name through the web access library, compares the bytes, publishes the
// receive page (app/ReceivePage.h) unless it is there and makes sure it is
// served as published, looks whether the server lists the directory, and
// deletes the probe.
//
// Each step becomes one line a person can act on, beginning "ok: ",
// "warning: " or "problem: "; the last two lines give the time taken and the
// verdict. Nothing is shown here: the caller prints or displays Report().

#include <memory>
#include <string>
#include <vector>

#include "app/Settings.h"

class CPublishRoot;
class CStatus;

class CPublishCheck {
 public:
  // The title of the window that shows the report.
  static constexpr const char* kTitle = "Quiver Publishing Check";

  explicit CPublishCheck(const CSettings& settings);
  ~CPublishCheck();

  // Runs every step that the earlier ones allow. True when a receiver could
  // fetch what a send publishes and nothing else was found wrong.
  bool Run();

  const std::vector<std::string>& Lines() const { return m_lines; }
  // The lines, each ended by a line feed.
  std::string Report() const;

 private:
  bool PublishProbe();
  // Says why no probe could be created; returns false.
  bool CreateFailed(const CStatus& failure);
  void CheckMode();
  void FetchProbe();
  // `cause`: the URL document's plain words for a failure without an answer.
  void ReportFetchFailure(int32_t code, const std::string& statusLine, const std::string& cause,
                          const std::string& body);
  void CheckPage();
  void CheckListing();
  void DeleteProbe();
  void Ok(const std::string& text) { m_lines.push_back("ok: " + text); }
  void Warn(const std::string& text) { m_lines.push_back("warning: " + text); }
  void Problem(const std::string& text);

  CSettings m_settings;
  std::string m_name;     // the probe's name in FileRoot
  std::string m_content;  // the probe's bytes
  std::vector<std::string> m_lines;
  int m_problems = 0;
  std::unique_ptr<CPublishRoot> m_root;
};
