// The progress window of the send and view windows: it appears for work
// that lasts and never for quick work; the owner waits disabled and keeps
// painting; Cancel leaves FileRoot and the temporary directory as they were
// and shows no message.

#include "UiTest.h"
#include "app/PointerDoc.h"
#include "support/TestFiles.h"
#include "ui/ProgressDlg.h"
#include "ui/SendDlg.h"
#include "ui/ViewDlg.h"
#include "../gannet/ScriptedServer.h"

#include <chrono>

#include <QLineEdit>
#include <QPushButton>

namespace {

using testing_support::ListDir;

constexpr size_t kRemoteSize = 8 << 20;

struct CPaintCounter : QObject {
  int paints = 0;
  bool eventFilter(QObject*, QEvent* event) override {
    paints += event->type() == QEvent::Paint;
    return false;
  }
};

class ProgressTest : public CUiTest {};

TEST_F(ProgressTest, LastingWorkShowsTheWindowAndCancelLeavesNothing) {
  const std::string www = testing_support::MakeDir("www"), src = testing_support::MakeDir("src");
  CompleteSettings(www);
  // Costs no disk and outlasts the window's delay however fast LZ codes zeros.
  ASSERT_EQ(testing_support::Run("truncate -s 1T '" + src + "/big.bin'"), 0);
  const auto pointerTo = [&](const CScriptedServer& server, const std::string& name) {
    CPointerDoc doc;
    doc.SetUrl(server.Url("/" + name + ".dat"));
    doc.SetSize(kRemoteSize);
    return doc.WriteToFile(src + "/" + name + ".qvr") ? src + "/" + name + ".qvr" : "";
  };
  const std::string reply = "HTTP/1.0 200 OK\r\nContent-Length: " + std::to_string(kRemoteSize) +
                            "\r\n\r\n" + std::string(kRemoteSize, 'r');
  CScriptedServer slow(reply, CScriptedServer::Mode::kTrickle);
  CScriptedServer quick("HTTP/1.0 404 Not Found\r\n\r\n");
  CScriptedServer silent("", CScriptedServer::Mode::kSilent);
  const struct {
    const char* what;
    std::string pointer;  // empty: send big.bin
    bool shown;
  } rows[] = {{"send", "", true},
              {"slow fetch", pointerTo(slow, "slow"), true},
              {"silent server", pointerTo(silent, "silent"), true},
              {"quick fetch", pointerTo(quick, "quick"), false}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    const std::vector<std::string> sources = ListDir(src);
    std::unique_ptr<CMainWindowDlg> window;
    if (row.pointer.empty()) {
      auto send = std::make_unique<CSendDlg>(m_app, nullptr);
      send->findChild<QLineEdit*>("sendFileEdit")
          ->setText(QString::fromStdString(src + "/big.bin"));
      send->findChild<QLineEdit*>("pointerFileEdit")
          ->setText(QString::fromStdString(src + "/big.qvr"));
      window = std::move(send);
    } else {
      window = std::make_unique<CViewDlg>(m_app, row.pointer, nullptr);
    }
    Activate(window.get());
    CPaintCounter painter;
    window->installEventFilter(&painter);
    bool shown = false, ownerEnabled = false;
    std::chrono::steady_clock::time_point cancelled;
    QTimer watcher;
    QObject::connect(&watcher, &QTimer::timeout, [&] {
      window->update();
      for (QWidget* top : QApplication::topLevelWidgets()) {
        auto* progress = qobject_cast<CProgressDlg*>(top);
        if (!progress || !progress->isVisible() || shown) continue;
        shown = true;
        ownerEnabled = window->isEnabled();
        painter.paints = 0;
        cancelled = std::chrono::steady_clock::now();
        QTest::mouseClick(progress->findChild<QPushButton*>("cancelButton"), Qt::LeftButton);
      }
    });
    watcher.start(50);
    CModalDriver driver;
    QTest::mouseClick(
        window->findChild<QPushButton*>(row.pointer.empty() ? "sendButton" : "fetchButton"),
        Qt::LeftButton);
    watcher.stop();
    EXPECT_EQ(shown, row.shown);
    EXPECT_TRUE(!shown || std::chrono::steady_clock::now() - cancelled < std::chrono::seconds(1));
    EXPECT_FALSE(ownerEnabled);
    EXPECT_TRUE(window->isEnabled());
    EXPECT_EQ(driver.Seen().isEmpty(), row.shown) << driver.Seen().join(", ").toStdString();
    EXPECT_TRUE(!row.shown || painter.paints > 0) << "the window stopped painting";
    EXPECT_EQ(ListDir(www), std::vector<std::string>());
    EXPECT_EQ(ListDir(testing_support::TestRoot() + "/tmp"), std::vector<std::string>());
    EXPECT_EQ(ListDir(src), sources);
  }
}

// Drawn over whatever lies below it, the window covers every pixel itself.
TEST_F(ProgressTest, TheWindowPaintsItsWholeArea) {
  CProgress progress("a.bin");
  CProgressDlg dialog(progress, nullptr);
  QImage image(dialog.size(), QImage::Format_RGB32);
  image.fill(Qt::green);
  dialog.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) ASSERT_NE(image.pixelColor(x, y), Qt::green);
  }
}

}  // namespace
