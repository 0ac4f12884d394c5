// The module base: the lock count that decides whether the module may be unloaded, and the
// critical section that guards the module's lazily created data.
#pragma once

#include <windows.h>

#include "ComThreadModel.h"
#include "OleString.h"

class CRegObject;

class CAtlModule {
public:
    // The first module constructed in the process becomes _pAtlModule. A failed critical
    // section leaves the module unusable: InitFailed() tells.
    CAtlModule() noexcept;
    virtual ~CAtlModule();
    CAtlModule(const CAtlModule&) = delete;
    CAtlModule& operator=(const CAtlModule&) = delete;

    // Every object instance and every LockServer(TRUE) holds one lock.
    LONG Lock() noexcept { return InterlockedIncrement(&m_nLockCnt); }
    LONG Unlock() noexcept { return InterlockedDecrement(&m_nLockCnt); }
    LONG GetLockCount() const noexcept { return InterlockedCompareExchange(&m_nLockCnt, 0, 0); }

    bool InitFailed() const noexcept { return m_bInitFailed; }
    CComCriticalSection& GetModuleCriticalSection() noexcept { return m_csModule; }

    // The type library the module describes its classes in (GUID_NULL until recorded).
    const GUID& GetLibraryId() const noexcept { return m_libid; }

    // Deletes the critical section; safe to call more than once.
    void Term() noexcept;

    // The module's file, as its DllMain was told (null until then: the process's program).
    HINSTANCE GetModuleInstance() const noexcept { return m_hInstance; }

    // Applies the module's REGISTRY resource id, with "Module" and "Module_Raw" standing for
    // the module's path (single quotes doubled, for quoted strings) and what
    // AddCommonRGSReplacements adds.
    HRESULT UpdateRegistryFromResource(UINT id, BOOL doRegister) noexcept;
    virtual HRESULT AddCommonRGSReplacements(CRegObject& registrar) noexcept;

protected:
    GUID m_libid{};
    bool m_bInitFailed = false;
    HINSTANCE m_hInstance = nullptr;

private:
    mutable LONG volatile m_nLockCnt = 0;   // mutable: read with an interlocked call
    CComCriticalSection m_csModule;
};

// The process's module object; null while none exists.
extern CAtlModule* _pAtlModule;

// A class registered by the module's REGISTRY resource id.
#define DECLARE_REGISTRY_RESOURCEID(id)                                                             \
    static HRESULT WINAPI UpdateRegistry(BOOL bRegister) noexcept                                   \
    {                                                                                               \
        return _pAtlModule ? _pAtlModule->UpdateRegistryFromResource(id, bRegister) : E_UNEXPECTED; \
    }

// The registry form of a GUID ("{...}", upper case), from the GUID or from its text in braces
// in any case.
HRESULT AtlRegistryGuidText(REFGUID guid, OleString& text) noexcept;
HRESULT AtlRegistryGuidText(const char* guid, OleString& text) noexcept;

// One module lock for as long as the holder lives, taken from the module that existed at its
// construction and given back only while that module still exists.
class CAtlModuleLockHolder {
public:
    CAtlModuleLockHolder() noexcept : m_module(_pAtlModule)
    {
        if (m_module)
            m_module->Lock();
    }
    ~CAtlModuleLockHolder()
    {
        if (m_module && m_module == _pAtlModule)
            m_module->Unlock();
    }
    CAtlModuleLockHolder(const CAtlModuleLockHolder&) = delete;
    CAtlModuleLockHolder& operator=(const CAtlModuleLockHolder&) = delete;

private:
    CAtlModule* const m_module;
};
