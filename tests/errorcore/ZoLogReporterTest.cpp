// The error core linked alone, without the logger: what its frames cannot throw reaches the
// reporter installed, and nothing at all when none is.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <windows.h>

#include "ZoFormat.h"
#include "ZoFrame.h"
#include "ZoLogReporter.h"

ZO_SOURCE_FILE(".\\ZoLogReporterTest")

namespace {

struct ReportedLine {
    int level;
    OleString text;
};

class Recorder final : public IZoLogReporter {
public:
    void Report(int level, const OLECHAR* format, va_list args) noexcept override
    {
        reported.push_back({level, ZoFormatV(format, args)});
    }

    std::vector<ReportedLine> reported;
};

class ZoLogReporterTest : public ::testing::Test {
protected:
    void TearDown() override { ZoInstallLogReporter(nullptr); }

    Recorder recorder;
};

struct Holder {
    static void Release();
};

void Holder::Release()
{
    ZO_DESTRUCTOR(OLESTR("Holder::Release"))
    {
        ZO_RAISE(ZO_ERR_NOT_INITIALIZED);
    }
    ZO_DESTRUCTOR_END
}
constexpr int kFrameLine = __LINE__ - 2;

}  // namespace

TEST_F(ZoLogReporterTest, ADestructorFrameReportsItsTwoLinesToTheInstalledReporter)
{
    ZoInstallLogReporter(&recorder);
    Holder::Release();

    ASSERT_EQ(2u, recorder.reported.size());
    EXPECT_EQ(ZO_LOG_WARNING, recorder.reported[0].level);
    EXPECT_EQ(OLESTR("Exception caught in Holder::Release (.\\ZoLogReporterTest : ") +
                  ZoFormat(OLESTR("%d"), kFrameLine) + OLESTR(")\n"),
              recorder.reported[0].text);
    EXPECT_EQ(ZO_LOG_WARNING, recorder.reported[1].level);
    EXPECT_NE(OleString::npos, recorder.reported[1].text.find(OLESTR("Object not initialized.")));
}

TEST_F(ZoLogReporterTest, WithoutAReporterTheFrameStillFinishesQuietly)
{
    Holder::Release();
    ZoReportToLog(ZO_LOG_ERROR, OLESTR("%s"), OLESTR("dropped"));
    EXPECT_TRUE(recorder.reported.empty());
}
