// Runs one fuzz target's entry point on every file of its regression folder
// (tests/fuzz/<target>/): crashes found by fuzzing and hand-made hostile
// inputs. The target aborts on any wrong outcome, which fails the test.

#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

TEST(QUIVER_REPLAY_SUITE, ReplaysEveryInput) {
  const std::string dir = QUIVER_REPLAY_DIR;
  const std::vector<std::string> names = testing_support::ListDir(dir);
  ASSERT_GE(names.size(), 3u) << "no regression inputs in " << dir;
  for (const std::string& name : names) {
    const std::string bytes = testing_support::ReadFile(dir + "/" + name);
    // Named before it runs: an abort ends the process without gtest's help.
    std::fprintf(stderr, "replaying %s (%zu bytes)\n", name.c_str(), bytes.size());
    EXPECT_EQ(LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()),
              0)
        << name;
  }
}
