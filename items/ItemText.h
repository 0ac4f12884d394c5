// The pieces of text that every object of the library prints the same way in ToString.
#pragma once

#include <windows.h>

#include "ComBSTR.h"
#include "ComVariant.h"
#include "OleString.h"
#include "ZoException.h"

// The indent level an nIndent argument gives: an integer's low 32 bits, taken as signed;
// 0 for any other argument (omitted, text, float).
LONG IndentLevel(const VARIANT& indent);
// Four spaces per level; nothing for a level below 1.
OleString IndentText(LONG level);
// The argument with which an object prints a nested object: VT_INT holding level + 1.
CComVariant NestedIndent(LONG level);
// A string's text up to its first zero character; empty for null.
OleStringView TextUpToFirstZero(BSTR text);
// A new string of that text; null for null, as the objects store names and identifiers.
CComBSTR CopyUpToFirstZero(BSTR text);

// Marks an object as printing itself for the length of one ToString. A ToString that finds
// its object printing already has come back to it through the object's own members: the
// object contains itself, and printing it would never end.
class CPrintingScope {
public:
    explicit CPrintingScope(bool& printing) noexcept : m_printing(printing) { m_printing = true; }
    ~CPrintingScope() { m_printing = false; }
    CPrintingScope(const CPrintingScope&) = delete;
    CPrintingScope& operator=(const CPrintingScope&) = delete;

private:
    bool& m_printing;
};

// The error of a ToString on an object that contains itself: 1010 with the detail "Reason".
CZoException ContainsItselfError(const OLECHAR* sourceFile, int sourceLine, const OLECHAR* function);
