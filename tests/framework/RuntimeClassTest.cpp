// Class records: lookup by exact name, creation.

#include "TestClasses.h"

#include <gtest/gtest.h>

namespace {

TEST(RuntimeClassTest, FindsClassesByExactName) {
  EXPECT_EQ(CRuntimeClass::FromName("CTestRecord", kTestClasses), &CTestRecord::RuntimeClass);
  EXPECT_EQ(CRuntimeClass::FromName("CTestNote", kTestClasses), &CTestNote::RuntimeClass);
  EXPECT_EQ(CRuntimeClass::FromName("ctestrecord", kTestClasses), nullptr);
  EXPECT_EQ(CRuntimeClass::FromName("CTestRecor", kTestClasses), nullptr);
  EXPECT_EQ(CRuntimeClass::FromName("CTestRecord ", kTestClasses), nullptr);
  EXPECT_EQ(CRuntimeClass::FromName("", kTestClasses), nullptr);
}

TEST(RuntimeClassTest, CreatesDefaultInstancesOfItsOwnClass) {
  std::unique_ptr<CObject> made = CTestVersioned::RuntimeClass.CreateObject();
  ASSERT_TRUE(made);
  EXPECT_EQ(&made->GetRuntimeClass(), &CTestVersioned::RuntimeClass);
  EXPECT_EQ(CTestShape::RuntimeClass.CreateObject(), nullptr);
}

}  // namespace
