// The directory chooser and its New Directory box, on real directories in
// the test's private folder.

#include "UiTest.h"
#include "support/TestFiles.h"
#include "ui/ChooseDirDlg.h"
#include "ui/NewDirDlg.h"

#include <QDir>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>

#include <sys/stat.h>

namespace {

using testing_support::Exists;
using testing_support::MakeDir;

class ChooseDirTest : public CUiTest {
 protected:
  void SetUp() override {
    CUiTest::SetUp();
    m_root = MakeDir("chooser");
    for (const char* d : {"beta", "Alpha", "gamma", ".hidden", "beta/inner"}) {
      ASSERT_EQ(mkdir((m_root + "/" + d).c_str(), 0700), 0);
    }
    testing_support::WriteFile(m_root + "/file.txt", "not a directory");
  }

  static QStringList Entries(CChooseDirDlg& chooser) {
    QStringList entries;
    auto* list = qobject_cast<QListWidget*>(chooser.Control("directoryList"));
    for (int i = 0; list && i < list->count(); ++i) entries << list->item(i)->text();
    return entries;
  }
  static QListWidgetItem* Entry(CChooseDirDlg& chooser, const QString& text) {
    auto* list = qobject_cast<QListWidget*>(chooser.Control("directoryList"));
    const auto found = list->findItems(text, Qt::MatchExactly);
    return found.isEmpty() ? nullptr : found.front();
  }
  static void DoubleClick(CChooseDirDlg& chooser, const QString& text) {
    DoubleClickItem(qobject_cast<QListWidget*>(chooser.Control("directoryList")),
                    text);
  }
  // Types into the name field of the New Directory box and ends it with `key`.
  static void TypeName(QWidget* box, const QString& name, Qt::Key key) {
    QWidget* edit = qobject_cast<CNewDirDlg*>(box)->Control("nameEdit");
    ASSERT_TRUE(HasFocus(edit));
    QTest::keyClicks(edit, name);
    QTest::keyClick(edit, key);
  }
  static QString PathLabel(CChooseDirDlg& chooser) {
    return qobject_cast<QLabel*>(chooser.Control("pathLabel"))->text();
  }

  std::string m_root;
};

TEST_F(ChooseDirTest, ListsSubdirectoriesSortedAfterTheParentEntry) {
  CChooseDirDlg chooser(m_root, nullptr);
  EXPECT_EQ(chooser.windowTitle(), "Choose a Directory");
  EXPECT_EQ(Entries(chooser), QStringList({"[..]", "[Alpha]", "[beta]", "[gamma]"}));
  EXPECT_EQ(PathLabel(chooser).toStdString(), m_root);
  EXPECT_EQ(Child<QLabel>(&chooser, "directoriesLabel")->text(), "Directories");
  EXPECT_EQ(Child<QPushButton>(&chooser, "newDirectoryButton")->text(), "New Directory");
  EXPECT_EQ(chooser.Control("newDirectoryButton"),
            Child<QPushButton>(&chooser, "newDirectoryButton"));
  EXPECT_TRUE(Child<QPushButton>(&chooser, "okButton")->isDefault());
}

TEST_F(ChooseDirTest, OkHasTheFocusAndTabWalksButtonsThenList) {
  CChooseDirDlg chooser(m_root, nullptr);
  Activate(&chooser);
  EXPECT_EQ(TabSequence(&chooser, 5), QStringList({"okButton", "cancelButton", "newDirectoryButton",
                                                   "directoryList", "okButton"}));
}

TEST_F(ChooseDirTest, DoubleClickEntersAndParentEntryGoesUp) {
  CChooseDirDlg chooser(m_root, nullptr);
  Activate(&chooser);
  DoubleClick(chooser, "[beta]");
  EXPECT_EQ(PathLabel(chooser).toStdString(), m_root + "/beta");
  EXPECT_EQ(Entries(chooser), QStringList({"[..]", "[inner]"}));
  DoubleClick(chooser, "[..]");
  EXPECT_EQ(PathLabel(chooser).toStdString(), m_root);
  EXPECT_EQ(chooser.Path(), m_root);
  DoubleClick(chooser, "[..]");
  const std::string parent = m_root.substr(0, m_root.rfind('/'));
  EXPECT_EQ(chooser.Path(), parent.empty() ? "/" : parent);
}

TEST_F(ChooseDirTest, OkAfterASingleClickReturnsTheDirectoryStoodIn) {
  CChooseDirDlg chooser(m_root + "/beta", nullptr);
  CModalDriver driver;
  driver.Then([&](QWidget*) {
    auto* list = qobject_cast<QListWidget*>(chooser.Control("directoryList"));
    QListWidgetItem* inner = Entry(chooser, "[inner]");
    ASSERT_NE(inner, nullptr);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier,
                      list->visualItemRect(inner).center());
    EXPECT_TRUE(inner->isSelected());
    QTest::mouseClick(Child<QPushButton>(&chooser, "okButton"), Qt::LeftButton);
  });
  EXPECT_EQ(chooser.exec(), QDialog::Accepted);
  EXPECT_EQ(chooser.Path(), m_root + "/beta");
}

TEST_F(ChooseDirTest, RootHasNoParentEntryAndIsReturnedAsSlash) {
  CChooseDirDlg chooser("/", nullptr);
  const QStringList entries = Entries(chooser);
  EXPECT_FALSE(entries.contains("[..]"));
  EXPECT_TRUE(entries.contains("[tmp]") || entries.contains("[usr]"));
  CChooseDirDlg below("/tmp", nullptr);
  Activate(&below);
  DoubleClick(below, "[..]");
  EXPECT_EQ(below.Path(), "/");
  EXPECT_EQ(PathLabel(below), "/");
}

TEST_F(ChooseDirTest, EmptyInitialDirectoryStartsInTheCurrentDirectory) {
  CChooseDirDlg chooser("", nullptr);
  EXPECT_EQ(chooser.Path(), QDir::currentPath().toStdString());
  EXPECT_EQ(chooser.ListedDirectory(), QDir::currentPath());
}

// A starting directory that does not exist gives way to its nearest parent
// that does, and the label says so; OK returns that parent.
TEST_F(ChooseDirTest, MissingInitialDirectoryStartsFromItsNearestParent) {
  const std::string missing = m_root + "/beta/missing/deeper/";
  CChooseDirDlg chooser(missing, nullptr);
  EXPECT_EQ(PathLabel(chooser).toStdString(),
            m_root + "/beta (" + m_root + "/beta/missing/deeper does not exist)");
  EXPECT_EQ(chooser.ListedDirectory().toStdString(), m_root + "/beta");
  CModalDriver driver;
  driver.Then([](QWidget* w) { QTest::keyClick(w, Qt::Key_Return); });
  EXPECT_EQ(chooser.exec(), QDialog::Accepted);
  EXPECT_EQ(chooser.Path(), m_root + "/beta");
}

// Return on an entry enters it, as a double-click does; OK then returns the
// directory the label shows.
TEST_F(ChooseDirTest, ReturnOnAnEntryEntersIt) {
  CChooseDirDlg chooser(m_root, nullptr);
  CModalDriver driver;
  driver.Then([&](QWidget*) {
    auto* list = qobject_cast<QListWidget*>(chooser.Control("directoryList"));
    list->setFocus();
    list->setCurrentItem(Entry(chooser, "[beta]"));
    QTest::keyClick(list, Qt::Key_Return);
    EXPECT_TRUE(chooser.isVisible());
    EXPECT_EQ(PathLabel(chooser).toStdString(), m_root + "/beta");
    list->setCurrentItem(Entry(chooser, "[inner]"));
    QTest::keyClick(list, Qt::Key_Enter);
    QTest::mouseClick(Child<QPushButton>(&chooser, "okButton"), Qt::LeftButton);
  });
  EXPECT_EQ(chooser.exec(), QDialog::Accepted);
  EXPECT_EQ(chooser.Path(), m_root + "/beta/inner");
}

// A long path keeps the label on one line and the window at its width.
TEST_F(ChooseDirTest, ALongPathStaysOnOneLine) {
  std::string deep = m_root;
  for (int i = 0; i < 12; ++i) ASSERT_EQ(mkdir((deep += "/a-rather-long-name").c_str(), 0700), 0);
  CChooseDirDlg chooser(deep, nullptr);
  CChooseDirDlg shallow("/", nullptr);
  Activate(&chooser);
  auto* label = qobject_cast<QLabel*>(chooser.Control("pathLabel"));
  EXPECT_EQ(label->text().toStdString(), deep);
  EXPECT_EQ(label->toolTip().toStdString(), deep);
  EXPECT_LE(label->height(), label->fontMetrics().height() * 3 / 2);
  EXPECT_EQ(chooser.width(), shallow.width());
}

TEST_F(ChooseDirTest, InitialDirectoryKeepsItsTrailingSeparatorUntilMoved) {
  CChooseDirDlg chooser(m_root + "/", nullptr);
  EXPECT_EQ(chooser.Path(), m_root + "/");
  EXPECT_EQ(chooser.ListedDirectory().toStdString(), m_root);
}

// An entry that has gone since the list was filled, or that may not be
// entered, leaves the chooser where it stands: label and list stay in step.
TEST_F(ChooseDirTest, ADirectoryThatCannotBeEnteredIsNotEntered) {
  ASSERT_EQ(mkdir((m_root + "/gone").c_str(), 0700), 0);
  ASSERT_EQ(chmod((m_root + "/gamma").c_str(), 0), 0);
  const bool privileged = access((m_root + "/gamma").c_str(), X_OK) == 0;
  CChooseDirDlg chooser(m_root, nullptr);
  Activate(&chooser);
  ASSERT_EQ(rmdir((m_root + "/gone").c_str()), 0);
  for (const char* entry : {"[gone]", "[gamma]"}) {
    if (privileged && std::string(entry) == "[gamma]") continue;
    DoubleClick(chooser, entry);
    EXPECT_EQ(chooser.Path(), m_root) << entry;
    EXPECT_EQ(PathLabel(chooser).toStdString(), m_root) << entry;
    EXPECT_EQ(chooser.ListedDirectory().toStdString(), m_root) << entry;
  }
  chmod((m_root + "/gamma").c_str(), 0700);
}

TEST_F(ChooseDirTest, NewDirectoryIsCreatedWhereTheChooserStandsAndListed) {
  CChooseDirDlg chooser(m_root, nullptr);
  CModalDriver driver;
  driver.Then([&](QWidget*) {
    QTest::mouseClick(Child<QPushButton>(&chooser, "newDirectoryButton"), Qt::LeftButton);
    EXPECT_TRUE(Exists(m_root + "/delta"));
    EXPECT_TRUE(Entries(chooser).contains("[delta]"));
    EXPECT_EQ(chooser.Path(), m_root) << "the chooser does not enter the new directory";
    QTest::mouseClick(Child<QPushButton>(&chooser, "newDirectoryButton"), Qt::LeftButton);
    QTest::mouseClick(Child<QPushButton>(&chooser, "cancelButton"), Qt::LeftButton);
  });
  driver.Then([](QWidget* name) {
    EXPECT_EQ(name->windowTitle(), "Choose a new directory name");
    TypeName(name, "delta", Qt::Key_Return);
  });
  // An existing name fails silently and changes nothing.
  driver.Then([](QWidget* name) { TypeName(name, "beta", Qt::Key_Return); });
  EXPECT_EQ(chooser.exec(), QDialog::Rejected);
  EXPECT_EQ(driver.Seen(), QStringList({"Choose a Directory", "Choose a new directory name",
                                        "Choose a new directory name"}));
  EXPECT_TRUE(driver.Unexpected().isEmpty()) << driver.Unexpected().join(", ").toStdString();
}

TEST_F(ChooseDirTest, CancelledNewDirectoryCreatesNothing) {
  CChooseDirDlg chooser(m_root, nullptr);
  CModalDriver driver;
  driver.Then([&](QWidget*) {
    QTest::mouseClick(Child<QPushButton>(&chooser, "newDirectoryButton"), Qt::LeftButton);
    QTest::keyClick(&chooser, Qt::Key_Escape);
  });
  driver.Then([](QWidget* name) { TypeName(name, "epsilon", Qt::Key_Escape); });
  chooser.exec();
  EXPECT_FALSE(Exists(m_root + "/epsilon"));
}

TEST_F(ChooseDirTest, TheProcessCurrentDirectoryIsLeftAlone) {
  const QString before = QDir::currentPath();
  {
    CChooseDirDlg chooser(m_root, nullptr);
    Activate(&chooser);
    DoubleClick(chooser, "[beta]");
    EXPECT_EQ(QDir::currentPath(), before);
  }
  EXPECT_EQ(QDir::currentPath(), before);
}

}  // namespace
