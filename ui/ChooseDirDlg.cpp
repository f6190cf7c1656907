#include "ui/ChooseDirDlg.h"

#include "ui/NewDirDlg.h"
#include "ui_ChooseDirDlg.h"

#include <QDir>
#include <QFileInfo>

#include <sys/stat.h>
#include <unistd.h>

namespace {

const QString kParentEntry = QStringLiteral("[..]");

// A directory the chooser can stand in: it exists and may be entered.
bool CanEnter(const QString& path) {
  return QFileInfo(path).isDir() && ::access(QFile::encodeName(path).constData(), X_OK) == 0;
}

}  // namespace

CChooseDirDlg::CChooseDirDlg(const std::string& initialDir, QWidget* parent)
    : CQuiverDialog(parent), m_ui(std::make_unique<Ui::ChooseDirDlg>()) {
  m_ui->setupUi(this);
  SetFrame(Frame::Box);
  connect(m_ui->okButton, &QPushButton::clicked, this, &QDialog::accept);
  connect(m_ui->cancelButton, &QPushButton::clicked, this, &QDialog::reject);
  connect(m_ui->newDirectoryButton, &QPushButton::clicked, this, &CChooseDirDlg::OnNewDirectory);
  connect(m_ui->directoryList, &QListWidget::itemDoubleClicked, this, &CChooseDirDlg::OnEnter);

  const QString current = QDir::currentPath();
  m_strPath = initialDir.empty() ? current.toStdString() : initialDir;
  const QString wanted =
      QDir::cleanPath(QDir(current).absoluteFilePath(QString::fromStdString(m_strPath)));
  m_listed = CanEnter(wanted) ? wanted : current;

  FillDirectories();
  Refresh();
  SetDialogUnitSize(163, 152);
  m_ui->okButton->setFocus();
}

CChooseDirDlg::~CChooseDirDlg() = default;

void CChooseDirDlg::DoDataExchange(bool save) { Exchange(save, m_ui->pathLabel, m_strPath); }

void CChooseDirDlg::FillDirectories() {
  QListWidget* list = m_ui->directoryList;
  list->clear();
  if (!QDir(m_listed).isRoot()) list->addItem(kParentEntry);
  const QStringList names =
      QDir(m_listed).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase);
  for (const QString& name : names) list->addItem(QLatin1Char('[') + name + QLatin1Char(']'));
}

void CChooseDirDlg::OnEnter(QListWidgetItem* item) {
  const QString text = item->text();
  if (text.size() < 2) return;
  const QString target =
      QDir::cleanPath(QDir(m_listed).absoluteFilePath(text.mid(1, text.size() - 2)));
  if (!CanEnter(target)) return;
  m_listed = target;
  m_strPath = target.toStdString();
  FillDirectories();
  Refresh();
}

// Creating the directory is all: the chooser stays where it is, and a name
// that cannot be created changes nothing and says nothing.
void CChooseDirDlg::OnNewDirectory() {
  CNewDirDlg dialog(this);
  if (dialog.exec() != QDialog::Accepted) return;
  const std::string& name = dialog.Name();
  const QString path = QDir(m_listed).filePath(QString::fromStdString(name));
  if (name.empty() || ::mkdir(QFile::encodeName(path).constData(), 0777) != 0) return;
  FillDirectories();
}
