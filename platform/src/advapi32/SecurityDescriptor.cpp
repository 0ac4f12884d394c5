// Security descriptors: kept as the caller sets them; the mutexes read the access-control list.
#include <windows.h>

#include <cstring>

BOOL WINAPI InitializeSecurityDescriptor(PSECURITY_DESCRIPTOR pSecurityDescriptor, DWORD dwRevision)
{
    if (!pSecurityDescriptor) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (dwRevision != SECURITY_DESCRIPTOR_REVISION) {
        SetLastError(ERROR_UNKNOWN_REVISION);
        return FALSE;
    }
    auto* descriptor = static_cast<SECURITY_DESCRIPTOR*>(pSecurityDescriptor);
    std::memset(descriptor, 0, sizeof *descriptor);
    descriptor->Revision = SECURITY_DESCRIPTOR_REVISION;
    return TRUE;
}

BOOL WINAPI SetSecurityDescriptorDacl(PSECURITY_DESCRIPTOR pSecurityDescriptor, BOOL bDaclPresent, PACL pDacl,
                                      BOOL bDaclDefaulted)
{
    auto* descriptor = static_cast<SECURITY_DESCRIPTOR*>(pSecurityDescriptor);
    if (!descriptor || descriptor->Revision != SECURITY_DESCRIPTOR_REVISION) {
        SetLastError(descriptor ? ERROR_UNKNOWN_REVISION : ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    descriptor->Control &= static_cast<SECURITY_DESCRIPTOR_CONTROL>(~(SE_DACL_PRESENT | SE_DACL_DEFAULTED));
    descriptor->Dacl = nullptr;
    if (bDaclPresent) {
        descriptor->Control |= SE_DACL_PRESENT;
        descriptor->Dacl = pDacl;
        if (bDaclDefaulted)
            descriptor->Control |= SE_DACL_DEFAULTED;
    }
    return TRUE;
}
