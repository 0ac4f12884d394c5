"""A recursive-descent parser of the IDL subset the library's definition uses.

Accepted: imports; object interfaces (dual or custom) with a base and methods; one library
with importlib lines and coclasses. Anything else is an error with its line number.
"""

from __future__ import annotations

import uuid
from typing import Optional

from idl_lexer import Token, tokenize
from idl_model import (
    IMPORTED_CONSTANTS,
    Coclass,
    CoclassInterface,
    Definition,
    IdlError,
    Interface,
    InvokeKind,
    Library,
    Method,
    Param,
    TypeRef,
    check,
)

# Attribute name -> the kind of its argument (None: a flag without one).
_ATTRIBUTE_ARGUMENTS = {
    "object": None,
    "uuid": "uuid",
    "dual": None,
    "nonextensible": None,
    "oleautomation": None,
    "local": None,
    "hidden": None,
    "helpstring": "string",
    "pointer_default": "pointer kind",
    "id": "integer",
    "propget": None,
    "propput": None,
    "propputref": None,
    "restricted": None,
    "in": None,
    "out": None,
    "retval": None,
    "optional": None,
    "defaultvalue": "constant",
    "version": "version",
    "noncreatable": None,
    "default": None,
    "source": None,
}

_ATTRIBUTES_OF = {
    "an interface": {
        "object", "uuid", "dual", "nonextensible", "oleautomation", "local", "hidden", "helpstring", "pointer_default",
    },
    "a method": {"id", "propget", "propput", "propputref", "restricted", "hidden", "helpstring"},
    "a parameter": {"in", "out", "retval", "optional", "defaultvalue"},
    "a library": {"uuid", "version", "helpstring"},
    "a coclass": {"uuid", "helpstring", "noncreatable"},
    "a coclass member": {"default", "source"},
}

_INVOKE_KINDS = {"propget": InvokeKind.PROPGET, "propput": InvokeKind.PROPPUT, "propputref": InvokeKind.PROPPUTREF}
_UNSIGNED_TYPES = ("char", "short", "int", "long")


def parse(text: str) -> Definition:
    """Parses and checks one IDL file; raises IdlError on the first fault."""
    definition = _Parser(tokenize(text)).definition()
    check(definition)
    return definition


class _Attributes:
    """The attributes in one pair of brackets: name -> argument (True for a flag)."""

    def __init__(self, line: int):
        self.line = line
        self.values: dict[str, object] = {}
        self.lines: dict[str, int] = {}

    def only(self, context: str) -> _Attributes:
        """Raises for the first attribute that does not apply to `context`."""
        for name, line in self.lines.items():
            if name not in _ATTRIBUTES_OF[context]:
                raise IdlError(f"attribute '{name}' does not apply to {context}", line)
        return self

    def flag(self, name: str) -> bool:
        return name in self.values

    def get(self, name: str):
        return self.values.get(name)

    def require(self, name: str, owner: str):
        if name not in self.values:
            raise IdlError(f"{owner} needs the attribute [{name}]", self.line)
        return self.values[name]


class _Parser:
    def __init__(self, tokens: list[Token]):
        self._tokens = tokens
        self._pos = 0

    # Token access

    def _peek(self, offset: int = 0) -> Token:
        return self._tokens[min(self._pos + offset, len(self._tokens) - 1)]

    def _next(self) -> Token:
        token = self._peek()
        self._pos = min(self._pos + 1, len(self._tokens) - 1)
        return token

    def _at(self, text: str) -> bool:
        token = self._peek()
        return token.kind in ("ident", "punct") and token.text == text

    def _accept(self, text: str) -> bool:
        if self._at(text):
            self._next()
            return True
        return False

    def _expect(self, text: str) -> Token:
        if not self._at(text):
            self._fail(f"'{text}'")
        return self._next()

    def _expect_kind(self, kind: str, what: str) -> Token:
        if self._peek().kind != kind:
            self._fail(what)
        return self._next()

    def _fail(self, expected: str):
        token = self._peek()
        raise IdlError(f"expected {expected} but found {token.describe()}", token.line)

    # File and library

    def definition(self) -> Definition:
        imports: list[str] = []
        cpp_quotes: list[str] = []
        interfaces: list[Interface] = []
        library: Optional[Library] = None
        while self._peek().kind != "end":
            if self._accept("import"):
                imports.append(self._expect_kind("string", "a file name").text)
                while self._accept(","):
                    imports.append(self._expect_kind("string", "a file name").text)
                self._expect(";")
                continue
            if self._accept("cpp_quote"):
                self._expect("(")
                cpp_quotes.append(self._expect_kind("string", "the text of a cpp_quote").text)
                self._expect(")")
                continue
            attributes = self._attributes()
            if self._accept("interface"):
                interfaces.append(self._interface(attributes.only("an interface")))
            elif self._at("library") and library is None:
                self._next()
                library = self._library(attributes.only("a library"))
            elif self._at("library"):
                raise IdlError("a second library is not supported", self._peek().line)
            else:
                self._fail("'import', 'interface' or 'library'")
        if library is None:
            raise IdlError("the file defines no library", self._peek().line)
        return Definition(imports, interfaces, library, cpp_quotes)

    def _library(self, attributes: _Attributes) -> Library:
        name_token = self._expect_kind("ident", "a library name")
        owner = f"library '{name_token.text}'"
        libid = attributes.require("uuid", owner)
        version = attributes.require("version", owner)
        importlibs: list[str] = []
        coclasses: list[Coclass] = []
        self._expect("{")
        while not self._accept("}"):
            if self._accept("importlib"):
                self._expect("(")
                importlibs.append(self._expect_kind("string", "a type library file name").text)
                self._expect(")")
                self._expect(";")
                continue
            coclass_attributes = self._attributes().only("a coclass")
            self._expect("coclass")
            coclasses.append(self._coclass(coclass_attributes))
        self._accept(";")
        return Library(
            name_token.text, libid, version, coclasses, importlibs, attributes.get("helpstring"), name_token.line
        )

    def _coclass(self, attributes: _Attributes) -> Coclass:
        name_token = self._expect_kind("ident", "a coclass name")
        clsid = attributes.require("uuid", f"coclass '{name_token.text}'")
        members: list[CoclassInterface] = []
        self._expect("{")
        while not self._accept("}"):
            member_attributes = self._attributes().only("a coclass member")
            self._expect("interface")
            member = self._expect_kind("ident", "an interface name")
            self._expect(";")
            members.append(
                CoclassInterface(
                    member.text, member_attributes.flag("default"), member_attributes.flag("source"), member.line
                )
            )
        self._accept(";")
        return Coclass(
            name_token.text,
            clsid,
            members,
            attributes.flag("noncreatable"),
            attributes.get("helpstring"),
            name_token.line,
        )

    # Interfaces

    def _interface(self, attributes: _Attributes) -> Interface:
        name_token = self._expect_kind("ident", "an interface name")
        owner = f"interface '{name_token.text}'"
        attributes.require("object", owner)
        iid = attributes.require("uuid", owner)
        self._expect(":")
        base = self._expect_kind("ident", "a base interface name").text
        methods: list[Method] = []
        self._expect("{")
        while not self._accept("}"):
            methods.append(self._method())
        self._accept(";")
        return Interface(
            name_token.text,
            iid,
            base,
            methods,
            dual=attributes.flag("dual"),
            oleautomation=attributes.flag("oleautomation"),
            nonextensible=attributes.flag("nonextensible"),
            local=attributes.flag("local"),
            hidden=attributes.flag("hidden"),
            helpstring=attributes.get("helpstring"),
            line=name_token.line,
        )

    def _method(self) -> Method:
        attributes = self._attributes().only("a method")
        return_type = self._type()
        name_token = self._expect_kind("ident", "a method name")
        kinds = [kind for flag, kind in _INVOKE_KINDS.items() if attributes.flag(flag)]
        if len(kinds) > 1:
            raise IdlError(f"'{name_token.text}' may have only one of propget, propput and propputref", attributes.line)
        params: list[Param] = []
        self._expect("(")
        if self._at("void") and self._peek(1).text == ")":
            self._next()
        if not self._at(")"):
            params.append(self._param())
            while self._accept(","):
                params.append(self._param())
        self._expect(")")
        self._expect(";")
        return Method(
            name_token.text,
            kinds[0] if kinds else InvokeKind.METHOD,
            attributes.get("id"),
            return_type,
            params,
            restricted=attributes.flag("restricted"),
            hidden=attributes.flag("hidden"),
            helpstring=attributes.get("helpstring"),
            line=name_token.line,
        )

    def _param(self) -> Param:
        attributes = self._attributes().only("a parameter")
        param_type = self._type()
        name_token = self._expect_kind("ident", "a parameter name")
        is_out = attributes.flag("out")
        return Param(
            name_token.text,
            param_type,
            is_in=attributes.flag("in") or not is_out,
            is_out=is_out,
            optional=attributes.flag("optional"),
            retval=attributes.flag("retval"),
            defaultvalue=attributes.get("defaultvalue"),
            line=name_token.line,
        )

    def _type(self) -> TypeRef:
        name = self._expect_kind("ident", "a type").text
        if name == "unsigned":
            second = self._expect_kind("ident", "char, short, int or long")
            if second.text not in _UNSIGNED_TYPES:
                raise IdlError(f"expected char, short, int or long but found '{second.text}'", second.line)
            name = f"unsigned {second.text}"
        pointers = 0
        while self._accept("*"):
            pointers += 1
        return TypeRef(name, pointers)

    # Attributes

    def _attributes(self) -> _Attributes:
        """An optional bracketed attribute list."""
        attributes = _Attributes(self._peek().line)
        if not self._accept("["):
            return attributes
        while True:
            name_token = self._expect_kind("ident", "an attribute")
            name = name_token.text
            if name not in _ATTRIBUTE_ARGUMENTS:
                raise IdlError(f"unknown attribute '{name}'", name_token.line)
            if name in attributes.values:
                raise IdlError(f"attribute '{name}' is given twice", name_token.line)
            argument_kind = _ATTRIBUTE_ARGUMENTS[name]
            attributes.lines[name] = name_token.line
            if argument_kind is None:
                attributes.values[name] = True
            else:
                self._expect("(")
                attributes.values[name] = self._attribute_argument(argument_kind)
                self._expect(")")
            if not self._accept(","):
                break
        self._expect("]")
        return attributes

    def _attribute_argument(self, kind: str):
        token = self._peek()
        if kind == "uuid":
            if token.kind == "string":
                try:
                    value = uuid.UUID(self._next().text)
                except ValueError:
                    raise IdlError(f"'{token.text}' is not a uuid", token.line) from None
                return value
            return uuid.UUID(self._expect_kind("uuid", "a uuid").text)
        if kind == "string":
            return self._expect_kind("string", "a string").text
        if kind == "version":
            if token.kind == "number":
                return (self._number(self._next()), 0)
            major, minor = self._expect_kind("version", "a version such as 1.0").text.split(".")
            return (int(major), int(minor))
        if kind == "pointer kind":
            value = self._expect_kind("ident", "unique, ref or ptr").text
            if value not in ("unique", "ref", "ptr"):
                raise IdlError(f"expected unique, ref or ptr but found '{value}'", token.line)
            return value
        if kind == "constant" and token.kind == "string":
            return self._next().text
        return self._integer()

    def _integer(self) -> int:
        negative = self._accept("-")
        token = self._peek()
        if token.kind == "ident" and token.text in IMPORTED_CONSTANTS:
            value = IMPORTED_CONSTANTS[self._next().text]
        elif token.kind == "ident":
            raise IdlError(f"unknown constant '{token.text}'", token.line)
        else:
            value = self._number(self._expect_kind("number", "a number"))
        return -value if negative else value

    @staticmethod
    def _number(token: Token) -> int:
        text = token.text
        return int(text, 16) if text[:2].lower() == "0x" else int(text, 10)
