// Automation dates as text, for VariantChangeType between VT_DATE and VT_BSTR.
#pragma once

#include <windows.h>

#include "common/WideText.h"

namespace lumo::platform::oleaut32 {

// The date's text as VarBstrFromDate gives it; DISP_E_TYPEMISMATCH until the date text
// conversion is in place.
HRESULT DateToText(DATE date, BSTR* text);

// The date a text names, as VarDateFromStr reads it; DISP_E_TYPEMISMATCH until then.
HRESULT TextToDate(WideView text, DATE* date);

}  // namespace lumo::platform::oleaut32
