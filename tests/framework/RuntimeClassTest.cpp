// Class records: lookup by exact name, derivation, creation.

#include "TestClasses.h"

#include <gtest/gtest.h>

namespace {

TEST(RuntimeClassTest, FindsRegisteredClassesByExactName) {
  EXPECT_EQ(CRuntimeClass::FromName("CTestRecord"), &CTestRecord::RuntimeClass);
  EXPECT_EQ(CRuntimeClass::FromName("CTestNote"), &CTestNote::RuntimeClass);
  EXPECT_EQ(CRuntimeClass::FromName("ctestrecord"), nullptr);
  EXPECT_EQ(CRuntimeClass::FromName("CTestRecor"), nullptr);
  EXPECT_EQ(CRuntimeClass::FromName("CTestRecord "), nullptr);
  EXPECT_EQ(CRuntimeClass::FromName(""), nullptr);
}

TEST(RuntimeClassTest, SecondRecordWithTheSameNameIsRefused) {
  static constinit const CRuntimeClass impostor = {"CTestRecord", 1, nullptr, nullptr};
  EXPECT_FALSE(CRuntimeClass::Register(impostor));
  EXPECT_EQ(CRuntimeClass::FromName("CTestRecord"), &CTestRecord::RuntimeClass);
}

TEST(RuntimeClassTest, CreatesDefaultInstancesOfItsOwnClass) {
  std::unique_ptr<CObject> made = CTestVersioned::RuntimeClass.CreateObject();
  ASSERT_TRUE(made);
  EXPECT_EQ(&made->GetRuntimeClass(), &CTestVersioned::RuntimeClass);
  EXPECT_TRUE(made->IsKindOf(CTestRecord::RuntimeClass));
  EXPECT_TRUE(made->IsKindOf(CObject::RuntimeClass));
  EXPECT_FALSE(made->IsKindOf(CTestNote::RuntimeClass));
  EXPECT_FALSE(CTestRecord().IsKindOf(CTestVersioned::RuntimeClass));
  EXPECT_EQ(CTestShape::RuntimeClass.CreateObject(), nullptr);
}

}  // namespace
