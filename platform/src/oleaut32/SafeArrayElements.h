// The parts of a safe array that its element type decides: the 16 bytes kept before the
// descriptor (variant type, interface id or record type), and how elements are copied and
// released.
#pragma once

#include <cstddef>

#include <windows.h>

namespace lumo::platform::oleaut32 {

// The element size for a variant type, 0 for types an array cannot hold. Records take
// their size from their IRecordInfo.
ULONG ElementSizeOf(VARTYPE vt) noexcept;

// Feature flags a new array of 'vt' carries.
USHORT FeaturesOf(VARTYPE vt) noexcept;

// The descriptor with room before it for the type information, zero-filled; cDims >= 1.
SAFEARRAY* AllocateDescriptor(UINT cDims) noexcept;
// Frees what AllocateDescriptor gave (not the data, not the record type).
void FreeDescriptor(SAFEARRAY* psa) noexcept;

void StoreVartype(SAFEARRAY* psa, VARTYPE vt) noexcept;
VARTYPE StoredVartype(const SAFEARRAY* psa) noexcept;
void StoreIid(SAFEARRAY* psa, const IID& iid) noexcept;
IID StoredIid(const SAFEARRAY* psa) noexcept;
// Copies the 16 bytes of type information (no reference is taken on a record type).
void CopyTypeInformation(const SAFEARRAY* from, SAFEARRAY* to) noexcept;
// The array keeps the reference it is given.
void StoreRecordInfo(SAFEARRAY* psa, IRecordInfo* info) noexcept;
IRecordInfo* StoredRecordInfo(const SAFEARRAY* psa) noexcept;

// All elements: the product of the dimensions' counts.
size_t ElementCountOf(const SAFEARRAY* psa) noexcept;

// Releases 'count' elements from 'first' (strings freed, interfaces released, variants
// cleared, records cleared) and zeroes them.
void ReleaseElements(const SAFEARRAY* psa, void* first, size_t count) noexcept;

// Copies 'count' elements into zeroed storage as the element type requires. On failure the
// elements copied so far are released again and 'target' is zero.
HRESULT CopyElements(const SAFEARRAY* psa, const void* source, void* target, size_t count) noexcept;

}  // namespace lumo::platform::oleaut32
