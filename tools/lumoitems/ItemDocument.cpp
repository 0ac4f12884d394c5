#include "ItemDocument.h"

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

bool IsBlank(OLECHAR c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == 0xFEFF;
}

// The name of the text's first element, read from the text itself: the reader that LoadXML
// runs is then the only parse. What comes before it may be blanks, the XML declaration,
// processing instructions and comments; a text without an element raises "Invalid string
// format.", and anything else wrong the reader finds.
OleString RootElementName(OleStringView text)
{
    ZO_FUNCTION(OLESTR("RootElementName"))
    {
        size_t at = 0;
        while (at < text.size()) {
            if (IsBlank(text[at])) {
                ++at;
                continue;
            }
            const OleStringView rest = text.substr(at);
            const OleStringView end = rest.starts_with(OLESTR("<?"))     ? OleStringView(OLESTR("?>"))
                                      : rest.starts_with(OLESTR("<!--")) ? OleStringView(OLESTR("-->"))
                                                                         : OleStringView();
            if (end.empty())
                break;
            const size_t found = text.find(end, at + 2);
            at = found == OleStringView::npos ? text.size() : found + end.size();
        }
        size_t nameEnd = at + 1;
        while (nameEnd < text.size() && !IsBlank(text[nameEnd]) && text[nameEnd] != '/' && text[nameEnd] != '>')
            ++nameEnd;
        if (at >= text.size() || text[at] != '<' || nameEnd == at + 1)
            ZO_RAISE(ZO_ERR_INVALID_STRING_FORMAT);
        return OleString(text.substr(at + 1, nameEnd - at - 1));
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
        const SDocumentClass documentClass = DocumentClassOf(RootElementName(text));
        CComBSTR xml{OleStringView(text)};
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
