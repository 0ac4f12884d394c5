#include "advapi32/KeyNames.h"

namespace lumo::platform::registry {

LSTATUS ParseKeyPath(const WCHAR* text, KeyPath& path)
{
    path.clear();
    WideView rest = ViewOf(text);
    if (rest.empty())
        return ERROR_SUCCESS;
    if (rest.front() == u'\\')
        return ERROR_BAD_PATHNAME;
    if (rest.back() == u'\\')
        rest.remove_suffix(1);
    while (true) {
        const size_t separator = rest.find(u'\\');
        const WideView component = rest.substr(0, separator);
        if (component.empty() || component.size() > kMaxKeyNameLength)
            return ERROR_INVALID_PARAMETER;
        path.push_back(component);
        if (separator == WideView::npos)
            return ERROR_SUCCESS;
        rest.remove_prefix(separator + 1);
    }
}

Bytes EncodeName(WideView name)
{
    Bytes bytes;
    bytes.reserve(name.size() * 2);
    for (const WCHAR c : name) {
        bytes.push_back(static_cast<char>(c & 0xFF));
        bytes.push_back(static_cast<char>(c >> 8));
    }
    return bytes;
}

WideString DecodeName(const Bytes& bytes)
{
    WideString name;
    name.reserve(bytes.size() / 2);
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
        const auto low = static_cast<unsigned char>(bytes[i]);
        const auto high = static_cast<unsigned char>(bytes[i + 1]);
        name.push_back(static_cast<WCHAR>(low | (high << 8)));
    }
    return name;
}

Bytes FoldName(WideView name)
{
    Bytes bytes;
    bytes.reserve(name.size() * 2);
    for (WCHAR c : name) {
        if (c >= u'a' && c <= u'z')
            c = static_cast<WCHAR>(c - u'a' + u'A');
        bytes.push_back(static_cast<char>(c >> 8));
        bytes.push_back(static_cast<char>(c & 0xFF));
    }
    return bytes;
}

}  // namespace lumo::platform::registry
