// A registry key and everything below it, read into plain text so that tests can compare
// whole trees: each key's path (below the key read) maps to its values, "name=type:data"
// with "@" for the default value. The values are a set: the registry lists them in no
// documented order (Wine's is not the order of writing).
#pragma once

#include <map>
#include <set>

#include <windows.h>

#include "OleString.h"

using RegistryTree = std::map<OleString, std::set<OleString>>;

// Empty when the key does not exist; the key itself is the path "".
RegistryTree ReadRegistryTree(HKEY root, const OleString& path);
bool RegistryKeyExists(HKEY root, const OleString& path);
// "name=s:text" as ReadRegistryTree writes a string value.
OleString StringValueText(const OLECHAR* name, const OleString& text);
