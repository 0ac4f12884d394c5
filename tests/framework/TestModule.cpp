// The module object of the test program: its classes are those of TestClasses.h.
#include "TestClasses.h"

namespace {

BEGIN_OBJECT_MAP(TestObjectMap)
    TEST_OBJECT_MAP_ENTRIES()
END_OBJECT_MAP()

CFrameworkTestModule testModule(TestObjectMap);

}   // namespace

CFrameworkTestModule& TestModule()
{
    return testModule;
}
