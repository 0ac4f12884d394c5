#include "ZoGUID.h"

#include <objbase.h>

#include "ZoFrame.h"

ZO_SOURCE_FILE(".\\ZoGUID")

OleString CZoGUID::GUIDToString(REFGUID guid, bool noBraces)
{
    ZO_FUNCTION(OLESTR("CZoGUID::GUIDToString"))
    {
        LPOLESTR formatted = nullptr;
        const HRESULT hr = StringFromCLSID(guid, &formatted);
        if (FAILED(hr) || !formatted)
            ZO_THROW_HR(FAILED(hr) ? hr : E_OUTOFMEMORY);
        OleString text(formatted);
        CoTaskMemFree(formatted);
        if (noBraces && text.size() >= 2)
            text = text.substr(1, text.size() - 2);
        return text;
    }
    ZO_FUNCTION_END
}

GUID CZoGUID::StringToGUID(OleStringView text)
{
    ZO_FUNCTION(OLESTR("CZoGUID::StringToGUID"))
    {
        GUID guid = GUID_NULL;
        if (text.empty())
            return guid;
        // The parser reads up to the first NUL and would take a text with one in it for the
        // GUID in front of it.
        if (text.find(OLECHAR(0)) != OleStringView::npos)
            ZO_THROW_HR(CO_E_CLASSSTRING);
        OleString braced(text);
        if (braced.front() != OLECHAR('{') && braced.back() != OLECHAR('}'))
            braced = OLESTR("{") + braced + OLESTR("}");
        const HRESULT hr = CLSIDFromString(braced.c_str(), &guid);
        if (FAILED(hr))
            ZO_THROW_HR(hr);
        return guid;
    }
    ZO_FUNCTION_END
}
