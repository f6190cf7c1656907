// The small boxes: About, usage, the new-directory name, the help window,
// message boxes, and what the main-window base gives both main windows.

#include "UiTest.h"
#include "ui/AboutDlg.h"
#include "ui/HelpDlg.h"
#include "ui/MainWindowDlg.h"
#include "ui/NewDirDlg.h"
#include "ui/PrefsDlg.h"
#include "ui/SendDlg.h"
#include "ui/UsageDlg.h"
#include "ui/ViewDlg.h"

#include <QContextMenuEvent>
#include <QDropEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QTextBrowser>
#include <QUrl>

namespace {

class BoxesTest : public CUiTest {};

TEST_F(BoxesTest, AboutShowsTheVersionLineAndClosesWithOk) {
  CAboutDlg about(nullptr);
  EXPECT_EQ(about.windowTitle(), "About Quiver");
  auto* version = qobject_cast<QLabel*>(about.Control("versionLabel"));
  ASSERT_NE(version, nullptr);
  EXPECT_EQ(version->text(), "Quiver Version 1.1(5)");
  auto* icon = Child<QLabel>(&about, "iconLabel");
  ASSERT_NE(icon, nullptr);
  EXPECT_FALSE(icon->pixmap().isNull()) << "the program icon did not load";

  CModalDriver driver;
  driver.Then([](QWidget* w) {
    EXPECT_TRUE(HasFocus(Child<QPushButton>(w, "okButton")));
    QTest::keyClick(w, Qt::Key_Return);
  });
  EXPECT_EQ(about.exec(), QDialog::Accepted);
  EXPECT_EQ(driver.Pending(), 0u);
  EXPECT_TRUE(driver.Unexpected().isEmpty());
}

TEST_F(BoxesTest, UsageShowsTheUsageTextInItsGroupBox) {
  CUsageDlg usage(CQuiverApp::UsageText(), nullptr);
  EXPECT_EQ(usage.windowTitle(), "Quiver Usage");
  auto* group = Child<QGroupBox>(&usage, "usageGroup");
  ASSERT_NE(group, nullptr);
  EXPECT_EQ(group->title(), "Quiver Usage ");
  auto* text = qobject_cast<QLabel*>(usage.Control("usageText"));
  ASSERT_NE(text, nullptr);
  const QString shown = text->text();
  EXPECT_FALSE(shown.contains('\r'));
  EXPECT_TRUE(shown.startsWith("quiver\n        The \"Quiver Send\" window.\n"));
  EXPECT_EQ(shown, QString::fromStdString(CQuiverApp::UsageText()).remove('\r'));
  EXPECT_TRUE(Child<QPushButton>(&usage, "okButton")->isDefault());
}

// Widening a window stretches its fields and keeps its height; every path
// field shows its whole text as tooltip; a compression description shows whole.
TEST_F(BoxesTest, WidenedWindowsStretchTheirFieldsAndShowWholePaths) {
  CSendDlg send(m_app, nullptr);
  CViewDlg view(m_app, "", nullptr);
  CPrefsDlg prefs(m_app, m_app.GetSettings(), nullptr);
  const QString path = "/" + QString("deep/").repeated(60) + "report.doc";
  const std::pair<QDialog*, std::vector<const char*>> windows[] = {
      {&send, {"sendFileEdit", "pointerFileEdit"}},
      {&view, {"fileEdit", "urlEdit"}},
      {&prefs, {"urlRootEdit", "fileRootEdit", "urlFileDirEdit"}}};
  for (const auto& [dialog, names] : windows) {
    SCOPED_TRACE(dialog->windowTitle().toStdString());
    Activate(dialog);
    const QSize before = dialog->size();
    std::vector<int> widths;
    for (const char* name : names) widths.push_back(Child<QLineEdit>(dialog, name)->width());
    dialog->resize(before.width() + 300, before.height() + 100);
    QTest::qWait(50);
    EXPECT_EQ(dialog->height(), before.height());
    for (size_t i = 0; i < names.size(); ++i) {
      auto* edit = Child<QLineEdit>(dialog, names[i]);
      EXPECT_GE(edit->width(), widths[i] + 250) << names[i];
      edit->setText(path);
      EXPECT_EQ(edit->toolTip(), path) << names[i];
    }
  }
  // The longest compression description shows whole at the first width.
  CViewDlg narrow(m_app, "", nullptr);
  narrow.Compression() = "LZ (Lempel-Ziv): 4294967295/1 (429496729500%)";
  narrow.Refresh();
  Activate(&narrow);
  auto* label = Child<QLabel>(&narrow, "compressionText");
  const QRect room = label->contentsRect() - QMargins(1, 1, 1, 1) * label->margin();
  EXPECT_TRUE(room.contains(label->fontMetrics().boundingRect(room, Qt::TextWordWrap, label->text())));
}

// The name field takes the focus and no more than twelve characters; a
// longer name put there otherwise is refused on OK with the message, and the
// dialog stays open for editing.
TEST_F(BoxesTest, NewDirectoryNameIsLimitedToTwelveCharacters) {
  CNewDirDlg dialog(nullptr);
  EXPECT_EQ(dialog.windowTitle(), "Choose a new directory name");
  auto* edit = qobject_cast<QLineEdit*>(dialog.Control("nameEdit"));
  ASSERT_NE(edit, nullptr);
  EXPECT_EQ(Child<QLabel>(&dialog, "nameLabel")->text(), "New directory name:");

  CModalDriver driver;
  driver.Then([&](QWidget* w) {
    EXPECT_TRUE(HasFocus(edit));
    QTest::keyClicks(edit, "thirteen-char");
    EXPECT_EQ(edit->text(), "thirteen-cha");
    edit->setMaxLength(32767);  // as if the cap had been got round
    edit->setText("thirteen-char");
    QTest::keyClick(edit, Qt::Key_Return);
    EXPECT_TRUE(w->isVisible()) << "closed with a name that is too long";
    EXPECT_TRUE(HasFocus(edit));
    EXPECT_EQ(edit->selectedText(), "thirteen-char") << "the text is offered for editing";
    QTest::keyClick(edit, Qt::Key_End);
    QTest::keyClick(edit, Qt::Key_Backspace);
    QTest::keyClick(edit, Qt::Key_Return);
  });
  driver.Then([](QWidget* box) {
    EXPECT_EQ(box->windowTitle(), "Quiver");
    EXPECT_EQ(qobject_cast<QMessageBox*>(box)->icon(), QMessageBox::Warning);
    CModalDriver::Answer(box, QMessageBox::Ok);
  });
  EXPECT_EQ(dialog.exec(), QDialog::Accepted);
  EXPECT_EQ(dialog.Name(), "thirteen-cha");
  EXPECT_EQ(driver.Seen(), QStringList({"Choose a new directory name",
                                        "message: Please enter no more than 12 characters."}));
  EXPECT_TRUE(driver.Unexpected().isEmpty());
}

TEST_F(BoxesTest, NewDirectoryNameOfTwelveCharactersAndCancel) {
  const struct {
    QString typed;
    Qt::Key key;
    int result;
  } cases[] = {{"twelve-chars", Qt::Key_Return, QDialog::Accepted},
               {"abc", Qt::Key_Escape, QDialog::Rejected}};
  for (const auto& c : cases) {
    CNewDirDlg dialog(nullptr);
    CModalDriver driver;
    driver.Then([&](QWidget*) {
      QWidget* edit = dialog.Control("nameEdit");
      ASSERT_TRUE(HasFocus(edit));
      QTest::keyClicks(edit, c.typed);
      QTest::keyClick(edit, c.key);
    });
    EXPECT_EQ(dialog.exec(), c.result);
    if (c.result == QDialog::Accepted) {
      EXPECT_EQ(dialog.Name(), c.typed.toStdString());
    }
    EXPECT_TRUE(driver.Unexpected().isEmpty()) << driver.Unexpected().join(", ").toStdString();
  }
}

TEST_F(BoxesTest, HelpOpensThePageOfEachContext) {
  QDialog owner;
  const struct {
    int context;
    const char* page;
    const char* heading;
  } cases[] = {{3, "qrc:/help/send.html", "Sending a file"},
               {4, "qrc:/help/view.html", "Viewing a Quiver file"},
               {5, "qrc:/help/prefs.html", "Quiver preferences"}};
  for (const auto& c : cases) {
    ASSERT_TRUE(CHelpDlg::ShowTopic(c.context, &owner));
    auto* help = owner.findChild<CHelpDlg*>();
    ASSERT_NE(help, nullptr);
    EXPECT_TRUE(help->isVisible());
    EXPECT_EQ(help->windowTitle(), "Quiver Help");
    EXPECT_EQ(help->CurrentPage(), c.page);
    EXPECT_TRUE(Child<QTextBrowser>(help, "helpBrowser")->toPlainText().contains(c.heading));
  }
  EXPECT_EQ(owner.findChildren<CHelpDlg*>().size(), 1) << "one help window per owner";
}

TEST_F(BoxesTest, MissingHelpPageSaysFailedToLaunchHelp) {
  QDialog owner;
  CModalDriver driver;
  driver.Then([](QWidget* box) { CModalDriver::Answer(box, QMessageBox::Ok); });
  EXPECT_FALSE(CHelpDlg::ShowTopic(6, &owner));
  EXPECT_EQ(driver.Seen(), QStringList({"message: Failed to launch help."}));
  EXPECT_EQ(owner.findChild<CHelpDlg*>(), nullptr);
}

TEST_F(BoxesTest, WarningsAndQuestionsAreBoxesTitledQuiver) {
  CModalDriver driver;
  driver.Then([](QWidget* box) {
    auto* b = qobject_cast<QMessageBox*>(box);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(b->windowTitle(), "Quiver");
    EXPECT_EQ(b->icon(), QMessageBox::Warning);
    EXPECT_EQ(b->text(), "Quiver parameters must be set\nbefore the program can send.");
    CModalDriver::Answer(box, QMessageBox::Ok);
  });
  CMessageBox::Current().Warning("Quiver parameters must be set\nbefore the program can send.");
  // The default button, which Return presses, is the answer that keeps data.
  for (const bool keepsData : {true, false}) {
    driver.Then([](QWidget* box) {
      auto* b = qobject_cast<QMessageBox*>(box);
      ASSERT_NE(b, nullptr);
      EXPECT_EQ(b->icon(), QMessageBox::Question);
      EXPECT_EQ(
          b->text(),
          "Problem launching application on /tmp/x\n(check your associations).  Keep the file?");
      EXPECT_EQ(b->standardButtons(), QMessageBox::Yes | QMessageBox::No);
      QTest::keyClick(b, Qt::Key_Return);
    });
    const bool yes = CMessageBox::Current().AskYesNo(
        "Problem launching application on /tmp/x\r\n(check your associations).  Keep the file?",
        keepsData);
    EXPECT_EQ(yes, keepsData);
  }
  EXPECT_EQ(driver.Pending(), 0u);
  // A question is no failure.
  EXPECT_EQ(m_ui.ReportCount(), 1);
}

TEST_F(BoxesTest, AMessageBoxShowsTheArrowOverABusyCursor) {
  QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
  CModalDriver driver;
  Qt::CursorShape during = Qt::WaitCursor;
  driver.Then([&](QWidget* box) {
    during = QGuiApplication::overrideCursor()->shape();
    CModalDriver::Answer(box, QMessageBox::Ok);
  });
  CMessageBox::Current().Warning("busy");
  EXPECT_EQ(during, Qt::ArrowCursor);
  ASSERT_NE(QGuiApplication::overrideCursor(), nullptr);
  EXPECT_EQ(QGuiApplication::overrideCursor()->shape(), Qt::WaitCursor);
  QGuiApplication::restoreOverrideCursor();
}

// The base of the two main windows, with the drops it is handed recorded.
class CDropRecorder : public CMainWindowDlg {
 public:
  CDropRecorder() : CMainWindowDlg(nullptr) { setObjectName("recorder"); }
  std::vector<std::vector<std::string>> drops;

 protected:
  void OnDropFiles(const std::vector<std::string>& paths) override { drops.push_back(paths); }
};

TEST_F(BoxesTest, ContextMenuAboutEntryOpensTheAboutBoxOverTheWindow) {
  CDropRecorder window;
  Activate(&window);
  CModalDriver driver;
  driver.Then([](QWidget* popup) {
    auto* menu = qobject_cast<QMenu*>(popup);
    ASSERT_NE(menu, nullptr);
    ASSERT_EQ(menu->actions().size(), 1);
    EXPECT_EQ(menu->actions().front()->text(), "&About Quiver...");
    QTest::keyClick(menu, Qt::Key_A);
  });
  driver.Then([&](QWidget* about) {
    EXPECT_EQ(about->windowTitle(), "About Quiver");
    EXPECT_EQ(about->parentWidget(), &window);
    EXPECT_EQ(qobject_cast<QLabel*>(qobject_cast<CAboutDlg*>(about)->Control("versionLabel"))->text(),
              "Quiver Version 1.1(5)");
    QTest::keyClick(about, Qt::Key_Escape);
  });
  QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(5, 5), window.mapToGlobal(QPoint(5, 5)));
  QApplication::sendEvent(&window, &event);
  EXPECT_EQ(driver.Seen(), QStringList({"menu", "About Quiver"}));
  EXPECT_TRUE(driver.Unexpected().isEmpty());
}

TEST_F(BoxesTest, DropsHandTheLocalFilesOverInOrder) {
  CDropRecorder window;
  Activate(&window);
  const struct {
    QList<QUrl> urls;
    std::vector<std::string> expected;
  } cases[] = {
      {{QUrl::fromLocalFile("/tmp/a b.doc")}, {"/tmp/a b.doc"}},
      {{QUrl::fromLocalFile("/tmp/2"), QUrl::fromLocalFile("/tmp/1")}, {"/tmp/2", "/tmp/1"}},
      {{QUrl("http://example.com/x"), QUrl::fromLocalFile("/tmp/y.qvr")}, {"/tmp/y.qvr"}},
  };
  for (const auto& c : cases) {
    QMimeData data;
    data.setUrls(c.urls);
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&window, &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&window, &drop);
    ASSERT_FALSE(window.drops.empty());
    EXPECT_EQ(window.drops.back(), c.expected);
  }
  QMimeData remote;
  remote.setUrls({QUrl("https://example.com/page")});
  QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &remote, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(&window, &enter);
  EXPECT_FALSE(enter.isAccepted()) << "a drag without local files is refused";
}

}  // namespace
