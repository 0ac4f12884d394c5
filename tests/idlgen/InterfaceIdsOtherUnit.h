// The addresses of some ids as a second translation unit sees them.
#pragma once

#include <LumoItems.h>

struct IdAddresses {
    const IID* interfaceId;
    const CLSID* classId;
    const IID* libraryId;
};

IdAddresses IdAddressesInOtherUnit();
