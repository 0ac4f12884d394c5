"""Writes the type library as a text listing: what a reader of the library, through
ITypeLib and ITypeInfo, finds in the description that typedesc.py compiles in. A test
lists a loaded library the same way (tests/dispatch/TypeLibraryListing.cpp) and compares,
so Windows' type library from widl and ours are held to the one definition. Types come in
the definition's order: interfaces, then coclasses.

    library NAME GUID version MAJOR.MINOR lcid 0 flags LIBFLAGS "HELPSTRING"
    type NAME interface GUID flags TYPEFLAGS slots N "HELPSTRING"      (the vtable view)
      implements BASE
      function NAME id MEMID KIND slot N optional N flags FUNCFLAGS returns TYPE
        param TYPE flags PARAMFLAGS
      names MEMID: NAME PARAM...       (GetNames: a property's are its get function's; a
                                       put function's value is unnamed)
    type NAME coclass GUID flags TYPEFLAGS "HELPSTRING"
      implements INTERFACE flags IMPLTYPEFLAGS

Types are their VT_ names without the prefix, "PTR " before each indirection and the
referred type's name after USERDEFINED; flags are their names without the prefix, sorted
and joined by "|", or 0.
"""

from __future__ import annotations

import uuid
from typing import Optional

from idl_model import Coclass, Definition, Interface, InvokeKind, Method, TypeRef
from typedesc import (
    INVOKE_KIND,
    coclass_flags,
    first_own_slot,
    func_flags,
    impl_flags,
    interface_flags,
    library_flags,
    memid,
    param_flags,
    type_parts,
    vtable_slots,
)


def typelist_text(definition: Definition) -> str:
    library = definition.library
    lines = [
        f"library {library.name} {_guid(library.libid)} version {library.version[0]}.{library.version[1]} lcid 0"
        f" flags {_flags(library_flags(), 'LIBFLAG_')}{_doc(library.helpstring)}"
    ]
    for iface in definition.interfaces:
        lines += _interface_lines(definition, iface)
    for coclass in library.coclasses:
        lines += _coclass_lines(coclass)
    return "\n".join(lines) + "\n"


def _interface_lines(definition: Definition, iface: Interface) -> list[str]:
    flags = _flags(interface_flags(definition, iface), "TYPEFLAG_")
    lines = [
        f"type {iface.name} interface {_guid(iface.iid)} flags {flags}"
        f" slots {vtable_slots(definition, iface)}{_doc(iface.helpstring)}",
        f"  implements {iface.base}",
    ]
    first_slot = first_own_slot(definition, iface)
    for offset, method in enumerate(iface.methods):
        kind = INVOKE_KIND[method.invoke_kind].removeprefix("INVOKE_")
        lines.append(
            f"  function {method.name} id {memid(definition, iface, method)} {kind}"
            f" slot {first_slot + offset} optional {sum(p.optional for p in method.params)}"
            f" flags {_flags(func_flags(method), 'FUNCFLAG_')}"
            f" returns {_type(method.return_type)}"
        )
        for param in method.params:
            lines.append(f"    param {_type(param.type)} flags {_flags(param_flags(param), 'PARAMFLAG_')}")
    for method in _named_methods(definition, iface):
        params = method.params
        if method.invoke_kind in (InvokeKind.PROPPUT, InvokeKind.PROPPUTREF):
            params = params[:-1]  # the value assigned is unnamed
        names = " ".join([method.name] + [p.name for p in params])
        lines.append(f"  names {memid(definition, iface, method)}: {names}")
    return lines


def _named_methods(definition: Definition, iface: Interface) -> list[Method]:
    """For each member id in the order it first appears, the method GetNames describes: the
    property get function where there is one, otherwise the first with the id."""
    chosen: dict[int, Method] = {}
    for method in iface.methods:
        key = memid(definition, iface, method)
        current = chosen.get(key)
        if current is None or (method.invoke_kind == InvokeKind.PROPGET and current.invoke_kind != InvokeKind.PROPGET):
            chosen[key] = method
    return list(chosen.values())


def _coclass_lines(coclass: Coclass) -> list[str]:
    lines = [
        f"type {coclass.name} coclass {_guid(coclass.clsid)} flags {_flags(coclass_flags(coclass), 'TYPEFLAG_')}"
        f"{_doc(coclass.helpstring)}"
    ]
    for member in coclass.interfaces:
        lines.append(f"  implements {member.name} flags {_flags(impl_flags(member), 'IMPLTYPEFLAG_')}")
    return lines


def _type(type_ref: TypeRef) -> str:
    vartype, pointers, referred = type_parts(type_ref)
    text = vartype.removeprefix("VT_")
    if referred is not None:
        text += f" {referred}"
    return "PTR " * pointers + text


def _flags(names: list[str], prefix: str) -> str:
    return "|".join(sorted(name.removeprefix(prefix) for name in names)) if names else "0"


def _doc(text: Optional[str]) -> str:
    """A help string in quotes, each UTF-16 unit beyond ASCII as \\uXXXX."""
    if text is None:
        return ""
    encoded = text.encode("utf-16-le")
    units = [int.from_bytes(encoded[i : i + 2], "little") for i in range(0, len(encoded), 2)]
    return ' "' + "".join(chr(u) if 0x20 <= u < 0x7F else f"\\u{u:04X}" for u in units) + '"'


def _guid(guid: uuid.UUID) -> str:
    return "{" + str(guid).upper() + "}"
