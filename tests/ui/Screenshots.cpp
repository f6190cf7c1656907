// Renders every window of the program to a PNG file, filled with sample
// values, so that a reviewer can look at the layouts. Run it through
// scripts/screenshots, which gives it a display and a private home.
//
//   quiver_screenshots <output folder>

#include "app/PointerDoc.h"
#include "app/QuiverApp.h"
#include "platform/MessageBox.h"
#include "ui/AboutDlg.h"
#include "ui/ChooseDirDlg.h"
#include "ui/HelpDlg.h"
#include "ui/NewDirDlg.h"
#include "ui/PrefsDlg.h"
#include "ui/ReportDlg.h"
#include "ui/QtUserInterface.h"
#include "ui/SendDlg.h"
#include "ui/UsageDlg.h"
#include "ui/ViewDlg.h"

#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QMessageBox>
#include <QTest>

#include <cstdio>

namespace {

// Shows `window`, lets it settle and saves what it shows as <name>.png.
bool Render(QWidget& window, const QString& folder, const char* name) {
  window.show();
  QTest::qWait(150);
  const QString path = folder + "/" + name + ".png";
  if (!window.grab().save(path)) {
    std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
    return false;
  }
  std::printf("%s\n", qPrintable(path));
  window.close();
  return true;
}

// A pointer file with both transforms, as a send writes it.
std::string SamplePointerFile(const CSettings& settings) {
  const std::string folder = QDir::tempPath().toStdString();
  const std::string source = folder + "/Quarterly report.doc";
  std::FILE* f = std::fopen(source.c_str(), "w");
  if (!f) return "";
  for (int i = 0; i < 400; ++i) std::fputs("quarterly figures and comments\n", f);
  std::fclose(f);
  CPointerDoc doc;
  doc.BuildChain(settings);
  const std::string pointer = folder + "/Quarterly report.qvr";
  return doc.Send(pointer, source, settings.urlRoot, folder + "/") ? pointer : "";
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <output folder>\n", argv[0]);
    return 2;
  }
  QApplication qt(argc, argv);
  QApplication::setQuitOnLastWindowClosed(false);
  const QString folder = QString::fromLocal8Bit(argv[1]);
  QDir().mkpath(folder);

  CQtUserInterface ui;
  CMessageBox::Install(&ui);
  CQuiverApp app(ui);
  app.SetRegistryKey(CQuiverApp::kRegistryKey);
  CSettings& settings = app.GetSettings();
  settings.urlRoot = "http://www.example.com/quiver/";
  settings.fileRoot = QDir::tempPath().toStdString();
  settings.Normalize();

  bool ok = true;
  {
    CSendDlg send(app, nullptr);
    send.findChild<QLineEdit*>("sendFileEdit")->setText("/home/ann/Documents/Quarterly report.doc");
    send.findChild<QLineEdit*>("pointerFileEdit")
        ->setText("/home/ann/Documents/Quarterly report.qvr");
    ok &= Render(send, folder, "send");
  }
  const std::string sample = SamplePointerFile(settings);
  {
    CViewDlg view(app, sample, nullptr);
    ok &= Render(view, folder, "view");
  }
  {
    CSendDlg sent(app, nullptr);
    const QString tmp = QDir::tempPath();
    sent.findChild<QLineEdit*>("sendFileEdit")->setText(tmp + "/Quarterly report.doc");
    sent.findChild<QLineEdit*>("pointerFileEdit")->setText(tmp + "/Quarterly report.qvr");
    QTest::mouseClick(sent.findChild<QPushButton*>("sendButton"), Qt::LeftButton);
    ok &= Render(sent, folder, "sent");
  }
  {
    CPrefsDlg prefs(app, settings, nullptr);
    ok &= Render(prefs, folder, "prefs");
  }
  {
    CChooseDirDlg chooser("/usr", nullptr);
    ok &= Render(chooser, folder, "choosedir");
  }
  {
    CNewDirDlg name(nullptr);
    name.findChild<QLineEdit*>("nameEdit")->setText("incoming");
    ok &= Render(name, folder, "newdir");
  }
  {
    CAboutDlg about(nullptr);
    ok &= Render(about, folder, "about");
  }
  {
    CUsageDlg usage(CQuiverApp::UsageText(), nullptr);
    ok &= Render(usage, folder, "usage");
  }
  {
    CReportDlg report("Quiver Publishing Check",
                      "ok: published the probe /var/www/q/quiver-check.txt.\n"
                      "problem: http://example.com/q/quiver-check.txt answered \"HTTP/1.1 404 Not "
                      "Found\": the web server does not publish FileRoot under UrlRoot.\n"
                      "ok: deleted the probe.\nThe check took 12 ms.\n"
                      "Publishing does not work: 1 problem(s) above.\n",
                      nullptr);
    ok &= Render(report, folder, "check");
  }
  {
    CHelpDlg help(nullptr);
    help.ShowPage(CHelpDlg::PageFor(CHelpDlg::kSendContext));
    ok &= Render(help, folder, "help");
  }
  {
    QMessageBox box(
        QMessageBox::Warning, "Quiver",
        "Problem sending /home/ann/report.doc: The system cannot find the file specified.",
        QMessageBox::Ok);
    ok &= Render(box, folder, "message");
  }
  CMessageBox::Install(nullptr);
  return ok ? 0 : 1;
}
