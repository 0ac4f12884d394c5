// CZoFile: one file of the C runtime for raw bytes.
#include <cerrno>
#include <cstring>
#include <filesystem>

#include <gtest/gtest.h>

#include "ScopedTempFolder.h"
#include "ZoFile.h"
#include "ZoFormat.h"
#include "ZoTestSupport.h"

namespace {

namespace fs = std::filesystem;

class ZoFileTest : public ::testing::Test {
protected:
    ScopedTempFolder m_folder;
};

TEST_F(ZoFileTest, WritingCreatesTheFolderAndKeepsWhatFollows)
{
    {
        CZoFile file;
        file.Open(m_folder.Ole("new/folder/f.bin"), true);
        EXPECT_EQ(6, file.WriteBytes("abcdef", 6));
    }
    EXPECT_EQ("abcdef", FileBytes(m_folder.Path("new/folder/f.bin"))) << "closed by the destructor";

    CZoFile file;
    file.Open(m_folder.Ole("new/folder/f.bin"), true);
    EXPECT_EQ(2, file.WriteBytes("XY", 2));
    file.Close();
    EXPECT_EQ("XYcdef", FileBytes(m_folder.Path("new/folder/f.bin"))) << "opened at the start, not emptied";
}

TEST_F(ZoFileTest, WritingNeedsAnOpenFile)
{
    CZoFile file;
    auto entries = RaisedEntries([&] { file.WriteBytes("x", 1); });
    ASSERT_FALSE(entries.empty());
    EXPECT_EQ(OleString(OLESTR("2006")), entries[0].code);
    EXPECT_EQ(OleString(OLESTR("File not open.")), entries[0].description);

    WriteFileBytes(m_folder.Path("r.bin"), "x");
    file.Open(m_folder.Ole("r.bin"), false);
    entries = RaisedEntries([&] { file.WriteBytes("y", 1); });
    ASSERT_FALSE(entries.empty()) << "opened to read";
    EXPECT_EQ(Decimal(EBADF), entries[0].code);
    file.Close();
    entries = RaisedEntries([&] { file.WriteBytes("y", 1); });
    ASSERT_FALSE(entries.empty());
    EXPECT_EQ(OleString(OLESTR("2006")), entries[0].code);
}

TEST_F(ZoFileTest, OpenFailuresNameTheFile)
{
    auto entries = RaisedEntries([&] { CZoFile().Open(m_folder.Ole("missing.bin"), false); });
    ASSERT_FALSE(entries.empty());
    EXPECT_EQ(Decimal(static_cast<LONG>(0x80070002)), entries[0].code);
    EXPECT_EQ(ZoSystemMessageText(ERROR_FILE_NOT_FOUND), entries[0].description);
    ASSERT_EQ(1u, entries[0].details.size());
    EXPECT_EQ(OleString(OLESTR("File")), entries[0].details[0].first);
    EXPECT_EQ(m_folder.Ole("missing.bin"), entries[0].details[0].second);

    // The runtime's own error: a folder can't be opened as a file.
    fs::create_directory(m_folder.Path("folder"));
    entries = RaisedEntries([&] { CZoFile().Open(m_folder.Ole("folder"), true); });
    ASSERT_FALSE(entries.empty());
    EXPECT_EQ(Decimal(EACCES), entries[0].code);
    EXPECT_EQ(ZoAnsiToOle(std::strerror(EACCES)), entries[0].description);
}

}  // namespace
