#pragma once
// The progress window of a send or fetch: what is happening, the bytes done
// of the total with a bar, the rate and the time left, and Cancel.
//
// Run() carries out the work on a thread of its own while this thread's
// event loop keeps every window painting. The owner window is disabled
// meanwhile, so clicks on its commands are neither taken nor replayed
// later, and it cannot be closed; the progress window appears only when the
// work lasts longer than kShowDelayMs, so quick work shows nothing.

#include "app/ProgressMeter.h"
#include "ui/QuiverDialog.h"

#include <QElapsedTimer>
#include <QTimer>

#include <functional>
#include <memory>

namespace Ui {
class ProgressDlg;
}

class CProgressDlg : public CQuiverDialog {
  Q_OBJECT

 public:
  static constexpr int kShowDelayMs = 500;
  static constexpr int kRefreshMs = 100;

  // `owner` (may be null) is the window the work was started from.
  CProgressDlg(CProgress& progress, QWidget* owner);
  ~CProgressDlg() override;

  // Runs `work` and returns its result once it has ended.
  bool Run(const std::function<bool()>& work);

 protected:
  void DoDataExchange(bool save) override;
  // Closing the window or pressing Escape means Cancel.
  void reject() override;

 private:
  void OnTick();

  std::unique_ptr<Ui::ProgressDlg> m_ui;
  CProgress& m_progress;
  CProgressMeter m_meter;
  QWidget* m_owner;
  QTimer m_ticker;
  QElapsedTimer m_clock;
  std::string m_strStage;
  std::string m_strAmount;
  std::string m_strRate;
};
