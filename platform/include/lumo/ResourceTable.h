// How a Linux module carries its resources: one exported constant table, named
// LUMO_RESOURCE_TABLE_SYMBOL, that FindResourceW finds with GetProcAddress. The data of each
// resource is laid out as on Windows (a string table block is 16 counted UTF-16 strings), except
// TYPELIB, whose data is a LUMO_TYPELIB_DESC (lumo/TypeDescription.h) in the module's memory.
#pragma once

#include "winnt.h"

#define LUMO_RESOURCE_TABLE_SYMBOL "LumoModuleResources"
#define LUMO_RESOURCE_TABLE_FORMAT 1

// A type or name is a number (the text null) or a text (the number 0), as MAKEINTRESOURCE
// and string names are on Windows.
struct LUMO_RESOURCE_ENTRY {
    WORD typeId;
    LPCWSTR typeName;
    WORD nameId;
    LPCWSTR nameName;
    const void* data;
    DWORD size;
};

struct LUMO_RESOURCE_TABLE {
    DWORD format;
    DWORD count;
    const LUMO_RESOURCE_ENTRY* entries;
};
