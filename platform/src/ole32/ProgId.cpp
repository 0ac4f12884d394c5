// Program ids: HKEY_CLASSES_ROOT\<ProgID>\CLSID and HKEY_CLASSES_ROOT\CLSID\{...}\ProgID.
#include <new>

#include <objbase.h>

#include "ole32/BuiltInClasses.h"
#include "ole32/ClassesRootText.h"
#include "ole32/GuidText.h"
#include "ole32/TaskMemoryText.h"

using namespace lumo::platform;

// A program id never holds a backslash; refusing one keeps the lookup inside the id's own key.
WINOLEAPI CLSIDFromProgID(LPCOLESTR lpszProgID, LPCLSID lpclsid)
{
    if (!lpszProgID || !lpclsid)
        return E_INVALIDARG;
    *lpclsid = CLSID_NULL;
    const WideView progId = ViewOf(lpszProgID);
    if (progId.empty() || progId.find(u'\\') != WideView::npos)
        return CO_E_CLASSSTRING;
    // The runtime's own classes are known without registration.
    if (const BuiltInClass* builtIn = FindBuiltInClassByProgId(lpszProgID)) {
        *lpclsid = *builtIn->clsid;
        return S_OK;
    }
    try {
        LSTATUS unreadable = ERROR_SUCCESS;
        const auto text = ReadClassesRootText(WideString(progId) + u"\\CLSID", nullptr, &unreadable);
        const auto clsid = text ? ParseBracedGuid(*text) : std::nullopt;
        if (!clsid)
            return LookupFailure(unreadable, CO_E_CLASSSTRING);
        *lpclsid = *clsid;
        return S_OK;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

WINOLEAPI ProgIDFromCLSID(REFCLSID clsid, LPOLESTR* lplpszProgID)
{
    if (!lplpszProgID)
        return E_INVALIDARG;
    *lplpszProgID = nullptr;
    if (const BuiltInClass* builtIn = FindBuiltInClass(clsid); builtIn && builtIn->progId) {
        *lplpszProgID = CopyToTaskMemory(ViewOf(builtIn->progId));
        return *lplpszProgID ? S_OK : E_OUTOFMEMORY;
    }
    try {
        LSTATUS unreadable = ERROR_SUCCESS;
        const auto progId = ReadClassesRootText(
            WideString(u"CLSID\\").append(FormatGuid(clsid).View()).append(u"\\ProgID"), nullptr, &unreadable);
        if (!progId || progId->empty())
            return LookupFailure(unreadable, REGDB_E_CLASSNOTREG);
        *lplpszProgID = CopyToTaskMemory(*progId);
        return *lplpszProgID ? S_OK : E_OUTOFMEMORY;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}
