"""The IDL parser on the library's own definition and on faulty ones, the header's type
mapping, the reference's inputs (error table, registration scripts) and its rendering, and
the command line's error contract."""

import re
import subprocess
import sys
import tempfile
import unittest
from pathlib import Path

ROOT = Path(__file__).resolve().parents[2]
SERVER = ROOT / "server"
sys.path.insert(0, str(SERVER / "idlgen"))

from cxx_header import header_text  # noqa: E402
from error_codes import parse_error_codes  # noqa: E402
from idl_model import IdlError  # noqa: E402
from idl_parser import parse  # noqa: E402
from idlgen import registered_classes  # noqa: E402
from reference import param_text  # noqa: E402
from registration import parse_registration_script, program_ids  # noqa: E402
from resource_list import parse_resource_list  # noqa: E402

LUMO_IDL = SERVER / "LumoItems.idl"
LUMO_RC = SERVER / "LumoItems.rc"
ERROR_CODES = ROOT / "zolib" / "error" / "ZoErrorCodes.h"
ERROR_STATUS = ROOT / "zolib" / "error" / "ZoException.h"


def flags(param):
    words = [("in", param.is_in), ("out", param.is_out), ("optional", param.optional), ("retval", param.retval)]
    return " ".join(word for word, present in words if present)


class LibraryDefinitionTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.definition = parse(LUMO_IDL.read_text(encoding="utf-8"))

    def method(self, interface, vtable_name):
        return next(m for m in self.definition.interface(interface).methods if m.vtable_name == vtable_name)

    def test_library_and_its_classes(self):
        library = self.definition.library
        self.assertEqual((library.name, library.version), ("LumoItemsLib", (1, 0)))
        self.assertEqual(library.importlibs, ["stdole2.tlb"])
        self.assertEqual(
            [(c.name, c.default_interface, [i.name for i in c.interfaces]) for c in library.coclasses],
            [
                ("LumoEnumVARIANT", "ILumoEnumVARIANT", ["ILumoEnumVARIANT", "IEnumVARIANT"]),
                ("LumoEnum", "ILumoEnum", ["ILumoEnum"]),
                ("LumoEnumProperty", "ILumoEnumProperty", ["ILumoEnumProperty"]),
                ("LumoItem", "ILumoItem", ["ILumoItem"]),
                ("LumoProperty", "ILumoProperty", ["ILumoProperty"]),
            ],
        )

    def test_interfaces_and_their_bases(self):
        self.assertEqual(
            [(i.name, i.base, i.dual, self.definition.root_base(i).name) for i in self.definition.interfaces],
            [
                ("ILumoItemBase", "IDispatch", True, "IDispatch"),
                ("ILumoProperty", "ILumoItemBase", True, "IDispatch"),
                ("ILumoEnumProperty", "ILumoItemBase", True, "IDispatch"),
                ("ILumoItem", "ILumoItemBase", True, "IDispatch"),
                ("ILumoEnum", "ILumoItemBase", True, "IDispatch"),
                ("ILumoEnumVARIANT", "IUnknown", False, "IUnknown"),
            ],
        )

    def test_members_and_dispatch_ids_in_slot_order(self):
        expected = {
            "ILumoItemBase": [("ToString", 0xFF01), ("SaveXML", 0xFF02), ("LoadXML", 0xFF03)],
            "ILumoProperty": [
                ("get_Name", 1), ("put_Name", 1), ("get_Value", 0), ("put_Value", 0),
                ("get_Changed", 2), ("put_Changed", 2), ("get_Namespace", 3), ("put_Namespace", 3),
            ],
            "ILumoEnumProperty": [
                ("get_Item", 0), ("put_Item", 0), ("get__NewEnum", -4), ("Add", 1), ("Remove", 2),
                ("get_Count", 3), ("Clear", 4), ("KeyExists", 5), ("put_Changed", 6),
                ("IsPropertyChanged", 7), ("SetPropertyChanged", 8),
            ],
            "ILumoItem": [
                ("get_GUID", 1), ("put_GUID", 1), ("get_SchemaType", 3), ("put_SchemaType", 3),
                ("get_Properties", 0), ("put_Properties", 0), ("Clone", 2), ("get_Changed", 4), ("put_Changed", 4),
            ],
            "ILumoEnum": [
                ("get_Item", 0), ("put_Item", 0), ("get__NewEnum", -4), ("get_Key", 1), ("Add", 2),
                ("Remove", 3), ("get_Count", 4), ("Clear", 5), ("AddAll", 6), ("KeyExists", 7),
                ("Find", 8), ("FindAll", 9),
            ],
            "ILumoEnumVARIANT": [("SetEnumHost", None)],
        }
        for name, members in expected.items():
            with self.subTest(name):
                methods = self.definition.interface(name).methods
                self.assertEqual([(m.vtable_name, m.dispid) for m in methods], members)

    def test_parameters(self):
        cases = [
            ("ILumoItemBase", "ToString", [("nIndent", "VARIANT", "in optional"), ("pStr", "BSTR*", "out retval")]),
            ("ILumoItemBase", "LoadXML", [("strXML", "BSTR", "in")]),
            ("ILumoProperty", "put_Value", [("newVal", "VARIANT", "in")]),
            (
                "ILumoEnumProperty",
                "get_Item",
                [("strName", "BSTR", "in"), ("strNamespace", "BSTR", "in"), ("pvarItem", "VARIANT*", "out retval")],
            ),
            ("ILumoEnumProperty", "put_Changed", [("bNewVal", "VARIANT_BOOL", "in")]),
            ("ILumoEnumProperty", "get__NewEnum", [("ppUnk", "IUnknown**", "out retval")]),
            ("ILumoItem", "Clone", [("objTarget", "VARIANT", "in optional"), ("ppiRetval", "ILumoItem**", "out retval")]),
            ("ILumoItem", "put_Properties", [("newVal", "ILumoEnumProperty*", "in")]),
            ("ILumoEnum", "get_Key", [("nIndex", "long", "in"), ("pvarKey", "VARIANT*", "out retval")]),
            ("ILumoEnum", "Add", [("vItem", "VARIANT", "in"), ("vKey", "VARIANT", "in optional")]),
            ("ILumoEnum", "AddAll", [("piEnum", "ILumoEnum*", "in")]),
            (
                "ILumoEnum",
                "Find",
                [
                    ("strName", "BSTR", "in"), ("strNamespace", "BSTR", "in"), ("varItem", "VARIANT", "in"),
                    ("ppiRetval", "ILumoItemBase**", "out retval"),
                ],
            ),
            (
                "ILumoEnumVARIANT",
                "SetEnumHost",
                [("pEnumReference", "IUnknown*", "in"), ("pEnumHost", "void*", "in"), ("nCurrentIndex", "long", "in")],
            ),
        ]
        for interface, member, params in cases:
            with self.subTest(f"{interface}::{member}"):
                method = self.method(interface, member)
                self.assertEqual([(p.name, str(p.type), flags(p)) for p in method.params], params)

    def test_only_the_enumerators_are_restricted(self):
        flagged = [
            (i.name, m.vtable_name, m.restricted, m.hidden)
            for i in self.definition.interfaces
            for m in i.methods
            if m.restricted or m.hidden
        ]
        self.assertEqual(
            flagged, [("ILumoEnumProperty", "get__NewEnum", True, False), ("ILumoEnum", "get__NewEnum", True, False)]
        )

    def test_every_member_has_a_help_string(self):
        missing = [f"{i.name}::{m.vtable_name}" for i in self.definition.interfaces for m in i.methods if not m.helpstring]
        self.assertEqual(missing, [])

    def test_enumerator_interface_is_custom_and_local(self):
        iface = self.definition.interface("ILumoEnumVARIANT")
        self.assertEqual((iface.dual, iface.oleautomation, iface.local), (False, False, True))


VALID_IDL = """\
import "oaidl.idl";
[object, uuid(11111111-2222-3333-4444-555555555555), dual, oleautomation]
interface ITest : IDispatch
{
    [propget, id(1)] HRESULT Name([out, retval] BSTR* pVal);
    [propput, id(1)] HRESULT Name([in] BSTR newVal);
    [id(2)] HRESULT Run([in, optional] VARIANT v);
};
[uuid(11111111-2222-3333-4444-666666666666), version(1.0)]
library TestLib
{
    importlib("stdole2.tlb");
    [uuid(11111111-2222-3333-4444-777777777777)]
    coclass Test { [default] interface ITest; };
};
"""

# (what, text replaced in VALID_IDL, replacement, line of the error, part of its message)
MALFORMED_CASES = [
    ("missing semicolon", "BSTR* pVal);", "BSTR* pVal)", 6, "expected ';' but found '['"),
    ("unknown attribute", "[id(2)]", "[id(2), frobnicate]", 7, "unknown attribute 'frobnicate'"),
    ("attribute out of place", "[in, optional]", "[in, propget]", 7, "'propget' does not apply to a parameter"),
    ("unknown type", "VARIANT v", "VARIANTX v", 7, "unknown type 'VARIANTX'"),
    ("retval not last", "[in, optional] VARIANT v", "[out, retval] BSTR* p, [in] long n", 7, "must be the last"),
    ("dispatch id used twice", "[id(2)]", "[id(1)]", 7, "dispatch id 1 of 'Run' is already used by 'Name'"),
    ("dual member without id", "[id(2)] HRESULT", "HRESULT", 7, "needs an id"),
    ("out by value", "[out, retval] BSTR* pVal", "[out, retval] BSTR pVal", 5, "must be a pointer"),
    ("property put with retval", "[in] BSTR newVal", "[out, retval] BSTR* newVal", 6, "property put"),
    ("property get without retval", "[out, retval] BSTR* pVal", "[in] BSTR pVal", 5, "property get"),
    ("malformed uuid", "4444-555555555555", "4444-55555", 2, "expected a uuid"),
    ("base not defined", "ITest : IDispatch", "ITest : IBase", 3, "base interface 'IBase'"),
    ("comment not closed", "[id(2)] HRESULT Run", "/* [id(2)] HRESULT Run", 7, "comment is not closed"),
    ("string not closed", '"stdole2.tlb")', '"stdole2.tlb)', 12, "string is not closed"),
    ("library without version", ", version(1.0)]", "]", 9, "needs the attribute [version]"),
    ("uuid used twice", "4444-777777777777", "4444-555555555555", 14, "is already used"),
    ("coclass of an unknown interface", "interface ITest; }", "interface IMissing; }", 14, "'IMissing'"),
    ("coclass without default", "[default] interface", "interface", 14, "exactly one [default]"),
]


class MalformedDefinitionTest(unittest.TestCase):
    def test_valid_template_parses(self):
        self.assertEqual(parse(VALID_IDL).library.coclasses[0].default_interface, "ITest")

    def test_errors_name_their_line(self):
        for what, old, new, line, message in MALFORMED_CASES:
            with self.subTest(what):
                self.assertEqual(VALID_IDL.count(old), 1, "the case must change exactly one place")
                with self.assertRaises(IdlError) as raised:
                    parse(VALID_IDL.replace(old, new))
                self.assertEqual(raised.exception.line, line, raised.exception.message)
                self.assertIn(message, raised.exception.message)


TYPES_IDL = """\
import "oaidl.idl";
[object, uuid(11111111-2222-3333-4444-555555555555), local]
interface ITypes : IUnknown
{
    HRESULT Numbers([in] long a, [in] unsigned long b, [out] long* c, [in] short d, [in] double e);
    HRESULT Automation([in] VARIANT_BOOL a, [in] DATE b, [in] VARIANT c, [in, out] VARIANT* d, [in] BSTR e);
    HRESULT Objects([in] void* a, [out] IUnknown** b, [in] IDispatch* c, [in] ITypes* d);
    [propget] HRESULT Target([out, retval] IDispatch** pVal);
    [propput] HRESULT Target([in] VARIANT newVal);
    [propputref] HRESULT Target([in] IDispatch* newVal);
    HRESULT Nothing(void);
};
[uuid(11111111-2222-3333-4444-666666666666), version(1.0)]
library TypesLib
{
    [uuid(11111111-2222-3333-4444-777777777777)]
    coclass Types { [default] interface ITypes; };
};
"""


class HeaderTest(unittest.TestCase):
    def test_members_map_to_midl_names_and_windows_types(self):
        text = header_text(parse(TYPES_IDL), "Types.idl")
        expected = [
            "Numbers(LONG a, ULONG b, LONG* c, SHORT d, DOUBLE e) = 0;",
            "Automation(VARIANT_BOOL a, DATE b, VARIANT c, VARIANT* d, BSTR e) = 0;",
            "Objects(void* a, IUnknown** b, IDispatch* c, ITypes* d) = 0;",
            "get_Target(IDispatch** pVal) = 0;",
            "put_Target(VARIANT newVal) = 0;",
            "putref_Target(IDispatch* newVal) = 0;",
            "Nothing() = 0;",
        ]
        for declaration in expected:
            with self.subTest(declaration):
                self.assertIn(f"    virtual HRESULT STDMETHODCALLTYPE {declaration}\n", text)

ERROR_TABLE = """\
struct CZoErrorCode { LONG number; const OLECHAR* message; };
// Made by the frame itself.
// raised when: the first case,
//   described over two lines.
inline constexpr CZoErrorCode ZO_ERR_FIRST{1001, OLESTR("First.")};
// raised when: a thrown text.
inline constexpr CZoErrorCode ZO_ERR_PIECES{1004, OLESTR("wchar") OLESTR("_t* caught: ")};

// raised when: a quote in the message.
inline constexpr CZoErrorCode ZO_ERR_QUOTED{2021, OLESTR("a \\"quoted\\" comma")};
"""

# (what, text replaced in ERROR_TABLE, replacement, line of the error, part of its message)
FAULTY_ERROR_TABLES = [
    ("entry without a description", "// raised when: a thrown text.\n", "", 6, "ZO_ERR_PIECES has no '// raised"),
    ("empty description", "// raised when: a thrown text.", "// raised when:", 7, "ZO_ERR_PIECES has no"),
    ("description apart from its entry", "a thrown text.\n", "a thrown text.\n\n", 6, "right above its entry"),
    ("description without an entry", "ZO_ERR_QUOTED{2021", "ZO_ERR_QUOTED{", 10, "expected an entry"),
    ("number used twice", "ZO_ERR_QUOTED{2021", "ZO_ERR_QUOTED{1001", 10, "has the number 1001 of ZO_ERR_FIRST"),
    ("message not a literal", 'OLESTR("First.")', "kFirst", 5, "expected an entry"),
]


class ErrorTableTest(unittest.TestCase):
    def test_entries_join_their_pieces_and_descriptions(self):
        codes = parse_error_codes(ERROR_TABLE)
        self.assertEqual(
            [(c.name, c.number, c.message, c.raised_when) for c in codes],
            [
                ("ZO_ERR_FIRST", 1001, "First.", "the first case, described over two lines."),
                ("ZO_ERR_PIECES", 1004, "wchar_t* caught: ", "a thrown text."),
                ("ZO_ERR_QUOTED", 2021, 'a "quoted" comma', "a quote in the message."),
            ],
        )

    def test_faulty_tables_fail_at_their_line(self):
        for what, old, new, line, message in FAULTY_ERROR_TABLES:
            with self.subTest(what):
                self.assertEqual(ERROR_TABLE.count(old), 1, "the case must change exactly one place")
                with self.assertRaises(IdlError) as raised:
                    parse_error_codes(ERROR_TABLE.replace(old, new))
                self.assertEqual(raised.exception.line, line, raised.exception.message)
                self.assertIn(message, raised.exception.message)

    def test_the_library_table_reads_whole(self):
        text = ERROR_CODES.read_text(encoding="utf-8")
        codes = {c.name: c for c in parse_error_codes(text)}
        self.assertEqual(set(codes), set(re.findall(r"CZoErrorCode (ZO_ERR_\w+)\{", text)))
        self.assertEqual(codes["ZO_ERR_WCHAR_EXCEPTION"].message, "wchar_t* exception caught: ")
        self.assertEqual(
            codes["ZO_ERR_INVALID_STRING_ARRAY_CHAR"].message,
            'Invalid character found in string array value, "," is not allowed.',
        )


REGISTRATION_SCRIPT = """\
HKCR
{
    Test.Thing.1 = s 'Thing Class'
    {
        CLSID = s '{11111111-2222-3333-4444-777777777777}'
    }
    NoRemove CLSID
    {
        ForceRemove '{11111111-2222-3333-4444-777777777777}' = s 'Thing Class'
        {
            val AppID = s '%APPID%'
            ProgID = s 'Test.Thing.1'
            VersionIndependentProgID = s 'Test.Thing'
            ForceRemove 'Programmable'
            InprocServer32 = s '%MODULE%'
            {
                val ThreadingModel = s 'Both'
            }
        }
    }
}
"""


class RegistrationTest(unittest.TestCase):
    def test_program_ids_of_a_class(self):
        [ids] = program_ids(parse_registration_script(REGISTRATION_SCRIPT))
        self.assertEqual(
            (str(ids.clsid).upper(), ids.prog_id, ids.version_independent, ids.line),
            ("11111111-2222-3333-4444-777777777777", "Test.Thing.1", "Test.Thing", 9),
        )

    def test_faulty_scripts(self):
        cases = [
            ("no version-independent id", "            VersionIndependentProgID = s 'Test.Thing'\n", "", 9,
             "has no VersionIndependentProgID"),
            ("a key left open", "    }\n}\n", "    }\n", 1, "key 'HKCR' has no closing '}'"),
            ("not a class id", "ForceRemove '{11111111", "ForceRemove 'x{11111111", 9, "is not a class id"),
        ]
        for what, old, new, line, message in cases:
            with self.subTest(what):
                with self.assertRaises(IdlError) as raised:
                    program_ids(parse_registration_script(REGISTRATION_SCRIPT.replace(old, new)))
                self.assertEqual(raised.exception.line, line, raised.exception.message)
                self.assertIn(message, raised.exception.message)

    def test_every_class_of_the_library_has_its_scripts_program_ids(self):
        definition = parse(LUMO_IDL.read_text(encoding="utf-8"))
        classes = registered_classes(definition, parse_resource_list(LUMO_RC.read_text(encoding="utf-8"), SERVER))
        self.assertEqual(
            {c.name: classes[c.clsid].version_independent for c in definition.library.coclasses},
            {name: f"LumoItems.{name}" for name in
             ("LumoEnumVARIANT", "LumoEnum", "LumoEnumProperty", "LumoItem", "LumoProperty")},
        )
        self.assertEqual(classes[definition.library.coclasses[3].clsid].prog_id, "LumoItems.LumoItem.1")


class ReferenceRenderingTest(unittest.TestCase):
    def test_parameters_as_the_definition_spells_them(self):
        definition = parse(
            VALID_IDL.replace(
                "[in, optional] VARIANT v",
                '[in] BSTR s, [in, out] VARIANT* io, [in, defaultvalue(2)] long n, [in, defaultvalue("x")] BSTR t,'
                " [out, retval] ITest** result",
            )
        )
        run = definition.interface("ITest").methods[2]
        self.assertEqual(
            [param_text(p) for p in run.params],
            [
                "[in] BSTR s",
                "[in, out] VARIANT* io",
                "[in, defaultvalue(2)] long n",
                '[in, defaultvalue("x")] BSTR t',
                "[out, retval] ITest** result",
            ],
        )
        optional = parse(VALID_IDL).interface("ITest").methods[2].params[0]
        self.assertEqual(param_text(optional), "[in, optional] VARIANT v")


class CommandLineTest(unittest.TestCase):
    def test_a_faulty_file_fails_with_its_line_and_writes_nothing(self):
        with tempfile.TemporaryDirectory() as folder:
            source = Path(folder) / "Faulty.idl"
            output = Path(folder) / "include" / "Faulty.h"
            source.write_text(VALID_IDL.replace("[id(2)]", "[id(1)]"), encoding="utf-8")
            result = subprocess.run(
                [sys.executable, "-B", str(SERVER / "idlgen" / "idlgen.py"), "header", str(source), str(output)],
                capture_output=True,
                text=True,
            )
            self.assertEqual(result.returncode, 1)
            self.assertTrue(result.stderr.startswith(f"{source}:7: error: dispatch id 1"), result.stderr)
            self.assertFalse(output.exists())


def run_reference(output, *options, errors=ERROR_CODES):
    command = [
        sys.executable, "-B", str(SERVER / "idlgen" / "idlgen.py"), "reference", str(LUMO_IDL), str(output),
        "--resources", str(LUMO_RC), "--errors", str(errors), "--error-status", str(ERROR_STATUS), "--root", str(ROOT),
        *options,
    ]
    return subprocess.run(command, capture_output=True, text=True)


class ReferenceCommandTest(unittest.TestCase):
    def test_check_fails_on_a_stale_copy_names_the_refresh_and_writes_nothing(self):
        with tempfile.TemporaryDirectory() as folder:
            output = Path(folder) / "reference.md"
            self.assertEqual(run_reference(output).returncode, 0)
            fresh = output.read_text(encoding="utf-8")
            self.assertEqual(run_reference(output, "--check").returncode, 0)

            stale = fresh.replace("| 1010 |", "| 1011 |")
            output.write_text(stale, encoding="utf-8")
            result = run_reference(output, "--check", "--refresh", "make-it-fresh")
            self.assertEqual(result.returncode, 1)
            self.assertIn("-| 1011 |", result.stderr)
            self.assertIn("+| 1010 |", result.stderr)
            self.assertTrue(result.stderr.rstrip().endswith("refresh it with: make-it-fresh"), result.stderr)
            self.assertEqual(output.read_text(encoding="utf-8"), stale)

    def test_a_code_without_description_fails_at_its_line(self):
        lines = ERROR_CODES.read_text(encoding="utf-8").splitlines(keepends=True)
        entry = next(i for i, line in enumerate(lines) if "ZO_ERR_ENUM_KEY_EXISTS{" in line)
        start = max(i for i in range(entry) if lines[i].startswith("// raised when:"))
        with tempfile.TemporaryDirectory() as folder:
            errors = Path(folder) / "ZoErrorCodes.h"
            errors.write_text("".join(lines[:start] + lines[entry:]), encoding="utf-8")
            output = Path(folder) / "reference.md"
            result = run_reference(output, errors=errors)
            self.assertEqual(result.returncode, 1)
            self.assertTrue(
                result.stderr.startswith(f"{errors}:{start + 1}: error: error code ZO_ERR_ENUM_KEY_EXISTS has no"),
                result.stderr,
            )
            self.assertFalse(output.exists())


if __name__ == "__main__":
    unittest.main()
