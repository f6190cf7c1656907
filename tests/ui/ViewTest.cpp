// The view window over real pointer files; fetches go to a private nginx
// and open with a fixture application found through GIO's real lookup.

#include "UiTest.h"
#include "app/PointerDoc.h"
#include "app/ReceivePage.h"
#include "support/NginxServer.h"
#include "support/PrivateDesktop.h"
#include "support/TestFiles.h"
#include "ui/HelpDlg.h"
#include "ui/PrefsDlg.h"
#include "ui/ViewDlg.h"

#include <QCheckBox>
#include <QDropEvent>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QUrl>

#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using namespace testing_support;

// Opens ".txt" files: copies the file it gets into $QUIVER_COPY_OUT.
const char kCopier[] = R"(#!/bin/sh
out="$QUIVER_COPY_OUT"
n=$(ls "$out" | wc -l)
cp -- "$1" "$out/copy$n"
)";

// The view window noting the cursor shown while it fetches.
class CNotingViewDlg : public CViewDlg {
 public:
  using CViewDlg::CViewDlg;
  std::vector<Qt::CursorShape> fetchCursors;

  bool FetchAndLaunch() override {
    const QCursor* cursor = QGuiApplication::overrideCursor();
    fetchCursors.push_back(cursor ? cursor->shape() : Qt::ArrowCursor);
    return CViewDlg::FetchAndLaunch();
  }
};

class ViewTest : public CUiTest {
 protected:
  static void SetUpTestSuite() {
    UsePrivateDesktop();
    InstallDefaultApplication("copier", kCopier, {"text/plain"});
  }

  void SetUp() override {
    CUiTest::SetUp();
    m_published = MakeDir("www");
    m_pointers = MakeDir("pointers");
    m_copies = MakeDir("copies");
    setenv("QUIVER_COPY_OUT", m_copies.c_str(), 1);
    CompleteSettings(m_published);
  }

  // A pointer file for `content` published as `name` (served once Serve()).
  std::string Published(const std::string& name, const std::string& content) {
    Serve();
    const std::string source = MakeDir("src") + "/" + name;
    WriteFile(source, content);
    CPointerDoc doc;
    doc.BuildChain(m_app.GetSettings());
    const std::string pointer = m_pointers + "/" + name + ".qvr";
    EXPECT_TRUE(doc.Send(pointer, source, m_server->BaseUrl(), m_published + "/"))
        << doc.GetError();
    return pointer;
  }
  // A pointer file whose URL names no file type.
  std::string WithoutExtension() {
    CPointerDoc doc;
    doc.SetUrl("http://127.0.0.1/noextension");
    const std::string pointer = m_pointers + "/noext.qvr";
    EXPECT_TRUE(doc.WriteToFile(pointer));
    return pointer;
  }
  std::string Unreadable() {
    const std::string path = m_pointers + "/damaged.qvr";
    WriteFile(path, "this is no pointer file");
    return path;
  }
  void Serve() {
    if (!m_server) m_server = std::make_unique<CNginxServer>(m_published);
  }

  static QLineEdit* Field(CViewDlg& d, const char* id) { return qobject_cast<QLineEdit*>(d.Control(id)); }
  static QString Compression(CViewDlg& d) { return Child<QLabel>(&d, "compressionText")->text(); }
  static QStringList Shown(CViewDlg& d) {
    return {Field(d, "fileEdit")->text(), Field(d, "urlEdit")->text(), Compression(d),
            Field(d, "encryptionEdit")->text(), Field(d, "sizeEdit")->text()};
  }
  static void Click(CViewDlg& d, const char* id) {
    QTest::mouseClick(qobject_cast<QPushButton*>(d.Control(id)), Qt::LeftButton);
  }
  // Puts `text` into the File field as the user types it, then leaves.
  static void TypeAndLeave(CViewDlg& d, const std::string& text) {
    QLineEdit* file = Field(d, "fileEdit");
    ClickInto(file);
    file->selectAll();
    if (text.empty()) {
      QTest::keyClick(file, Qt::Key_Delete);
    } else {
      QTest::keyClicks(file, QString::fromStdString(text));
    }
    QTest::keyClick(file, Qt::Key_Tab);
  }
  static QString Message(const std::string& text) {
    return QString::fromStdString("message: " + text);
  }

  std::string m_published;
  std::string m_pointers;
  std::string m_copies;
  std::unique_ptr<CNginxServer> m_server;
};

TEST_F(ViewTest, ControlsReadOnlyFieldsAndTabOrder) {
  CViewDlg view(m_app, "", nullptr);
  EXPECT_EQ(view.windowTitle(), "Quiver View");
  const struct {
    const char* name;
    const char* text;
  } labels[] = {{"fileLabel", "File:"},
                {"urlLabel", "URL:"},
                {"compressionLabel", "Compression Type:"},
                {"encryptionLabel", "Encryption Type:"},
                {"sizeLabel", "Size:"}};
  for (const auto& l : labels) EXPECT_EQ(Child<QLabel>(&view, l.name)->text(), l.text);
  for (const char* id : {"urlEdit", "encryptionEdit", "sizeEdit"}) {
    EXPECT_TRUE(Field(view, id)->isReadOnly()) << id;
    EXPECT_FALSE(Field(view, id)->focusPolicy() & Qt::TabFocus) << id;
  }
  EXPECT_FALSE(Field(view, "fileEdit")->isReadOnly());
  const struct {
    const char* id;
    const char* text;
  } buttons[] = {
      {"browseButton", "..."}, {"fetchButton", "Fetch"}, {"preferencesButton", "&Preferences"}, {"helpButton", "&Help"}, {"closeButton", "Close"}};
  for (const auto& b : buttons) {
    auto* button = qobject_cast<QPushButton*>(view.Control(b.id));
    ASSERT_NE(button, nullptr) << b.id;
    EXPECT_EQ(button->text(), b.text);
    EXPECT_EQ(button->isDefault(), std::string(b.id) == "closeButton");
  }
  EXPECT_EQ(view.minimumHeight(), view.maximumHeight());
  Activate(&view);
  EXPECT_TRUE(HasFocus(Field(view, "fileEdit")));
  EXPECT_EQ(TabSequence(&view, 7),
            QStringList({"fileEdit", "browseButton", "fetchButton", "closeButton",
                         "preferencesButton", "helpButton", "fileEdit"}));
}

TEST_F(ViewTest, AReadablePointerFileIsShownAtConstruction) {
  const std::string pointer = Published("shown.txt", std::string(200000, 'h'));
  CModalDriver driver;
  CViewDlg view(m_app, pointer, nullptr);
  Activate(&view);
  std::string link;
  ASSERT_TRUE(CReceivePage::LinkOf(pointer, link));
  EXPECT_EQ(Shown(view), QStringList({QString::fromStdString(pointer),
                                      QString::fromStdString(m_server->BaseUrl() + "shown.txt"),
                                      Compression(view), "Strong (XChaCha20-Poly1305)",
                                      "200000 bytes (195.3 KB)"}));
  EXPECT_EQ(Field(view, "linkEdit")->text().toStdString(), link);
  EXPECT_TRUE(Compression(view).startsWith("LZ")) << Compression(view).toStdString();
  EXPECT_TRUE(driver.Seen().isEmpty());
}

// At construction an unreadable file shows nothing and says nothing; the
// first leaving of the field reads it again and reports, the next does not.
TEST_F(ViewTest, UnreadableFileIsReportedOnlyWhenTheFieldIsLeft) {
  const std::string damaged = Unreadable();
  CModalDriver driver;
  CViewDlg view(m_app, damaged, nullptr);
  Activate(&view);
  EXPECT_EQ(Shown(view), QStringList({QString::fromStdString(damaged), "", "", "", ""}));
  QTest::qWait(50);
  EXPECT_TRUE(driver.Seen().isEmpty());
  driver.Then([](QWidget* box) {
    EXPECT_EQ(qobject_cast<QMessageBox*>(box)->icon(), QMessageBox::Warning);
    CModalDriver::Answer(box, QMessageBox::Ok);
  });
  ASSERT_TRUE(HasFocus(Field(view, "fileEdit")));
  QTest::keyClick(Field(view, "fileEdit"), Qt::Key_Tab);
  EXPECT_EQ(driver.Seen(),
            QStringList({Message("Problem reading " + damaged + ": The data is invalid.")}));
  EXPECT_EQ(Shown(view), QStringList({QString::fromStdString(damaged), "", "", "", ""}));
  ClickInto(Field(view, "fileEdit"));
  QTest::keyClick(Field(view, "fileEdit"), Qt::Key_Tab);
  EXPECT_EQ(driver.Seen().size(), 1) << "read again";
}

// Names that differ in case alone are different files: the other one is read.
TEST_F(ViewTest, ACaseOnlyChangeReadsTheOtherFile) {
  const std::string pointer = WithoutExtension();
  CViewDlg view(m_app, "", nullptr);
  Activate(&view);
  CModalDriver driver;
  TypeAndLeave(view, pointer);
  EXPECT_EQ(Field(view, "urlEdit")->text(), "http://127.0.0.1/noextension");
  const std::string upper = m_pointers + "/NOEXT.QVR";
  TypeAndLeave(view, upper);
  EXPECT_EQ(driver.Seen(), QStringList({Message("Problem reading " + upper +
                                                ": The system cannot find the file specified.")}));
  EXPECT_EQ(Shown(view), QStringList({QString::fromStdString(upper), "", "", "", ""}));
  EXPECT_EQ(view.LastFile(), upper);
}

TEST_F(ViewTest, LeavingTheFieldEmptyClearsTheTextsSilently) {
  const std::string pointer = WithoutExtension();
  CViewDlg view(m_app, pointer, nullptr);
  Activate(&view);
  CModalDriver driver;
  TypeAndLeave(view, pointer);
  TypeAndLeave(view, "");
  EXPECT_EQ(Shown(view), QStringList({"", "", "", "", ""}));
  EXPECT_TRUE(driver.Seen().isEmpty());
}

// Pressing Fetch leaves the File field first: an unreadable file is read
// again and reported then, and Fetch itself does nothing.
TEST_F(ViewTest, FetchDoesNothingWithoutALoadedFile) {
  const std::string damaged = Unreadable();
  const struct {
    std::string file;
    QStringList seen;
  } cases[] = {{"", {}},
               {damaged, {Message("Problem reading " + damaged + ": The data is invalid.")}}};
  for (const auto& c : cases) {
    CNotingViewDlg view(m_app, c.file, nullptr);
    Activate(&view);
    CModalDriver driver;
    driver.Then([](QWidget* box) { CModalDriver::Answer(box, QMessageBox::Ok); });
    Click(view, "fetchButton");
    QTest::qWait(50);
    EXPECT_TRUE(view.fetchCursors.empty()) << c.file;
    EXPECT_EQ(driver.Seen(), c.seen);
  }
  EXPECT_TRUE(ListDir(TestRoot() + "/tmp").empty());
}

TEST_F(ViewTest, FetchFailureIsReportedUnderTheBusyCursor) {
  CNotingViewDlg view(m_app, WithoutExtension(), nullptr);
  Activate(&view);
  CModalDriver driver;
  driver.Then([](QWidget* box) { CModalDriver::Answer(box, QMessageBox::Ok); });
  Click(view, "fetchButton");
  EXPECT_EQ(driver.Seen(),
            QStringList({Message(
                "Problem fetching http://127.0.0.1/noextension: The specified path is invalid.")}));
  EXPECT_EQ(view.fetchCursors, std::vector<Qt::CursorShape>({Qt::WaitCursor}));
  EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
  EXPECT_TRUE(ListDir(TestRoot() + "/tmp").empty());
}

TEST_F(ViewTest, FetchOpensTheFileWithItsApplication) {
  const std::string pointer = Published("letter.txt", "dear reader");
  {
    CViewDlg view(m_app, pointer, nullptr);
    Activate(&view);
    CModalDriver driver;
    Click(view, "fetchButton");
    EXPECT_TRUE(driver.Seen().isEmpty()) << driver.Seen().join(", ").toStdString();
    EXPECT_EQ(view.TrackedCount(), 1u);
  }
  EXPECT_EQ(ReadFile(m_copies + "/copy0"), "dear reader");
  EXPECT_TRUE(ListDir(TestRoot() + "/tmp").empty()) << "the decoded file stayed";
}

TEST_F(ViewTest, NoApplicationAsksWhetherToKeepTheFile) {
  const std::string pointer = Published("data.dat", "bytes");
  const std::string decoded = TestRoot() + "/tmp/data.dat";
  for (const int answer : {QMessageBox::No, QMessageBox::Yes}) {
    CViewDlg view(m_app, pointer, nullptr);
    Activate(&view);
    CModalDriver driver;
    driver.Then([answer](QWidget* box) {
      EXPECT_EQ(qobject_cast<QMessageBox*>(box)->icon(), QMessageBox::Question);
      CModalDriver::Answer(box, answer);
    });
    Click(view, "fetchButton");
    EXPECT_EQ(driver.Seen(),
              QStringList({Message("Problem launching application on " + decoded +
                                   "\n(check your associations).  Keep the file?")}));
    EXPECT_EQ(Exists(decoded), answer == QMessageBox::Yes);
  }
  unlink(decoded.c_str());
}

TEST_F(ViewTest, EnterInTheFileFieldClosesTheWindow) {
  CViewDlg view(m_app, "", nullptr);
  CModalDriver driver;
  driver.Then([&](QWidget*) {
    ASSERT_TRUE(HasFocus(Field(view, "fileEdit")));
    QTest::keyClicks(Field(view, "fileEdit"), "/some/file.qvr");
    QTest::keyClick(Field(view, "fileEdit"), Qt::Key_Return);
  });
  EXPECT_EQ(view.exec(), QDialog::Accepted);
  EXPECT_EQ(view.File(), "/some/file.qvr");
  EXPECT_TRUE(driver.Unexpected().isEmpty()) << driver.Unexpected().join(", ").toStdString();
}

TEST_F(ViewTest, BrowsePicksAndLoadsAPointerFile) {
  const std::string pointer = WithoutExtension();
  CViewDlg view(m_app, "", nullptr);
  Activate(&view);
  CModalDriver driver;
  driver.Then([](QWidget* w) {
    auto* dialog = qobject_cast<QFileDialog*>(w);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->windowTitle(), "View Quiver File");
    EXPECT_EQ(dialog->nameFilters(), QStringList({"Quiver Files (*.qvr)", "All Files (*)"}));
    EXPECT_EQ(dialog->acceptMode(), QFileDialog::AcceptOpen);
    dialog->reject();
  });
  driver.Then([&](QWidget* w) { PickFile(w, pointer); });
  Click(view, "browseButton");
  EXPECT_EQ(Shown(view), QStringList({"", "", "", "", ""}));
  Click(view, "browseButton");
  EXPECT_EQ(Shown(view), QStringList({QString::fromStdString(pointer),
                                      "http://127.0.0.1/noextension", "None", "None", "0 bytes"}));
  EXPECT_EQ(view.LastFile(), pointer);
  EXPECT_EQ(driver.Pending(), 0u);
  EXPECT_TRUE(driver.Unexpected().isEmpty()) << driver.Unexpected().join(", ").toStdString();
}

TEST_F(ViewTest, OneFileDroppedOnTheOpenWindowIsShownNotFetched) {
  const std::string pointer = WithoutExtension();
  CNotingViewDlg view(m_app, "", nullptr);
  Activate(&view);
  CModalDriver driver;
  Drop(view, {pointer});
  QTest::qWait(50);
  EXPECT_TRUE(driver.Seen().isEmpty()) << driver.Seen().join(", ").toStdString();
  EXPECT_TRUE(view.fetchCursors.empty());
  EXPECT_EQ(Shown(view), QStringList({QString::fromStdString(pointer),
                                      "http://127.0.0.1/noextension", "None", "None", "0 bytes"}));
  EXPECT_EQ(view.LastFile(), pointer);
}

TEST_F(ViewTest, OneFileDroppedOnTheMinimisedWindowIsFetched) {
  const std::string pointer = WithoutExtension();
  CViewDlg view(m_app, "", nullptr);
  view.showMinimized();
  CModalDriver driver;
  driver.Then([](QWidget* box) {
    EXPECT_EQ(box->parentWidget(), nullptr) << "a box over a minimised window may stay hidden";
    CModalDriver::Answer(box, QMessageBox::Ok);
  });
  Drop(view, {pointer});
  EXPECT_EQ(driver.Seen(),
            QStringList({Message(
                "Problem fetching http://127.0.0.1/noextension: The specified path is invalid.")}));
  EXPECT_TRUE(view.isMinimized());
}

// Three files where the second cannot be read: the first is fetched and
// opened, the second reported, the third left alone.
TEST_F(ViewTest, ADropOfSeveralFilesStopsAtTheFirstFailure) {
  const std::string first = Published("first.txt", "one");
  const std::string damaged = Unreadable();
  const std::string third = Published("third.txt", "three");
  {
    CViewDlg view(m_app, "", nullptr);
    Activate(&view);
    CModalDriver driver;
    driver.Then([](QWidget* box) { CModalDriver::Answer(box, QMessageBox::Ok); });
    Drop(view, {first, damaged, third});
    EXPECT_EQ(driver.Seen(),
              QStringList({Message("Problem reading " + damaged + ": The data is invalid.")}));
    EXPECT_EQ(Field(view, "fileEdit")->text().toStdString(), damaged);
    EXPECT_EQ(view.TrackedCount(), 1u);
    ClickInto(Field(view, "fileEdit"));
    QTest::keyClick(Field(view, "fileEdit"), Qt::Key_Tab);
    EXPECT_EQ(driver.Seen().size(), 1) << "the dropped path is not read again";
  }
  EXPECT_EQ(ListDir(m_copies), std::vector<std::string>({"copy0"}));
  EXPECT_EQ(ReadFile(m_copies + "/copy0"), "one");
}

TEST_F(ViewTest, PreferencesOkReplacesTheWindowsCopyOnly) {
  CViewDlg view(m_app, "", nullptr);
  Activate(&view);
  CModalDriver driver;
  driver.Then([&](QWidget* w) {
    auto* prefs = qobject_cast<CPrefsDlg*>(w);
    ASSERT_NE(prefs, nullptr);
    EXPECT_EQ(prefs->parentWidget(), &view);
    qobject_cast<QCheckBox*>(prefs->Control("deleteTempFilesCheck"))->setChecked(false);
    QTest::mouseClick(Child<QPushButton>(prefs, "okButton"), Qt::LeftButton);
  });
  Click(view, "preferencesButton");
  EXPECT_EQ(view.Settings().deleteTempFiles, 0);
  EXPECT_EQ(m_app.GetSettings().deleteTempFiles, 1);
  EXPECT_EQ(StoredSettings(), "");
}

TEST_F(ViewTest, HelpShowsTheViewPage) {
  CViewDlg view(m_app, "", nullptr);
  Activate(&view);
  Click(view, "helpButton");
  auto* help = view.findChild<CHelpDlg*>();
  ASSERT_NE(help, nullptr);
  EXPECT_EQ(help->CurrentPage(), "qrc:/help/view.html");
}

}  // namespace
