#pragma once
// Where Quiver's messages to the user go: a message box titled "Quiver" when
// there is a display, a line on standard error when there is none.
//
// One instance is current for the process; the program installs the one that
// fits its run, tests install their own. The current instance counts the
// failures it was told of, which decides the program's exit status: a
// question is no failure, whatever the answer.

#include <string>

class CMessageBox {
 public:
  virtual ~CMessageBox() = default;

  // A warning with an OK button.
  void Warning(const std::string& text);
  // Shown like a warning but not counted: for news that is no failure of
  // what the user asked for (a send that succeeded all the same, say).
  void Notice(const std::string& text) { ShowWarning(text); }
  // A Yes/No question; true for Yes. Without a way to ask, the answer is
  // `keepsData`, the one that keeps the user's data.
  bool AskYesNo(const std::string& text, bool keepsData);
  // A failure told as a question (what to do about it): counted as a warning.
  bool ReportAndAsk(const std::string& text, bool keepsData);

  int ReportCount() const { return m_reports; }

  static CMessageBox& Current();
  // Makes `box` current (nullptr restores the console). The caller keeps
  // ownership and must uninstall it before destroying it.
  static void Install(CMessageBox* box);

 protected:
  virtual void ShowWarning(const std::string& text) = 0;
  virtual bool ShowYesNo(const std::string& text, bool keepsData) = 0;

 private:
  int m_reports = 0;
};

// Writes "Quiver: " + text as one line on standard error; line breaks inside
// the text become blanks. A question is answered on the terminal (y or n,
// Return for the answer that keeps data); without one, the line says which
// answer was taken.
class CConsoleMessageBox : public CMessageBox {
 protected:
  void ShowWarning(const std::string& text) override;
  bool ShowYesNo(const std::string& text, bool keepsData) override;
};
