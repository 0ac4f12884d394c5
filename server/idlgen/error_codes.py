"""Reads the library's table of error codes (zolib/error/ZoErrorCodes.h) for the reference.

    // raised when: a sentence for readers of the reference, which may go on
    // over the comment lines that follow it
    inline constexpr CZoErrorCode NAME{1010, OLESTR("message")};

Every entry needs its "raised when" comment, right above it: a code without one is an error,
so the table and its descriptions cannot drift apart. Adjacent OLESTR pieces join, as the
compiler joins them; other comments are the header's own.
"""

from __future__ import annotations

import re
from dataclasses import dataclass
from typing import Optional

from idl_model import IdlError

DESCRIPTION_MARK = "// raised when:"

_ENTRY = re.compile(
    r"\s*inline\s+constexpr\s+CZoErrorCode\s+(?P<name>\w+)\s*"
    r"\{\s*(?P<number>\d+)\s*,\s*(?P<pieces>(?:OLESTR\(\s*\"(?:[^\"\\]|\\.)*\"\s*\)\s*)+)\}\s*;\s*$"
)
_PIECE = re.compile(r"OLESTR\(\s*\"((?:[^\"\\]|\\.)*)\"\s*\)")
_ESCAPES = {"\\": "\\", '"': '"', "'": "'", "n": "\n", "t": "\t"}
_STATUS = re.compile(r"\bE_ZO_EXCEPTION\s*=\s*_HRESULT_TYPEDEF_\(\s*(0x[0-9A-Fa-f]+)L?\s*\)")


@dataclass(frozen=True)
class ErrorCode:
    name: str
    number: int
    message: str
    raised_when: str
    line: int


def parse_error_codes(text: str) -> list[ErrorCode]:
    """The entries in file order; raises IdlError for an entry without a description, a
    description without an entry, an entry that cannot be read, or a number used twice."""
    codes: list[ErrorCode] = []
    description: Optional[list[str]] = None
    description_line = 0
    for number, line in enumerate(text.splitlines(), start=1):
        stripped = line.strip()
        if stripped.startswith(DESCRIPTION_MARK):
            if description is not None:
                raise IdlError("a second 'raised when' comment before an entry", number)
            description = [stripped[len(DESCRIPTION_MARK):].strip()]
            description_line = number
        elif stripped.startswith("//") and description is not None:
            description.append(stripped[2:].strip())
        elif "CZoErrorCode" in stripped and "constexpr" in stripped:
            codes.append(_entry(line, number, description))
            description = None
        elif description is not None:
            raise IdlError("a 'raised when' comment must stand right above its entry", description_line)
    if description is not None:
        raise IdlError("a 'raised when' comment without an entry below it", description_line)
    _check_numbers(codes)
    return codes


def parse_error_status(text: str) -> int:
    """The status a method returns for an error of the library (ZoException.h)."""
    match = _STATUS.search(text)
    if match is None:
        raise IdlError("no definition of E_ZO_EXCEPTION", 1)
    return int(match.group(1), 16)


def _entry(line: str, number: int, description: Optional[list[str]]) -> ErrorCode:
    match = _ENTRY.match(line)
    if match is None:
        raise IdlError("expected an entry NAME{number, OLESTR(\"message\")...};", number)
    name = match.group("name")
    raised_when = " ".join(part for part in description or [] if part)
    if not raised_when:
        raise IdlError(f"error code {name} has no '{DESCRIPTION_MARK}' comment above it", number)
    message = "".join(_unescape(piece, number) for piece in _PIECE.findall(match.group("pieces")))
    return ErrorCode(name, int(match.group("number")), message, raised_when, number)


def _unescape(piece: str, line: int) -> str:
    out = []
    index = 0
    while index < len(piece):
        char = piece[index]
        if char == "\\":
            escaped = piece[index + 1 : index + 2]
            if escaped not in _ESCAPES:
                raise IdlError(f"unsupported escape '\\{escaped}' in a message", line)
            out.append(_ESCAPES[escaped])
            index += 2
            continue
        out.append(char)
        index += 1
    return "".join(out)


def _check_numbers(codes: list[ErrorCode]) -> None:
    seen: dict[int, str] = {}
    for code in codes:
        if code.number in seen:
            raise IdlError(f"error code {code.name} has the number {code.number} of {seen[code.number]}", code.line)
        seen[code.number] = code.name
