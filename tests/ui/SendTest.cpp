// The send window, sending for real into a private published directory.

#include "UiTest.h"
#include "app/PointerDoc.h"
#include "app/ReceivePage.h"
#include "support/PrivateDesktop.h"
#include "support/TestFiles.h"
#include "ui/HelpDlg.h"
#include "ui/PrefsDlg.h"
#include "ui/SendDlg.h"

#include <QClipboard>
#include <QComboBox>
#include <QDropEvent>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QUrl>
#include <QUrlQuery>

namespace {

using testing_support::Exists;
using testing_support::ListDir;
using testing_support::MakeDir;
using testing_support::WriteFile;

// A document that notes the cursor shown while it sends.
class CCursorNotingDoc : public CPointerDoc {
 public:
  explicit CCursorNotingDoc(std::vector<Qt::CursorShape>& shapes) : m_shapes(shapes) {}
  bool Send(const std::string& pointerFile, const std::string& source, const std::string& urlRoot,
            CPublishRoot& root) override {
    const QCursor* cursor = QGuiApplication::overrideCursor();
    m_shapes.push_back(cursor ? cursor->shape() : Qt::ArrowCursor);
    return CPointerDoc::Send(pointerFile, source, urlRoot, root);
  }

 private:
  std::vector<Qt::CursorShape>& m_shapes;
};

class CNotingSendDlg : public CSendDlg {
 public:
  using CSendDlg::CSendDlg;
  std::vector<Qt::CursorShape> sendCursors;

 protected:
  std::unique_ptr<CPointerDoc> NewPointerDoc() override {
    return std::make_unique<CCursorNotingDoc>(sendCursors);
  }
};

class SendTest : public CUiTest {
 protected:
  void SetUp() override {
    CUiTest::SetUp();
    m_published = MakeDir("www");
    m_sources = MakeDir("src");
    CompleteSettings(m_published);
  }

  std::string Source(const std::string& name, const std::string& content = "some text\n") {
    const std::string path = m_sources + "/" + name;
    WriteFile(path, content);
    return path;
  }
  static QLineEdit* SendField(CSendDlg& d) { return qobject_cast<QLineEdit*>(d.Control("sendFileEdit")); }
  static QLineEdit* QvrField(CSendDlg& d) { return qobject_cast<QLineEdit*>(d.Control("pointerFileEdit")); }
  static QComboBox* List(CSendDlg& d, const char* id) { return qobject_cast<QComboBox*>(d.Control(id)); }
  static void Click(CSendDlg& d, const char* id) {
    QTest::mouseClick(qobject_cast<QPushButton*>(d.Control(id)), Qt::LeftButton);
  }
  // Reads a pointer file back: URL, compression and encryption texts.
  static std::vector<std::string> Describe(const std::string& pointerFile) {
    CPointerDoc doc;
    if (!doc.ReadFromFile(pointerFile)) return {"unreadable"};
    return {doc.GetUrl(), doc.GetCompressionDescription(), doc.GetEncryptionDescription()};
  }

  std::string m_published;
  std::string m_sources;
};

TEST_F(SendTest, ControlsListsAndFixedFrame) {
  CSendDlg send(m_app, nullptr);
  EXPECT_EQ(send.windowTitle(), "Quiver Send");
  const struct {
    const char* name;
    const char* text;
  } labels[] = {{"sendFileLabel", "Send File:"},
                {"pointerFileLabel", "QVR File:"},
                {"compressionLabel", "Compression Type:"},
                {"encryptionLabel", "Encryption Type:"}};
  for (const auto& l : labels) EXPECT_EQ(Child<QLabel>(&send, l.name)->text(), l.text);
  const struct {
    const char* id;
    const char* text;
  } buttons[] = {{"sendFileBrowse", "..."},          {"pointerFileBrowse", "..."},   {"sendButton", "&Send"},
                 {"preferencesButton", "&Preferences"}, {"helpButton", "&Help"}, {"closeButton", "Close"}};
  for (const auto& b : buttons) {
    auto* button = qobject_cast<QPushButton*>(send.Control(b.id));
    ASSERT_NE(button, nullptr) << b.id;
    EXPECT_EQ(button->text(), b.text);
    EXPECT_EQ(button->isDefault(), std::string(b.id) == "closeButton") << b.id;
  }
  EXPECT_EQ(List(send, "compressionList")->count(), 2);
  EXPECT_EQ(List(send, "compressionList")->itemText(0), "None");
  EXPECT_EQ(List(send, "compressionList")->itemText(1), "LZ (Lempel-Ziv)");
  EXPECT_EQ(List(send, "encryptionList")->itemText(0), "None");
  EXPECT_EQ(List(send, "encryptionList")->itemText(1), "Simple");
  EXPECT_EQ(List(send, "encryptionList")->itemText(2), "Strong");
  EXPECT_EQ(List(send, "encryptionList")->count(), 3);
  EXPECT_EQ(List(send, "compressionList")->currentIndex(), 1) << "the stored code selects its entry";
  EXPECT_FALSE(List(send, "encryptionList")->isEditable());
}

TEST_F(SendTest, SendFileHasTheFocusAndTabFollowsTheRowsThenTheButtons) {
  CSendDlg send(m_app, nullptr);
  Activate(&send);
  EXPECT_TRUE(HasFocus(SendField(send)));
  EXPECT_EQ(TabSequence(&send, 11),
            QStringList({"sendFileEdit", "sendFileBrowse", "pointerFileEdit", "pointerFileBrowse",
                         "compressionList", "encryptionList", "sendButton", "preferencesButton",
                         "helpButton", "closeButton", "sendFileEdit"}));
}

// Typing a pointer-file path and then visiting and leaving the Send File
// field replaces it with the proposed one.
TEST_F(SendTest, LeavingTheSendFileFieldProposesThePointerFile) {
  CSendDlg send(m_app, nullptr);
  Activate(&send);
  ASSERT_TRUE(HasFocus(SendField(send)));
  QTest::keyClicks(SendField(send), "/data/report.final.doc");
  QTest::keyClick(SendField(send), Qt::Key_Tab);
  EXPECT_EQ(QvrField(send)->text(), "/data/report.final.qvr");
  ClickInto(QvrField(send));
  QvrField(send)->selectAll();
  QTest::keyClicks(QvrField(send), "/elsewhere/mine.qvr");
  EXPECT_EQ(send.PointerFile(), "/data/report.final.qvr") << "typing alone collects nothing";
  ClickInto(SendField(send));
  QTest::keyClick(SendField(send), Qt::Key_Backtab);
  EXPECT_EQ(QvrField(send)->text(), "/data/report.final.qvr");
  SendField(send)->clear();
  QvrField(send)->setText("/kept.qvr");
  ClickInto(SendField(send));
  ClickInto(QvrField(send));
  EXPECT_EQ(QvrField(send)->text(), "/kept.qvr") << "an empty Send File proposes nothing";
}

TEST_F(SendTest, ProposalUsesTheWindowsQvrDirectory) {
  m_app.GetSettings().hasUrlFileDir = 1;
  m_app.GetSettings().urlFileDir = "/pointers";
  CSendDlg send(m_app, nullptr);
  Activate(&send);
  QTest::keyClicks(SendField(send), "/data/a.b/noext");
  QTest::keyClick(SendField(send), Qt::Key_Tab);
  EXPECT_EQ(QvrField(send)->text(), "/pointers/noext.qvr");
}

TEST_F(SendTest, CancelledFileDialogStillProposesThePointerFile) {
  const std::string source = Source("letter.txt");
  CSendDlg send(m_app, nullptr);
  Activate(&send);
  ClickInto(QvrField(send));
  SendField(send)->setText(QString::fromStdString(source));
  QvrField(send)->setText("/typed/by/hand.qvr");
  CModalDriver driver;
  driver.Then([&](QWidget* w) {
    auto* dialog = qobject_cast<QFileDialog*>(w);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->windowTitle(), "Pick File to Send");
    EXPECT_EQ(dialog->nameFilters(), QStringList({"All Files (*)"}));
    EXPECT_EQ(dialog->acceptMode(), QFileDialog::AcceptOpen);
    EXPECT_EQ(dialog->parentWidget(), nullptr);
    EXPECT_EQ(dialog->selectedFiles().value(0).toStdString(), source);
    dialog->reject();
  });
  Click(send, "sendFileBrowse");
  EXPECT_EQ(driver.Seen(), QStringList({"Pick File to Send"}));
  EXPECT_EQ(send.SendFile(), source);
  EXPECT_EQ(QvrField(send)->text().toStdString(), m_sources + "/letter.qvr");
}

TEST_F(SendTest, PickedFileFillsSendFileAndProposesThePointerFile) {
  const std::string source = Source("picked.dat");
  CSendDlg send(m_app, nullptr);
  Activate(&send);
  CModalDriver driver;
  driver.Then([&](QWidget* w) {
    auto* dialog = qobject_cast<QFileDialog*>(w);
    ASSERT_NE(dialog, nullptr);
    PickFile(dialog, source);
  });
  Click(send, "sendFileBrowse");
  EXPECT_EQ(SendField(send)->text().toStdString(), source);
  EXPECT_EQ(QvrField(send)->text().toStdString(), m_sources + "/picked.qvr");
  EXPECT_TRUE(driver.Unexpected().isEmpty()) << driver.Unexpected().join(", ").toStdString();
}

TEST_F(SendTest, QvrFileDialogKeepsANameWithoutExtension) {
  CSendDlg send(m_app, nullptr);
  Activate(&send);
  QvrField(send)->setText("/initial.qvr");
  CModalDriver driver;
  driver.Then([&](QWidget* w) {
    auto* dialog = qobject_cast<QFileDialog*>(w);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->windowTitle(), "Create Quiver File");
    EXPECT_EQ(dialog->nameFilters(), QStringList({"Quiver Files (*.qvr)", "All Files (*)"}));
    EXPECT_EQ(dialog->acceptMode(), QFileDialog::AcceptSave);
    EXPECT_EQ(dialog->defaultSuffix(), "");
    PickFile(dialog, m_sources + "/plain");
  });
  driver.Then([](QWidget* w) { qobject_cast<QFileDialog*>(w)->reject(); });
  Click(send, "pointerFileBrowse");
  EXPECT_EQ(QvrField(send)->text().toStdString(), m_sources + "/plain");
  Click(send, "pointerFileBrowse");
  EXPECT_EQ(QvrField(send)->text().toStdString(), m_sources + "/plain") << "cancel changed it";
  EXPECT_EQ(driver.Pending(), 0u);
}

TEST_F(SendTest, SendWithAnEmptyFieldDoesNothing) {
  const std::string source = Source("a.txt");
  const struct {
    std::string sendFile, qvrFile;
  } cases[] = {{"", m_sources + "/a.qvr"}, {source, ""}, {"", ""}};
  for (const auto& c : cases) {
    CSendDlg send(m_app, nullptr);
    Activate(&send);
    ClickInto(QvrField(send));
    SendField(send)->setText(QString::fromStdString(c.sendFile));
    QvrField(send)->setText(QString::fromStdString(c.qvrFile));
    CModalDriver driver;
    Click(send, "sendButton");
    QTest::qWait(50);
    EXPECT_TRUE(driver.Seen().isEmpty()) << driver.Seen().join(", ").toStdString();
  }
  EXPECT_TRUE(ListDir(m_published).empty());
  EXPECT_FALSE(Exists(m_sources + "/a.qvr"));
}

// Send encodes with the lists' choices under the busy cursor and shows
// nothing on success; the application's settings are not touched.
TEST_F(SendTest, SendUsesTheListsOfTheWindow) {
  const std::string source = Source("notes.txt", testing_support::SampleText(5000));
  CNotingSendDlg send(m_app, nullptr);
  Activate(&send);
  SendField(send)->setText(QString::fromStdString(source));
  ClickInto(QvrField(send));
  List(send, "compressionList")->setCurrentIndex(0);
  List(send, "encryptionList")->setCurrentIndex(0);
  CModalDriver driver;
  Click(send, "sendButton");
  EXPECT_TRUE(driver.Seen().isEmpty()) << driver.Seen().join(", ").toStdString();
  EXPECT_EQ(send.sendCursors, std::vector<Qt::CursorShape>({Qt::WaitCursor}));
  EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr) << "the cursor was not restored";
  EXPECT_EQ(ListDir(m_published), std::vector<std::string>({"notes.txt"}));
  EXPECT_EQ(Describe(m_sources + "/notes.qvr"),
            std::vector<std::string>({"http://127.0.0.1/notes.txt", "None: 5000 bytes", "None"}));
  EXPECT_EQ(send.Settings().compressType, 0);
  EXPECT_EQ(m_app.GetSettings().compressType, 1);

  List(send, "compressionList")->setCurrentIndex(1);
  List(send, "encryptionList")->setCurrentIndex(1);
  Click(send, "sendButton");
  const std::vector<std::string> second = Describe(m_sources + "/notes.qvr");
  EXPECT_EQ(second.at(0), "http://127.0.0.1/note0000.txt");
  EXPECT_EQ(second.at(1).rfind("LZ", 0), 0u) << second.at(1);
  EXPECT_EQ(second.at(2), "Simple");

  List(send, "encryptionList")->setCurrentIndex(2);
  Click(send, "sendButton");
  EXPECT_EQ(Describe(m_sources + "/notes.qvr").at(2), "Strong (XChaCha20-Poly1305)");
}

// After a send the window shows the pointer file and its link: Copy link
// puts the link on the clipboard, and E-mail… gives the desktop's mailto:
// program (here one that records what it is given) the pointer file as
// attachment and the link in the text.
TEST_F(SendTest, ASendOffersThePointerFileByMailAndItsLink) {
  testing_support::UsePrivateDesktop();
  const std::string record = testing_support::TestRoot() + "/mailto";
  testing_support::WriteScript(testing_support::TestRoot() + "/mailer",
                               "#!/bin/sh\nprintf %s \"$1\" > '" + record + "'\n");
  testing_support::InstallApplication("mailer", testing_support::TestRoot() + "/mailer %u",
                                      "x-scheme-handler/mailto;");
  testing_support::SetDefaultApplications({{"x-scheme-handler/mailto", "mailer.desktop"}});
  // xdg-email asks the desktop's handlers only when there is a display.
  setenv("DISPLAY", ":77", 1);

  CSendDlg send(m_app, nullptr);
  Activate(&send);
  EXPECT_TRUE(send.Control("sentPanel")->isHidden());
  SendField(send)->setText(QString::fromStdString(Source("notes.txt")));
  ClickInto(QvrField(send));
  Click(send, "sendButton");
  const std::string pointer = m_sources + "/notes.qvr";
  std::string link;
  ASSERT_TRUE(CReceivePage::LinkOf(pointer, link));
  EXPECT_FALSE(send.Control("sentPanel")->isHidden());
  EXPECT_EQ(qobject_cast<QLineEdit*>(send.Control("sentPointerEdit"))->text().toStdString(), pointer);
  EXPECT_EQ(qobject_cast<QLineEdit*>(send.Control("linkEdit"))->text().toStdString(), link);

  Click(send, "copyLinkButton");
  EXPECT_EQ(QGuiApplication::clipboard()->text().toStdString(), link);
  Click(send, "emailButton");
  QTRY_VERIFY_WITH_TIMEOUT(Exists(record) && !testing_support::ReadFile(record).empty(), 10000);
  const QUrl mailto(QString::fromStdString(testing_support::ReadFile(record)));
  const QUrlQuery fields(mailto);
  EXPECT_EQ(mailto.scheme(), "mailto");
  EXPECT_EQ(fields.queryItemValue("attach", QUrl::FullyDecoded).toStdString(), pointer);
  EXPECT_NE(fields.queryItemValue("body", QUrl::FullyDecoded).toStdString().find(link),
            std::string::npos);
  EXPECT_EQ(fields.queryItemValue("subject", QUrl::FullyDecoded), "notes.txt");
  unsetenv("DISPLAY");
}

TEST_F(SendTest, FailedSendReportsTheSourceAndTheSystemText) {
  const std::string missing = m_sources + "/missing.doc";
  CNotingSendDlg send(m_app, nullptr);
  Activate(&send);
  SendField(send)->setText(QString::fromStdString(missing));
  ClickInto(QvrField(send));
  CModalDriver driver;
  driver.Then([](QWidget* box) {
    EXPECT_EQ(box->windowTitle(), "Quiver");
    EXPECT_EQ(qobject_cast<QMessageBox*>(box)->icon(), QMessageBox::Warning);
    CModalDriver::Answer(box, QMessageBox::Ok);
  });
  Click(send, "sendButton");
  EXPECT_EQ(driver.Seen(),
            QStringList({QString::fromStdString("message: Problem sending " + missing +
                                                ": The system cannot find the file specified.")}));
  EXPECT_EQ(send.sendCursors, std::vector<Qt::CursorShape>({Qt::WaitCursor}));
  EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
  EXPECT_EQ(QvrField(send)->text().toStdString(), m_sources + "/missing.qvr");
  EXPECT_TRUE(ListDir(m_published).empty());
}

TEST_F(SendTest, OneFileDroppedOnTheOpenWindowFillsTheFieldsAndSendsNothing) {
  const std::string source = Source("dropped.txt");
  CSendDlg send(m_app, nullptr);
  Activate(&send);
  CModalDriver driver;
  Drop(send, {source});
  EXPECT_EQ(SendField(send)->text().toStdString(), source);
  EXPECT_EQ(QvrField(send)->text().toStdString(), m_sources + "/dropped.qvr");
  EXPECT_TRUE(ListDir(m_published).empty());
  EXPECT_FALSE(Exists(m_sources + "/dropped.qvr"));
  EXPECT_TRUE(driver.Seen().isEmpty());
  EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

TEST_F(SendTest, APointerFileDroppedIsHandledLikeAnyFile) {
  const std::string source = Source("already.qvr", "not really a pointer file");
  CSendDlg send(m_app, nullptr);
  Activate(&send);
  Drop(send, {source});
  EXPECT_EQ(SendField(send)->text().toStdString(), source);
  EXPECT_EQ(QvrField(send)->text().toStdString(), source);
}

TEST_F(SendTest, TwoFilesDroppedAreBothSentAndTheSecondPairShown) {
  const std::string first = Source("one.txt", "first");
  const std::string second = Source("two.doc", "second");
  CNotingSendDlg send(m_app, nullptr);
  Activate(&send);
  CModalDriver driver;
  Drop(send, {first, second});
  EXPECT_TRUE(driver.Seen().isEmpty()) << driver.Seen().join(", ").toStdString();
  EXPECT_EQ(ListDir(m_published), std::vector<std::string>({"one.txt", "two.doc"}));
  EXPECT_EQ(Describe(m_sources + "/one.qvr").at(0), "http://127.0.0.1/one.txt");
  EXPECT_EQ(Describe(m_sources + "/two.qvr").at(0), "http://127.0.0.1/two.doc");
  EXPECT_EQ(SendField(send)->text().toStdString(), second);
  EXPECT_EQ(QvrField(send)->text().toStdString(), m_sources + "/two.qvr");
  EXPECT_EQ(send.sendCursors, std::vector<Qt::CursorShape>({Qt::WaitCursor, Qt::WaitCursor}));
}

TEST_F(SendTest, OneFileDroppedOnTheMinimisedWindowIsSentAtOnce) {
  const std::string source = Source("quick.txt");
  CSendDlg send(m_app, nullptr);
  send.showMinimized();
  ASSERT_TRUE(send.isMinimized());
  Drop(send, {source});
  EXPECT_EQ(ListDir(m_published), std::vector<std::string>({"quick.txt"}));
  EXPECT_EQ(Describe(m_sources + "/quick.qvr").at(0), "http://127.0.0.1/quick.txt");
  EXPECT_TRUE(send.isMinimized());
}

TEST_F(SendTest, ADropStopsAtTheFirstFailedSend) {
  const std::string missing = m_sources + "/gone.txt";
  const std::string after = Source("after.txt");
  CSendDlg send(m_app, nullptr);
  Activate(&send);
  CModalDriver driver;
  driver.Then([](QWidget* box) { CModalDriver::Answer(box, QMessageBox::Ok); });
  Drop(send, {missing, after});
  EXPECT_EQ(driver.Seen(),
            QStringList({QString::fromStdString("message: Problem sending " + missing +
                                                ": The system cannot find the file specified.")}));
  EXPECT_TRUE(ListDir(m_published).empty());
  EXPECT_FALSE(Exists(m_sources + "/after.qvr"));
  EXPECT_EQ(SendField(send)->text().toStdString(), missing);
}

TEST_F(SendTest, TypeCodeWithoutAnEntryLeavesTheListEmptyAndCollectsMinusOne) {
  m_app.GetSettings().compressType = 7;
  CSendDlg send(m_app, nullptr);
  EXPECT_EQ(List(send, "compressionList")->currentIndex(), -1);
  EXPECT_EQ(List(send, "encryptionList")->currentIndex(), 2);
  send.Collect();
  EXPECT_EQ(send.Settings().compressType, -1);
  EXPECT_EQ(send.Settings().encryptType, 2);
}

// Preferences edits the window's copy: OK and Save replace it (and the
// lists show its codes), only Save writes the store, Cancel does nothing.
TEST_F(SendTest, PreferencesOkSaveAndCancel) {
  const struct {
    const char* button;
    bool windowChanged;
    bool stored;
  } cases[] = {
      {"okButton", true, false}, {"saveButton", true, true}, {"cancelButton", false, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.button);
    ::unlink(m_app.ProfilePath().c_str());
    CSendDlg send(m_app, nullptr);
    Activate(&send);
    CModalDriver driver;
    driver.Then([&](QWidget* w) {
      auto* prefs = qobject_cast<CPrefsDlg*>(w);
      ASSERT_NE(prefs, nullptr);
      EXPECT_EQ(prefs->parentWidget(), &send);
      qobject_cast<QComboBox*>(prefs->Control("compressionList"))->setCurrentIndex(0);
      qobject_cast<QLineEdit*>(prefs->Control("urlRootEdit"))->setText("http://changed.example");
      QTest::mouseClick(Child<QPushButton>(prefs, c.button), Qt::LeftButton);
    });
    Click(send, "preferencesButton");
    EXPECT_EQ(driver.Seen(), QStringList({"Quiver Preferences"}));
    EXPECT_EQ(send.Settings().urlRoot,
              c.windowChanged ? "http://changed.example/" : "http://127.0.0.1/");
    EXPECT_EQ(List(send, "compressionList")->currentIndex(), c.windowChanged ? 0 : 1);
    EXPECT_EQ(StoredSettings().find("UrlRoot=http://changed.example/") != std::string::npos,
              c.stored);
    EXPECT_EQ(m_app.GetSettings().urlRoot,
              c.stored ? "http://changed.example/" : "http://127.0.0.1/");
    m_app.GetSettings().urlRoot = "http://127.0.0.1/";
    m_app.GetSettings().compressType = 1;
  }
}

TEST_F(SendTest, HelpShowsTheSendPage) {
  CSendDlg send(m_app, nullptr);
  Activate(&send);
  Click(send, "helpButton");
  auto* help = send.findChild<CHelpDlg*>();
  ASSERT_NE(help, nullptr);
  EXPECT_EQ(help->CurrentPage(), "qrc:/help/send.html");
}

TEST_F(SendTest, EnterClosesWithOkAndEscapeCancels) {
  const struct {
    Qt::Key key;
    int result;
  } cases[] = {{Qt::Key_Return, QDialog::Accepted}, {Qt::Key_Escape, QDialog::Rejected}};
  for (const auto& c : cases) {
    CSendDlg send(m_app, nullptr);
    CModalDriver driver;
    driver.Then([&](QWidget*) {
      ASSERT_TRUE(HasFocus(SendField(send)));
      QTest::keyClicks(SendField(send), "/x/y.txt");
      QTest::keyClick(SendField(send), c.key);
    });
    EXPECT_EQ(send.exec(), c.result);
    EXPECT_EQ(send.SendFile(), c.result == QDialog::Accepted ? "/x/y.txt" : "")
        << "Close collects, Escape does not";
  }
}

}  // namespace
