// Loading modules of the program (platform/ProgramModule.h): a module serves
// only when it loads and carries this build's stamp, and every refusal
// names its path.

#include <gtest/gtest.h>

#include "platform/ProgramModule.h"

namespace {

TEST(ProgramModuleTest, ServesOnlyAModuleOfThisBuild) {
  const struct {
    std::string path;
    const char* refusal;  // in Error(); null when the module serves
  } rows[] = {{FAKE_MODULE_DIR "/fake-current.so", nullptr},
              {FAKE_MODULE_DIR "/fake-other.so", "it was built for Quiver 0.0.0, module interface 0"},
              {FAKE_MODULE_DIR "/fake-unstamped.so", "undefined symbol: QuiverModuleStamp"},
              {FAKE_MODULE_DIR "/missing.so", "cannot open shared object file"}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.path);
    CProgramModule module(row.path);
    auto* entry = module.Entry<int(int)>("QuiverFakeEntry");
    EXPECT_EQ(module.IsLoaded(), !row.refusal) << module.Error();
    if (row.refusal) {
      EXPECT_EQ(entry, nullptr);
      EXPECT_EQ(module.Error().rfind("Quiver cannot load its module " + row.path + ": ", 0), 0u)
          << module.Error();
      EXPECT_NE(module.Error().find(row.refusal), std::string::npos) << module.Error();
    } else {
      ASSERT_NE(entry, nullptr) << module.Error();
      EXPECT_EQ(entry(41), 42);
      EXPECT_EQ(module.Entry<int(int)>("QuiverNoSuchEntry"), nullptr);
      EXPECT_NE(module.Error().find("QuiverNoSuchEntry"), std::string::npos) << module.Error();
    }
  }
}

}  // namespace
