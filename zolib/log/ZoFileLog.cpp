#include "ZoFileLog.h"

#include "ZoFileUtilities.h"
#include "ZoFormat.h"
#include "ZoString.h"
#include "ZoTime.h"

namespace {

OleString LevelName(int level)
{
    static const OLECHAR* const kNames[] = {OLESTR("NONE"),    OLESTR("ERROR"), OLESTR("WARNING"),
                                            OLESTR("INFO"),    OLESTR("DEBUG"), OLESTR("STACKTRACE")};
    if (level >= ZO_LOG_NONE && level <= ZO_LOG_STACKTRACE)
        return kNames[level];
    return ZoFormat(OLESTR("%d"), level);
}

}  // namespace

CZoFileLog::CZoFileLog(DWORD mutexTimeout, ULONGLONG retryInterval) noexcept
    : m_fileLock(mutexTimeout), m_fileLockWait(retryInterval)
{
}

void CZoFileLog::Init()
{
    ZoLoggingGuard(OLESTR("CZoFileLog::Init"), [&] {
        m_fileLock.Init(m_config.logFilePath, true);
        m_fileLockWait.Clear();
    });
}

void CZoFileLog::SetConfig(const CZoLogConfig& config)
{
    ZoLoggingGuard(OLESTR("CZoFileLog::SetConfig"), [&] { CZoLogBase::SetConfig(config); });
}

void CZoFileLog::Log(int level, const OleString& text, bool force)
{
    ZoLoggingGuard(OLESTR("CZoFileLog::Log"), [&] {
        const OleString& path = m_config.logFilePath;
        if ((level > m_config.fileLogLevel || path.empty()) && !force)
            return;
        if (!m_fileLockWait.MayWait(GetTickCount64()))
            return;
        const OleString line = FormatLine(level, text);
        CZoLockHolder holder(&m_fileLock);
        if (!holder.IsLocked()) {
            if (m_fileLockWait.OnTimeout(GetTickCount64()))
                ZoDebugOutput(OLESTR("CZoFileLog: the log file's mutex is held elsewhere, its lines are dropped "
                                     "until it is obtained again: ") +
                              path);
            return;
        }
        m_fileLockWait.Clear();
        if (CZoFileUtilities::GetFileSize(path) > m_config.maxFileSize)
            CZoFileUtilities::MoveFileW(path, OldFileName(path), false);
        CZoFileUtilities::WriteTextFile(path, line, true, ZO_ENCODING_UTF16LE);
    });
}

bool CZoFileLog::IsDebuggingLevel()
{
    return m_config.fileLogLevel > ZO_LOG_INFO;
}

OleString CZoFileLog::FormatLine(int level, OleStringView text)
{
    const OleString time = CZoTime::FormatDate(CZoTime::GetLocalTimeAsOleDate(), 0);
    const OleString name = LevelName(level);
    const OleString message(text);
    const OleString line = ZoFormat(OLESTR("%s [%-10s] TID:%d : %s\n"), time.c_str(), name.c_str(),
                                    static_cast<int>(GetCurrentThreadId()), message.c_str());
    return CZoStringHelper::ConvertNewlinesTo(line, OLESTR("\r\n"));
}

OleString CZoFileLog::OldFileName(OleStringView path)
{
    // Cut by GetFileExtension, not GetFilenameWithoutExtension: that one gives nothing for a
    // name that begins with a dot, so every such log would rotate to the same "_old".
    const OleString name = CZoFileUtilities::GetFilenameFromPath(path);
    const OleString extension = CZoFileUtilities::GetFileExtension(path);
    return CZoFileUtilities::GetPathFromFilename(path) + name.substr(0, name.size() - extension.size()) +
           OLESTR("_old") + extension;
}
