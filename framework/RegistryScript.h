// Registration scripts (.rgs): the text parsed into a tree of keys and values, with the
// replacements made first. Parsing is separate from applying (Registrar.h), so that a whole
// script is checked before anything is written.
//
//   HKCR
//   {
//       NoRemove CLSID
//       {
//           ForceRemove {...} = s 'Some Class'
//           {
//               val AppID = s '%APPID%'
//               InprocServer32 = s '%MODULE%'
//           }
//       }
//   }
//
// Tokens are separated by white space: words, quoted strings in single quotes ('' inside one
// stands for a quote), and the words "{", "}" and "=". So an unquoted "{GUID}" is a key name.
// A script is a sequence of root key names, each followed by a block; inside a block each
// entry is an optional marker (NoRemove, ForceRemove, Delete) followed by a key name, an
// optional "= T 'value'" (its default value) and an optional nested block, or
// "val NAME = T 'value'" (a named value of the enclosing key). Keywords, root names and type
// letters are compared without regard to case; a quoted word is never a keyword.
//
// Type letters: s REG_SZ; d REG_DWORD from decimal or 0x-hexadecimal text; b REG_BINARY from
// pairs of hexadecimal digits; m REG_MULTI_SZ, the text split at each backslash-zero.
//
// Replacements: %NAME% anywhere in the text is replaced by the text given for NAME (names
// compared without regard to ASCII case), %% by one %. The text is not scanned again, so a
// replacement that lands inside a quoted string must have its quotes doubled.
//
// Every error (syntax, unknown root, type letter, bad number or hexadecimal data, unknown
// replacement, a key name that is empty or holds "\", nesting deeper than
// kMaxRegistryScriptDepth blocks) is DISP_E_EXCEPTION.
#pragma once

#include <optional>
#include <vector>

#include <windows.h>

#include "OleString.h"

enum class RegistryKeyMarker { None, NoRemove, ForceRemove, Delete };

// A value as RegSetValueExW takes it: its type and its data bytes. An empty name is the
// key's default value.
struct RegistryScriptValue {
    OleString name;
    DWORD type = REG_NONE;
    std::vector<BYTE> data;
};

struct RegistryScriptKey;

// The contents of a key's braces: its named values and its subkeys, each in script order.
struct RegistryScriptBlock {
    std::vector<RegistryScriptValue> values;
    std::vector<RegistryScriptKey> keys;
};

struct RegistryScriptKey {
    RegistryKeyMarker marker = RegistryKeyMarker::None;
    OleString name;
    std::optional<RegistryScriptValue> defaultValue;
    RegistryScriptBlock block;
};

struct RegistryScriptRoot {
    HKEY key = nullptr;
    RegistryScriptBlock block;
};

struct RegistryScript {
    std::vector<RegistryScriptRoot> roots;
};

struct RegistryReplacement {
    OleString name;
    OleString text;
};
using RegistryReplacements = std::vector<RegistryReplacement>;

// The deepest nesting of blocks, the root's block counting as one: hostile input cannot
// exhaust the stack of the parser or of whoever walks the tree.
inline constexpr int kMaxRegistryScriptDepth = 64;

// S_OK and the tree, DISP_E_EXCEPTION for any error in the script, E_OUTOFMEMORY.
HRESULT ParseRegistryScript(OleStringView script, const RegistryReplacements& replacements,
                            RegistryScript& parsed) noexcept;

// Replacement names, keywords and the registrar's protected key names compare this way.
bool RegistryNamesEqual(OleStringView a, OleStringView b) noexcept;
