"""The parsed interface definition, as the emitters read it.

The parser builds these objects and `check` validates them; the emitters (the C++ header
now, the type description later) only read them. Every node keeps the line it came from
so that semantic errors point at the source.
"""

from __future__ import annotations

import uuid
from dataclasses import dataclass, field
from enum import IntEnum
from typing import Optional


class IdlError(Exception):
    """A syntax or semantic error, with the line of the definition it is about."""

    def __init__(self, message: str, line: int):
        super().__init__(message)
        self.message = message
        self.line = line

    def at(self, source_name: str) -> str:
        return f"{source_name}:{self.line}: error: {self.message}"


class InvokeKind(IntEnum):
    """How a member is called; the values are the automation INVOKEKIND numbers."""

    METHOD = 1
    PROPGET = 2
    PROPPUT = 4
    PROPPUTREF = 8


@dataclass(frozen=True)
class BaseType:
    cxx: str  # spelling in C++ on every target (Windows' fixed-width names)
    vartype: str  # automation type number name


# The scalar and string types an interface may use. IDL "long" is 32 bits on every target,
# which C++ spells LONG (plain long is 64 bits on Linux).
BASE_TYPES = {
    "void": BaseType("void", "VT_VOID"),
    "HRESULT": BaseType("HRESULT", "VT_HRESULT"),
    "BSTR": BaseType("BSTR", "VT_BSTR"),
    "VARIANT": BaseType("VARIANT", "VT_VARIANT"),
    "VARIANT_BOOL": BaseType("VARIANT_BOOL", "VT_BOOL"),
    "DATE": BaseType("DATE", "VT_DATE"),
    "SCODE": BaseType("SCODE", "VT_ERROR"),
    "byte": BaseType("BYTE", "VT_UI1"),
    "unsigned char": BaseType("BYTE", "VT_UI1"),
    "short": BaseType("SHORT", "VT_I2"),
    "unsigned short": BaseType("USHORT", "VT_UI2"),
    "int": BaseType("INT", "VT_INT"),
    "unsigned int": BaseType("UINT", "VT_UINT"),
    "long": BaseType("LONG", "VT_I4"),
    "unsigned long": BaseType("ULONG", "VT_UI4"),
    "LONG": BaseType("LONG", "VT_I4"),
    "ULONG": BaseType("ULONG", "VT_UI4"),
    "float": BaseType("FLOAT", "VT_R4"),
    "double": BaseType("DOUBLE", "VT_R8"),
}


@dataclass(frozen=True)
class ImportedInterface:
    """An interface the definition takes from the platform's own IDL files."""

    name: str
    iid: uuid.UUID
    base: Optional[str]
    vtable_slots: int  # methods in its vtable, its bases' included


IMPORTED_INTERFACES = {
    i.name: i
    for i in (
        ImportedInterface("IUnknown", uuid.UUID("00000000-0000-0000-C000-000000000046"), None, 3),
        ImportedInterface("IDispatch", uuid.UUID("00020400-0000-0000-C000-000000000046"), "IUnknown", 7),
        ImportedInterface("IEnumVARIANT", uuid.UUID("00020404-0000-0000-C000-000000000046"), "IUnknown", 7),
    )
}

# The constants of oaidl.idl that a dispatch id may name.
IMPORTED_CONSTANTS = {
    "DISPID_VALUE": 0,
    "DISPID_UNKNOWN": -1,
    "DISPID_PROPERTYPUT": -3,
    "DISPID_NEWENUM": -4,
    "DISPID_EVALUATE": -5,
}


@dataclass(frozen=True)
class TypeRef:
    name: str  # a key of BASE_TYPES or the name of an interface
    pointers: int = 0

    @property
    def is_interface(self) -> bool:
        return self.name not in BASE_TYPES

    @property
    def base(self) -> Optional[BaseType]:
        return BASE_TYPES.get(self.name)

    def __str__(self) -> str:
        return self.name + "*" * self.pointers


@dataclass
class Param:
    name: str
    type: TypeRef
    is_in: bool
    is_out: bool
    optional: bool = False
    retval: bool = False
    defaultvalue: Optional[int | str] = None
    line: int = 0


@dataclass
class Method:
    name: str
    invoke_kind: InvokeKind
    dispid: Optional[int]
    return_type: TypeRef
    params: list[Param]
    restricted: bool = False
    hidden: bool = False
    helpstring: Optional[str] = None
    line: int = 0

    @property
    def vtable_name(self) -> str:
        """The C++ name of the vtable entry: property accessors get MIDL's prefixes."""
        prefix = {
            InvokeKind.METHOD: "",
            InvokeKind.PROPGET: "get_",
            InvokeKind.PROPPUT: "put_",
            InvokeKind.PROPPUTREF: "putref_",
        }[self.invoke_kind]
        return prefix + self.name

    @property
    def retval(self) -> Optional[Param]:
        return next((p for p in self.params if p.retval), None)


@dataclass
class Interface:
    name: str
    iid: uuid.UUID
    base: str
    methods: list[Method]
    dual: bool = False
    oleautomation: bool = False
    nonextensible: bool = False
    local: bool = False
    hidden: bool = False
    helpstring: Optional[str] = None
    line: int = 0


@dataclass
class CoclassInterface:
    name: str
    is_default: bool = False
    is_source: bool = False
    line: int = 0


@dataclass
class Coclass:
    name: str
    clsid: uuid.UUID
    interfaces: list[CoclassInterface]
    noncreatable: bool = False
    helpstring: Optional[str] = None
    line: int = 0

    @property
    def default_interface(self) -> str:
        return next(i.name for i in self.interfaces if i.is_default and not i.is_source)


@dataclass
class Library:
    name: str
    libid: uuid.UUID
    version: tuple[int, int]
    coclasses: list[Coclass]
    importlibs: list[str] = field(default_factory=list)
    helpstring: Optional[str] = None
    line: int = 0


@dataclass
class Definition:
    """One IDL file: its imports, its interfaces in file order, its library, and the lines of
    its cpp_quote()s, which go into the C++ header as they stand."""

    imports: list[str]
    interfaces: list[Interface]
    library: Library
    cpp_quotes: list[str] = field(default_factory=list)

    def interface(self, name: str) -> Optional[Interface]:
        return next((i for i in self.interfaces if i.name == name), None)

    def base_chain(self, iface: Interface) -> list[Interface]:
        """The interfaces of this file from the root-most base down to `iface`."""
        chain = [iface]
        while (base := self.interface(chain[0].base)) is not None:
            chain.insert(0, base)
        return chain

    def root_base(self, iface: Interface) -> ImportedInterface:
        """The imported interface (IUnknown, IDispatch...) the chain starts from."""
        return IMPORTED_INTERFACES[self.base_chain(iface)[0].base]

    def vtable(self, iface: Interface) -> list[tuple[Interface, Method]]:
        """The methods after the imported root's, in slot order, each with its declarer."""
        return [(owner, m) for owner in self.base_chain(iface) for m in owner.methods]


def check(definition: Definition) -> None:
    """Raises IdlError for the first rule the definition breaks."""
    _check_names_and_ids(definition)
    known: set[str] = set(IMPORTED_INTERFACES)
    for iface in definition.interfaces:
        _check_interface(definition, iface, known | {iface.name})
        known.add(iface.name)
    for coclass in definition.library.coclasses:
        _check_coclass(coclass, known)


def _check_names_and_ids(definition: Definition) -> None:
    names: dict[str, int] = {}
    ids: dict[uuid.UUID, int] = {}
    library = definition.library
    nodes = [(i.name, i.iid, i.line) for i in definition.interfaces]
    nodes += [(c.name, c.clsid, c.line) for c in library.coclasses]
    nodes.append((library.name, library.libid, library.line))
    for name, guid, line in nodes:
        if name in names or name in IMPORTED_INTERFACES:
            raise IdlError(f"'{name}' is defined twice", line)
        if guid in ids:
            raise IdlError(f"uuid {str(guid).upper()} of '{name}' is already used", line)
        names[name] = line
        ids[guid] = line


def _check_interface(definition: Definition, iface: Interface, known: set[str]) -> None:
    if iface.base not in known or iface.base == iface.name:
        raise IdlError(f"base interface '{iface.base}' of '{iface.name}' is not defined before it", iface.line)
    if iface.dual and definition.root_base(iface).name != "IDispatch":
        raise IdlError(f"dual interface '{iface.name}' must derive from IDispatch", iface.line)
    inherited = [m for owner in definition.base_chain(iface)[:-1] for m in owner.methods]
    members = {(m.name, m.invoke_kind) for m in inherited}
    by_dispid: dict[int, Method] = {m.dispid: m for m in inherited if m.dispid is not None}
    for method in iface.methods:
        _check_method(iface, method, known)
        if (method.name, method.invoke_kind) in members:
            raise IdlError(f"'{method.vtable_name}' is declared twice in '{iface.name}'", method.line)
        is_method = method.invoke_kind == InvokeKind.METHOD
        if any(name == method.name and (kind == InvokeKind.METHOD) != is_method for name, kind in members):
            raise IdlError(f"'{method.name}' is both a method and a property in '{iface.name}'", method.line)
        members.add((method.name, method.invoke_kind))
        if method.dispid is not None:
            other = by_dispid.setdefault(method.dispid, method)
            if other.name != method.name:
                raise IdlError(
                    f"dispatch id {method.dispid} of '{method.name}' is already used by '{other.name}'", method.line
                )


def _check_method(iface: Interface, method: Method, known: set[str]) -> None:
    where = f"'{method.name}' of '{iface.name}'"
    if iface.dual and method.dispid is None:
        raise IdlError(f"{where} needs an id: the interface is dual", method.line)
    if iface.dual and method.return_type != TypeRef("HRESULT"):
        raise IdlError(f"{where} must return HRESULT: the interface is dual", method.line)
    _check_type(method.return_type, known, method.line)
    names: set[str] = set()
    seen_optional = False
    for index, param in enumerate(method.params):
        _check_type(param.type, known, param.line)
        if param.name in names:
            raise IdlError(f"parameter '{param.name}' of {where} is declared twice", param.line)
        names.add(param.name)
        if param.is_out and param.type.pointers == 0:
            raise IdlError(f"[out] parameter '{param.name}' of {where} must be a pointer", param.line)
        if param.retval and (not param.is_out or param.is_in or index != len(method.params) - 1):
            raise IdlError(f"[retval] parameter '{param.name}' of {where} must be the last, [out] only", param.line)
        if (param.optional or param.defaultvalue is not None) and not param.is_in:
            raise IdlError(f"optional parameter '{param.name}' of {where} must be [in]", param.line)
        if param.optional or param.defaultvalue is not None:
            seen_optional = True
        elif seen_optional and not param.retval:
            raise IdlError(f"parameter '{param.name}' of {where} follows an optional one", param.line)
    if method.invoke_kind == InvokeKind.PROPGET and method.retval is None:
        raise IdlError(f"property get {where} needs an [out, retval] parameter", method.line)
    if method.invoke_kind in (InvokeKind.PROPPUT, InvokeKind.PROPPUTREF):
        if not method.params or method.retval is not None or not method.params[-1].is_in:
            raise IdlError(f"property put {where} must end with an [in] parameter and have no [retval]", method.line)


def _check_type(type_ref: TypeRef, known: set[str], line: int) -> None:
    if type_ref.is_interface:
        if type_ref.name not in known:
            raise IdlError(f"unknown type '{type_ref.name}'", line)
        if type_ref.pointers == 0:
            raise IdlError(f"interface '{type_ref.name}' can only be passed by pointer", line)


def _check_coclass(coclass: Coclass, known: set[str]) -> None:
    names: set[str] = set()
    for member in coclass.interfaces:
        if member.name not in known:
            raise IdlError(f"coclass '{coclass.name}' names unknown interface '{member.name}'", member.line)
        if member.name in names:
            raise IdlError(f"coclass '{coclass.name}' names '{member.name}' twice", member.line)
        names.add(member.name)
    defaults = [m for m in coclass.interfaces if m.is_default and not m.is_source]
    if len(defaults) != 1:
        raise IdlError(f"coclass '{coclass.name}' needs exactly one [default] interface", coclass.line)
