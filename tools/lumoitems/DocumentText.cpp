#include "DocumentText.h"

#include <cerrno>
#include <climits>

#include "ZoFormat.h"
#include "ZoFrame.h"

ZO_SOURCE_FILE(".\\DocumentText")

namespace {

constexpr char kStandardInput[] = "-";
constexpr char kUtf8Mark[] = "\xEF\xBB\xBF";

class CInputFile {
public:
    explicit CInputFile(const std::string& path)
        : m_file(path == kStandardInput ? stdin : std::fopen(path.c_str(), "rb")), m_owned(path != kStandardInput)
    {
    }
    ~CInputFile()
    {
        if (m_file && m_owned)
            std::fclose(m_file);
    }
    CInputFile(const CInputFile&) = delete;
    CInputFile& operator=(const CInputFile&) = delete;

    std::FILE* Get() const noexcept { return m_file; }

private:
    std::FILE* m_file;
    bool m_owned;
};

std::string ReadBytes(const std::string& path)
{
    ZO_FUNCTION(OLESTR("ReadBytes"))
    {
        errno = 0;
        CInputFile file(path);
        if (!file.Get())
            throw ZO_RUNTIME_EXCEPTION(errno);
        std::string bytes;
        char block[65536];
        size_t count = 0;
        while ((count = std::fread(block, 1, sizeof block, file.Get())) > 0) {
            // The conversion takes an int count.
            if (bytes.size() + count > static_cast<size_t>(INT_MAX))
                throw ZO_SYSTEM_EXCEPTION(ERROR_OUTOFMEMORY);
            bytes.append(block, count);
        }
        if (std::ferror(file.Get()))
            throw ZO_RUNTIME_EXCEPTION(errno);
        return bytes;
    }
    ZO_FUNCTION_END
}

OleString Utf8ToOle(std::string_view bytes)
{
    ZO_FUNCTION(OLESTR("Utf8ToOle"))
    {
        if (bytes.starts_with(kUtf8Mark))
            bytes.remove_prefix(sizeof kUtf8Mark - 1);
        OleString text;
        if (bytes.empty())
            return text;
        const int byteCount = static_cast<int>(bytes.size());
        const int length = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes.data(), byteCount, nullptr, 0);
        if (length <= 0)
            throw ZO_LAST_ERROR_EXCEPTION();
        text.resize(static_cast<size_t>(length));
        if (MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes.data(), byteCount, text.data(), length) != length)
            throw ZO_LAST_ERROR_EXCEPTION();
        return text;
    }
    ZO_FUNCTION_END
}

}  // namespace

OleString ReadDocumentText(const std::string& path)
{
    ZO_FUNCTION(OLESTR("ReadDocumentText"))
    {
        try {
            return Utf8ToOle(ReadBytes(path));
        } catch (CZoException& error) {
            error.AddInfo(OLESTR("File"), ZoAnsiToOle(path.c_str()));
            throw;
        }
    }
    ZO_FUNCTION_END
}

void WriteText(std::FILE* stream, OleStringView text)
{
    std::string bytes;
    if (!text.empty() && text.size() <= static_cast<size_t>(INT_MAX)) {
        const int length = static_cast<int>(text.size());
        // Unpaired surrogates become U+FFFD: the text is printed whatever it holds.
        const int byteCount = WideCharToMultiByte(CP_UTF8, 0, text.data(), length, nullptr, 0, nullptr, nullptr);
        if (byteCount > 0) {
            bytes.resize(static_cast<size_t>(byteCount));
            WideCharToMultiByte(CP_UTF8, 0, text.data(), length, bytes.data(), byteCount, nullptr, nullptr);
        }
    }
    std::fwrite(bytes.data(), 1, bytes.size(), stream);
}
