#include "TypeLibRegistration.h"

#include <new>
#include <utility>

#include "ModulePath.h"

namespace {

struct LibraryAttributes {
    GUID guid;
    WORD major;
    WORD minor;
    LCID lcid;
    SYSKIND syskind;
};

HRESULT ReadAttributes(ITypeLib* library, LibraryAttributes& attributes) noexcept
{
    TLIBATTR* read = nullptr;
    if (const HRESULT hr = library->GetLibAttr(&read); FAILED(hr))
        return hr;
    attributes = {read->guid, read->wMajorVerNum, read->wMinorVerNum, read->lcid, read->syskind};
    library->ReleaseTLibAttr(read);
    return S_OK;
}

// The module path with its file name's extension, if any, replaced by ".tlb".
OleString TypeLibFilePath(const OleString& modulePath)
{
    const size_t nameStart = DirectoryOfPath(modulePath).size();
    const size_t dot = modulePath.rfind(OLESTR('.'));
    const size_t end = dot != OleString::npos && dot >= nameStart ? dot : modulePath.size();
    return modulePath.substr(0, end) + OLESTR(".tlb");
}

}  // namespace

OleStringView DirectoryOfPath(OleStringView path) noexcept
{
    const size_t last = path.find_last_of(OLESTR("\\/:"));
    return last == OleStringView::npos ? OleStringView() : path.substr(0, last + 1);
}

HRESULT AtlLoadTypeLib(HINSTANCE module, LPCOLESTR index, OleString& path, ITypeLib** library) noexcept
{
    if (!library)
        return E_POINTER;
    *library = nullptr;
    try {
        OleString modulePath;
        if (const HRESULT hr = GetModulePath(module, modulePath); FAILED(hr))
            return hr;
        OleString resourcePath = modulePath;
        if (index)
            resourcePath += index;
        if (SUCCEEDED(LoadTypeLib(resourcePath.c_str(), library))) {
            path = std::move(resourcePath);
            return S_OK;
        }
        OleString filePath = TypeLibFilePath(modulePath);
        if (const HRESULT hr = LoadTypeLib(filePath.c_str(), library); FAILED(hr))
            return hr;
        path = std::move(filePath);
        return S_OK;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

HRESULT AtlRegisterTypeLib(HINSTANCE module, LPCOLESTR index) noexcept
{
    OleString path;
    ITypeLib* library = nullptr;
    if (const HRESULT hr = AtlLoadTypeLib(module, index, path, &library); FAILED(hr))
        return hr;
    HRESULT hr = S_OK;
    try {
        BSTR helpFile = nullptr;
        const bool documented = SUCCEEDED(library->GetDocumentation(-1, nullptr, nullptr, nullptr, &helpFile));
        const OleString helpDirectory(DirectoryOfPath(ViewOfBstr(helpFile)));
        SysFreeString(helpFile);
        // mingw-w64 declares the paths non-const.
        hr = RegisterTypeLib(library, const_cast<LPOLESTR>(path.c_str()),
                             documented ? const_cast<LPOLESTR>(helpDirectory.c_str()) : nullptr);
    } catch (const std::bad_alloc&) {
        hr = E_OUTOFMEMORY;
    }
    library->Release();
    return hr;
}

HRESULT AtlUnRegisterTypeLib(HINSTANCE module, LPCOLESTR index) noexcept
{
    OleString path;
    ITypeLib* library = nullptr;
    if (const HRESULT hr = AtlLoadTypeLib(module, index, path, &library); FAILED(hr))
        return hr;
    LibraryAttributes attributes{};
    const HRESULT read = ReadAttributes(library, attributes);
    library->Release();
    if (FAILED(read))
        return read;
    return UnRegisterTypeLib(attributes.guid, attributes.major, attributes.minor, attributes.lcid,
                             attributes.syskind);
}
