// Objects inside the documents of the formats: the writers put a nested object's own
// document under an element, the readers make a new object from such an element's text.
#pragma once

#include <optional>

#include <windows.h>

#include "LumoItems.h"
#include "XmlDocument.h"

inline constexpr const OLECHAR kItemProgId[] = OLESTR("LumoItemsLib::LumoItem");
inline constexpr const OLECHAR kEnumProgId[] = OLESTR("LumoItemsLib::LumoEnum");

// Writes nested objects for one writer call. The scratch document that parses their texts is
// made on first use.
class CNestedDocumentWriter {
public:
    // rootDepth: the depth at which a nested document's root lands in the writer's document.
    CNestedDocumentWriter(CZoCOMClassFactory& factory, LONG rootDepth);

    // Appends the object's document element, from its SaveXML, to parent. Errors are raised
    // in the writer's frame, whose name it is given.
    void Append(ILumoItemBase* object, IXMLDOMNode* parent, const OLECHAR* zoFunctionName);

private:
    CZoCOMClassFactory& m_factory;
    LONG m_rootDepth;
    std::optional<CXmlDocument> m_scratch;
};

// A new object of the class, made through the cache and loaded from xml; its failures are
// raised as the statuses they are.
CComPtr<IUnknown> LoadNestedObject(CZoCOMClassFactory& factory, REFCLSID clsid, const OLECHAR* progId, BSTR xml);
