#include "TestClasses.h"

constinit const CRuntimeClass CTestRecord::RuntimeClass = {
    "CTestRecord", 1, &CreateDefaultObject<CTestRecord>, &CObject::RuntimeClass};
constinit const CRuntimeClass CTestNote::RuntimeClass = {
    "CTestNote", 1, &CreateDefaultObject<CTestNote>, &CObject::RuntimeClass};
constinit const CRuntimeClass CTestVersioned::RuntimeClass = {
    "CTestVersioned", 2, &CreateDefaultObject<CTestVersioned>, &CTestRecord::RuntimeClass};
constinit const CRuntimeClass CTestShape::RuntimeClass = {"CTestShape", 1, nullptr,
                                                          &CObject::RuntimeClass};

const CRuntimeClass* const kTestClasses[4] = {&CTestRecord::RuntimeClass, &CTestNote::RuntimeClass,
                                              &CTestVersioned::RuntimeClass, &CTestShape::RuntimeClass};
