// CreateMutexW and ReleaseMutex; waits come through WaitForSingleObject.
#include <windows.h>

#include <memory>

#include "common/WideText.h"
#include "kernel32/ApiBoundary.h"
#include "kernel32/KernelObject.h"
#include "kernel32/MutexStore.h"

namespace lumo::platform {

namespace {

class MutexObject : public KernelObject {
public:
    explicit MutexObject(std::shared_ptr<MutexStore> store) : m_store(std::move(store)) {}

    DWORD Wait(DWORD milliseconds) override { return m_store->Wait(milliseconds); }
    bool Release() { return m_store->Release(); }

private:
    std::shared_ptr<MutexStore> m_store;
};

// Only a descriptor with a null access-control list opens the name to every user.
bool OpensToAnyUser(const SECURITY_ATTRIBUTES* attributes)
{
    if (!attributes || !attributes->lpSecurityDescriptor)
        return false;
    const auto* descriptor = static_cast<const SECURITY_DESCRIPTOR*>(attributes->lpSecurityDescriptor);
    return (descriptor->Control & SE_DACL_PRESENT) && !descriptor->Dacl;
}

}  // namespace

}  // namespace lumo::platform

using namespace lumo::platform;

HANDLE WINAPI CreateMutexW(LPSECURITY_ATTRIBUTES lpMutexAttributes, BOOL bInitialOwner, LPCWSTR lpName)
{
    return AtApiBoundary<HANDLE>(nullptr, [&]() -> HANDLE {
        const WideView name = ViewOf(lpName);
        if (name.size() > MAX_PATH) {
            SetLastError(ERROR_FILENAME_EXCED_RANGE);
            return nullptr;
        }
        DWORD error = ERROR_SUCCESS;
        bool created = true;
        std::shared_ptr<MutexStore> store = name.empty()
                                                ? CreatePrivateMutex(error)
                                                : OpenNamedMutex(name, OpensToAnyUser(lpMutexAttributes), created, error);
        if (!store) {
            SetLastError(error);
            return nullptr;
        }
        if (bInitialOwner && created)
            store->Wait(INFINITE);
        const HANDLE handle = HandleTable::Instance().Insert(std::make_shared<MutexObject>(std::move(store)));
        SetLastError(created ? ERROR_SUCCESS : ERROR_ALREADY_EXISTS);
        return handle;
    });
}

BOOL WINAPI ReleaseMutex(HANDLE hMutex)
{
    return AtApiBoundary<BOOL>(FALSE, [&]() -> BOOL {
        const auto mutex = HandleTable::Instance().FindAs<MutexObject>(hMutex);
        if (!mutex) {
            SetLastError(ERROR_INVALID_HANDLE);
            return FALSE;
        }
        return mutex->Release() ? TRUE : FALSE;
    });
}
