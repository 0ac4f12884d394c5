#include "ZoString.h"

#include <limits>

#include "ZoBuf.h"
#include "ZoFormat.h"
#include "ZoFrame.h"

ZO_SOURCE_FILE(".\\ZoString")

namespace {

void ReplaceAll(OleString& text, OleStringView from, OleStringView to)
{
    for (size_t at = text.find(from); at != OleString::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
}

// The HRESULT form of the thread's last error; a failure that left none must still not read
// as success (code 0).
[[noreturn]] void RaiseLastError(const OLECHAR* zoFunctionName)
{
    const DWORD lastError = GetLastError();
    if (lastError == ERROR_SUCCESS)
        ZO_THROW_HR(E_FAIL);
    ZO_THROW_SYSTEM_ERROR(lastError);
}

}  // namespace

std::vector<OleString> CZoStringHelper::TokenizeString(OleStringView text, const OLECHAR* separators)
{
    ZO_FUNCTION(OLESTR("CZoStringHelper::TokenizeString"))
    {
        std::vector<OleString> tokens;
        if (text.empty())
            return tokens;
        const OleStringView separatorSet = ViewOfOleText(separators);
        if (separatorSet.empty())
            ZO_RAISE(ZO_ERR_INVALID_PARAMETER);
        size_t position = text.find_first_not_of(separatorSet);
        while (position != OleStringView::npos) {
            const size_t end = text.find_first_of(separatorSet, position);
            tokens.emplace_back(
                text.substr(position, end == OleStringView::npos ? OleStringView::npos : end - position));
            position = end == OleStringView::npos ? end : text.find_first_not_of(separatorSet, end);
        }
        return tokens;
    }
    ZO_FUNCTION_END
}

OleString CZoStringHelper::UnTokenizeString(const std::vector<OleString>& tokens, const OLECHAR* separator)
{
    ZO_FUNCTION(OLESTR("CZoStringHelper::UnTokenizeString"))
    {
        const OleStringView between = ViewOfOleText(separator);
        OleString text;
        for (size_t i = 0; i < tokens.size(); ++i) {
            if (i > 0)
                text += between;
            text += tokens[i];
        }
        return text;
    }
    ZO_FUNCTION_END
}

OleString CZoStringHelper::IntToString(LONG value)
{
    ZO_FUNCTION(OLESTR("CZoStringHelper::IntToString"))
    {
        return ZoFormat(OLESTR("%d"), static_cast<int>(value));
    }
    ZO_FUNCTION_END
}

bool CZoStringHelper::EqualIgnoringAsciiCase(OleStringView left, OleStringView right) noexcept
{
    const auto fold = [](OLECHAR c) { return c >= 'A' && c <= 'Z' ? static_cast<OLECHAR>(c - 'A' + 'a') : c; };
    if (left.size() != right.size())
        return false;
    for (size_t i = 0; i < left.size(); ++i) {
        if (fold(left[i]) != fold(right[i]))
            return false;
    }
    return true;
}

OleString CZoStringHelper::ConvertNewlinesTo(OleStringView text, OleStringView lineEnd)
{
    ZO_FUNCTION(OLESTR("CZoStringHelper::ConvertNewlinesTo"))
    {
        OleString converted(text);
        ReplaceAll(converted, OLESTR("\r\n"), OLESTR("\n"));
        ReplaceAll(converted, OLESTR("\r"), OLESTR("\n"));
        ReplaceAll(converted, OLESTR("\n"), lineEnd);
        return converted;
    }
    ZO_FUNCTION_END
}

void CZoStringHelper::StringToMultiByte(OleStringView text, CZoBuf& buffer, UINT codePage)
{
    ZO_FUNCTION(OLESTR("CZoStringHelper::StringToMultiByte"))
    {
        if (text.size() > static_cast<size_t>(std::numeric_limits<int>::max()))
            ZO_RAISE(ZO_ERR_INVALID_PARAMETER);
        const int length = static_cast<int>(text.size());
        const int size =
            length > 0 ? WideCharToMultiByte(codePage, 0, text.data(), length, nullptr, 0, nullptr, nullptr) : 0;
        // A failed size query (an unknown code page, say) would otherwise pass for empty text.
        if (length > 0 && size <= 0)
            RaiseLastError(zoFunctionName);
        buffer.Alloc(size);
        if (size == 0)
            return;
        CZoLockHolder holder(&buffer);
        if (WideCharToMultiByte(codePage, 0, text.data(), length, reinterpret_cast<char*>(buffer.GetBuf()), size,
                                nullptr, nullptr) != size)
            RaiseLastError(zoFunctionName);
    }
    ZO_FUNCTION_END
}
