#include "ZoLogConfig.h"

#include "ZoFileUtilities.h"
#include "ZoFrame.h"
#include "ZoLogBase.h"
#include "ZoRegistry.h"
#include "ZoSystem.h"

ZO_SOURCE_FILE(".\\ZoLogConfig")

namespace {

constexpr OLECHAR kLoggingKey[] = OLESTR("HKEY_CURRENT_USER\\Software\\Tavrin\\Logging");
constexpr DWORD kMaxFilePathLength = 520;

constexpr int kDefaultEventLogLevel = ZO_LOG_WARNING;
constexpr int kDefaultFileLogLevel = ZO_LOG_NONE;
constexpr ULONG kDefaultMaxFileSize = 0x100000;

}  // namespace

// The fields are set inside the guards: a failure (out of memory for a copy) must not leave
// the constructor or the assignment.
CZoLogConfig::CZoLogConfig(OleStringView name, OleStringView version) noexcept
    : eventLogLevel(kDefaultEventLogLevel), fileLogLevel(kDefaultFileLogLevel), maxFileSize(kDefaultMaxFileSize)
{
    ZoLoggingGuard(OLESTR("CZoLogConfig::CZoLogConfig"), [&] {
        productName = name;
        productVersion = version;
    });
}

CZoLogConfig::CZoLogConfig(const CZoLogConfig& other) noexcept
    : eventLogLevel(kDefaultEventLogLevel), fileLogLevel(kDefaultFileLogLevel), maxFileSize(kDefaultMaxFileSize)
{
    *this = other;
}

CZoLogConfig& CZoLogConfig::operator=(const CZoLogConfig& other) noexcept
{
    ZoLoggingGuard(OLESTR("CZoLogConfig::operator ="), [&] {
        if (this == &other)
            return;
        productName = other.productName;
        productVersion = other.productVersion;
        eventLogLevel = other.eventLogLevel;
        fileLogLevel = other.fileLogLevel;
        logFilePath = other.logFilePath;
        maxFileSize = other.maxFileSize;
    });
    return *this;
}

void CZoLogConfig::ReadConfig() noexcept
{
    ZoLoggingGuard(OLESTR("CZoLogConfig::ReadConfig"), [&] {
        ZO_BLOCK(OLESTR("CZoLogConfig::ReadConfig"))
        {
            const OleString key = CZoFileUtilities::ConcatPathname(kLoggingKey, productName);
            eventLogLevel = static_cast<int>(
                CZoRegistry::GetDWORDValue(key, OLESTR("EventLogLevel"), kDefaultEventLogLevel, false, false));
            fileLogLevel = static_cast<int>(
                CZoRegistry::GetDWORDValue(key, OLESTR("FileLogLevel"), kDefaultFileLogLevel, false, false));
            logFilePath = CZoSystem::ExpandEnvironment(
                CZoRegistry::GetStringValue(key, OLESTR("File"), OLESTR(""), false), kMaxFilePathLength);
            maxFileSize = CZoRegistry::GetDWORDValue(key, OLESTR("FileMaxSize"), kDefaultMaxFileSize, false, false);
        }
        ZO_BLOCK_END
    });
}
