#include "ole32/ClassesRootText.h"

#include <vector>

#include <windows.h>

namespace lumo::platform {
namespace {

class OpenKey {
public:
    explicit OpenKey(const WideString& subKey) noexcept
        : m_status(RegOpenKeyExW(HKEY_CLASSES_ROOT, subKey.c_str(), 0, KEY_QUERY_VALUE, &m_key))
    {
        if (m_status != ERROR_SUCCESS)
            m_key = nullptr;
    }
    ~OpenKey()
    {
        if (m_key)
            RegCloseKey(m_key);
    }
    OpenKey(const OpenKey&) = delete;
    OpenKey& operator=(const OpenKey&) = delete;

    HKEY Handle() const noexcept { return m_key; }
    LSTATUS Status() const noexcept { return m_status; }

private:
    HKEY m_key = nullptr;
    LSTATUS m_status;
};

// A missing key or value is an answer; any other failure means the registry could not be read.
bool IsUnreadable(LSTATUS status) noexcept
{
    return status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND;
}

std::optional<WideString> EnvironmentValue(const WideString& name)
{
    std::vector<WCHAR> buffer(256);
    for (;;) {
        const DWORD n = GetEnvironmentVariableW(name.c_str(), buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n == 0)
            return std::nullopt;
        if (n < buffer.size())
            return WideString(buffer.data(), n);
        buffer.resize(n);
    }
}

// %NAME% becomes the variable's value; an undefined variable and a lone % stay as written,
// as ExpandEnvironmentStrings leaves them.
WideString ExpandEnvironmentReferences(WideView text)
{
    WideString out;
    size_t i = 0;
    while (i < text.size()) {
        const size_t open = text.find(u'%', i);
        const size_t close = open == WideView::npos ? WideView::npos : text.find(u'%', open + 1);
        if (close == WideView::npos) {
            out.append(text.substr(i));
            break;
        }
        out.append(text.substr(i, open - i));
        const WideString name(text.substr(open + 1, close - open - 1));
        const auto value = name.empty() ? std::nullopt : EnvironmentValue(name);
        if (value) {
            out.append(*value);
            i = close + 1;
        } else {
            out.append(text.substr(open, close - open));
            i = close;
        }
    }
    return out;
}

}  // namespace

std::optional<WideString> ReadClassesRootText(const WideString& subKey, const WCHAR* name, LSTATUS* unreadable)
{
    OpenKey key(subKey);
    if (!key.Handle()) {
        if (unreadable && IsUnreadable(key.Status()))
            *unreadable = key.Status();
        return std::nullopt;
    }
    DWORD type = 0;
    DWORD size = 0;
    std::vector<WCHAR> data;
    LSTATUS status = RegQueryValueExW(key.Handle(), name, nullptr, &type, nullptr, &size);
    // The value may grow between asking for its size and reading it.
    while (status == ERROR_SUCCESS || status == ERROR_MORE_DATA) {
        if (type != REG_SZ && type != REG_EXPAND_SZ)
            return std::nullopt;
        data.resize(size / sizeof(WCHAR) + 1);
        size = static_cast<DWORD>(data.size() * sizeof(WCHAR));
        status = RegQueryValueExW(key.Handle(), name, nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &size);
        if (status == ERROR_SUCCESS)
            break;
    }
    if (unreadable && IsUnreadable(status))
        *unreadable = status;
    if (status != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ))
        return std::nullopt;
    // The stored text may or may not carry its terminating NUL.
    WideString text(data.data(), size / sizeof(WCHAR));
    if (const size_t nul = text.find(u'\0'); nul != WideString::npos)
        text.resize(nul);
    if (type == REG_EXPAND_SZ)
        return ExpandEnvironmentReferences(text);
    return text;
}

}  // namespace lumo::platform
