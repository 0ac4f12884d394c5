// The registry form of a GUID: "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}", upper case.
#pragma once

#include <optional>

#include "common/WideText.h"

namespace lumo::platform {

inline constexpr size_t kGuidTextLength = 38;

struct GuidText {
    OLECHAR chars[kGuidTextLength + 1];
    WideView View() const noexcept { return WideView(chars, kGuidTextLength); }
};

GuidText FormatGuid(REFGUID guid) noexcept;

// Only the braced form, exactly; hex digits of either case.
std::optional<GUID> ParseBracedGuid(WideView text) noexcept;

}  // namespace lumo::platform
