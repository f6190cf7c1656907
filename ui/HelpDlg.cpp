#include "ui/HelpDlg.h"

#include "pipeline/Messages.h"
#include "ui_HelpDlg.h"

#include <QFile>
#include <QUrl>

QString CHelpDlg::PageFor(int context) {
  const char* name = nullptr;
  switch (context) {
    case kSendContext:
      name = "send";
      break;
    case kViewContext:
      name = "view";
      break;
    case kPrefsContext:
      name = "prefs";
      break;
    default:
      return QString();
  }
  const QString path = QStringLiteral(":/help/%1.html").arg(QLatin1String(name));
  return QFile::exists(path) ? path : QString();
}

bool CHelpDlg::ShowTopic(int context, QWidget* owner) {
  const QString page = PageFor(context);
  if (page.isEmpty()) {
    ShowWarning("Failed to launch help.");
    return false;
  }
  CHelpDlg* help =
      owner ? owner->findChild<CHelpDlg*>(QString(), Qt::FindDirectChildrenOnly) : nullptr;
  if (!help) {
    help = new CHelpDlg(owner);
    help->setAttribute(Qt::WA_DeleteOnClose);
  }
  help->ShowPage(page);
  help->show();
  help->raise();
  help->activateWindow();
  return true;
}

CHelpDlg::CHelpDlg(QWidget* parent) : CQuiverDialog(parent), m_ui(std::make_unique<Ui::HelpDlg>()) {
  m_ui->setupUi(this);
  setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint);
  connect(m_ui->closeButton, &QPushButton::clicked, this, &QDialog::close);
}

CHelpDlg::~CHelpDlg() = default;

void CHelpDlg::ShowPage(const QString& resourcePath) {
  m_ui->helpBrowser->setSource(QUrl(QStringLiteral("qrc") + resourcePath));
}

QString CHelpDlg::CurrentPage() const { return m_ui->helpBrowser->source().toString(); }
