"""Writes, for the Linux build, the C++ source that a module compiles in to carry its type
library and its resources.

The type library is a constant LUMO_TYPELIB_DESC (platform/include/lumo/TypeDescription.h):

    LUMO_TYPELIB_DESC      format, name, helpstring, libid, version, lcid 0, flags, then
                           the types (interfaces in file order, then coclasses) and the
                           imported types (IUnknown, IDispatch... as they are referred to)
    LUMO_TYPEINFO_DESC     an interface: TKIND_INTERFACE, TYPEFLAG_* (dual, nonextensible,
                           oleautomation, hidden, dispatchable), vtable slots, its own
                           functions, one impl (its base); a coclass: TKIND_COCLASS,
                           TYPEFLAG_FCANCREATE unless noncreatable, its interfaces with
                           IMPLTYPEFLAG_FDEFAULT/FSOURCE
    LUMO_FUNC_DESC         name, memid, INVOKE_* kind, FUNCFLAG_* (restricted, hidden),
                           vtable slot, parameters, return type, call stub
    LUMO_PARAM_DESC        name, type, PARAMFLAG_* (in, out, retval, optional)
    LUMO_TYPE_DESC         vt inside `indirections` VT_PTRs; interface pointers are VT_UNKNOWN
                           and VT_DISPATCH for IUnknown* and IDispatch*, otherwise VT_PTR to
                           VT_USERDEFINED whose ref is a type index (>= 0) or an imported
                           type (-1 - its index)

Each function that returns HRESULT gets a call stub `HRESULT (void* self, VARIANTARG* args,
VARIANT* result)`: args hold the arguments already coerced to the parameters' types, in
parameter order without the retval; the stub calls the C++ vtable method of the interface
header and moves the retval into *result (interface pointers as VT_DISPATCH when the
interface derives from IDispatch, otherwise VT_UNKNOWN).

The resources come from the module's resource list (resource_list.py) and are exported as
the one constant LUMO_RESOURCE_TABLE (platform/include/lumo/ResourceTable.h): a TYPELIB
resource's data is the description above (the file the list names is the Windows type
library), other resources the bytes of their files, strings in blocks of 16 as Windows
lays out RT_STRING.
"""

from __future__ import annotations

import uuid
from typing import Optional

from idl_model import (
    BASE_TYPES,
    IMPORTED_INTERFACES,
    Coclass,
    CoclassInterface,
    Definition,
    IdlError,
    Interface,
    Method,
    Param,
    TypeRef,
)
from cxx_header import cxx_type
from resource_list import RT_STRING, ResourceList

INVOKE_KIND = {1: "INVOKE_FUNC", 2: "INVOKE_PROPERTYGET", 4: "INVOKE_PROPERTYPUT", 8: "INVOKE_PROPERTYPUTREF"}

# The VARIANT field a value of each automation type lives in.
_FIELD = {
    "VT_BSTR": "V_BSTR",
    "VT_BOOL": "V_BOOL",
    "VT_I2": "V_I2",
    "VT_I4": "V_I4",
    "VT_UI1": "V_UI1",
    "VT_UI2": "V_UI2",
    "VT_UI4": "V_UI4",
    "VT_INT": "V_INT",
    "VT_UINT": "V_UINT",
    "VT_R4": "V_R4",
    "VT_R8": "V_R8",
    "VT_DATE": "V_DATE",
    "VT_ERROR": "V_ERROR",
    "VT_UNKNOWN": "V_UNKNOWN",
    "VT_DISPATCH": "V_DISPATCH",
}


class _Types:
    """Numbers the library's own types and the imported ones it refers to."""

    def __init__(self, definition: Definition):
        self.definition = definition
        names = [i.name for i in definition.interfaces] + [c.name for c in definition.library.coclasses]
        self.own = {name: index for index, name in enumerate(names)}
        self.imported: list[str] = []

    def ref(self, name: str) -> int:
        if name in self.own:
            return self.own[name]
        if name not in self.imported:
            self.imported.append(name)
        return -1 - self.imported.index(name)

    def derives_from_dispatch(self, name: str) -> bool:
        return derives_from_dispatch(self.definition, name)


def typedesc_text(definition: Definition, header_name: str, resources: Optional[ResourceList], source_name: str) -> str:
    types = _Types(definition)
    library = definition.library
    lines = [
        f"// Generated from {source_name} by server/idlgen; do not edit.",
        "#include <windows.h>",
        "",
        "#include <lumo/ResourceTable.h>",
        "#include <lumo/TypeDescription.h>",
        "",
        f'#include "{header_name}"',
        "",
        "namespace {",
        "",
    ]
    type_entries = []
    for iface in definition.interfaces:
        lines += _interface_lines(definition, iface, types)
        type_entries.append(_interface_entry(definition, iface, types))
    for coclass in library.coclasses:
        lines += _coclass_lines(coclass, types)
        type_entries.append(_coclass_entry(coclass))
    lines.append("const LUMO_TYPEINFO_DESC kTypes[] = {")
    lines += [f"    {entry}," for entry in type_entries]
    lines += ["};", ""]
    imports = types.imported
    if imports:
        lines.append("const LUMO_IMPORTED_TYPE kImports[] = {")
        lines += [f"    {{{_wide(n)}, {_guid(IMPORTED_INTERFACES[n].iid)}}}," for n in imports]
        lines += ["};", ""]
    lines += [
        "const LUMO_TYPELIB_DESC kTypeLibrary = {",
        "    LUMO_TYPELIB_FORMAT,",
        f"    {_wide(library.name)},",
        f"    {_wide(library.helpstring)},",
        f"    {_guid(library.libid)},",
        f"    {library.version[0]},",
        f"    {library.version[1]},",
        "    0,",
        f"    {_flags(library_flags())},",
        f"    {len(type_entries)},",
        "    kTypes,",
        f"    {len(imports)},",
        f"    {'kImports' if imports else 'nullptr'},",
        "};",
        "",
    ]
    lines += _resource_lines(resources)
    return "\n".join(lines)


def _interface_lines(definition: Definition, iface: Interface, types: _Types) -> list[str]:
    lines = []
    for method in iface.methods:
        lines += _stub_lines(iface, method, types)
        lines += _param_lines(iface, method, types)
    first_slot = first_own_slot(definition, iface)
    if iface.methods:
        lines.append(f"const LUMO_FUNC_DESC kFuncs_{iface.name}[] = {{")
        for offset, method in enumerate(iface.methods):
            lines.append(f"    {_func_entry(definition, iface, method, first_slot + offset, types)},")
        lines += ["};", ""]
    lines += [f"const LUMO_IMPL_DESC kImpls_{iface.name}[] = {{{{{types.ref(iface.base)}, 0}}}};", ""]
    return lines


def library_flags() -> list[str]:
    """The LIBFLAG_* names of the library: it is kept on disk, in its module."""
    return ["LIBFLAG_FHASDISKIMAGE"]


def interface_flags(definition: Definition, iface: Interface) -> list[str]:
    """The TYPEFLAG_* names of an interface's own (vtable) view."""
    flags = []
    if iface.dual:
        flags += ["TYPEFLAG_FDUAL", "TYPEFLAG_FOLEAUTOMATION"]
    elif iface.oleautomation:
        flags.append("TYPEFLAG_FOLEAUTOMATION")
    if iface.nonextensible:
        flags.append("TYPEFLAG_FNONEXTENSIBLE")
    if iface.hidden:
        flags.append("TYPEFLAG_FHIDDEN")
    if derives_from_dispatch(definition, iface.name):
        flags.append("TYPEFLAG_FDISPATCHABLE")
    return flags


def vtable_slots(definition: Definition, iface: Interface) -> int:
    """The slots of an interface's vtable, its bases' included."""
    return definition.root_base(iface).vtable_slots + len(definition.vtable(iface))


def first_own_slot(definition: Definition, iface: Interface) -> int:
    """The vtable slot of an interface's first own method."""
    return vtable_slots(definition, iface) - len(iface.methods)


def coclass_flags(coclass: Coclass) -> list[str]:
    return [] if coclass.noncreatable else ["TYPEFLAG_FCANCREATE"]


def impl_flags(member: CoclassInterface) -> list[str]:
    return (["IMPLTYPEFLAG_FDEFAULT"] if member.is_default else []) + (
        ["IMPLTYPEFLAG_FSOURCE"] if member.is_source else []
    )


def func_flags(method: Method) -> list[str]:
    return (["FUNCFLAG_FRESTRICTED"] if method.restricted else []) + (["FUNCFLAG_FHIDDEN"] if method.hidden else [])


def param_flags(param: Param) -> list[str]:
    return (
        (["PARAMFLAG_FIN"] if param.is_in else [])
        + (["PARAMFLAG_FOUT"] if param.is_out else [])
        + (["PARAMFLAG_FRETVAL"] if param.retval else [])
        + (["PARAMFLAG_FOPT"] if param.optional else [])
    )


def memid(definition: Definition, iface: Interface, method: Method) -> int:
    """The method's dispatch id, or the one a type library gives a method without: 0x60000000,
    the interface's depth below IUnknown times 0x10000, and the method's index in it."""
    if method.dispid is not None:
        return method.dispid
    depth = len(definition.base_chain(iface))
    name = definition.base_chain(iface)[0].base
    while IMPORTED_INTERFACES[name].base is not None:
        depth += 1
        name = IMPORTED_INTERFACES[name].base
    return 0x60000000 + (depth << 16) + iface.methods.index(method)


def type_parts(type_ref: TypeRef) -> tuple[str, int, Optional[str]]:
    """A type as the description holds it: its vartype inside so many VT_PTRs, and for
    VT_USERDEFINED the name of the type referred to."""
    base = BASE_TYPES.get(type_ref.name)
    if base is not None:
        return base.vartype, type_ref.pointers, None
    if type_ref.name == "IUnknown":
        return "VT_UNKNOWN", type_ref.pointers - 1, None
    if type_ref.name == "IDispatch":
        return "VT_DISPATCH", type_ref.pointers - 1, None
    return "VT_USERDEFINED", type_ref.pointers, type_ref.name


def derives_from_dispatch(definition: Definition, name: str) -> bool:
    while name not in IMPORTED_INTERFACES:
        iface = definition.interface(name)
        assert iface is not None
        name = iface.base
    return name == "IDispatch"


def _interface_entry(definition: Definition, iface: Interface, types: _Types) -> str:
    funcs = f"kFuncs_{iface.name}" if iface.methods else "nullptr"
    return (
        f"{{{_wide(iface.name)}, {_wide(iface.helpstring)}, {_guid(iface.iid)}, TKIND_INTERFACE, "
        f"{_flags(interface_flags(definition, iface))}, {vtable_slots(definition, iface)}, {len(iface.methods)}, "
        f"{funcs}, 1, kImpls_{iface.name}}}"
    )


def _coclass_lines(coclass: Coclass, types: _Types) -> list[str]:
    lines = [f"const LUMO_IMPL_DESC kImpls_{coclass.name}[] = {{"]
    for member in coclass.interfaces:
        lines.append(f"    {{{types.ref(member.name)}, {_flags(impl_flags(member))}}},")
    return lines + ["};", ""]


def _coclass_entry(coclass: Coclass) -> str:
    return (
        f"{{{_wide(coclass.name)}, {_wide(coclass.helpstring)}, {_guid(coclass.clsid)}, TKIND_COCLASS, "
        f"{_flags(coclass_flags(coclass))}, 0, 0, nullptr, {len(coclass.interfaces)}, kImpls_{coclass.name}}}"
    )


def _param_lines(iface: Interface, method: Method, types: _Types) -> list[str]:
    if not method.params:
        return []
    lines = [f"const LUMO_PARAM_DESC {_params_name(iface, method)}[] = {{"]
    for param in method.params:
        if param.defaultvalue is not None:
            raise IdlError(f"the type description carries no default values ('{param.name}')", param.line)
        lines.append(f"    {{{_wide(param.name)}, {_type_desc(param.type, types)}, {_flags(param_flags(param))}}},")
    return lines + ["};", ""]


def _func_entry(definition: Definition, iface: Interface, method: Method, slot: int, types: _Types) -> str:
    params = _params_name(iface, method) if method.params else "nullptr"
    stub = _stub_name(iface, method) if method.return_type == TypeRef("HRESULT") else "nullptr"
    return (
        f"{{{_wide(method.name)}, {_wide(method.helpstring)}, {memid(definition, iface, method)}, "
        f"{INVOKE_KIND[method.invoke_kind]}, {_flags(func_flags(method))}, {slot}, {len(method.params)}, {params}, "
        f"{_type_desc(method.return_type, types)}, {stub}}}"
    )


def _type_desc(type_ref: TypeRef, types: _Types) -> str:
    vartype, pointers, referred = type_parts(type_ref)
    return f"{{{vartype}, {pointers}, {0 if referred is None else types.ref(referred)}}}"


def _stub_lines(iface: Interface, method: Method, types: _Types) -> list[str]:
    if method.return_type != TypeRef("HRESULT"):
        return []
    retval = method.retval
    inputs = [p for p in method.params if not p.retval]
    arguments = [_argument(p, index, types) for index, p in enumerate(inputs)]
    unused = [] if inputs else ["    (void)args;"]
    lines = [
        f"HRESULT {_stub_name(iface, method)}(void* self, VARIANTARG* args, VARIANT* result)",
        "{",
        *unused,
        f"    auto* object = static_cast<{iface.name}*>(self);",
    ]
    if retval is None:
        lines += ["    (void)result;", f"    return object->{method.vtable_name}({', '.join(arguments)});", "}", ""]
        return lines
    value_type = TypeRef(retval.type.name, retval.type.pointers - 1)
    vartype, field = _result_field(value_type, types, retval)
    if vartype == "VT_VARIANT":
        lines += ["    VARIANT value;", "    VariantInit(&value);"]
    else:
        lines.append(f"    {cxx_type(value_type)} value{{}};")
    arguments.append("&value")
    lines += [
        f"    const HRESULT hr = object->{method.vtable_name}({', '.join(arguments)});",
        "    if (SUCCEEDED(hr)) {",
    ]
    if vartype == "VT_VARIANT":
        lines.append("        *result = value;")
    else:
        lines += [f"        V_VT(result) = {vartype};", f"        {field}(result) = value;"]
    lines += ["    }", "    return hr;", "}", ""]
    return lines


def _argument(param: Param, index: int, types: _Types) -> str:
    type_ref = param.type
    slot = f"&args[{index}]"
    base = BASE_TYPES.get(type_ref.name)
    if type_ref.pointers == 0:
        assert base is not None
        if base.vartype == "VT_VARIANT":
            return f"args[{index}]"
        if base.vartype not in _FIELD:
            raise IdlError(f"parameter '{param.name}' has a type the call stubs cannot pass", param.line)
        return f"{_FIELD[base.vartype]}({slot})"
    if base is None and type_ref.pointers == 1:
        if type_ref.name in ("IUnknown", "IDispatch"):
            return f"{_FIELD['VT_' + type_ref.name[1:].upper()]}({slot})"
        return f"static_cast<{type_ref.name}*>(V_UNKNOWN({slot}))"
    return f"static_cast<{cxx_type(type_ref)}>(V_BYREF({slot}))"


def _result_field(value_type: TypeRef, types: _Types, retval: Param) -> tuple[str, str]:
    base = BASE_TYPES.get(value_type.name)
    if base is not None and value_type.pointers == 0:
        if base.vartype == "VT_VARIANT":
            return "VT_VARIANT", ""
        if base.vartype in _FIELD:
            return base.vartype, _FIELD[base.vartype]
    if base is None and value_type.pointers == 1:
        if value_type.name == "IUnknown":
            return "VT_UNKNOWN", "V_UNKNOWN"
        if value_type.name == "IDispatch" or types.derives_from_dispatch(value_type.name):
            return "VT_DISPATCH", "V_DISPATCH"
        return "VT_UNKNOWN", "V_UNKNOWN"
    raise IdlError(f"retval '{retval.name}' has a type the call stubs cannot return", retval.line)


def _resource_lines(resources: Optional[ResourceList]) -> list[str]:
    entries: list[str] = []
    lines: list[str] = []
    if resources is not None:
        typelibs = [r for r in resources.files if r.type == "TYPELIB"]
        if len(typelibs) > 1:
            raise IdlError("the resource list names more than one TYPELIB", typelibs[1].line)
        for resource in resources.files:
            if resource.type == "TYPELIB":
                entries.append(_resource_entry(resource.type, resource.name, "&kTypeLibrary", "sizeof(kTypeLibrary)"))
                continue
            try:
                data = resource.path.read_bytes()
            except OSError as error:
                raise IdlError(f"cannot read {resource.path}: {error.strerror}", resource.line) from None
            symbol = f"kResource{len(entries)}"
            lines += _byte_array(symbol, data)
            entries.append(_resource_entry(resource.type, resource.name, symbol, str(len(data))))
        for block, texts in sorted(_string_blocks(resources.strings).items()):
            symbol = f"kStringBlock{block}"
            units: list[int] = []
            for text in texts:
                encoded = text.encode("utf-16-le")
                words = [int.from_bytes(encoded[i : i + 2], "little") for i in range(0, len(encoded), 2)]
                units += [len(words), *words]
            lines += [f"const WCHAR {symbol}[] = {{{', '.join(str(u) for u in units)}}};", ""]
            entries.append(_resource_entry(RT_STRING, block, symbol, f"sizeof({symbol})"))
    if entries:
        lines.append("const LUMO_RESOURCE_ENTRY kResources[] = {")
        lines += [f"    {entry}," for entry in entries]
        lines += ["};", ""]
    lines += [
        "}  // namespace",
        "",
        'extern "C" __attribute__((visibility("default"))) const LUMO_RESOURCE_TABLE LumoModuleResources = {',
        f"    LUMO_RESOURCE_TABLE_FORMAT, {len(entries)}, {'kResources' if entries else 'nullptr'}}};",
        "",
    ]
    return lines


def _string_blocks(strings: dict[int, str]) -> dict[int, list[str]]:
    blocks: dict[int, list[str]] = {}
    for identifier, text in strings.items():
        block = blocks.setdefault(identifier // 16 + 1, [""] * 16)
        block[identifier % 16] = text
    return blocks


def _resource_entry(type_name, name, data: str, size: str) -> str:
    def parts(value) -> str:
        return f"{value}, nullptr" if isinstance(value, int) else f"0, {_wide(value)}"

    return f"{{{parts(type_name)}, {parts(name)}, {data}, static_cast<DWORD>({size})}}"


def _byte_array(symbol: str, data: bytes) -> list[str]:
    lines = [f"const BYTE {symbol}[] = {{"]
    for start in range(0, len(data), 16):
        lines.append("    " + ", ".join(f"0x{b:02X}" for b in data[start : start + 16]) + ",")
    if not data:
        lines.append("    0,")
    return lines + ["};", ""]


def _params_name(iface: Interface, method: Method) -> str:
    return f"kParams_{iface.name}_{method.vtable_name}"


def _stub_name(iface: Interface, method: Method) -> str:
    return f"Call_{iface.name}_{method.vtable_name}"


def _flags(flags: list[str]) -> str:
    return " | ".join(flags) if flags else "0"


def _wide(text: Optional[str]) -> str:
    if text is None:
        return "nullptr"
    out = []
    for char in text:
        code = ord(char)
        if char in '"\\':
            out.append("\\" + char)
        elif 0x20 <= code < 0x7F:
            out.append(char)
        elif code <= 0xFFFF:
            out.append(f"\\u{code:04X}")
        else:
            out.append(f"\\U{code:08X}")
    return f'OLESTR("{"".join(out)}")'


def _guid(guid: uuid.UUID) -> str:
    data = guid.bytes
    tail = ", ".join(f"0x{b:02X}" for b in data[8:])
    return f"{{0x{guid.time_low:08X}, 0x{guid.time_mid:04X}, 0x{guid.time_hi_version:04X}, {{{tail}}}}}"
