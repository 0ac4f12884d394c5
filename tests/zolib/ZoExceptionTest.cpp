#include <gtest/gtest.h>

#include "ZoException.h"
#include "ZoTestSupport.h"

namespace {

const OLECHAR kFile[] = OLESTR(".\\LumoProperty");
const OLECHAR kFunction[] = OLESTR("CLumoProperty::SaveXML");

TEST(ZoExceptionXml, LayoutIsExact)
{
    CZoException exception(OLESTR("&\"'<>"), 1012, kFile, 84, kFunction);
    exception.AddError(OLESTR(""), ZO_ERR_STACKTRACE, kFile, 85, kFunction);
    const OleString expected = OLESTR(
        "\r\n<error>"
        "\r\n\t<errorentry>"
        "\r\n\t\t<description>&amp;&quot;&apos;&lt;&gt;</description>"
        "\r\n\t\t<errorcode>1012</errorcode>"
        "\r\n\t\t<sourcefile>.\\LumoProperty</sourcefile>"
        "\r\n\t\t<sourceline>84</sourceline>"
        "\r\n\t\t<sourcefunction>CLumoProperty::SaveXML</sourcefunction>"
        "\r\n\t</errorentry>"
        "\r\n\t<errorentry>"
        "\r\n\t\t<description/>"
        "\r\n\t\t<errorcode>1005</errorcode>"
        "\r\n\t\t<sourcefile>.\\LumoProperty</sourcefile>"
        "\r\n\t\t<sourceline>85</sourceline>"
        "\r\n\t\t<sourcefunction>CLumoProperty::SaveXML</sourcefunction>"
        "\r\n\t</errorentry>"
        "\r\n</error>");
    EXPECT_EQ(expected, exception.GetXML());
}

TEST(ZoExceptionXml, CodeIsSignedDecimal)
{
    CZoException exception(OLESTR("m"), E_INVALIDARG, kFile, 1, kFunction);
    const auto entries = EntriesOf(exception.Document());
    ASSERT_EQ(1u, entries.size());
    EXPECT_EQ(OleString(OLESTR("-2147024809")), entries[0].code);
}

TEST(ZoExceptionXml, ReadsBackUnchanged)
{
    CZoException original(OLESTR("a<b & c"), 1012, kFile, 84, kFunction);
    original.AddInfo(OLESTR("MutexName"), OLESTR("Global\\X"));
    original.AddError(ZO_ERR_STACKTRACE, kFile, 85, kFunction);

    CZoException loaded(OLESTR("replaced"), 1, OLESTR("f"), 1, OLESTR("g"));
    loaded.LoadErrorDocument(original.GetXML().c_str());

    const auto expected = EntriesOf(original.Document());
    const auto actual = EntriesOf(loaded.Document());
    ASSERT_EQ(expected.size(), actual.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(expected[i].description, actual[i].description) << i;
        EXPECT_EQ(expected[i].code, actual[i].code) << i;
        EXPECT_EQ(expected[i].file, actual[i].file) << i;
        EXPECT_EQ(expected[i].line, actual[i].line) << i;
        EXPECT_EQ(expected[i].function, actual[i].function) << i;
        EXPECT_EQ(expected[i].details, actual[i].details) << i;
    }
    EXPECT_EQ(OleString(OLESTR("a<b & c")), actual[0].description);
    EXPECT_EQ(original.GetDescription(), loaded.GetDescription());
    // Values are not trimmed on reading back: the white space after the last child of each
    // element becomes its value.
    EXPECT_EQ(OleString(OLESTR("\r\n")), loaded.Document().Value());
    EXPECT_EQ(OleString(OLESTR("\r\n\t")), loaded.Document().Children()[0]->Value());
}

TEST(ZoExceptionCopy, CopiesEntriesOnly)
{
    CZoException original(OLESTR("m"), 1012, kFile, 84, kFunction);
    original.AddError(ZO_ERR_STACKTRACE, kFile, 85, kFunction);
    const OleString xml = original.GetXML();

    CZoException loaded(OLESTR("x"), 1, kFile, 1, kFunction);
    loaded.LoadErrorDocument(xml.c_str());
    const CZoException copy(loaded);
    EXPECT_EQ(xml, CZoException(original).GetXML());
    EXPECT_TRUE(copy.Document().Value().empty()) << "a copy has a new root";
    EXPECT_EQ(OleString(OLESTR("error")), copy.Document().Name());
    EXPECT_EQ(2u, EntriesOf(copy.Document()).size());

    CZoException assigned(OLESTR("other"), 7, kFile, 2, kFunction);
    assigned = original;
    EXPECT_EQ(xml, assigned.GetXML());
    assigned = assigned;
    EXPECT_EQ(xml, assigned.GetXML());
}

TEST(ZoExceptionDescription, NewestFirstWithoutFrameEntries)
{
    CZoException exception(OLESTR("50% done"), 1012, kFile, 84, kFunction);
    exception.AddInfo(OLESTR("MutexName"), OLESTR("m"));
    exception.AddError(ZO_ERR_STACKTRACE, kFile, 85, kFunction);
    exception.AddError(OLESTR("outer"), E_INVALIDARG, OLESTR(".\\Other"), 10, OLESTR("Other::Call"));
    exception.AddError(ZO_ERR_STACKTRACE, OLESTR(".\\Other"), 11, OLESTR("Other::Call"));
    const OleString expected = OLESTR(
        "outer\n\terrorcode:\t-2147024809\n"
        "50%% done\n\terrorcode:\t1012\n\tMutexName:\tm\n"
        "\n"
        "Stack trace:"
        "\n\t.\\Other(11) : Other::Call"
        "\n\t.\\Other(10) : Other::Call"
        "\n\t.\\LumoProperty(85) : CLumoProperty::SaveXML"
        "\n\t.\\LumoProperty(84) : CLumoProperty::SaveXML"
        "\n");
    EXPECT_EQ(expected, exception.GetDescription());
    EXPECT_NE(OleString::npos, exception.GetXML().find(OLESTR("<description>50% done</description>")));
}

TEST(ZoExceptionDescription, SaveXmlExample)
{
    CZoException exception(ZO_ERR_UNIMPLEMENTED, kFile, 84, kFunction);
    exception.AddError(ZO_ERR_STACKTRACE, kFile, 85, kFunction);
    EXPECT_EQ(OleString(OLESTR("Unimplemented.\n\terrorcode:\t1012\n\nStack trace:"
                               "\n\t.\\LumoProperty(85) : CLumoProperty::SaveXML"
                               "\n\t.\\LumoProperty(84) : CLumoProperty::SaveXML\n")),
              exception.GetDescription());
}

TEST(ZoExceptionStackTrace, RepeatedPositionsPrintOnce)
{
    CZoException exception(OLESTR("m"), 1012, kFile, 84, kFunction);
    exception.AddError(ZO_ERR_STACKTRACE, kFile, 84, kFunction);
    exception.AddError(ZO_ERR_STACKTRACE, kFile, 90, OLESTR("B"));
    exception.AddError(ZO_ERR_STACKTRACE, kFile, 84, kFunction);
    EXPECT_EQ(OleString(OLESTR("Stack trace:"
                               "\n\t.\\LumoProperty(84) : CLumoProperty::SaveXML"
                               "\n\t.\\LumoProperty(90) : B"
                               "\n\t.\\LumoProperty(84) : CLumoProperty::SaveXML\n")),
              exception.GetStackTrace());
}

TEST(ZoExceptionInfo, NameCleaningAndPlacement)
{
    struct Case {
        const char* what;
        std::vector<LONG> codes;  // the entries, oldest first
        const OLECHAR* name;
        size_t entryWithDetail;   // npos: added nowhere
        const OLECHAR* storedName;
    };
    const size_t none = static_cast<size_t>(-1);
    const Case cases[] = {
        {"single entry", {1012}, OLESTR("MutexName"), 0, OLESTR("MutexName")},
        {"spaces, < and & removed", {1012}, OLESTR("my name<&"), 0, OLESTR("myname")},
        {"what would end the name removed too", {1012}, OLESTR("a/b>c\td\r\n"), 0, OLESTR("abcd")},
        {"frame entries skipped", {1012, 1005, 1005}, OLESTR("ThreadID"), 0, OLESTR("ThreadID")},
        {"newest eligible entry", {1012, 1005, 2001}, OLESTR("ThreadID"), 2, OLESTR("ThreadID")},
        {"only frame entries", {1005}, OLESTR("ThreadID"), none, nullptr},
        {"nothing left of the name", {1012}, OLESTR(" <&"), none, nullptr},
    };
    for (const auto& c : cases) {
        CZoException exception(OLESTR("m"), c.codes[0], kFile, 1, kFunction);
        for (size_t i = 1; i < c.codes.size(); ++i)
            exception.AddError(OLESTR("m"), c.codes[i], kFile, 1, kFunction);
        exception.AddInfo(c.name, OLESTR("v"));
        const auto entries = EntriesOf(exception.Document());
        for (size_t i = 0; i < entries.size(); ++i) {
            if (i == c.entryWithDetail) {
                ASSERT_EQ(1u, entries[i].details.size()) << c.what;
                EXPECT_EQ(OleString(c.storedName), entries[i].details[0].first) << c.what;
                EXPECT_EQ(OleString(OLESTR("v")), entries[i].details[0].second) << c.what;
            } else {
                EXPECT_TRUE(entries[i].details.empty()) << c.what << " entry " << i;
            }
        }
    }
}

TEST(ZoExceptionInfo, NumberForms)
{
    CZoException exception(OLESTR("m"), 1012, kFile, 1, kFunction);
    exception.AddInfo(OLESTR("a"), 255, true);
    exception.AddInfo(OLESTR("b"), -1, true);
    exception.AddInfo(OLESTR("c"), -5, false);
    const auto details = EntriesOf(exception.Document())[0].details;
    ASSERT_EQ(3u, details.size());
    EXPECT_EQ(OleString(OLESTR("0xFF")), details[0].second);
    EXPECT_EQ(OleString(OLESTR("0xFFFFFFFF")), details[1].second);
    EXPECT_EQ(OleString(OLESTR("-5")), details[2].second);
    EXPECT_EQ(0u, exception.GetDescription().find(OLESTR("m\n\terrorcode:\t1012\n\ta:\t0xFF\n\tb:\t0xFFFFFFFF\n\tc:\t-5\n")));
}

// --- from a COM error ------------------------------------------------------------------

TEST(ZoExceptionFromComError, WithoutErrorObjectTakesTheSystemMessage)
{
    const CZoException exception{CComError(E_INVALIDARG)};
    const auto entries = EntriesOf(exception.Document());
    ASSERT_EQ(1u, entries.size());
    EXPECT_EQ(OleString(OLESTR("-2147024809")), entries[0].code);
    OleString expected = RawSystemMessage(static_cast<DWORD>(E_INVALIDARG));
    ASSERT_FALSE(expected.empty());
    if (expected.size() > 1 && expected.back() == '\n') {
        expected.pop_back();
        if (expected.back() == '\r')
            expected.pop_back();
    }
    EXPECT_EQ(expected, entries[0].description);
    EXPECT_TRUE(entries[0].file.empty());
    EXPECT_TRUE(entries[0].line.empty());
    EXPECT_TRUE(entries[0].function.empty());
}

TEST(ZoExceptionFromComError, ForeignErrorObject)
{
    struct Case {
        const char* what;
        const OLECHAR* helpFile;
        const OLECHAR* traceLine;
    };
    const Case cases[] = {
        {"no help file", nullptr, OLESTR("\n\tUnknown file(Unknown line) : Unknown function")},
        {"help file", OLESTR("foreign.hlp"), OLESTR("\n\tforeign.hlp(Unknown line) : Unknown function")},
    };
    for (const auto& c : cases) {
        const CZoException exception(ComErrorWith(E_FAIL, MakeErrorInfo(OLESTR("Foreign failure"), c.helpFile)));
        const auto entries = EntriesOf(exception.Document());
        ASSERT_EQ(1u, entries.size()) << c.what;
        EXPECT_EQ(OleString(OLESTR("Foreign failure")), entries[0].description) << c.what;
        EXPECT_EQ(Decimal(E_FAIL), entries[0].code) << c.what;
        EXPECT_EQ(OleString(c.helpFile ? c.helpFile : OLESTR("")), entries[0].file) << c.what;
        EXPECT_EQ(OleString(OLESTR("Stack trace:")) + c.traceLine + OLESTR("\n"), exception.GetStackTrace()) << c.what;
    }
}

TEST(ZoExceptionFromComError, ErrorObjectWithoutDescriptionFallsBackToStandardMessage)
{
    const CZoException exception(ComErrorWith(E_INVALIDARG, MakeErrorInfo(nullptr)));
    EXPECT_EQ(ZoComErrorMessage(E_INVALIDARG), EntriesOf(exception.Document())[0].description);
}

TEST(ZoExceptionFromComError, ErrorDocumentContinues)
{
    CZoException inner(OLESTR("Unimplemented."), 1012, kFile, 84, kFunction);
    inner.AddError(ZO_ERR_STACKTRACE, kFile, 85, kFunction);
    const CZoException exception(ComErrorWith(E_ZO_EXCEPTION, MakeErrorInfo(inner.GetXML().c_str())));
    const auto entries = EntriesOf(exception.Document());
    ASSERT_EQ(2u, entries.size());
    EXPECT_EQ(OleString(OLESTR("Unimplemented.")), entries[0].description);
    EXPECT_EQ(OleString(OLESTR("85")), entries[1].line);
}

TEST(ZoExceptionFromComError, ADocumentContinuedManyTimesKeepsItsSize)
{
    CZoException first(OLESTR("Unimplemented."), 1012, kFile, 84, kFunction);
    first.AddError(ZO_ERR_STACKTRACE, kFile, 85, kFunction);
    const OleString xml = first.GetXML();
    OleString passed = xml;
    for (int i = 0; i < 50; ++i)
        passed = CZoException(ComErrorWith(E_ZO_EXCEPTION, MakeErrorInfo(passed.c_str()))).GetXML();
    EXPECT_EQ(passed, xml);
}

TEST(ZoExceptionFromComError, ZoStatusWithoutErrorDocumentIsAPlainEntry)
{
    const OleString deep = [] {
        OleString text = OLESTR("<error><errorentry><errorcode>1</errorcode>");
        for (int i = 0; i < 300; ++i)
            text += OLESTR("<x>");
        return text;
    }();
    struct Case {
        const char* what;
        const OLECHAR* description;
    };
    const Case cases[] = {
        {"plain text", OLESTR("Another component's failure")},
        {"no entries", OLESTR("<error></error>")},
        {"entry without code", OLESTR("<error><errorentry><description>x</description></errorentry></error>")},
        {"other child of the root", OLESTR("<error><errorentry><errorcode>1</errorcode></errorentry><x/></error>")},
        {"other root", OLESTR("<fault><errorentry><errorcode>1</errorcode></errorentry></fault>")},
        {"unclosed", OLESTR("<error><errorentry><errorcode>1</errorcode></errorentry>")},
        {"text after the document", OLESTR("<error><errorentry><errorcode>1</errorcode></errorentry></error>x")},
        {"nested too deep", deep.c_str()},
    };
    for (const auto& c : cases) {
        EXPECT_FALSE(CZoException::IsErrorDocument(c.description)) << c.what;
        const CZoException exception(ComErrorWith(E_ZO_EXCEPTION, MakeErrorInfo(c.description)));
        const auto entries = EntriesOf(exception.Document());
        ASSERT_EQ(1u, entries.size()) << c.what;
        EXPECT_EQ(OleString(c.description), entries[0].description) << c.what;
        EXPECT_EQ(Decimal(E_ZO_EXCEPTION), entries[0].code) << c.what;
    }

    const CZoException withoutObject{CComError(E_ZO_EXCEPTION)};
    const auto entries = EntriesOf(withoutObject.Document());
    ASSERT_EQ(1u, entries.size());
    EXPECT_EQ(ZoComErrorMessage(E_ZO_EXCEPTION), entries[0].description);
    EXPECT_EQ(Decimal(E_ZO_EXCEPTION), entries[0].code);
}

TEST(ZoExceptionFromComError, WhatCountsAsAnErrorDocument)
{
    EXPECT_TRUE(CZoException::IsErrorDocument(
        OLESTR("\r\n<error>\r\n\t<errorentry><errorcode>1</errorcode></errorentry>\r\n</error>\r\n")));
    EXPECT_TRUE(CZoException::IsErrorDocument(
        OLESTR("<error><!-- kept apart --><errorentry><errorcode>1</errorcode></errorentry></error>")));
    EXPECT_FALSE(CZoException::IsErrorDocument(nullptr));
    EXPECT_FALSE(CZoException::IsErrorDocument(OLESTR("")));
}

// --- system message texts --------------------------------------------------------------

TEST(ZoSystemMessage, TakenFromTheSystem)
{
    for (DWORD number : {DWORD(ERROR_FILE_NOT_FOUND), DWORD(ERROR_ACCESS_DENIED), DWORD(E_INVALIDARG)}) {
        const OleString raw = RawSystemMessage(number);
        ASSERT_FALSE(raw.empty()) << number;
        EXPECT_EQ(WithoutTrailingSpace(raw), ZoSystemMessageText(number)) << number;
        EXPECT_EQ(WithoutTrailingSpace(raw), ZoSystemMessageText(number, 0x409)) << number;
    }
}

TEST(ZoSystemMessage, UnknownNumber)
{
    const DWORD unknown = 0x2A5A5A5A;
    ASSERT_TRUE(RawSystemMessage(unknown).empty());
    EXPECT_EQ(OleString(OLESTR("Unable to format error message from error number 710564442")),
              ZoSystemMessageText(unknown));
}

TEST(ZoSystemMessage, ComSupportMessages)
{
    struct Case {
        HRESULT hr;
        const OLECHAR* fallback;
    };
    const Case cases[] = {
        {E_INVALIDARG, nullptr},
        {_HRESULT_TYPEDEF_(0x80040201L), OLESTR("IDispatch error #1")},
        {E_ZO_EXCEPTION, OLESTR("IDispatch error #23379")},
        {_HRESULT_TYPEDEF_(0x8ABC1234L), OLESTR("Unknown error 0x8ABC1234")},
    };
    for (const auto& c : cases) {
        OleString expected = RawSystemMessage(static_cast<DWORD>(c.hr));
        if (expected.empty()) {
            ASSERT_NE(nullptr, c.fallback) << std::hex << c.hr;
            expected = c.fallback;
        } else if (expected.size() > 1 && expected.back() == '\n') {
            expected.pop_back();
            if (expected.back() == '\r')
                expected.pop_back();
        }
        EXPECT_EQ(expected, ZoComErrorMessage(c.hr)) << std::hex << c.hr;
    }
}

TEST(ZoSystemMessage, HResultFromSystemError)
{
    struct Case {
        LONG number;
        HRESULT hr;
    };
    const Case cases[] = {
        {0, 0},
        {ERROR_ACCESS_DENIED, E_ACCESSDENIED},
        {0x12345, _HRESULT_TYPEDEF_(0x80072345L)},
        {-1, -1},
        {E_FAIL, E_FAIL},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.hr, ZoHResultFromSystemError(c.number)) << c.number;
}

}  // namespace
