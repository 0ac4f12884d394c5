#!/usr/bin/env python3
"""Generates the library's interface files from its IDL.

    idlgen.py header IDL OUTPUT   the C++ header of interfaces and ids
    idlgen.py typedesc IDL OUTPUT [--resources RC] [--header NAME]
                                  for Linux: the type description, call stubs and resource
                                  table a module compiles in (typedesc.py)
    idlgen.py typelist IDL OUTPUT the type library as a text listing, for comparing a loaded
                                  library with the definition (typelist.py)
    idlgen.py reference IDL OUTPUT --resources RC --errors CODES --error-status HEADER [--root DIR]
                                  the reference of the object model as Markdown, with the
                                  program ids of the registration scripts that RC lists and
                                  the error codes of CODES (reference.py); with --check, fails
                                  where OUTPUT differs from it instead of writing it
    idlgen.py model IDL           the parsed model as JSON, for reading
"""

from __future__ import annotations

import argparse
import dataclasses
import difflib
import json
import os
import sys
import tempfile
import uuid
from pathlib import Path

from cxx_header import header_text
from error_codes import parse_error_codes, parse_error_status
from idl_model import Definition, IdlError
from idl_parser import parse
from reference import ReferenceSources, check_program_ids, reference_text
from registration import ProgramIds, parse_registration_script, program_ids
from resource_list import ResourceList, parse_resource_list
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


# How a reader of the committed reference makes it afresh.
REFERENCE_REFRESH = "cmake --build BUILD --target lumo_reference_update"


class _InputError(Exception):
    """An IdlError with the file it is about."""

    def __init__(self, source: Path, error: IdlError):
        super().__init__(error.message)
        self.text = error.at(str(source))


def _parsed(path: Path, parse_text, *arguments):
    try:
        return parse_text(path.read_text(encoding="utf-8"), *arguments)
    except IdlError as error:
        raise _InputError(path, error) from None


def registered_classes(definition: Definition, resources: ResourceList) -> dict[uuid.UUID, ProgramIds]:
    """The program ids of the classes, from the registration scripts the resource list names."""
    known = {c.clsid for c in definition.library.coclasses}
    classes: dict[uuid.UUID, ProgramIds] = {}
    for script in (f for f in resources.files if f.type == "REGISTRY"):
        for ids in _parsed(script.path, lambda text: program_ids(parse_registration_script(text))):
            clsid = str(ids.clsid).upper()
            if ids.clsid not in known:
                raise _InputError(script.path, IdlError(f"class id {clsid} is not a class of the IDL", ids.line))
            if ids.clsid in classes:
                raise _InputError(script.path, IdlError(f"class id {clsid} is registered twice", ids.line))
            classes[ids.clsid] = ids
    return classes


def _shown(path: Path, root: Path) -> str:
    return Path(os.path.relpath(path.resolve(), root.resolve())).as_posix()


def make_reference(definition: Definition, options: argparse.Namespace) -> str:
    resources = _parsed(options.resources, parse_resource_list, options.resources.parent)
    classes = registered_classes(definition, resources)
    try:
        check_program_ids(definition, classes)
    except IdlError as error:
        raise _InputError(options.idl, error) from None
    codes = _parsed(options.errors, parse_error_codes)
    status = _parsed(options.error_status, parse_error_status)
    root = options.root
    sources = ReferenceSources(
        _shown(options.idl, root),
        _shown(options.resources.parent, root) + "/*.rgs",
        _shown(options.errors, root),
        REFERENCE_REFRESH,
    )
    return reference_text(definition, classes, codes, status, sources)


def write_reference(definition: Definition, options: argparse.Namespace) -> int:
    try:
        text = make_reference(definition, options)
    except _InputError as error:
        print(error.text, file=sys.stderr)
        return 1
    except OSError as error:
        print(f"{error.filename}: error: {error.strerror}", file=sys.stderr)
        return 1
    if not options.check:
        write_atomically(options.output, text)
        return 0
    committed = options.output.read_text(encoding="utf-8") if options.output.exists() else ""
    if committed == text:
        return 0
    difference = difflib.unified_diff(
        committed.splitlines(), text.splitlines(), str(options.output), "fresh reference", lineterm="", n=1
    )
    print("\n".join(list(difference)[:40]), file=sys.stderr)
    print(
        f"{options.output}: error: differs from the reference the definition makes; refresh it with:"
        f" {options.refresh or REFERENCE_REFRESH}",
        file=sys.stderr,
    )
    return 1


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
    reference = commands.add_parser("reference", help="write the reference of the object model (Markdown)")
    reference.add_argument("idl", type=Path)
    reference.add_argument("output", type=Path)
    reference.add_argument("--resources", type=Path, required=True,
                           help="the module's resource list (.rc), whose registration scripts give the program ids")
    reference.add_argument("--errors", type=Path, required=True, help="the table of error codes (ZoErrorCodes.h)")
    reference.add_argument("--error-status", type=Path, required=True,
                           help="the header that defines E_ZO_EXCEPTION (ZoException.h)")
    reference.add_argument("--root", type=Path, default=Path.cwd(),
                           help="the tree the page names its inputs in (default: the current folder)")
    reference.add_argument("--check", action="store_true", help="compare OUTPUT with a fresh reference; write nothing")
    reference.add_argument("--refresh", help="the command that a failed --check names")
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
    elif options.command == "reference":
        return write_reference(definition, options)
    else:
        print(model_json(definition))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
