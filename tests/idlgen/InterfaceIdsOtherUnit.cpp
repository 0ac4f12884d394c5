#include "InterfaceIdsOtherUnit.h"

IdAddresses IdAddressesInOtherUnit()
{
    return {&IID_ILumoItem, &CLSID_LumoItem, &LIBID_LumoItemsLib};
}
