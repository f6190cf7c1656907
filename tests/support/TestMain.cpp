// Test entry point: gives the process a private temporary root and points
// HOME, the XDG folders and TMPDIR into it, so that no test can touch the
// real user's files. The root is removed when the tests end.

#include "support/RemoveTree.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

class CIsolatedEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/quiver-test.XXXXXX";
    if (!mkdtemp(pattern.data())) std::abort();
    m_root = pattern;
    setenv("QUIVER_TEST_ROOT", m_root.c_str(), 1);
    for (const char* sub : {"home", "config", "data", "cache", "tmp", "runtime"}) {
      mkdir((m_root + "/" + sub).c_str(), 0700);
    }
    setenv("HOME", (m_root + "/home").c_str(), 1);
    setenv("XDG_CONFIG_HOME", (m_root + "/config").c_str(), 1);
    setenv("XDG_DATA_HOME", (m_root + "/data").c_str(), 1);
    setenv("XDG_CACHE_HOME", (m_root + "/cache").c_str(), 1);
    setenv("XDG_RUNTIME_DIR", (m_root + "/runtime").c_str(), 1);
    setenv("TMPDIR", (m_root + "/tmp").c_str(), 1);
  }

  void TearDown() override {
    if (!std::getenv("QUIVER_KEEP_TEST_ROOT")) {
      testing_support::RemoveTree(m_root);
    }
  }

 private:
  std::string m_root;
};

}  // namespace

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  ::testing::AddGlobalTestEnvironment(new CIsolatedEnvironment);
  return RUN_ALL_TESTS();
}
