#include "TestClasses.h"

constinit const std::array<CStoredClass, 3> kTestClasses = {
    StoredClass<CTestRecord>("CTestRecord", 1),
    StoredClass<CTestNote>("CTestNote", 1),
    StoredClass<CTestVersioned>("CTestVersioned", 2),
};
