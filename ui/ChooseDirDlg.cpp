#include "ui/ChooseDirDlg.h"

#include "ui/MiddleElider.h"
#include "ui/NewDirDlg.h"
#include "ui_ChooseDirDlg.h"

#include <QDir>
#include <QFileInfo>
#include <QKeyEvent>

#include <sys/stat.h>
#include <unistd.h>

namespace {

const QString kParentEntry = QStringLiteral("[..]");

// A directory the chooser can stand in: it exists and may be entered.
bool CanEnter(const QString& path) {
  return QFileInfo(path).isDir() && ::access(QFile::encodeName(path).constData(), X_OK) == 0;
}

// The nearest directory above `path` that can be entered; "" when none.
QString NearestEnterableParent(QString path) {
  while (!QDir(path).isRoot()) {
    path = QFileInfo(path).path();
    if (CanEnter(path)) return path;
  }
  return QString();
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
  m_ui->directoryList->installEventFilter(this);
  new CMiddleElider(m_ui->pathLabel);

  const QString current = QDir::currentPath();
  m_strPath = initialDir.empty() ? current.toStdString() : initialDir;
  const QString wanted =
      QDir::cleanPath(QDir(current).absoluteFilePath(QString::fromStdString(m_strPath)));
  m_listed = wanted;
  if (!CanEnter(wanted)) {
    const QString nearest = NearestEnterableParent(wanted);
    m_listed = nearest.isEmpty() ? current : nearest;
    m_strPath = m_listed.toStdString();
    m_note = QStringLiteral(" (%1 %2)").arg(
        wanted, QFileInfo::exists(wanted) ? QStringLiteral("cannot be opened")
                                          : QStringLiteral("does not exist"));
  }

  FillDirectories();
  Refresh();
  SetDialogUnitSize(163, 152);
  m_ui->okButton->setFocus();
}

CChooseDirDlg::~CChooseDirDlg() = default;

void CChooseDirDlg::DoDataExchange(bool save) {
  if (save) return;
  const QString shown = QString::fromStdString(m_strPath) + m_note;
  m_ui->pathLabel->setText(shown);
  m_ui->pathLabel->setToolTip(shown);
}

bool CChooseDirDlg::eventFilter(QObject* watched, QEvent* event) {
  const bool isReturn =
      watched == m_ui->directoryList && event->type() == QEvent::KeyPress &&
      (static_cast<QKeyEvent*>(event)->key() == Qt::Key_Return ||
       static_cast<QKeyEvent*>(event)->key() == Qt::Key_Enter);
  if (!isReturn) return CQuiverDialog::eventFilter(watched, event);
  if (QListWidgetItem* item = m_ui->directoryList->currentItem()) OnEnter(item);
  return true;
}

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
  m_note.clear();
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
