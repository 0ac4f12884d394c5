"""Writes the public C++ header of a definition: interfaces, interface ids, class ids.

Names follow MIDL's header (IID_<interface>, CLSID_<class>, LIBID_<library>, get_/put_/
putref_ accessors), so code written against either header reads the same. The ids are
defined in the header itself, selectany, so that a client needs no separate source file.
"""

from __future__ import annotations

import uuid

from idl_model import Definition, Interface, Method, Param, TypeRef


def header_text(definition: Definition, source_name: str) -> str:
    library = definition.library
    guard = f"{library.name.upper()}_INTERFACES_H"
    lines = [
        f"// Generated from {source_name} by server/idlgen; do not edit.",
        f"#ifndef {guard}",
        f"#define {guard}",
        "",
        "#ifndef __cplusplus",
        '#error "this header declares its interfaces as C++ classes"',
        "#endif",
        "",
        "// As MIDL's headers do: the whole API of automation comes with the interfaces.",
        "#include <windows.h>",
        "#include <ole2.h>",
        "#include <objbase.h>",
        "#include <oaidl.h>",
        "",
        "// mingw and the Linux platform headers give __uuidof through __CRT_UUID_DECL; MSVC takes",
        "// the id from MIDL_INTERFACE and has no such macro.",
        "#ifndef __CRT_UUID_DECL",
        "#define __CRT_UUID_DECL(type, l, w1, w2, b1, b2, b3, b4, b5, b6, b7, b8)",
        "#endif",
        "",
    ]
    lines += [f"struct {iface.name};" for iface in definition.interfaces]
    for iface in definition.interfaces:
        lines += ["", *_interface_lines(iface)]
    lines += ["", _id_definition("IID", f"LIBID_{library.name}", library.libid)]
    for coclass in library.coclasses:
        lines += [
            "",
            _id_definition("CLSID", f"CLSID_{coclass.name}", coclass.clsid),
            f'class DECLSPEC_UUID("{_text(coclass.clsid)}") {coclass.name};',
            _uuid_declaration(coclass.name, coclass.clsid),
        ]
    if definition.cpp_quotes:
        lines += ["", *definition.cpp_quotes]
    lines += ["", f"#endif  // {guard}", ""]
    return "\n".join(lines)


def cxx_type(type_ref: TypeRef) -> str:
    base = type_ref.base
    return (base.cxx if base is not None else type_ref.name) + "*" * type_ref.pointers


def _interface_lines(iface: Interface) -> list[str]:
    lines = [
        _id_definition("IID", f"IID_{iface.name}", iface.iid),
        f'MIDL_INTERFACE("{_text(iface.iid)}")',
        f"{iface.name} : public {iface.base}",
        "{",
        "public:",
    ]
    lines += [f"    {_method_declaration(method)}" for method in iface.methods]
    lines += ["};", _uuid_declaration(iface.name, iface.iid)]
    return lines


def _method_declaration(method: Method) -> str:
    params = ", ".join(_param_declaration(p) for p in method.params)
    return f"virtual {cxx_type(method.return_type)} STDMETHODCALLTYPE {method.vtable_name}({params}) = 0;"


def _param_declaration(param: Param) -> str:
    return f"{cxx_type(param.type)} {param.name}"


def _id_definition(id_type: str, name: str, guid: uuid.UUID) -> str:
    # Before the name, where MSVC also accepts __declspec(selectany); extern "C" gives the
    # const object the external linkage that selectany and weak need.
    return f'extern "C" const {id_type} DECLSPEC_SELECTANY {name} = {_initializer(guid)};'


def _uuid_declaration(name: str, guid: uuid.UUID) -> str:
    return f"__CRT_UUID_DECL({name}, {', '.join(_fields(guid))})"


def _initializer(guid: uuid.UUID) -> str:
    fields = _fields(guid)
    return f"{{{fields[0]}, {fields[1]}, {fields[2]}, {{{', '.join(fields[3:])}}}}}"


def _fields(guid: uuid.UUID) -> list[str]:
    """The GUID's Data1, Data2, Data3 and the eight bytes of Data4, as C literals."""
    data = guid.bytes
    return [
        f"0x{guid.time_low:08X}",
        f"0x{guid.time_mid:04X}",
        f"0x{guid.time_hi_version:04X}",
        *(f"0x{b:02X}" for b in data[8:]),
    ]


def _text(guid: uuid.UUID) -> str:
    return str(guid).upper()
