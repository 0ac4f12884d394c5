"""Tokens of the IDL subset the library's definition is written in."""

from __future__ import annotations

import re
from dataclasses import dataclass

from idl_model import IdlError


@dataclass(frozen=True)
class Token:
    kind: str  # "ident", "number", "version", "uuid", "string", "punct" or "end"
    text: str
    line: int

    def describe(self) -> str:
        return "end of file" if self.kind == "end" else f"'{self.text}'"


# Order matters: a uuid starts like a number or a name, a version like a number.
_TOKEN_PATTERNS = [
    ("uuid", r"[0-9A-Fa-f]{8}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{12}(?![\w-])"),
    ("version", r"\d+\.\d+(?![\w.])"),
    ("number", r"(?:0[xX][0-9A-Fa-f]+|\d+)(?![\w.])"),
    ("ident", r"[A-Za-z_]\w*"),
    ("punct", r"[\[\](){};,:*=\-]"),
]
_TOKEN_RE = re.compile("|".join(f"(?P<{kind}>{pattern})" for kind, pattern in _TOKEN_PATTERNS))
_STRING_ESCAPES = {'"': '"', "\\": "\\", "n": "\n", "t": "\t"}


def tokenize(text: str) -> list[Token]:
    tokens: list[Token] = []
    pos = 0
    line = 1
    while pos < len(text):
        char = text[pos]
        if char == "\n":
            line += 1
            pos += 1
        elif char.isspace():
            pos += 1
        elif text.startswith("//", pos):
            end = text.find("\n", pos)
            pos = len(text) if end < 0 else end
        elif text.startswith("/*", pos):
            end = text.find("*/", pos + 2)
            if end < 0:
                raise IdlError("comment is not closed", line)
            line += text.count("\n", pos, end)
            pos = end + 2
        elif char == '"':
            value, pos = _read_string(text, pos, line)
            tokens.append(Token("string", value, line))
        else:
            match = _TOKEN_RE.match(text, pos)
            if match is None:
                raise IdlError(f"unexpected character '{char}'", line)
            tokens.append(Token(match.lastgroup, match.group(), line))
            pos = match.end()
    tokens.append(Token("end", "", line))
    return tokens


def _read_string(text: str, pos: int, line: int) -> tuple[str, int]:
    value = []
    pos += 1
    while pos < len(text) and text[pos] not in '"\n':
        if text[pos] == "\\":
            escaped = text[pos + 1 : pos + 2]
            if escaped not in _STRING_ESCAPES:
                raise IdlError(f"unknown escape '\\{escaped}' in string", line)
            value.append(_STRING_ESCAPES[escaped])
            pos += 2
        else:
            value.append(text[pos])
            pos += 1
    if pos >= len(text) or text[pos] != '"':
        raise IdlError("string is not closed on its line", line)
    return "".join(value), pos + 1
