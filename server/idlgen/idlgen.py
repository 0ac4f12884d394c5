#!/usr/bin/env python3
"""Generates the library's interface files from its IDL.

    idlgen.py header IDL OUTPUT   the C++ header of interfaces and ids
    idlgen.py model IDL           the parsed model as JSON, for reading
"""

from __future__ import annotations

import argparse
import dataclasses
import json
import os
import sys
import tempfile
import uuid
from pathlib import Path

from cxx_header import header_text
from idl_model import Definition, IdlError
from idl_parser import parse


def load(path: Path) -> Definition:
    return parse(path.read_text(encoding="utf-8"))


def write_atomically(path: Path, text: str) -> None:
    """Replaces the file whole, so a failed run never leaves half a header behind."""
    path.parent.mkdir(parents=True, exist_ok=True)
    handle, temporary = tempfile.mkstemp(dir=path.parent, prefix=path.name, suffix=".tmp")
    try:
        with os.fdopen(handle, "w", encoding="utf-8", newline="\n") as file:
            file.write(text)
        os.replace(temporary, path)
    except BaseException:
        os.unlink(temporary)
        raise


def model_json(definition: Definition) -> str:
    # Invoke kinds come out as their INVOKEKIND numbers.
    def plain(value):
        if isinstance(value, uuid.UUID):
            return str(value).upper()
        raise TypeError(f"cannot write {type(value).__name__}")

    return json.dumps(dataclasses.asdict(definition), default=plain, indent=2)


def main(argv: list[str]) -> int:
    arguments = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    commands = arguments.add_subparsers(dest="command", required=True)
    header = commands.add_parser("header", help="write the C++ header")
    header.add_argument("idl", type=Path)
    header.add_argument("output", type=Path)
    model = commands.add_parser("model", help="print the parsed model as JSON")
    model.add_argument("idl", type=Path)
    options = arguments.parse_args(argv)

    try:
        definition = load(options.idl)
    except IdlError as error:
        print(error.at(str(options.idl)), file=sys.stderr)
        return 1
    except OSError as error:
        print(f"{options.idl}: error: {error.strerror}", file=sys.stderr)
        return 1

    if options.command == "header":
        write_atomically(options.output, header_text(definition, options.idl.name))
    else:
        print(model_json(definition))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
