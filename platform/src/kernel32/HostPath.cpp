#include "kernel32/HostPath.h"

#include <algorithm>

namespace lumo::platform {

std::string ToHostPath(WideView path)
{
    constexpr WideView kLongPathPrefix = u"\\\\?\\";
    if (path.substr(0, kLongPathPrefix.size()) == kLongPathPrefix)
        path.remove_prefix(kLongPathPrefix.size());
    std::string host = ToUtf8(path);
    std::replace(host.begin(), host.end(), '\\', '/');
    return host;
}

}  // namespace lumo::platform
