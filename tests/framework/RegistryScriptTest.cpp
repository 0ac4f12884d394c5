// The registration-script parser: the tree it builds from good scripts, written back as
// compact text, and the scripts it refuses.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "RegistryScript.h"

namespace {

std::string Narrow(OleStringView text)
{
    std::string narrow;
    for (OLECHAR c : text) {
        if (c == 0)
            narrow += "|";
        else if (c < 0x80)
            narrow += static_cast<char>(c);
        else
            narrow += "\\u" + std::to_string(static_cast<unsigned>(c));
    }
    return narrow;
}

std::string RootName(HKEY key)
{
    const std::pair<HKEY, const char*> names[] = {
        {HKEY_CLASSES_ROOT, "HKCR"},     {HKEY_CURRENT_USER, "HKCU"}, {HKEY_LOCAL_MACHINE, "HKLM"},
        {HKEY_PERFORMANCE_DATA, "HKPD"}, {HKEY_DYN_DATA, "HKDD"},     {HKEY_CURRENT_CONFIG, "HKCC"},
    };
    for (const auto& [root, name] : names) {
        if (root == key)
            return name;
    }
    return "?";
}

// s:text| (strings with their NULs as "|"), d:decimal, b:hex, m:a|b||.
std::string DataText(const RegistryScriptValue& value)
{
    const auto& data = value.data;
    switch (value.type) {
    case REG_SZ:
    case REG_MULTI_SZ: {
        OleString chars(data.size() / sizeof(OLECHAR), OLESTR('\0'));
        std::memcpy(chars.data(), data.data(), chars.size() * sizeof(OLECHAR));
        return (value.type == REG_SZ ? "s:" : "m:") + Narrow(chars) + (data.size() % 2 ? "<odd>" : "");
    }
    case REG_DWORD: {
        DWORD number = 0;
        if (data.size() != sizeof(number))
            return "d:<size " + std::to_string(data.size()) + ">";
        std::memcpy(&number, data.data(), sizeof(number));
        return "d:" + std::to_string(number);
    }
    case REG_BINARY: {
        std::string hex = "b:";
        for (BYTE b : data) {
            hex += "0123456789ABCDEF"[b >> 4];
            hex += "0123456789ABCDEF"[b & 15];
        }
        return hex;
    }
    default:
        return "?" + std::to_string(value.type);
    }
}

std::string BlockText(const RegistryScriptBlock& block);

std::string KeyText(const RegistryScriptKey& key)
{
    const char* markers[] = {"", "NoRemove ", "ForceRemove ", "Delete "};
    std::string text = markers[static_cast<int>(key.marker)] + Narrow(key.name);
    if (key.defaultValue)
        text += "=" + DataText(*key.defaultValue) + (key.defaultValue->name.empty() ? "" : "<named>");
    if (!key.block.values.empty() || !key.block.keys.empty())
        text += BlockText(key.block);
    return text;
}

std::string BlockText(const RegistryScriptBlock& block)
{
    std::string text = "{";
    const char* separator = "";
    for (const RegistryScriptValue& value : block.values) {
        text += separator + ("val " + Narrow(value.name)) + "=" + DataText(value);
        separator = " ";
    }
    for (const RegistryScriptKey& key : block.keys) {
        text += separator + KeyText(key);
        separator = " ";
    }
    return text + "}";
}

std::string ScriptText(const RegistryScript& script)
{
    std::string text;
    for (const RegistryScriptRoot& root : script.roots)
        text += (text.empty() ? "" : " ") + RootName(root.key) + BlockText(root.block);
    return text;
}

const RegistryReplacements kReplacements = {
    {OLESTR("Module"), OLESTR("C:\\dir\\it''s.dll")},
    {OLESTR("APPID"), OLESTR("{A-B}")},
    {OLESTR("Again"), OLESTR("%Again%")},
};

OleString Nested(int blocks)
{
    OleString script = OLESTR("HKCR {");
    for (int i = 1; i < blocks; ++i)
        script += OLESTR(" K {");
    for (int i = 0; i < blocks; ++i)
        script += OLESTR(" }");
    return script;
}

struct GoodCase {
    const char* what;
    OleString script;
    const char* tree;
};

const GoodCase kGoodCases[] = {
    {"empty script", OLESTR(""), ""},
    {"white space only", OLESTR(" \r\n\t\v\f "), ""},
    {"empty root block", OLESTR("HKCR { }"), "HKCR{}"},
    {"root names, short and long, any case",
     OLESTR("hkcr { } HKEY_CLASSES_ROOT { } HKCU { } HKEY_CURRENT_USER { } HKLM { } hkey_local_machine { } ")
         OLESTR("HKPD { } HKEY_PERFORMANCE_DATA { } HKDD { } HKEY_DYN_DATA { } HKCC { } HKEY_CURRENT_CONFIG { }"),
     "HKCR{} HKCR{} HKCU{} HKCU{} HKLM{} HKLM{} HKPD{} HKPD{} HKDD{} HKDD{} HKCC{} HKCC{}"},
    {"nested keys with default values", OLESTR("HKCR\n{\n\tA = s 'x'\n\t{\n\t\tB\n\t\tC = s '' { }\n\t}\n}\n"),
     "HKCR{A=s:x|{B C=s:|}}"},
    {"markers in any case", OLESTR("HKCR { NoRemove A ForceRemove B Delete C noremove D FORCEREMOVE E }"),
     "HKCR{NoRemove A ForceRemove B Delete C NoRemove D ForceRemove E}"},
    {"named values of a key and of the root",
     OLESTR("HKCR { val R = s 'r' A { val V = s 'x' val 'W X' = d '1' B } VAL S = s 's' }"),
     "HKCR{val R=s:r| val S=s:s| A{val V=s:x| val W X=d:1 B}}"},
    {"quoted names are never keywords", OLESTR("HKCR { 'a b' = s 'it''s' 'NoRemove' 'val' { } '''' }"),
     "HKCR{a b=s:it's| NoRemove val '}"},
    {"braces and equals inside words", OLESTR("HKCR { {3C1A-9E20} = s '{x} = y' a=b }"),
     "HKCR{{3C1A-9E20}=s:{x} = y| a=b}"},
    {"a value name may be a keyword", OLESTR("HKCR { A { val val = s 'v' val Delete = s 'd' } }"),
     "HKCR{A{val val=s:v| val Delete=s:d|}}"},
    {"numbers", OLESTR("HKCR { A { val a = d '0' val b = d '4294967295' val c = d '0x1F' val e = d '0XffffFFFF' ")
                    OLESTR("val f = d '007' val g = d '0x00000000ff' } }"),
     "HKCR{A{val a=d:0 val b=d:4294967295 val c=d:31 val e=d:4294967295 val f=d:7 val g=d:255}}"},
    {"binary", OLESTR("HKCR { A { val a = b '' val b = b '00ff7A' } }"), "HKCR{A{val a=b: val b=b:00FF7A}}"},
    {"multi-strings", OLESTR("HKCR { A { val a = m 'x\\0y' val b = m 'x\\0y\\0' val c = m '' val d = m 'one' } }"),
     "HKCR{A{val a=m:x|y|| val b=m:x|y|| val c=m:| val d=m:one||}}"},
    {"type letters in upper case", OLESTR("HKCR { A = S 'x' { val b = D '2' val c = B '01' val d = M 'm' } }"),
     "HKCR{A=s:x|{val b=d:2 val c=b:01 val d=m:m||}}"},
    {"replacements in words and quotes, names in any case",
     OLESTR("HKCR { %APPID% = s '%MODULE%' { val '%%' = s '100%%' val %appid%x = s 'a%%Module%%' } }"),
     "HKCR{{A-B}=s:C:\\dir\\it's.dll|{val %=s:100%| val {A-B}x=s:a%Module%|}}"},
    {"replaced text is not scanned again", OLESTR("HKCR { %AGAIN% }"), "HKCR{%Again%}"},
    {"a replacement may stand for a root or a marker", OLESTR("%Root% { %Marker% A }"), "HKCR{ForceRemove A}"},
    {"non-ASCII names", OLESTR("HKCR { '\u00e9t\u00e9' }"), "HKCR{\\u233t\\u233}"},
};

TEST(RegistryScriptParser, BuildsTheTreeOfGoodScripts)
{
    RegistryReplacements replacements = kReplacements;
    replacements.push_back({OLESTR("ROOT"), OLESTR("HKCR")});
    replacements.push_back({OLESTR("marker"), OLESTR("ForceRemove")});
    for (const GoodCase& c : kGoodCases) {
        RegistryScript parsed;
        ASSERT_EQ(ParseRegistryScript(c.script, replacements, parsed), S_OK) << c.what;
        EXPECT_EQ(ScriptText(parsed), c.tree) << c.what;
    }
}

TEST(RegistryScriptParser, NestsUpToTheDepthLimit)
{
    RegistryScript parsed;
    ASSERT_EQ(ParseRegistryScript(Nested(kMaxRegistryScriptDepth), {}, parsed), S_OK);
    int depth = 1;
    for (const RegistryScriptBlock* block = &parsed.roots.at(0).block; !block->keys.empty();
         block = &block->keys[0].block)
        ++depth;
    EXPECT_EQ(depth, kMaxRegistryScriptDepth);
}

struct BadCase {
    const char* what;
    OleString script;
};

const BadCase kBadCases[] = {
    {"unknown root", OLESTR("HKXX { }")},
    {"HKEY_USERS is not a root of scripts", OLESTR("HKU { }")},
    {"quoted root", OLESTR("'HKCR' { }")},
    {"root without a block", OLESTR("HKCR")},
    {"root followed by a key", OLESTR("HKCR A { }")},
    {"root with a marker", OLESTR("NoRemove HKCR { }")},
    {"brace glued to the root", OLESTR("HKCR{ }")},
    {"unclosed block", OLESTR("HKCR { A")},
    {"unclosed nested block", OLESTR("HKCR { A { }")},
    {"closing brace too many", OLESTR("HKCR { } }")},
    {"unterminated quote", OLESTR("HKCR { 'abc }")},
    {"quote inside a word", OLESTR("HKCR { ab'c' }")},
    {"text glued to a quoted string", OLESTR("HKCR { 'a'b }")},
    {"brace glued to a quoted string", OLESTR("HKCR { 'a'}")},
    {"empty key name", OLESTR("HKCR { '' }")},
    {"backslash in a quoted key name", OLESTR("HKCR { 'a\\b' }")},
    {"backslash in a key name", OLESTR("HKCR { A { a\\b } }")},
    {"backslash from a replacement", OLESTR("HKCR { %MODULE% }")},
    {"two markers", OLESTR("HKCR { NoRemove ForceRemove A }")},
    {"marker before val", OLESTR("HKCR { NoRemove val a = s 'x' }")},
    {"marker without a key", OLESTR("HKCR { NoRemove }")},
    {"marker before a brace", OLESTR("HKCR { Delete { } }")},
    {"val without a name", OLESTR("HKCR { val }")},
    {"val without equals", OLESTR("HKCR { val a s 'x' }")},
    {"val without data", OLESTR("HKCR { val a = s }")},
    {"val with a block", OLESTR("HKCR { val a = s 'x' { } }")},
    {"equals without data", OLESTR("HKCR { A = }")},
    {"equals twice", OLESTR("HKCR { A = = s 'x' }")},
    {"unquoted data", OLESTR("HKCR { A = s x }")},
    {"missing type letter", OLESTR("HKCR { A = 'x' }")},
    {"unknown type letter", OLESTR("HKCR { A = e 'x' }")},
    {"type word", OLESTR("HKCR { A = sz 'x' }")},
    {"quoted type letter", OLESTR("HKCR { A = 's' 'x' }")},
    {"empty number", OLESTR("HKCR { A = d '' }")},
    {"negative number", OLESTR("HKCR { A = d '-1' }")},
    {"signed number", OLESTR("HKCR { A = d '+1' }")},
    {"number above 32 bits", OLESTR("HKCR { A = d '4294967296' }")},
    {"hexadecimal above 32 bits", OLESTR("HKCR { A = d '0x100000000' }")},
    {"hexadecimal prefix only", OLESTR("HKCR { A = d '0x' }")},
    {"letters in a decimal number", OLESTR("HKCR { A = d '12a' }")},
    {"bad hexadecimal digit", OLESTR("HKCR { A = d '0xg' }")},
    {"space in a number", OLESTR("HKCR { A = d ' 1' }")},
    {"odd count of binary digits", OLESTR("HKCR { A = b 'abc' }")},
    {"one binary digit", OLESTR("HKCR { A = b '0' }")},
    {"non-hexadecimal binary", OLESTR("HKCR { A = b 'zz' }")},
    {"space in binary", OLESTR("HKCR { A = b '0 1' }")},
    {"unknown replacement", OLESTR("HKCR { %NOPE% }")},
    {"percent without its pair", OLESTR("HKCR { A = s '50% off' }")},
    {"NUL in the text", OleString(OLESTR("HKCR { A\0B }"), 12)},
    {"nesting deeper than the limit", Nested(kMaxRegistryScriptDepth + 1)},
    {"hostile nesting", Nested(100000)},
};

TEST(RegistryScriptParser, RefusesBadScripts)
{
    for (const BadCase& c : kBadCases) {
        RegistryScript parsed;
        parsed.roots.push_back({HKEY_CURRENT_USER, {}});
        EXPECT_EQ(ParseRegistryScript(c.script, kReplacements, parsed), DISP_E_EXCEPTION) << c.what;
        // A failed parse leaves the caller's tree alone.
        EXPECT_EQ(ScriptText(parsed), "HKCU{}") << c.what;
    }
}

}  // namespace
