#include "ui/QuiverDialog.h"

#include "ui/HelpDlg.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QFocusEvent>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QScreen>
#include <QShortcut>

// The resources live in this static library; the linker keeps them only
// when something refers to them.
void CQuiverDialog::InitResources() {
  static const bool done = [] {
    Q_INIT_RESOURCE(quiver);
    return true;
  }();
  (void)done;
}

CQuiverDialog::CQuiverDialog(QWidget* parent) : QDialog(parent) { InitResources(); }

QWidget* CQuiverDialog::Control(const char* name) const {
  return findChild<QWidget*>(QString::fromLatin1(name));
}

void CQuiverDialog::accept() {
  Collect();
  QDialog::accept();
}

void CQuiverDialog::DoDataExchange(bool) {}

bool CQuiverDialog::IsLeaving(const QEvent* event) {
  if (event->type() != QEvent::FocusOut) return false;
  const Qt::FocusReason reason = static_cast<const QFocusEvent*>(event)->reason();
  return reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason;
}

void CQuiverDialog::SetFrame(Frame frame) {
  Qt::WindowFlags flags = Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint;
  if (frame != Frame::CaptionOnly) flags |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
  if (frame == Frame::MainWindow) flags |= Qt::WindowMinimizeButtonHint;
  setWindowFlags(flags);
}

void CQuiverDialog::ConnectHelp(QAbstractButton* button, int context) {
  const auto show = [this, context] { ShowHelp(context); };
  connect(button, &QAbstractButton::clicked, this, show);
  connect(new QShortcut(QKeySequence::HelpContents, this), &QShortcut::activated, this, show);
}

void CQuiverDialog::SetDialogUnitSize(int width, int height, bool widenable) {
  const QFontMetrics metrics(font());
  static const QString alphabet =
      QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
  const double charWidth = metrics.horizontalAdvance(alphabet) / double(alphabet.size());
  const QSize units(qRound(width * charWidth / 4.0), qRound(height * metrics.height() / 8.0));
  const QSize size = units.expandedTo(minimumSizeHint());
  if (!widenable) {
    setFixedSize(size);
    return;
  }
  setMinimumSize(size);
  setMaximumSize(QWIDGETSIZE_MAX, size.height());
  resize(size);
}

void CQuiverDialog::ShowWholeTextAsToolTip(std::initializer_list<QLineEdit*> edits) {
  for (QLineEdit* edit : edits) {
    edit->setToolTip(edit->text());
    connect(edit, &QLineEdit::textChanged, edit, &QWidget::setToolTip);
  }
}

void CQuiverDialog::CenterWindow() {
  const QWidget* owner = parentWidget() ? parentWidget()->window() : nullptr;
  QRect area;
  if (owner && owner->isVisible() && !owner->isMinimized()) {
    area = owner->frameGeometry();
  } else if (const QScreen* s = screen()) {
    area = s->availableGeometry();
  } else {
    return;
  }
  QRect frame = frameGeometry();
  frame.moveCenter(area.center());
  move(frame.topLeft());
}

bool CQuiverDialog::PromptForFile(bool open, const QString& title, const QStringList& filters,
                                  std::string& path) {
  QFileDialog dialog(nullptr, title);
  dialog.setNameFilters(filters);
  dialog.setAcceptMode(open ? QFileDialog::AcceptOpen : QFileDialog::AcceptSave);
  dialog.setFileMode(open ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
  if (!path.empty()) dialog.selectFile(QString::fromStdString(path));
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return false;
  path = dialog.selectedFiles().first().toStdString();
  return true;
}

void CQuiverDialog::ShowHelp(int context) { CHelpDlg::ShowTopic(context, this); }

void CQuiverDialog::Exchange(bool save, QLineEdit* edit, std::string& value) {
  if (save) {
    value = edit->text().toStdString();
  } else {
    edit->setText(QString::fromStdString(value));
    if (edit->isReadOnly()) edit->setCursorPosition(0);
  }
}

void CQuiverDialog::Exchange(bool save, QComboBox* list, int32_t& value) {
  if (save) {
    value = list->currentIndex();
  } else {
    list->setCurrentIndex(value >= 0 && value < list->count() ? value : -1);
  }
}

void CQuiverDialog::Exchange(bool save, QCheckBox* box, int32_t& value) {
  if (save) {
    value = box->isChecked() ? 1 : 0;
  } else {
    box->setChecked(value != 0);
  }
}

void CQuiverDialog::Exchange(bool save, QLabel* label, std::string& value) {
  if (!save) label->setText(QString::fromStdString(value));
}
