#include "ui/ProgressDlg.h"

#include "ui_ProgressDlg.h"

#include <QEvent>
#include <QEventLoop>
#include <QGuiApplication>
#include <QPointer>
#include <QWindow>

#include <algorithm>
#include <thread>

namespace {

// Keeps a window open while the work started from it runs.
class CCloseBlocker : public QObject {
 public:
  explicit CCloseBlocker(QWidget* window) : m_window(window) {
    if (m_window) m_window->installEventFilter(this);
  }
  ~CCloseBlocker() override {
    if (m_window) m_window->removeEventFilter(this);
  }

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() != QEvent::Close) return false;
    event->ignore();
    return true;
  }

 private:
  QPointer<QWidget> m_window;
};

// The owner disabled for as long as an instance lives.
class CDisabledWindow {
 public:
  explicit CDisabledWindow(QWidget* window) : m_window(window), m_blocker(window) {
    if (m_window) m_window->setEnabled(false);
  }
  ~CDisabledWindow() {
    if (m_window) m_window->setEnabled(true);
  }
  CDisabledWindow(const CDisabledWindow&) = delete;
  CDisabledWindow& operator=(const CDisabledWindow&) = delete;

 private:
  QPointer<QWidget> m_window;
  CCloseBlocker m_blocker;
};

}  // namespace

// No parent: a disabled parent would disable this window and its Cancel too.
CProgressDlg::CProgressDlg(CProgress& progress, QWidget* owner)
    : CQuiverDialog(nullptr),
      m_ui(std::make_unique<Ui::ProgressDlg>()),
      m_progress(progress),
      m_meter(progress),
      m_owner(owner ? owner->window() : nullptr) {
  m_ui->setupUi(this);
  SetFrame(Frame::Box);
  // The window stands over the send and view windows; painting its whole
  // area itself keeps their labels from showing through at its margins
  // where a compositor or style leaves a window's background unpainted.
  setBackgroundRole(QPalette::Window);
  setAutoFillBackground(true);
  connect(m_ui->cancelButton, &QPushButton::clicked, this, &CProgressDlg::reject);
  connect(&m_ticker, &QTimer::timeout, this, &CProgressDlg::OnTick);
  SetDialogUnitSize(240, 62);
}

CProgressDlg::~CProgressDlg() = default;

bool CProgressDlg::Run(const std::function<bool()>& work) {
  CDisabledWindow disabled(m_owner);
  QEventLoop loop;
  bool result = false;
  m_clock.start();
  m_ticker.start(kRefreshMs);
  std::thread worker([&] {
    result = work();
    QMetaObject::invokeMethod(&loop, [&loop] { loop.quit(); }, Qt::QueuedConnection);
  });
  loop.exec();
  worker.join();
  m_ticker.stop();
  if (isVisible()) {
    hide();
    QGuiApplication::restoreOverrideCursor();
  }
  return result;
}

void CProgressDlg::DoDataExchange(bool save) {
  Exchange(save, m_ui->stageText, m_strStage);
  Exchange(save, m_ui->amountText, m_strAmount);
  Exchange(save, m_ui->rateText, m_strRate);
}

void CProgressDlg::reject() {
  m_progress.Cancel();
  m_ui->cancelButton->setEnabled(false);
}

void CProgressDlg::OnTick() {
  m_meter.Update(static_cast<double>(m_clock.elapsed()) / 1000);
  if (!isVisible()) {
    if (m_clock.elapsed() < kShowDelayMs) return;
    winId();
    if (m_owner && m_owner->windowHandle()) {
      windowHandle()->setTransientParent(m_owner->windowHandle());
    }
    // A busy cursor set for the owner must not hide that Cancel can be clicked.
    QGuiApplication::setOverrideCursor(QCursor(Qt::ArrowCursor));
    show();
    if (m_owner && m_owner->isVisible() && !m_owner->isMinimized()) {
      QRect frame = frameGeometry();
      frame.moveCenter(m_owner->frameGeometry().center());
      move(frame.topLeft());
    } else {
      CenterWindow();
    }
    raise();
    activateWindow();
  }
  m_strStage = m_progress.Describe();
  m_strAmount = m_meter.Amount();
  m_strRate = m_meter.Rate();
  const std::string left = m_meter.TimeLeft();
  if (!left.empty()) m_strRate += (m_strRate.empty() ? "" : ", ") + left;
  Refresh();
  const int perMille = m_meter.PerMille();
  m_ui->progressBar->setMaximum(perMille < 0 ? 0 : 1000);
  m_ui->progressBar->setValue(std::max(perMille, 0));
}
