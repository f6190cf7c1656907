#pragma once
// The send window ("Quiver Send"): the file to send, the pointer file to
// create, the compression and encryption of this send, and the Send button.
// Files dropped on the open window fill the fields (one file) or are sent
// one after the other (several files, or any drop on the minimised window).
//
// After a send, the window shows where the pointer file is, with its link,
// and offers to mail it (the pointer file attached, the link in the text),
// to copy the link and to show the pointer file in its folder.
//
// The window works on its own copy of the application's settings; the two
// lists edit its type codes and Preferences replaces it. It never writes
// the settings store.

#include "app/Settings.h"
#include "ui/MainWindowDlg.h"

#include <memory>
#include <string>

class CPointerDoc;
class CQuiverApp;

namespace Ui {
class SendDlg;
}

class CSendDlg : public CMainWindowDlg {
  Q_OBJECT

 public:
  CSendDlg(CQuiverApp& app, QWidget* parent);
  ~CSendDlg() override;

  // The pointer-file path the application proposes for `source` under this
  // window's settings.
  virtual std::string DefaultPointerName(const std::string& source);

  std::string& SendFile() { return m_strSendFile; }
  std::string& PointerFile() { return m_strPointerFile; }
  CSettings& Settings() { return m_settings; }

 protected:
  void DoDataExchange(bool save) override;
  void OnDropFiles(const std::vector<std::string>& paths) override;
  // A fresh pointer document for one send.
  virtual std::unique_ptr<CPointerDoc> NewPointerDoc();

 private:
  void OnSend();
  void OnSendFileKillFocus();
  void OnBrowseSendFile();
  void OnBrowsePointerFile();
  void OnPreferences();
  // Shows the pointer file of the send that just worked, and its link.
  void ShowSent();
  void OnEmail();
  void OnCopyLink();
  void OnShowInFolder();
  // Sends the Send File into the QVR File with `doc`, under the busy
  // cursor; a failure is reported. False on failure.
  bool SendWith(CPointerDoc& doc);

  // The window's size in dialog units; it grows by the panel of a send.
  static constexpr int kWidth = 254;
  static constexpr int kHeight = 74;
  // How long the file manager may take to answer (milliseconds).
  static constexpr int kShowItemsWait = 3000;

  std::unique_ptr<Ui::SendDlg> m_ui;
  std::string m_strSendFile;
  std::string m_strPointerFile;
  CQuiverApp* m_pApp;
  CSettings m_settings;
  std::string m_sentFile;
  std::string m_sentPointerFile;
  std::string m_sentLink;
};
