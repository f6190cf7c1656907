// Stored classes: lookup by exact name and by exact class, creation.

#include "TestClasses.h"

#include <gtest/gtest.h>

namespace {

TEST(StoredClassTest, FindsClassesByExactName) {
  EXPECT_EQ(CStoredClass::Named("CTestRecord", kTestClasses), &kTestClasses[0]);
  EXPECT_EQ(CStoredClass::Named("CTestNote", kTestClasses), &kTestClasses[1]);
  for (const char* name : {"ctestrecord", "CTestRecor", "CTestRecord ", ""}) {
    EXPECT_EQ(CStoredClass::Named(name, kTestClasses), nullptr) << name;
  }
}

TEST(StoredClassTest, FindsExactlyTheObjectsOwnClass) {
  for (const CStoredClass& cls : kTestClasses) {
    std::unique_ptr<CObject> made = cls.create();
    ASSERT_TRUE(made) << cls.name;
    EXPECT_EQ(CStoredClass::Of(*made, kTestClasses), &cls) << cls.name;
  }
  // A derived class is not its base's entry.
  EXPECT_EQ(CStoredClass::Of(CTestVersioned(), std::span(kTestClasses).first(2)), nullptr);
}

}  // namespace
