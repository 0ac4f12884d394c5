"""Reads a module's resource list: the subset of the resource-script (.rc) language that
`windres` compiles for the Windows DLL and that typedesc.py turns into the Linux table.

    // comments, and preprocessor lines (#include ...), are skipped
    1 TYPELIB "LumoItems.tlb"         a numbered resource of a named type, from a file
    101 REGISTRY "LumoItems.rgs"
    STRINGTABLE
    BEGIN
        100 "LumoItems"               "" stands for one quote, \\ \" \n \t \0 as in C
    END

Types and names are numbers or words; the standard numbered types (RCDATA, STRINGTABLE...)
have their RT_ numbers. File names are relative to the list's folder.
"""

from __future__ import annotations

import re
from dataclasses import dataclass
from pathlib import Path
from typing import Union

from idl_model import IdlError

# The resource types whose words stand for RT_ numbers.
STANDARD_TYPES = {"RCDATA": 10, "MESSAGETABLE": 11, "HTML": 23, "MANIFEST": 24}
RT_STRING = 6

Name = Union[int, str]


@dataclass(frozen=True)
class FileResource:
    type: Name
    name: Name
    path: Path
    line: int


@dataclass(frozen=True)
class ResourceList:
    files: list[FileResource]
    strings: dict[int, str]


_TOKEN = re.compile(r'\s*(?:(//[^\n]*)|("(?:[^"]|"")*")|([A-Za-z0-9_.]+)|(\S))')
_ESCAPES = {"\\": "\\", '"': '"', "n": "\n", "t": "\t", "r": "\r", "0": "\0", "a": "\a"}


def parse_resource_list(text: str, folder: Path) -> ResourceList:
    tokens = _tokens(text)
    files: list[FileResource] = []
    strings: dict[int, str] = {}
    index = 0
    while index < len(tokens):
        word, line = tokens[index]
        if word.upper() == "STRINGTABLE":
            index = _string_table(tokens, index + 1, strings)
            continue
        if index + 2 >= len(tokens):
            raise IdlError(f"resource '{word}' needs a type and a file", line)
        type_word, _ = tokens[index + 1]
        file_word, _ = tokens[index + 2]
        if not file_word.startswith('"'):
            raise IdlError(f"resource '{word}' needs a quoted file name", line)
        files.append(FileResource(_type(type_word), _name(word), folder / _unquote(file_word, line), line))
        index += 3
    return ResourceList(files, strings)


def _tokens(text: str) -> list[tuple[str, int]]:
    tokens = []
    for number, line in enumerate(text.splitlines(), start=1):
        if line.lstrip().startswith("#"):
            continue
        for match in _TOKEN.finditer(line):
            comment, quoted, word, other = match.groups()
            if comment:
                break
            token = quoted or word or other
            if token:
                tokens.append((token, number))
    return tokens


def _string_table(tokens: list[tuple[str, int]], index: int, strings: dict[int, str]) -> int:
    if index >= len(tokens) or tokens[index][0].upper() not in ("BEGIN", "{"):
        raise IdlError("STRINGTABLE needs BEGIN", tokens[index - 1][1])
    index += 1
    while index < len(tokens) and tokens[index][0].upper() not in ("END", "}"):
        word, line = tokens[index]
        if index + 1 >= len(tokens):
            raise IdlError(f"string {word} needs a text", line)
        text_word = tokens[index + 1][0]
        if text_word == ",":
            index += 1
            text_word = tokens[index + 1][0]
        identifier = _number(word, line)
        if identifier in strings:
            raise IdlError(f"string {identifier} is defined twice", line)
        strings[identifier] = _unquote(text_word, line)
        index += 2
    if index >= len(tokens):
        raise IdlError("STRINGTABLE has no END", tokens[-1][1])
    return index + 1


def _name(word: str) -> Name:
    return int(word, 0) if word[0].isdigit() else word.upper()


def _type(word: str) -> Name:
    name = _name(word)
    return STANDARD_TYPES.get(name, name) if isinstance(name, str) else name


def _number(word: str, line: int) -> int:
    try:
        value = int(word, 0)
    except ValueError:
        raise IdlError(f"'{word}' is not a string number", line) from None
    if not 0 <= value <= 0xFFFF:
        raise IdlError(f"string number {value} is out of range", line)
    return value


def _unquote(word: str, line: int) -> str:
    if len(word) < 2 or not (word.startswith('"') and word.endswith('"')):
        raise IdlError(f"expected a quoted text, found {word}", line)
    body = word[1:-1].replace('""', '"')
    out = []
    index = 0
    while index < len(body):
        char = body[index]
        if char == "\\" and index + 1 < len(body) and body[index + 1] in _ESCAPES:
            out.append(_ESCAPES[body[index + 1]])
            index += 2
            continue
        out.append(char)
        index += 1
    return "".join(out)
