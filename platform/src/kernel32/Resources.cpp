// Resources of a module: the table a Linux module exports (lumo/ResourceTable.h), read as
// Windows reads a resource section. A resource handle is the address of the table's entry, the
// loaded resource the address of its data.
#include <windows.h>

#include <lumo/ResourceTable.h>

#include "common/WideText.h"
#include "kernel32/ApiBoundary.h"
#include "kernel32/ModuleTable.h"

using namespace lumo::platform;

namespace {

const LUMO_RESOURCE_TABLE* TableOf(HMODULE module)
{
    auto* table = static_cast<const LUMO_RESOURCE_TABLE*>(
        ModuleTable::Instance().FindExport(module, LUMO_RESOURCE_TABLE_SYMBOL));
    return table && table->format == LUMO_RESOURCE_TABLE_FORMAT ? table : nullptr;
}

// A name as Windows takes it: MAKEINTRESOURCE, "#123", or a text compared without regard to case.
bool Matches(LPCWSTR wanted, WORD id, LPCWSTR name)
{
    if (IS_INTRESOURCE(wanted))
        return !name && id == static_cast<WORD>(reinterpret_cast<ULONG_PTR>(wanted));
    const WideView text = ViewOf(wanted);
    if (text.size() > 1 && text[0] == u'#') {
        unsigned long number = 0;
        for (WCHAR c : text.substr(1)) {
            if (c < u'0' || c > u'9' || number > 0xFFFF)
                return false;
            number = number * 10 + (c - u'0');
        }
        return !name && number == id;
    }
    return name && EqualsIgnoreAsciiCase(text, ViewOf(name));
}

const LUMO_RESOURCE_ENTRY* EntryOf(HMODULE module, HRSRC resource)
{
    const LUMO_RESOURCE_TABLE* table = TableOf(module);
    auto* entry = reinterpret_cast<const LUMO_RESOURCE_ENTRY*>(resource);
    if (!table || !entry || entry < table->entries || entry >= table->entries + table->count) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    return entry;
}

}  // namespace

HRSRC WINAPI FindResourceW(HMODULE hModule, LPCWSTR lpName, LPCWSTR lpType)
{
    return AtApiBoundary<HRSRC>(nullptr, [&]() -> HRSRC {
        if (hModule && !ModuleTable::Instance().Contains(hModule)) {
            SetLastError(ERROR_INVALID_HANDLE);
            return nullptr;
        }
        if (!lpName || !lpType) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return nullptr;
        }
        const LUMO_RESOURCE_TABLE* table = TableOf(hModule);
        if (!table) {
            SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
            return nullptr;
        }
        bool typeFound = false;
        for (DWORD i = 0; i < table->count; ++i) {
            const LUMO_RESOURCE_ENTRY& entry = table->entries[i];
            if (!Matches(lpType, entry.typeId, entry.typeName))
                continue;
            typeFound = true;
            if (Matches(lpName, entry.nameId, entry.nameName))
                return reinterpret_cast<HRSRC>(const_cast<LUMO_RESOURCE_ENTRY*>(&entry));
        }
        SetLastError(typeFound ? ERROR_RESOURCE_NAME_NOT_FOUND : ERROR_RESOURCE_TYPE_NOT_FOUND);
        return nullptr;
    });
}

HGLOBAL WINAPI LoadResource(HMODULE hModule, HRSRC hResInfo)
{
    return AtApiBoundary<HGLOBAL>(nullptr, [&]() -> HGLOBAL {
        const LUMO_RESOURCE_ENTRY* entry = EntryOf(hModule, hResInfo);
        return entry ? const_cast<void*>(entry->data) : nullptr;
    });
}

DWORD WINAPI SizeofResource(HMODULE hModule, HRSRC hResInfo)
{
    return AtApiBoundary<DWORD>(0, [&]() -> DWORD {
        const LUMO_RESOURCE_ENTRY* entry = EntryOf(hModule, hResInfo);
        return entry ? entry->size : 0;
    });
}

LPVOID WINAPI LockResource(HGLOBAL hResData)
{
    return hResData;
}

int WINAPI LoadStringW(HINSTANCE hInstance, UINT uID, LPWSTR lpBuffer, int cchBufferMax)
{
    return AtApiBoundary<int>(0, [&]() -> int {
        if (!lpBuffer) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return 0;
        }
        // Strings live in blocks of 16, block n holding the ids 16 (n - 1) to 16 n - 1, each a
        // count followed by that many characters.
        HRSRC block = FindResourceW(hInstance, MAKEINTRESOURCEW((uID >> 4) + 1), RT_STRING);
        const auto* data = block ? static_cast<const WCHAR*>(LockResource(LoadResource(hInstance, block))) : nullptr;
        if (!data) {
            SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
            return 0;
        }
        const DWORD units = SizeofResource(hInstance, block) / sizeof(WCHAR);
        DWORD at = 0;
        for (UINT skip = uID & 15; skip > 0 && at < units; --skip)
            at += 1 + data[at];
        if (at >= units || at + 1 + data[at] > units || data[at] == 0) {
            SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
            return 0;
        }
        const int length = data[at];
        const WCHAR* text = data + at + 1;
        if (cchBufferMax == 0) {
            // The caller asks for the resource's own read-only text, which is not terminated.
            *reinterpret_cast<const WCHAR**>(lpBuffer) = text;
            return length;
        }
        const int copied = length < cchBufferMax - 1 ? length : cchBufferMax - 1;
        for (int i = 0; i < copied; ++i)
            lpBuffer[i] = text[i];
        lpBuffer[copied] = u'\0';
        return copied;
    });
}
