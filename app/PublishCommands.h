#pragma once
// The command-line commands about what is published:
//
//   --check               the publishing check (CPublishCheck); its report
//                         in a window when there is a display
//   --published           the register, newest first, one line per file
//   --expire [DAYS]       deletes the registered files older than DAYS days
//                         (0: all of them; KeepDays when not given, and
//                         nothing when that is 0) and marks them expired
//   --unpublish URL|NAME  deletes one published file at once
//
// Lists and what was done go to standard output; refusals and failures are
// warnings of the current message box.

#include <cstdint>
#include <functional>
#include <string>

#include "app/PublishRegister.h"
#include "app/Settings.h"

class CUnpublisher;
class CUserInterface;

class CPublishCommands {
 public:
  // Whether `arg` names one of these commands rather than a switch or a file.
  static bool IsCommand(const std::string& arg) { return arg.rfind("--", 0) == 0; }
  // One line of --published: time, size, age, URL, source name, and the mark
  // of an expired or removed entry.
  static std::string FormatEntry(const PublishedFile& file, int64_t now);

  CPublishCommands(CUserInterface& ui, const CSettings& settings,
                   CPublishRegister& publishRegister);

  // Runs the command argv[0] with the arguments after it. Returns the exit
  // status: 0, 1 after a failure, 2 for an unknown command or wrong
  // arguments (the caller shows the usage).
  int Run(int argc, const char* const* argv);

 private:
  int Check();
  int Published();
  int Expire(int argc, const char* const* argv);
  int Unpublish(const std::string& key);
  // Needs FileRoot (a warning and 1 when it is not set). Runs `work` on the files of FileRoot, prints what was done and warns of
  // what was refused; the exit status.
  int Unpublishing(const std::function<bool(CUnpublisher&)>& work);

  CUserInterface& m_ui;
  CSettings m_settings;
  CPublishRegister& m_register;
};
