// The preferences dialog on a settings copy: its controls, data exchange,
// the three ending buttons and the directory chooser behind "...".

#include "UiTest.h"
#include "support/TestFiles.h"
#include "ui/ChooseDirDlg.h"
#include "ui/HelpDlg.h"
#include "ui/PrefsDlg.h"
#include "ui/ReportDlg.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QSpinBox>

namespace {

class PrefsTest : public CUiTest {
 protected:
  CSettings Sample() {
    CSettings s;
    s.urlRoot = "http://example.com/q/";
    s.fileRoot = m_dir + "/";
    s.compressType = 0;
    s.encryptType = 1;
    s.hasUrlFileDir = 1;
    s.urlFileDir = "/tmp/pointers/";
    s.deleteTempFiles = 0;
    return s;
  }
  QLineEdit* Edit(CPrefsDlg& d, const char* id) { return qobject_cast<QLineEdit*>(d.Control(id)); }
  QComboBox* List(CPrefsDlg& d, const char* id) { return qobject_cast<QComboBox*>(d.Control(id)); }
  QCheckBox* Check(CPrefsDlg& d, const char* id) { return qobject_cast<QCheckBox*>(d.Control(id)); }
  void Click(CPrefsDlg& d, const char* name) {
    QTest::mouseClick(Child<QPushButton>(&d, name), Qt::LeftButton);
  }
  static QStringList Items(QComboBox* list) {
    QStringList items;
    for (int i = 0; i < list->count(); ++i) items << list->itemText(i);
    return items;
  }

  std::string m_dir = testing_support::MakeDir("published");
};

TEST_F(PrefsTest, ShowsTheCopyInItsControls) {
  CPrefsDlg prefs(m_app, Sample(), nullptr);
  EXPECT_EQ(prefs.windowTitle(), "Quiver Preferences");
  EXPECT_EQ(Edit(prefs, "urlRootEdit")->text(), "http://example.com/q/");
  EXPECT_EQ(Edit(prefs, "fileRootEdit")->text().toStdString(), m_dir + "/");
  EXPECT_TRUE(Check(prefs, "hasUrlFileDirCheck")->isChecked());
  EXPECT_EQ(Check(prefs, "hasUrlFileDirCheck")->text(), "QVR File Directory:");
  EXPECT_EQ(Edit(prefs, "urlFileDirEdit")->text(), "/tmp/pointers/");
  EXPECT_EQ(Items(List(prefs, "compressionList")), QStringList({"None", "LZ (Lempel-Ziv)"}));
  EXPECT_EQ(Items(List(prefs, "encryptionList")), QStringList({"None", "Simple", "Strong"}));
  EXPECT_EQ(List(prefs, "compressionList")->currentIndex(), 0);
  EXPECT_EQ(List(prefs, "encryptionList")->currentIndex(), 1);
  EXPECT_FALSE(List(prefs, "compressionList")->isEditable());
  EXPECT_FALSE(Check(prefs, "deleteTempFilesCheck")->isChecked());
  EXPECT_EQ(Check(prefs, "deleteTempFilesCheck")->text(), "Delete Temp Files");
  EXPECT_EQ(Child<QGroupBox>(&prefs, "otherOptionsGroup")->title(), " Other Options ");
  EXPECT_EQ(Child<QLabel>(&prefs, "urlRootLabel")->text(), "Quiver URL Root:");
  EXPECT_EQ(Child<QLabel>(&prefs, "fileRootLabel")->text(), "HTTP Server Directory:");
  EXPECT_EQ(qobject_cast<QPushButton*>(prefs.Control("saveButton"))->text(), "Save");
  EXPECT_EQ(qobject_cast<QPushButton*>(prefs.Control("helpButton"))->text(), "&Help");
  EXPECT_TRUE(qobject_cast<QPushButton*>(prefs.Control("okButton"))->isDefault());
  EXPECT_EQ(qobject_cast<QPushButton*>(prefs.Control("cancelButton"))->text(), "Cancel");
  EXPECT_FALSE(prefs.windowFlags().testFlag(Qt::WindowCloseButtonHint)) << "no close box";
  EXPECT_FALSE(prefs.windowFlags().testFlag(Qt::WindowSystemMenuHint));
}

TEST_F(PrefsTest, UrlRootHasTheFocusAndTabFollowsTheRows) {
  CPrefsDlg prefs(m_app, Sample(), nullptr);
  Activate(&prefs);
  EXPECT_EQ(TabSequence(&prefs, 16),
            QStringList({"urlRootEdit", "fileRootEdit", "fileRootBrowse", "hasUrlFileDirCheck",
                         "urlFileDirEdit", "urlFileDirBrowse", "compressionList", "encryptionList",
                         "keepDaysSpin", "deleteTempFilesCheck", "saveButton", "okButton",
                         "cancelButton", "helpButton", "checkButton", "urlRootEdit"}));
}

TEST_F(PrefsTest, OkCollectsTheControlsAndWritesNothing) {
  CPrefsDlg prefs(m_app, Sample(), nullptr);
  CModalDriver driver;
  driver.Then([&](QWidget*) {
    QLineEdit* url = Edit(prefs, "urlRootEdit");
    url->clear();
    QTest::keyClicks(url, "http://other/");
    Check(prefs, "deleteTempFilesCheck")->click();
    List(prefs, "compressionList")->setCurrentIndex(1);
    QTest::keyClick(url, Qt::Key_Return);
  });
  EXPECT_EQ(prefs.exec(), QDialog::Accepted);
  EXPECT_EQ(prefs.GetSettings().urlRoot, "http://other/");
  EXPECT_EQ(prefs.GetSettings().deleteTempFiles, 1);
  EXPECT_EQ(prefs.GetSettings().compressType, 1);
  EXPECT_EQ(StoredSettings(), "");
  EXPECT_EQ(m_app.GetSettings().urlRoot, "");
}

TEST_F(PrefsTest, SaveWritesTheStoreThroughTheApplicationAndEndsWithOk) {
  CPrefsDlg prefs(m_app, Sample(), nullptr);
  CModalDriver driver;
  driver.Then([&](QWidget*) {
    Edit(prefs, "fileRootEdit")->setText(QString::fromStdString(m_dir));
    Click(prefs, "saveButton");
  });
  EXPECT_EQ(prefs.exec(), QDialog::Accepted);
  EXPECT_EQ(prefs.GetSettings().fileRoot, m_dir) << "the dialog's copy holds the text as typed";
  EXPECT_EQ(m_app.GetSettings().fileRoot, m_dir + "/");
  const std::string stored = StoredSettings();
  EXPECT_NE(stored.find("FileRoot=" + m_dir + "/\n"), std::string::npos) << stored;
  EXPECT_NE(stored.find("UrlRoot=http://example.com/q/\n"), std::string::npos) << stored;
  EXPECT_NE(stored.find("DeleteTempFiles=0\n"), std::string::npos) << stored;
}

TEST_F(PrefsTest, AServerRootIsTypedAndAMalformedOneIsRefusedWithItsReason) {
  CPrefsDlg prefs(m_app, Sample(), nullptr);
  CModalDriver driver;
  driver.Then([&](QWidget*) {
    Edit(prefs, "fileRootEdit")->setText("dav://me:pw@example.org/pub/");
    EXPECT_FALSE(Child<QPushButton>(&prefs, "fileRootBrowse")->isEnabled());
    Click(prefs, "saveButton");
    EXPECT_TRUE(prefs.isVisible());
    Edit(prefs, "fileRootEdit")->setText("sftp://me@example.org/srv/");
    Click(prefs, "saveButton");
  });
  driver.Then([](QWidget* box) { CModalDriver::Answer(box, QMessageBox::Ok); });
  EXPECT_EQ(prefs.exec(), QDialog::Accepted);
  ASSERT_EQ(driver.Seen().size(), 2);
  EXPECT_TRUE(driver.Seen()[1].contains("holds a password")) << driver.Seen()[1].toStdString();
  EXPECT_EQ(m_app.GetSettings().fileRoot, "sftp://me@example.org/srv/");
}

// A server root of the usual length shows whole at the window's first size:
// a field too narrow scrolls the start away to show the cursor at the end.
TEST_F(PrefsTest, ServerRootsShowWholeInTheirFields) {
  CPrefsDlg prefs(m_app, Sample(), nullptr);
  Activate(&prefs);
  for (const char* id : {"urlRootEdit", "fileRootEdit"}) {
    QLineEdit* edit = Edit(prefs, id);
    edit->setText("davs://files.example.com:8443/remote.php/dav/files/ann/q/");
    edit->repaint();  // it scrolls as it paints
    const QFontMetrics metrics = edit->fontMetrics();  // within a character of the text's width
    EXPECT_GE(edit->inputMethodQuery(Qt::ImCursorRectangle).toRect().x(),
              metrics.horizontalAdvance(edit->text()) - metrics.averageCharWidth()) << id;
  }
}

// KeepDays has its field; a changed root brings the offer of the check,
// whose report (here: nothing listens at the URL) gets a window of its own.
TEST_F(PrefsTest, KeepDaysAndTheCheckOfferedWhenARootChanged) {
  CSettings s = Sample();
  s.keepDays = 30;
  CPrefsDlg prefs(m_app, s, nullptr);
  auto* keep = qobject_cast<QSpinBox*>(prefs.Control("keepDaysSpin"));
  auto* offer = Child<QLabel>(&prefs, "checkOfferLabel");
  EXPECT_EQ(keep->value(), 30);
  EXPECT_EQ(offer->text(), "");
  std::string report;
  CModalDriver driver;
  driver.Then([&](QWidget*) {
    keep->setValue(0);
    Edit(prefs, "urlRootEdit")->setText("http://127.0.0.1:9");
    EXPECT_EQ(offer->text(), "The roots changed: press Check to try them before sending.");
    Click(prefs, "checkButton");
    EXPECT_EQ(offer->text(), "");
    Click(prefs, "okButton");
  });
  driver.Then([&](QWidget* window) {
    EXPECT_EQ(window->windowTitle(), "Quiver Publishing Check");
    report = qobject_cast<CReportDlg*>(window)->Text();
    QTest::keyClick(window, Qt::Key_Return);
  });
  EXPECT_EQ(prefs.exec(), QDialog::Accepted);
  EXPECT_EQ(prefs.GetSettings().keepDays, 0);
  EXPECT_NE(report.find("problem: cannot fetch http://127.0.0.1:9/quiver-check.txt"),
            std::string::npos) << report;
  EXPECT_EQ(testing_support::ListDir(m_dir), std::vector<std::string>{}) << "the probe stays";
  EXPECT_TRUE(driver.Unexpected().isEmpty()) << driver.Unexpected().join(", ").toStdString();
}

TEST_F(PrefsTest, CancelAndEscapeChangeNothing) {
  for (const char* how : {"cancelButton", "escape"}) {
    CPrefsDlg prefs(m_app, Sample(), nullptr);
    CModalDriver driver;
    driver.Then([&](QWidget* w) {
      Edit(prefs, "urlRootEdit")->setText("http://changed/");
      if (std::string(how) == "escape") {
        QTest::keyClick(w, Qt::Key_Escape);
      } else {
        Click(prefs, how);
      }
    });
    EXPECT_EQ(prefs.exec(), QDialog::Rejected) << how;
  }
  EXPECT_EQ(StoredSettings(), "");
  EXPECT_EQ(m_app.GetSettings().urlRoot, "");
}

TEST_F(PrefsTest, TypeCodesWithoutAnEntrySelectNothingAndCollectMinusOne) {
  CSettings odd = Sample();
  odd.compressType = 7;
  odd.encryptType = -3;
  CPrefsDlg prefs(m_app, odd, nullptr);
  EXPECT_EQ(List(prefs, "compressionList")->currentIndex(), -1);
  EXPECT_EQ(List(prefs, "compressionList")->currentText(), "");
  EXPECT_EQ(List(prefs, "encryptionList")->currentIndex(), -1);
  prefs.Collect();
  EXPECT_EQ(prefs.GetSettings().compressType, -1);
  EXPECT_EQ(prefs.GetSettings().encryptType, -1);
}

TEST_F(PrefsTest, QvrDirectoryBoxAndFieldAreIndependent) {
  CPrefsDlg prefs(m_app, Sample(), nullptr);
  Activate(&prefs);
  Check(prefs, "hasUrlFileDirCheck")->click();
  EXPECT_TRUE(Edit(prefs, "urlFileDirEdit")->isEnabled());
  EXPECT_FALSE(Edit(prefs, "urlFileDirEdit")->isReadOnly());
  EXPECT_TRUE(Child<QPushButton>(&prefs, "urlFileDirBrowse")->isEnabled());
  prefs.Collect();
  EXPECT_EQ(prefs.GetSettings().hasUrlFileDir, 0);
  EXPECT_EQ(prefs.GetSettings().urlFileDir, "/tmp/pointers/");
}

// The chooser starts in the field's directory; its OK puts the directory it
// stands in (no trailing separator) into the field, its Cancel nothing.
TEST_F(PrefsTest, ServerDirectoryChooserOkFillsTheFieldAndCancelDiscards) {
  ASSERT_EQ(mkdir((m_dir + "/www").c_str(), 0700), 0);
  CPrefsDlg prefs(m_app, Sample(), nullptr);
  CModalDriver driver;
  driver.Then([&](QWidget*) {
    Click(prefs, "fileRootBrowse");
    EXPECT_EQ(Edit(prefs, "fileRootEdit")->text().toStdString(), m_dir + "/www");
    Click(prefs, "fileRootBrowse");
    EXPECT_EQ(Edit(prefs, "fileRootEdit")->text().toStdString(), m_dir + "/www") << "cancel changed it";
    Click(prefs, "okButton");
  });
  driver.Then([&](QWidget* chooser) {
    EXPECT_EQ(chooser->windowTitle(), "Choose a Directory");
    auto* dlg = qobject_cast<CChooseDirDlg*>(chooser);
    ASSERT_NE(dlg, nullptr);
    EXPECT_EQ(dlg->Path(), m_dir + "/");
    DoubleClickItem(qobject_cast<QListWidget*>(dlg->Control("directoryList")),
                    "[www]");
    EXPECT_EQ(dlg->Path(), m_dir + "/www");
    QTest::keyClick(chooser, Qt::Key_Return);
  });
  driver.Then([&](QWidget* chooser) {
    auto* dlg = qobject_cast<CChooseDirDlg*>(chooser);
    DoubleClickItem(qobject_cast<QListWidget*>(dlg->Control("directoryList")), "[..]");
    EXPECT_EQ(dlg->Path(), m_dir);
    QTest::keyClick(chooser, Qt::Key_Escape);
  });
  EXPECT_EQ(prefs.exec(), QDialog::Accepted);
  EXPECT_EQ(prefs.GetSettings().fileRoot, m_dir + "/www");
  CSettings opener;
  opener.Assign(prefs.GetSettings());
  EXPECT_EQ(opener.fileRoot, m_dir + "/www/");
  EXPECT_TRUE(driver.Unexpected().isEmpty()) << driver.Unexpected().join(", ").toStdString();
}

TEST_F(PrefsTest, QvrDirectoryChooserStartsInTheCurrentDirectoryWhenEmpty) {
  CSettings s = Sample();
  s.urlFileDir = "";
  CPrefsDlg prefs(m_app, s, nullptr);
  CModalDriver driver;
  std::string started;
  driver.Then([&](QWidget*) { Click(prefs, "urlFileDirBrowse"); });
  driver.Then([&](QWidget* chooser) {
    started = qobject_cast<CChooseDirDlg*>(chooser)->Path();
    QTest::keyClick(chooser, Qt::Key_Return);
    QTest::keyClick(&prefs, Qt::Key_Escape);
  });
  prefs.exec();
  EXPECT_EQ(started, QDir::currentPath().toStdString());
}

TEST_F(PrefsTest, HelpOpensThePreferencesPage) {
  CPrefsDlg prefs(m_app, Sample(), nullptr);
  Activate(&prefs);
  Click(prefs, "helpButton");
  auto* help = prefs.findChild<CHelpDlg*>();
  ASSERT_NE(help, nullptr);
  EXPECT_EQ(help->CurrentPage(), "qrc:/help/prefs.html");
  help->close();
  QTest::keyClick(&prefs, Qt::Key_F1);
  EXPECT_TRUE(prefs.findChild<CHelpDlg*>() != nullptr);
}

// The preferences run mode keeps what OK returns, as Save does; Cancel
// keeps nothing.
TEST_F(PrefsTest, PreferencesRunModeSavesOnOk) {
  for (const bool ok : {false, true}) {
    CModalDriver driver;
    driver.Then([&](QWidget* w) {
      auto* prefs = qobject_cast<CPrefsDlg*>(w);
      ASSERT_NE(prefs, nullptr);
      Edit(*prefs, "urlRootEdit")->setText("http://run-mode/");
      Edit(*prefs, "fileRootEdit")->setText(QString::fromStdString(m_dir));
      Click(*prefs, ok ? "okButton" : "cancelButton");
    });
    m_app.DoPreferences();
    EXPECT_EQ(driver.Seen(), QStringList({"Quiver Preferences"}));
    const std::string stored = StoredSettings();
    EXPECT_EQ(stored.find("UrlRoot=http://run-mode/\n") != std::string::npos, ok) << stored;
    EXPECT_EQ(m_app.GetSettings().urlRoot, ok ? "http://run-mode/" : "");
  }
}

}  // namespace
