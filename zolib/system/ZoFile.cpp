#include "ZoFile.h"

#include <io.h>

#include <cerrno>

#include "ZoFileUtilities.h"
#include "ZoFrame.h"

ZO_SOURCE_FILE(".\\ZoFile")

namespace {

// The C runtime's flag and permission values.
constexpr int kWriteOnly = 0x0001;
constexpr int kReadWrite = 0x0002;
constexpr int kCreate = 0x0100;
constexpr int kBinary = 0x8000;
constexpr int kPermissionReadWrite = 0x180;

}  // namespace

CZoFile::CZoFile() noexcept : m_descriptor(-1) {}

CZoFile::~CZoFile()
{
    ZO_DESTRUCTOR(OLESTR("CZoFile::~CZoFile"))
    {
        Close();
    }
    ZO_DESTRUCTOR_END
}

void CZoFile::OpenEx(OleStringView path, int flags)
{
    ZO_FUNCTION(OLESTR("CZoFile::OpenEx"))
    {
        Close();
        if (flags & (kWriteOnly | kReadWrite | kCreate)) {
            CZoFileUtilities::BuildDirectory(CZoFileUtilities::GetPathFromFilename(path));
        } else if (!CZoFileUtilities::FileExists(path)) {
            CZoException error = ZO_SYSTEM_EXCEPTION(ERROR_FILE_NOT_FOUND);
            error.AddInfo(OLESTR("File"), path);
            throw error;
        }
        const int descriptor = _wopen(CZoFileUtilities::GetUnicodePath(path).c_str(), flags, kPermissionReadWrite);
        if (descriptor < 0)
            throw ZO_RUNTIME_EXCEPTION(errno);
        m_descriptor = descriptor;
    }
    ZO_FUNCTION_END
}

void CZoFile::Open(OleStringView path, bool write)
{
    ZO_FUNCTION(OLESTR("CZoFile::Open"))
    {
        OpenEx(path, write ? kBinary | kCreate | kReadWrite : kBinary);
    }
    ZO_FUNCTION_END
}

void CZoFile::CheckFileOpen() const
{
    ZO_FUNCTION(OLESTR("CZoFile::CheckFileOpen"))
    {
        if (m_descriptor == -1)
            ZO_RAISE(ZO_ERR_FILE_NOT_OPEN);
    }
    ZO_FUNCTION_END
}

LONG CZoFile::WriteBytes(const void* bytes, LONG count)
{
    ZO_FUNCTION(OLESTR("CZoFile::WriteBytes"))
    {
        CheckFileOpen();
        if (count < 0)
            ZO_RAISE(ZO_ERR_INVALID_PARAMETER);
        const int written = _write(m_descriptor, bytes, static_cast<unsigned int>(count));
        if (written < 0)
            throw ZO_RUNTIME_EXCEPTION(errno);
        return static_cast<LONG>(written);
    }
    ZO_FUNCTION_END
}

void CZoFile::Close()
{
    ZO_FUNCTION(OLESTR("CZoFile::Close"))
    {
        if (m_descriptor != -1) {
            _close(m_descriptor);
            m_descriptor = -1;
        }
    }
    ZO_FUNCTION_END
}
