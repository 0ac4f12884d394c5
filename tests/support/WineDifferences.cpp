#include "WineDifferences.h"

#include <string>

#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

struct WineDifference {
    const char* test;   // "Suite.Name"
    const char* difference;
};

// LUMO_WINE_DIFFERS: Wine 8.0 against the documented Windows behaviour.
[[maybe_unused]] const WineDifference kWineDiffers[] = {
    {"ZoVariantToString.AnUnreadableArrayFailsThroughToString",
     "Wine's system message table has no text for DISP_E_BADINDEX (Windows: \"Invalid index.\")"},
    {"LateBound.BadCallsGetTheDispatchStatuses",
     "Wine's ITypeInfo::Invoke leaves puArgErr unset on DISP_E_TYPEMISMATCH, which Windows documents it to set"},
    {"LateBound.FailingMethodReportsTheErrorObject",
     "Wine's ITypeInfo::Invoke answers DISP_E_EXCEPTION without an EXCEPINFO; Windows documents that then only "
     "the method's HRESULT comes back"},
};

#ifdef _WIN32
bool RunningUnderWine()
{
    const HMODULE ntdll = GetModuleHandleW(OLESTR("ntdll.dll"));
    return ntdll && GetProcAddress(ntdll, "wine_get_version");
}

class WineDifferenceSkipper : public ::testing::EmptyTestEventListener {
    // A skip recorded as the test starts: GoogleTest runs neither its SetUp nor its body.
    void OnTestStart(const ::testing::TestInfo& info) override
    {
        const std::string name = std::string(info.test_suite_name()) + "." + info.name();
        for (const WineDifference& known : kWineDiffers) {
            if (name == known.test)
                GTEST_SKIP() << "Wine differs from Windows: " << known.difference;
        }
    }
};
#endif

}  // namespace

void SkipTestsWhereWineDiffers()
{
#ifdef _WIN32
    if (RunningUnderWine())
        ::testing::UnitTest::GetInstance()->listeners().Append(new WineDifferenceSkipper);
#endif
}
