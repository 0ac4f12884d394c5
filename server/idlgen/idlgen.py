#!/usr/bin/env python3
"""Generates the library's interface files from its IDL.

    idlgen.py header IDL OUTPUT   the C++ header of interfaces and ids
    idlgen.py typedesc IDL OUTPUT [--resources RC] [--header NAME]
                                  for Linux: the type description, call stubs and resource
                                  table a module compiles in (typedesc.py)
    idlgen.py typelist IDL OUTPUT the type library as a text listing, for comparing a loaded
                                  library with the definition (typelist.py)
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
from resource_list import parse_resource_list
from typedesc import typedesc_text
from typelist import typelist_text


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


def write_typedesc(definition: Definition, options: argparse.Namespace) -> int:
    source = options.idl
    try:
        resources = None
        if options.resources is not None:
            source = options.resources
            resources = parse_resource_list(options.resources.read_text(encoding="utf-8"), options.resources.parent)
        source = options.idl
        header = options.header or options.idl.with_suffix(".h").name
        text = typedesc_text(definition, header, resources, options.idl.name)
    except IdlError as error:
        print(error.at(str(source)), file=sys.stderr)
        return 1
    except OSError as error:
        print(f"{source}: error: {error.strerror}", file=sys.stderr)
        return 1
    write_atomically(options.output, text)
    return 0


def main(argv: list[str]) -> int:
    arguments = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    commands = arguments.add_subparsers(dest="command", required=True)
    header = commands.add_parser("header", help="write the C++ header")
    header.add_argument("idl", type=Path)
    header.add_argument("output", type=Path)
    typedesc = commands.add_parser("typedesc", help="write the Linux type description and resource table")
    typedesc.add_argument("idl", type=Path)
    typedesc.add_argument("output", type=Path)
    typedesc.add_argument("--resources", type=Path, help="the module's resource list (.rc)")
    typedesc.add_argument("--header", help="the interface header to include (default: IDL name with .h)")
    typelist = commands.add_parser("typelist", help="write the type library as a text listing")
    typelist.add_argument("idl", type=Path)
    typelist.add_argument("output", type=Path)
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
    elif options.command == "typelist":
        write_atomically(options.output, typelist_text(definition))
    elif options.command == "typedesc":
        return write_typedesc(definition, options)
    else:
        print(model_json(definition))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
