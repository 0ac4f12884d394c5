// The type library of a Linux module: a constant description that the module carries as its
// resource 1 "TYPELIB", and, per function, a typed call stub through which ITypeInfo::Invoke
// reaches the vtable. server/idlgen writes both from the IDL (typedesc.py documents the layout).
#pragma once

#include "oaidl.h"

#define LUMO_TYPELIB_FORMAT 0x4C544C31  // "LTL1"

// Calls one vtable method: self is the interface pointer, args the already coerced arguments
// in the function's parameter order (the retval excluded), result receives the retval.
typedef HRESULT (*LUMO_CALL_STUB)(void* self, VARIANTARG* args, VARIANT* result);

// A parameter's or return's type: `indirections` times VT_PTR around vt. For VT_USERDEFINED,
// ref names the type: 0 and up an index in the library's types, below 0 the entry -ref-1 of
// its imported types.
struct LUMO_TYPE_DESC {
    VARTYPE vt;
    USHORT indirections;
    SHORT ref;
};

struct LUMO_PARAM_DESC {
    LPCOLESTR name;
    LUMO_TYPE_DESC type;
    USHORT flags;  // PARAMFLAG_*
};

struct LUMO_FUNC_DESC {
    LPCOLESTR name;
    LPCOLESTR helpstring;  // may be null
    MEMBERID memid;
    USHORT invkind;    // INVOKE_*
    USHORT funcflags;  // FUNCFLAG_*
    USHORT vtableSlot; // counted from the vtable's start, IUnknown's three included
    USHORT paramCount;
    const LUMO_PARAM_DESC* params;
    LUMO_TYPE_DESC returnType;
    LUMO_CALL_STUB stub;
};

struct LUMO_IMPL_DESC {
    SHORT ref;      // as LUMO_TYPE_DESC::ref
    USHORT flags;   // IMPLTYPEFLAG_*
};

// An interface (TKIND_INTERFACE, its one impl the base) or a coclass (TKIND_COCLASS).
struct LUMO_TYPEINFO_DESC {
    LPCOLESTR name;
    LPCOLESTR helpstring;
    GUID guid;
    USHORT typekind;
    USHORT typeflags;    // TYPEFLAG_*
    USHORT vtableSlots;  // the whole vtable, bases included
    USHORT funcCount;    // the interface's own functions
    const LUMO_FUNC_DESC* funcs;
    USHORT implCount;
    const LUMO_IMPL_DESC* impls;
};

// A type the library refers to but takes from another library (IUnknown, IDispatch...).
struct LUMO_IMPORTED_TYPE {
    LPCOLESTR name;
    GUID guid;
};

struct LUMO_TYPELIB_DESC {
    DWORD format;  // LUMO_TYPELIB_FORMAT
    LPCOLESTR name;
    LPCOLESTR helpstring;
    GUID libid;
    WORD majorVersion;
    WORD minorVersion;
    LCID lcid;
    WORD libflags;  // LIBFLAG_*
    USHORT typeCount;
    const LUMO_TYPEINFO_DESC* types;
    USHORT importCount;
    const LUMO_IMPORTED_TYPE* imports;
};
