// Test entry point: every test case runs in a private root of its own, with
// HOME, the XDG folders and TMPDIR below it (support/CaseEnvironment.h), so
// that no test can touch the real user's files or see another's.

#include "support/CaseEnvironment.h"

#include <gtest/gtest.h>

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  ::testing::UnitTest::GetInstance()->listeners().Append(new testing_support::CCaseEnvironment);
  return RUN_ALL_TESTS();
}
