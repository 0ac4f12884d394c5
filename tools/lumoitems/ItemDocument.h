// Item and collection documents: which of the two a text holds, decided by its root element,
// and the object of that class, created by program id through the runtime, that has read it.
#pragma once

#include <windows.h>

#include "ComPtr.h"
#include "LumoItems.h"
#include "OleString.h"

enum class DocumentKind { Item, Collection };

struct SItemDocument {
    DocumentKind kind;
    CComPtr<ILumoItemBase> object;
};

// Raises "Invalid string format." for text without an element, an error of its own for a root
// element other than "item" and "enum", and the reader's error when LoadXML fails.
SItemDocument LoadItemDocument(const OleString& text);

// The object's ToString at indent 0.
OleString ObjectText(ILumoItemBase* object);

// The collection's FindAll: the items whose property name/nameSpace equals value.
CComPtr<ILumoEnum> FindAllItems(ILumoItemBase* collection, const OleString& name, const OleString& nameSpace,
                                const VARIANT& value);
