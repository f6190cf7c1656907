#pragma once
// Isolates every test case of a process from every other, whatever their
// order: each case, and the set-up of each test suite, runs in a private root
// of its own (QUIVER_TEST_ROOT) with HOME, the XDG folders and TMPDIR below
// it, so that files, settings and the publish register of one case are never
// seen by the next. A case starts with copies of the XDG folders that its
// suite's set-up filled, and with the environment as that set-up left it;
// what the case changes in the environment is undone when it ends, and its
// root is removed. All roots lie below the process root, which is removed at
// the end; QUIVER_KEEP_TEST_ROOT keeps everything for a look afterwards.
//
// GLib reads HOME and the XDG folders once per process and GIO keeps its
// application database for them; every switch hands GLib the new folders
// (g_set_user_dirs, found at run time so that binaries without GLib need not
// link it), after which GIO reads the database afresh.

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace testing_support {

class CCaseEnvironment : public ::testing::EmptyTestEventListener {
 public:
  // Makes the process root below $TMPDIR (or /tmp) and enters it; aborts
  // when that fails, as no test may run outside it.
  void OnTestProgramStart(const ::testing::UnitTest& test) override;
  void OnTestSuiteStart(const ::testing::TestSuite& suite) override;
  void OnTestStart(const ::testing::TestInfo& test) override;
  void OnTestEnd(const ::testing::TestInfo& test) override;
  void OnTestSuiteEnd(const ::testing::TestSuite& suite) override;
  void OnTestProgramEnd(const ::testing::UnitTest& test) override;

 private:
  // One level of roots: the suite's or the case's.
  struct Level {
    std::string root;
    std::vector<std::string> environment;  // as it was before entering
  };
  // Makes a new root below the process root, copying the XDG folders of
  // `seed` into it when given, and points the environment at it.
  void Enter(const std::string& prefix, const std::string* seed);
  // Restores the environment of before the last Enter and removes its root.
  void Leave();

  std::string m_processRoot;
  std::vector<Level> m_levels;
  int m_made = 0;
};

}  // namespace testing_support
