// The QApplication of the window tests. It is created once the isolated
// environment of tests/support is in place (so that nothing Qt writes
// reaches the real user's folders) and destroyed before that goes away.
// Without a platform chosen by the caller the windows are offscreen.

#include <gtest/gtest.h>

#include <QApplication>

#include <memory>

namespace {

class CQtApplicationListener : public testing::EmptyTestEventListener {
 public:
  void OnEnvironmentsSetUpEnd(const testing::UnitTest&) override {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    m_app = std::make_unique<QApplication>(m_argc, m_argv);
    QApplication::setQuitOnLastWindowClosed(false);
  }

  void OnEnvironmentsTearDownStart(const testing::UnitTest&) override { m_app.reset(); }

 private:
  char m_name[16] = "quiver_ui_test";
  char* m_argv[2] = {m_name, nullptr};
  int m_argc = 1;
  std::unique_ptr<QApplication> m_app;
};

const bool g_registered = [] {
  testing::UnitTest::GetInstance()->listeners().Append(new CQtApplicationListener);
  return true;
}();

}  // namespace
