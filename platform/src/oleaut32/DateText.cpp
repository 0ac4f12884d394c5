#include "oleaut32/DateText.h"

namespace lumo::platform::oleaut32 {

HRESULT DateToText(DATE date, BSTR* text)
{
    *text = nullptr;
    return DISP_E_TYPEMISMATCH;
}

HRESULT TextToDate(WideView text, DATE* date)
{
    return DISP_E_TYPEMISMATCH;
}

}  // namespace lumo::platform::oleaut32
