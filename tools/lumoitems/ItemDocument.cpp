#include "ItemDocument.h"

#include <msxml2.h>

#include "ComBSTR.h"
#include "ComVariant.h"
#include "ZoCheck.h"
#include "ZoFrame.h"

ZO_SOURCE_FILE(".\\ItemDocument")

namespace {

struct SDocumentClass {
    const OLECHAR* root;
    const OLECHAR* progId;
    DocumentKind kind;
};

constexpr SDocumentClass kDocumentClasses[] = {
    {OLESTR("item"), OLESTR("LumoItems.LumoItem"), DocumentKind::Item},
    {OLESTR("enum"), OLESTR("LumoItems.LumoEnum"), DocumentKind::Collection},
};

OleString RootElementName(BSTR text)
{
    ZO_FUNCTION(OLESTR("RootElementName"))
    {
        CComPtr<IXMLDOMDocument2> document;
        ZoCheckPlatform(CoCreateInstance(CLSID_FreeThreadedDOMDocument30, nullptr, CLSCTX_INPROC_SERVER,
                                         IID_IXMLDOMDocument2, reinterpret_cast<void**>(&document)));
        // Only the root's name is read here: no DTD, nothing fetched. A DOM that doesn't know
        // ProhibitDTD goes on without it, as the library's readers do.
        document->setProperty(CComBSTR(OLESTR("ProhibitDTD")), CComVariant(true));
        document->put_resolveExternals(VARIANT_FALSE);
        document->put_validateOnParse(VARIANT_FALSE);
        VARIANT_BOOL parsed = VARIANT_FALSE;
        ZoCheckPlatform(document->loadXML(text, &parsed));
        CComPtr<IXMLDOMElement> root;
        if (parsed == VARIANT_TRUE)
            ZoCheckPlatform(document->get_documentElement(&root));
        if (!root)
            ZO_THROW(OLESTR("Invalid string format."), ZO_ERR_INVALID_STRING_FORMAT);
        CComBSTR name;
        ZoCheckPlatform(root->get_nodeName(&name));
        return OleString(ViewOfBstr(name));
    }
    ZO_FUNCTION_END
}

SDocumentClass DocumentClassOf(const OleString& root)
{
    ZO_FUNCTION(OLESTR("DocumentClassOf"))
    {
        for (const SDocumentClass& documentClass : kDocumentClasses) {
            if (root == documentClass.root)
                return documentClass;
        }
        ZO_THROW_WITH_INFO(
            OLESTR("Not an item or collection document: the root element is neither \"item\" nor \"enum\"."),
            E_INVALIDARG, OLESTR("Root"), root);
    }
    ZO_FUNCTION_END
}

CComPtr<ILumoItemBase> CreateObject(const OLECHAR* progId)
{
    ZO_FUNCTION(OLESTR("CreateObject"))
    {
        CLSID clsid = {};
        CComPtr<ILumoItemBase> object;
        HRESULT hr = CLSIDFromProgID(progId, &clsid);
        if (SUCCEEDED(hr))
            hr = object.CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER);
        if (FAILED(hr)) {
            // Most often the module is not registered in the registry in use.
            CZoException failure = ZO_EXCEPTION(ZoSystemMessageText(static_cast<DWORD>(hr)), hr);
            failure.AddInfo(OLESTR("ProgID"), progId);
            throw failure;
        }
        return object;
    }
    ZO_FUNCTION_END
}

}  // namespace

SItemDocument LoadItemDocument(const OleString& text)
{
    ZO_FUNCTION(OLESTR("LoadItemDocument"))
    {
        CComBSTR xml{OleStringView(text)};
        const SDocumentClass documentClass = DocumentClassOf(RootElementName(xml));
        SItemDocument document{documentClass.kind, CreateObject(documentClass.progId)};
        ZoCheck(document.object->LoadXML(xml), document.object);
        return document;
    }
    ZO_FUNCTION_END
}

OleString ObjectText(ILumoItemBase* object)
{
    ZO_FUNCTION(OLESTR("ObjectText"))
    {
        CComBSTR text;
        ZoCheck(object->ToString(CComVariant(0), &text), object);
        return OleString(ViewOfBstr(text));
    }
    ZO_FUNCTION_END
}

CComPtr<ILumoEnum> FindAllItems(ILumoItemBase* collection, const OleString& name, const OleString& nameSpace,
                                const VARIANT& value)
{
    ZO_FUNCTION(OLESTR("FindAllItems"))
    {
        CComPtr<ILumoEnum> members;
        ZoCheckPlatform(collection->QueryInterface(IID_ILumoEnum, reinterpret_cast<void**>(&members)));
        CComPtr<ILumoEnum> found;
        ZoCheck(members->FindAll(CComBSTR(OleStringView(name)), CComBSTR(OleStringView(nameSpace)), value, &found),
                members);
        return found;
    }
    ZO_FUNCTION_END
}
