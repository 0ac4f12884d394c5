"""Reads the program ids of the classes from the module's registration scripts (.rgs), the
registrar's language:

    HKCR
    {
        NoRemove CLSID
        {
            ForceRemove '{CLSID}' = s 'LumoItem Class'
            {
                ProgID = s 'LumoItems.LumoItem.1'
                VersionIndependentProgID = s 'LumoItems.LumoItem'
                val ThreadingModel = s 'Both'
            }
        }
    }

A key is a name, optionally preceded by NoRemove, ForceRemove or Delete (val marks a named
value), optionally followed by "= TYPE VALUE" and a braced list of subkeys.
"""

from __future__ import annotations

import re
import uuid
from dataclasses import dataclass, field
from typing import Optional

from idl_model import IdlError

_TOKEN = re.compile(r"\s*(?:('(?:[^']|'')*')|([{}=])|([^\s{}=']+))")
_FLAGS = {"noremove", "forceremove", "delete", "val"}


@dataclass
class RegistryKey:
    name: str
    value: Optional[str] = None
    subkeys: list[RegistryKey] = field(default_factory=list)
    line: int = 0

    def subkey(self, name: str) -> Optional[RegistryKey]:
        return next((k for k in self.subkeys if k.name.lower() == name.lower()), None)


@dataclass(frozen=True)
class ProgramIds:
    clsid: uuid.UUID
    prog_id: str  # with its version, e.g. LumoItems.LumoItem.1
    version_independent: str
    line: int = 0


def parse_registration_script(text: str) -> list[RegistryKey]:
    """The script's root keys (HKCR...) with their subkeys."""
    tokens = _tokens(text)
    keys, index = _keys(tokens, 0)
    if index != len(tokens):
        raise IdlError("'}' without its '{'", tokens[index][1])
    return keys


def program_ids(roots: list[RegistryKey]) -> list[ProgramIds]:
    """The classes that HKCR\\CLSID of a script registers, with their program ids."""
    found = []
    for root in roots:
        classes = root.subkey("CLSID") if root.name.upper() in ("HKCR", "HKEY_CLASSES_ROOT") else None
        for key in classes.subkeys if classes else []:
            found.append(_class_ids(key))
    return found


def _class_ids(key: RegistryKey) -> ProgramIds:
    try:
        clsid = uuid.UUID(key.name)
    except ValueError:
        raise IdlError(f"'{key.name}' under CLSID is not a class id", key.line) from None
    ids = []
    for name in ("ProgID", "VersionIndependentProgID"):
        subkey = key.subkey(name)
        if subkey is None or not subkey.value:
            raise IdlError(f"class {key.name} has no {name}", key.line)
        ids.append(subkey.value)
    return ProgramIds(clsid, ids[0], ids[1], key.line)


def _tokens(text: str) -> list[tuple[str, int]]:
    tokens = []
    for number, line in enumerate(text.splitlines(), start=1):
        position = 0
        while position < len(line):
            match = _TOKEN.match(line, position)
            if match is None or match.end() == position:
                if line[position:].strip():
                    raise IdlError(f"cannot read '{line[position:].strip()}'", number)
                break
            quoted, punct, word = match.groups()
            token = quoted if quoted is not None else punct or word
            if token is not None:
                tokens.append((token, number))
            position = match.end()
    return tokens


def _keys(tokens: list[tuple[str, int]], index: int) -> tuple[list[RegistryKey], int]:
    """The keys from `index` up to a closing brace or the end."""
    keys = []
    while index < len(tokens) and tokens[index][0] != "}":
        key, index = _key(tokens, index)
        keys.append(key)
    return keys, index


def _key(tokens: list[tuple[str, int]], index: int) -> tuple[RegistryKey, int]:
    while index < len(tokens) and tokens[index][0].lower() in _FLAGS:
        index += 1
    if index >= len(tokens) or tokens[index][0] in ("{", "=", "}"):
        raise IdlError("expected a key name", tokens[min(index, len(tokens) - 1)][1])
    name, line = tokens[index]
    key = RegistryKey(_unquote(name), line=line)
    index += 1
    if _at(tokens, index, "="):
        if index + 2 >= len(tokens):
            raise IdlError(f"key '{key.name}' needs a type and a value after '='", line)
        key.value = _unquote(tokens[index + 2][0])
        index += 3
    if _at(tokens, index, "{"):
        key.subkeys, index = _keys(tokens, index + 1)
        if not _at(tokens, index, "}"):
            raise IdlError(f"key '{key.name}' has no closing '}}'", line)
        index += 1
    return key, index


def _at(tokens: list[tuple[str, int]], index: int, text: str) -> bool:
    return index < len(tokens) and tokens[index][0] == text


def _unquote(token: str) -> str:
    if len(token) >= 2 and token.startswith("'") and token.endswith("'"):
        return token[1:-1].replace("''", "'")
    return token
