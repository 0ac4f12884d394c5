// Security descriptors, as far as the stand-in reads them: a null access-control list.
#pragma once

#include "winnt.h"

WINADVAPI BOOL WINAPI InitializeSecurityDescriptor(PSECURITY_DESCRIPTOR pSecurityDescriptor, DWORD dwRevision);
WINADVAPI BOOL WINAPI SetSecurityDescriptorDacl(PSECURITY_DESCRIPTOR pSecurityDescriptor, BOOL bDaclPresent,
                                                PACL pDacl, BOOL bDaclDefaulted);
