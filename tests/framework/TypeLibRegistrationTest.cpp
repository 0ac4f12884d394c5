// The help directory registered with a type library: the directory part of its help file.
#include <gtest/gtest.h>

#include "TypeLibRegistration.h"

namespace {

TEST(DirectoryOfPath, IsEverythingUpToTheLastSeparator)
{
    struct Case { const OLECHAR* path; const OLECHAR* directory; };
    const Case cases[] = {
        {OLESTR("C:\\Help\\Lib.hlp"), OLESTR("C:\\Help\\")},
        {OLESTR("/usr/share/help/lib.chm"), OLESTR("/usr/share/help/")},
        {OLESTR("a\\b/c.hlp"), OLESTR("a\\b/")},
        {OLESTR("a/b\\c.hlp"), OLESTR("a/b\\")},
        {OLESTR("C:Lib.hlp"), OLESTR("C:")},
        {OLESTR("folder/"), OLESTR("folder/")},
        {OLESTR("Lib.hlp"), OLESTR("")},
        {OLESTR(""), OLESTR("")},
    };
    for (const Case& c : cases)
        EXPECT_EQ(DirectoryOfPath(c.path), OleStringView(c.directory)) << std::string(c.path, c.path + OleStringView(c.path).size());
}

}  // namespace
