// The pieces of text that every object of the library prints the same way in ToString.
#pragma once

#include <windows.h>

#include "ComBSTR.h"
#include "ComVariant.h"
#include "OleString.h"
#include "ZoException.h"

// The deepest indent a text is printed with: four spaces a level make 256 KiB a line.
inline constexpr LONG kMaxIndentLevel = 65536;

// The indent level an nIndent argument gives: an integer's low 32 bits, taken as signed;
// 0 for any other argument (omitted, text, float). A level beyond kMaxIndentLevel, whose
// text could outgrow any string, raises 1010 with the detail "Reason".
LONG IndentLevel(const VARIANT& indent);
// Four spaces per level; nothing for a level below 1.
OleString IndentText(LONG level);
// The argument with which an object prints a nested object: VT_INT holding level + 1.
CComVariant NestedIndent(LONG level);
// A new string of a string's text up to its first zero character (ViewOfOleText); null for
// null, as the objects store names and identifiers.
CComBSTR CopyUpToFirstZero(BSTR text);

// Marks an object as walking its members for the length of one ToString or SaveXML. A walk
// that finds its object walking already has come back to it through the object's own
// members: the object contains itself, and the walk would never end.
class CWalkScope {
public:
    // Raises 1010 with the detail "Reason" at the caller's place when the object is walking
    // already: it contains itself.
    CWalkScope(bool& walking, const OLECHAR* sourceFile, int sourceLine, const OLECHAR* function);
    ~CWalkScope() { m_walking = false; }
    CWalkScope(const CWalkScope&) = delete;
    CWalkScope& operator=(const CWalkScope&) = delete;

private:
    bool& m_walking;
};
