#include <stdexcept>

#include <gtest/gtest.h>

#include "ZoLogging.h"
#include "ZoTestSupport.h"

namespace {

TEST(ZoLogging, FormatsAndPassesOnWhatSinksMayTake)
{
    LogRecorder log;
    CZoLogging& logging = CZoLogging::Instance();
    logging.Log({ZO_LOG_ERROR, false}, OLESTR("error %d in %s\n"), 7, OLESTR("f"));
    logging.Log({ZO_LOG_WARNING, true}, OLESTR("forced"));
    logging.Log({ZO_LOG_DEBUG, false}, OLESTR("debug %d"), 1);
    logging.Log({ZO_LOG_STACKTRACE, true}, OLESTR("trace"));
    const auto lines = log.Lines();
    ASSERT_EQ(2u, lines.size()) << "no sink takes the debugging levels yet";
    EXPECT_EQ(ZO_LOG_ERROR, lines[0].level);
    EXPECT_EQ(OleString(OLESTR("error 7 in f\n")), lines[0].text);
    EXPECT_FALSE(lines[0].force);
    EXPECT_EQ(OleString(OLESTR("forced")), lines[1].text);
    EXPECT_TRUE(lines[1].force);
}

class ThrowingObserver : public CZoLogTestObserver {
public:
    void OnLog(int, const OleString&, bool) override { throw std::runtime_error("observer failed"); }
};

TEST(ZoLogging, NeverThrows)
{
    ThrowingObserver observer;
    CZoLogging::Instance().SetTestObserver(&observer);
    EXPECT_NO_THROW(CZoLogging::Instance().Log({ZO_LOG_ERROR, false}, OLESTR("x")));
    EXPECT_NO_THROW(CZoLogging::Instance().LogInternal(ZO_LOG_ERROR, OLESTR("y"), false));
    CZoLogging::Instance().SetTestObserver(nullptr);
    EXPECT_NO_THROW(CZoLogging::Instance().Log({ZO_LOG_ERROR, false}, nullptr));
}

}  // namespace
