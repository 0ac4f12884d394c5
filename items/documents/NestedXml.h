// Objects inside the documents of the formats: the writers put a nested object's own
// document under an element, the readers make a new object from such an element.
#pragma once

#include <optional>

#include <windows.h>

#include "LumoItems.h"
#include "XmlDocument.h"

inline constexpr const OLECHAR kItemProgId[] = OLESTR("LumoItemsLib::LumoItem");
inline constexpr const OLECHAR kEnumProgId[] = OLESTR("LumoItemsLib::LumoEnum");

// Between this module's own items and collections, a nested object writes its document
// straight into its holder's document and reads it from the holder's element, so that a
// document is built once and parsed once whatever its depth. Not in the type library: no
// client sees it. Both run as the object's SaveXML and LoadXML, in their frames and under
// the object's lock, and fail as those do.
MIDL_INTERFACE("198FC5C1-D775-48B0-BAF8-8992E1BCA0E7")
ILumoDocumentTree : public IUnknown
{
    // Appends the object's document element, made in the holder's document, to parent, an
    // element of it; *height: the element levels it adds, counting its own as one.
    virtual HRESULT STDMETHODCALLTYPE SaveXML(IXMLDOMDocument* document, IXMLDOMNode* parent, LONG* height) = 0;
    // Reads the object from element as LoadXML reads that element's text.
    virtual HRESULT STDMETHODCALLTYPE LoadXML(IXMLDOMElement* element) = 0;
};
__CRT_UUID_DECL(ILumoDocumentTree, 0x198FC5C1, 0xD775, 0x48B0, 0xBA, 0xF8, 0x89, 0x92, 0xE1, 0xBC, 0xA0, 0xE7)

// Writes nested objects into the writer's document for one writer call. The scratch document
// that parses the texts of other modules' objects is made on first use.
class CNestedDocumentWriter {
public:
    // rootDepth: the depth at which a nested document's root lands in the writer's document.
    CNestedDocumentWriter(CZoCOMClassFactory& factory, IXMLDOMDocument* document, LONG rootDepth);

    // Appends the object's document element to parent: written in place by an object of this
    // module, else parsed from its SaveXML. Returns the element levels it adds. Errors are
    // raised in the writer's frame, whose name it is given.
    LONG Append(ILumoItemBase* object, IXMLDOMNode* parent, const OLECHAR* zoFunctionName);

private:
    [[noreturn]] static void RaiseTooDeep(const OLECHAR* zoFunctionName);

    CZoCOMClassFactory& m_factory;
    IXMLDOMDocument* m_document;
    LONG m_rootDepth;
    std::optional<CXmlDocument> m_scratch;
};

// A new object of the class, made through the cache and loaded from the element (in place, or
// from its text for an object of another module); its failures are raised as the statuses
// they are.
CComPtr<IUnknown> LoadNestedObject(CZoCOMClassFactory& factory, REFCLSID clsid, const OLECHAR* progId,
                                   IXMLDOMElement* element);
