#pragma once
// One command line of the program taken apart, without acting on it: what
// it asks for, the files it names (long names expanded) and what follows
// the switches. Switches are read in order, and the first that ends the
// reading (-P, -V, -h, an unknown one, a second -s) decides the action.

#include <string>

enum RunMode { ModeDefault, ModeSend, ModeView };

class CCommandLine {
 public:
  enum class Action {
    Help,            // --help, -h
    Links,           // --link: Rest() are the pointer files
    PublishCommand,  // --check and the others of app/PublishCommands.h: Rest() from the command
    Preferences,     // -P
    About,           // -V
    Usage,           // a wrong command line
    Send,            // -s: Source() into Target()
    View,            // -v: the view window on Target() (may be empty)
    Files,           // Rest(): pointer files to open, others to send; none: the send window
  };

  // `argv[0]` is the program's path.
  CCommandLine(int argc, const char* const* argv);

  // `path` with its extension (in the last component) replaced by ".qvr".
  static std::string WithPointerExtension(const std::string& path);

  Action GetAction() const { return m_action; }
  // The run mode the switches read before the action had set.
  RunMode Mode() const { return m_mode; }
  const std::string& Source() const { return m_source; }
  const std::string& Target() const { return m_target; }
  int RestCount() const { return m_restCount; }
  const char* const* Rest() const { return m_rest; }

 private:
  // Reads the switches; false once one of them decided the action.
  bool ReadSwitches();
  // Takes the next argument, expanded.
  std::string Take();

  Action m_action = Action::Files;
  RunMode m_mode = ModeDefault;
  std::string m_source;
  std::string m_target;
  int m_restCount;
  const char* const* m_rest;
};
