#include <functional>
#include <stdexcept>
#include <thread>

#include <gtest/gtest.h>

#include <windows.h>
#include <objbase.h>
#include <oleauto.h>

#include "FreshRegistry.h"
#include "ZoCheck.h"
#include "ZoFormat.h"
#include "ZoFrame.h"
#include "ZoFrameTestObjects.h"
#include "ZoTestSupport.h"

ZO_SOURCE_FILE(".\\ZoFrameTest")

namespace {

const OLECHAR kThisFile[] = OLESTR(".\\ZoFrameTest");
// {5E0B7C61-3A2D-4C8E-B1F0-7D9A6E5C4B31}
const CLSID kOuterClsid = {0x5E0B7C61, 0x3A2D, 0x4C8E, {0xB1, 0xF0, 0x7D, 0x9A, 0x6E, 0x5C, 0x4B, 0x31}};
// {5E0B7C62-3A2D-4C8E-B1F0-7D9A6E5C4B32}
const CLSID kInnerClsid = {0x5E0B7C62, 0x3A2D, 0x4C8E, {0xB1, 0xF0, 0x7D, 0x9A, 0x6E, 0x5C, 0x4B, 0x32}};

// --- the objects under test --------------------------------------------------------------

class OuterObject {
public:
    static const CLSID& GetObjectCLSID() { return kOuterClsid; }

    HRESULT Run(const std::function<HRESULT()>& body)
    {
        ZO_METHOD(OLESTR("OuterObject::Run"), __uuidof(ITestFrameOuter))
        {
            return body();
        }
        ZO_METHOD_END
    }
    static constexpr int kRunLine = __LINE__ - 2;

    HRESULT RunVoid(const std::function<void()>& body)
    {
        ZO_METHOD(OLESTR("OuterObject::RunVoid"), __uuidof(ITestFrameOuter))
        {
            body();
        }
        ZO_METHOD_END
    }

    HRESULT Unimplemented()
    {
        ZO_METHOD(OLESTR("OuterObject::Unimplemented"), __uuidof(ITestFrameOuter))
        { ZO_RAISE(ZO_ERR_UNIMPLEMENTED); }
        ZO_METHOD_END
    }
    static constexpr int kUnimplementedThrowLine = __LINE__ - 3;

    CZoCOMLock m_lock;
};

class InnerObject : public StackComObject<ITestFrameInner> {
public:
    static const CLSID& GetObjectCLSID() { return kInnerClsid; }

    HRESULT STDMETHODCALLTYPE Fail() override
    {
        ZO_METHOD(OLESTR("InnerObject::Fail"), __uuidof(ITestFrameInner))
        {
            ZO_RAISE(ZO_ERR_UNIMPLEMENTED);
        }
        ZO_METHOD_END
    }
    static constexpr int kFailLine = __LINE__ - 2;

    CZoCOMLock m_lock;
};

class RecordingObject {
public:
    static const CLSID& GetObjectCLSID() { return kOuterClsid; }

    HRESULT Run(const std::function<void()>& body)
    {
        ZO_METHOD(OLESTR("RecordingObject::Run"), __uuidof(ITestFrameOuter))
        {
            m_lock.events.push_back("body");
            body();
        }
        ZO_METHOD_END
    }

    HRESULT FinalConstruct()
    {
        ZO_METHOD_UNLOCKED(OLESTR("RecordingObject::FinalConstruct"), __uuidof(ITestFrameOuter))
        {
            m_lock.events.push_back("body");
            ZO_RAISE(ZO_ERR_NOT_INITIALIZED);
        }
        ZO_METHOD_END
    }

    RecordingLock m_lock;
};

void RunInFunctionFrame(const std::function<void()>& body)
{
    ZO_FUNCTION(OLESTR("RunInFunctionFrame"))
    {
        body();
    }
    ZO_FUNCTION_END
}
constexpr int kFunctionFrameLine = __LINE__ - 2;

int Doubled(int value)
{
    ZO_FUNCTION(OLESTR("Doubled"))
    {
        return 2 * value;
    }
    ZO_FUNCTION_END
}

class DestructorProbe {
public:
    DestructorProbe(std::function<void()> body, bool& cleanedUp) : m_body(std::move(body)), m_cleanedUp(cleanedUp) {}
    ~DestructorProbe()
    {
        ZO_DESTRUCTOR(OLESTR("DestructorProbe::~DestructorProbe"))
        {
            m_body();
        }
        ZO_DESTRUCTOR_END
        m_cleanedUp = true;
    }
    static constexpr int kFrameLine = __LINE__ - 3;

private:
    std::function<void()> m_body;
    bool& m_cleanedUp;
};

// --- helpers -----------------------------------------------------------------------------

CZoException Raised()
{
    return CZoException(ZO_ERR_UNIMPLEMENTED, OLESTR(".\\Raiser"), 7, OLESTR("Raiser::Do"));
}

struct ExpectedEntry {
    OleString description;
    OleString code;
    OleString file;
    OleString line;
    OleString function;
};

ExpectedEntry FrameEntry(const OLECHAR* description, int line, const OLECHAR* function)
{
    return {description, OLESTR("1005"), kThisFile, Decimal(line), function};
}

void ExpectEntries(const std::vector<ExpectedEntry>& expected, const std::vector<EntryView>& actual, const char* what)
{
    ASSERT_EQ(expected.size(), actual.size()) << what;
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(expected[i].description, actual[i].description) << what << " entry " << i;
        EXPECT_EQ(expected[i].code, actual[i].code) << what << " entry " << i;
        EXPECT_EQ(expected[i].file, actual[i].file) << what << " entry " << i;
        EXPECT_EQ(expected[i].line, actual[i].line) << what << " entry " << i;
        EXPECT_EQ(expected[i].function, actual[i].function) << what << " entry " << i;
    }
}

void RegisterProgId(REFCLSID clsid, const OLECHAR* progId)
{
    OLECHAR clsidText[64];
    ASSERT_GT(StringFromGUID2(clsid, clsidText, 64), 0);
    const OleString path = OleString(OLESTR("CLSID\\")) + clsidText + OLESTR("\\ProgID");
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key,
                                             nullptr));
    const DWORD bytes = static_cast<DWORD>((OleString(progId).size() + 1) * sizeof(OLECHAR));
    EXPECT_EQ(ERROR_SUCCESS,
              RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(progId), bytes));
    RegCloseKey(key);
}

void UnregisterProgId(REFCLSID clsid)
{
    OLECHAR clsidText[64];
    StringFromGUID2(clsid, clsidText, 64);
    const OleString path = OleString(OLESTR("CLSID\\")) + clsidText;
    RegDeleteKeyW(HKEY_CLASSES_ROOT, (path + OLESTR("\\ProgID")).c_str());
    RegDeleteKeyW(HKEY_CLASSES_ROOT, path.c_str());
}

class ZoFrameTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        SetErrorInfo(0, nullptr);
    }
    void TearDown() override
    {
        SetErrorInfo(0, nullptr);
        CoUninitialize();
    }
};

// --- the innermost level's handlers ------------------------------------------------------

TEST_F(ZoFrameTest, EachHandlerMakesItsEntries)
{
    const OLECHAR* frame = OLESTR("RunInFunctionFrame");
    const OleString line = Decimal(kFunctionFrameLine);
    struct Case {
        const char* what;
        std::function<void()> raise;
        std::vector<ExpectedEntry> entries;
    };
    const Case cases[] = {
        {"COM error",
         [] { throw CComError(E_INVALIDARG); },
         {{ZoComErrorMessage(E_INVALIDARG), OLESTR("-2147024809"), {}, {}, {}},
          FrameEntry(OLESTR(""), kFunctionFrameLine, frame)}},
        {"CZoException",
         [] { throw Raised(); },
         {{OLESTR("Unimplemented."), OLESTR("1012"), OLESTR(".\\Raiser"), OLESTR("7"), OLESTR("Raiser::Do")},
          FrameEntry(OLESTR("Stacktrace."), kFunctionFrameLine, frame)}},
        {"std exception",
         [] { throw std::runtime_error("bad thing"); },
         {{OLESTR("std exception caught: bad thing"), OLESTR("1002"), kThisFile, line, frame}}},
        {"std exception text in the ANSI code page",
         [] { throw std::runtime_error("caf\xC3\xA9"); },
         {{OLESTR("std exception caught: ") + ZoAnsiToOle("caf\xC3\xA9"), OLESTR("1002"), kThisFile, line, frame}}},
        {"bad_alloc from the body",
         [] { throw std::bad_alloc(); },
         {{OLESTR("std exception caught: ") + ZoAnsiToOle(std::bad_alloc().what()), OLESTR("1002"), kThisFile, line,
           frame}}},
        {"narrow string",
         [] { throw "abc"; },
         {{OLESTR("char* exception caught: abc"), OLESTR("1003"), kThisFile, line, frame}}},
        {"null narrow string",
         [] { throw static_cast<const char*>(nullptr); },
         {{OLESTR("char* exception caught: "), OLESTR("1003"), kThisFile, line, frame}}},
        {"wide string",
         [] { throw OLESTR("wide"); },
         {{OLESTR("wchar") OLESTR("_t* exception caught: wide"), OLESTR("1004"), kThisFile, line, frame}}},
        {"anything else",
         [] { throw 42; },
         {{OLESTR("Unhandled exception caught (Possibly caused by access violation)"), OLESTR("1001"), kThisFile, line,
           frame}}},
    };
    for (const auto& c : cases) {
        try {
            RunInFunctionFrame(c.raise);
            ADD_FAILURE() << c.what << ": nothing thrown";
        } catch (const CZoException& exception) {
            ExpectEntries(c.entries, EntriesOf(exception.Document()), c.what);
        }
    }
}

TEST_F(ZoFrameTest, FunctionFormReturnsTheBodysValue)
{
    EXPECT_EQ(42, Doubled(21));
}

// --- the interface form ------------------------------------------------------------------

TEST_F(ZoFrameTest, MethodReturnsTheBodysStatus)
{
    OuterObject object;
    EXPECT_EQ(S_OK, object.RunVoid([] {}));
    EXPECT_EQ(S_FALSE, object.Run([] { return S_FALSE; }));
    EXPECT_FALSE(TakeThreadErrorObject().present);
}

TEST_F(ZoFrameTest, MethodSetsTheErrorObject)
{
    ScopedFreshRegistry registry;
    RegisterProgId(kOuterClsid, OLESTR("LumoItems.FrameTest"));
    OuterObject object;
    int raiseLine = 0;
    EXPECT_EQ(E_ZO_EXCEPTION, object.Run([&]() -> HRESULT {
        raiseLine = __LINE__ + 1;
        throw CZoException(OLESTR("50% <done>"), 2001, kThisFile, raiseLine, OLESTR("Body"));
    }));
    const ErrorObjectFields error = TakeThreadErrorObject();
    UnregisterProgId(kOuterClsid);

    ASSERT_TRUE(error.present);
    EXPECT_EQ(__uuidof(ITestFrameOuter), error.guid);
    EXPECT_EQ(OleString(OLESTR("LumoItems.FrameTest")), error.source);
    EXPECT_TRUE(error.helpFile.empty());
    EXPECT_EQ(0u, error.helpContext);
    CZoException expected(OLESTR("50% <done>"), 2001, kThisFile, raiseLine, OLESTR("Body"));
    expected.AddError(ZO_ERR_STACKTRACE, kThisFile, OuterObject::kRunLine, OLESTR("OuterObject::Run"));
    EXPECT_EQ(expected.GetXML(), error.description);
}

TEST_F(ZoFrameTest, SourceUnsetWithoutProgId)
{
    ScopedFreshRegistry registry;
    OuterObject object;
    EXPECT_EQ(E_ZO_EXCEPTION, object.Unimplemented());
    const ErrorObjectFields error = TakeThreadErrorObject();
    ASSERT_TRUE(error.present);
    EXPECT_TRUE(error.source.empty());
}

TEST_F(ZoFrameTest, RaiseOneLineBeforeTheFrameCloses)
{
    OuterObject object;
    ASSERT_EQ(E_ZO_EXCEPTION, object.Unimplemented());
    const ErrorObjectFields error = TakeThreadErrorObject();
    ASSERT_TRUE(error.present);
    const int raise = OuterObject::kUnimplementedThrowLine;
    const OLECHAR* function = OLESTR("OuterObject::Unimplemented");
    const auto entries = EntriesOfXml(error.description);
    ExpectEntries({{OLESTR("Unimplemented."), OLESTR("1012"), kThisFile, Decimal(raise), function},
                   FrameEntry(OLESTR("Stacktrace."), raise + 1, function)},
                  entries, "two entries");
    CZoException received(ComErrorWith(E_ZO_EXCEPTION, MakeErrorInfo(error.description.c_str())));
    EXPECT_EQ(OleString(OLESTR("Unimplemented.\n\terrorcode:\t1012\n\nStack trace:\n\t.\\ZoFrameTest(")) +
                  Decimal(raise + 1) + OLESTR(") : OuterObject::Unimplemented\n\t.\\ZoFrameTest(") + Decimal(raise) +
                  OLESTR(") : OuterObject::Unimplemented\n"),
              received.GetDescription());
}

TEST_F(ZoFrameTest, RaisingMacrosTakeTheSystemMessage)
{
    OuterObject object;
    struct Case {
        const char* what;
        std::function<void()> raise;
        OleString description;
        HRESULT code;
    };
    const OLECHAR* zoFunctionName = OLESTR("Test");
    const Case cases[] = {
        {"HRESULT", [&] { ZO_THROW_HR(E_INVALIDARG); }, ZoSystemMessageText(static_cast<DWORD>(E_INVALIDARG)),
         E_INVALIDARG},
        {"system error number", [&] { ZO_THROW_SYSTEM_ERROR(ERROR_ACCESS_DENIED); },
         ZoSystemMessageText(ERROR_ACCESS_DENIED), E_ACCESSDENIED},
    };
    for (const auto& c : cases) {
        ASSERT_EQ(E_ZO_EXCEPTION, object.RunVoid(c.raise)) << c.what;
        const auto entries = EntriesOfXml(TakeThreadErrorObject().description);
        ASSERT_EQ(2u, entries.size()) << c.what;
        EXPECT_EQ(c.description, entries[0].description) << c.what;
        EXPECT_EQ(Decimal(c.code), entries[0].code) << c.what;
        EXPECT_EQ(OleString(OLESTR("Test")), entries[0].function) << c.what;
    }
}

TEST_F(ZoFrameTest, LockHeldUntilTheErrorObjectIsSet)
{
    struct Case {
        const char* what;
        std::function<void()> body;
        std::vector<std::string> events;
    };
    const Case cases[] = {
        {"success", [] {}, {"lock", "body", "unlock"}},
        {"failure", [] { throw Raised(); }, {"lock", "body", "unlock with error object"}},
    };
    for (const auto& c : cases) {
        SetErrorInfo(0, nullptr);
        RecordingObject object;
        object.Run(c.body);
        EXPECT_EQ(c.events, object.m_lock.events) << c.what;
    }
    RecordingObject object;
    EXPECT_EQ(E_ZO_EXCEPTION, object.FinalConstruct());
    EXPECT_EQ(std::vector<std::string>{"body"}, object.m_lock.events) << "the unlocked form takes no lock";
}

TEST_F(ZoFrameTest, ConcurrentCallsOnOneObjectAreSerialised)
{
    OuterObject object;
    int counter = 0;
    const auto work = [&] {
        for (int i = 0; i < 20000; ++i)
            object.RunVoid([&] { ++counter; });
    };
    std::thread first(work);
    std::thread second(work);
    first.join();
    second.join();
    EXPECT_EQ(40000, counter);
}

// --- across objects ----------------------------------------------------------------------

TEST_F(ZoFrameTest, ErrorFromAnotherObjectKeepsItsEntriesFirst)
{
    InnerObject inner;
    OuterObject outer;
    ITestFrameInner* callee = &inner;
    ASSERT_EQ(E_ZO_EXCEPTION, outer.Run([&] {
        ZoCheck(callee->Fail(), callee);
        return S_OK;
    }));
    const auto entries = EntriesOfXml(TakeThreadErrorObject().description);
    const OLECHAR* innerFunction = OLESTR("InnerObject::Fail");
    ExpectEntries({{OLESTR("Unimplemented."), OLESTR("1012"), kThisFile, Decimal(InnerObject::kFailLine - 2),
                    innerFunction},
                   FrameEntry(OLESTR("Stacktrace."), InnerObject::kFailLine, innerFunction),
                   FrameEntry(OLESTR(""), OuterObject::kRunLine, OLESTR("OuterObject::Run"))},
                  entries, "inner then outer");
}

TEST_F(ZoFrameTest, CheckTakesTheCalleesErrorObjectOnlyWhenItSetsOne)
{
    struct Case {
        const char* what;
        bool answers;
        bool setsErrorObjects;
        bool nullCallee;
        bool takesErrorObject;
    };
    const Case cases[] = {
        {"sets error objects for the interface", true, true, false, true},
        {"not for this interface", true, false, false, false},
        {"no ISupportErrorInfo", false, false, false, false},
        {"no callee", false, false, true, false},
    };
    for (const auto& c : cases) {
        InnerObject callee;
        callee.SetErrorSupport(c.answers, c.setsErrorObjects);
        ITestFrameInner* pointer = c.nullCallee ? nullptr : &callee;
        SetErrorInfo(0, MakeErrorInfo(OLESTR("the callee's error")));
        try {
            ZoCheck(E_FAIL, pointer);
            ADD_FAILURE() << c.what << ": nothing thrown";
        } catch (const CComError& error) {
            EXPECT_EQ(E_FAIL, error.Error()) << c.what;
            ASSERT_EQ(c.takesErrorObject, error.ErrorInfo() != nullptr) << c.what;
            if (error.ErrorInfo()) {
                CComBSTR description;
                error.ErrorInfo()->GetDescription(&description);
                EXPECT_EQ(OleString(OLESTR("the callee's error")), OleString(ViewOfBstr(description))) << c.what;
            }
        }
        EXPECT_EQ(!c.takesErrorObject, TakeThreadErrorObject().present) << c.what;
    }
}

TEST_F(ZoFrameTest, CheckForms)
{
    InnerObject callee;
    SetErrorInfo(0, MakeErrorInfo(OLESTR("set")));
    EXPECT_NO_THROW(ZoCheck(S_FALSE, static_cast<ITestFrameInner*>(&callee)));
    EXPECT_TRUE(TakeThreadErrorObject().present) << "a success leaves the error object alone";

    const auto errorObjectTaken = [](const std::function<void()>& check) {
        SetErrorInfo(0, MakeErrorInfo(OLESTR("set")));
        try {
            check();
        } catch (const CComError& error) {
            SetErrorInfo(0, nullptr);
            return error.ErrorInfo() != nullptr;
        }
        ADD_FAILURE() << "nothing thrown";
        return false;
    };
    IUnknown* unknown = static_cast<ITestFrameInner*>(&callee);
    EXPECT_TRUE(errorObjectTaken([&] { ZoCheck(E_FAIL, unknown, __uuidof(ITestFrameInner)); }));
    EXPECT_FALSE(errorObjectTaken([&] { ZoCheck(E_FAIL, unknown, __uuidof(IUnknown)); }));
    CComPtr<ITestFrameInner> held(&callee);
    EXPECT_TRUE(errorObjectTaken([&] { ZoCheck(E_FAIL, held); }));
    EXPECT_FALSE(errorObjectTaken([] { ZoCheckPlatform(E_OUTOFMEMORY); }));

    try {
        ZoCheckAllocation(static_cast<BSTR>(nullptr));
        ADD_FAILURE() << "nothing thrown";
    } catch (const CComError& error) {
        EXPECT_EQ(E_OUTOFMEMORY, error.Error());
        EXPECT_EQ(nullptr, error.ErrorInfo());
    }
    BSTR text = SysAllocString(OLESTR("x"));
    EXPECT_EQ(text, ZoCheckAllocation(text));
    SysFreeString(text);
}

// --- the destructor form -----------------------------------------------------------------

TEST_F(ZoFrameTest, DestructorLogsTwoLinesAndFinishes)
{
    LogRecorder log;
    bool cleanedUp = false;
    { DestructorProbe probe([] { throw Raised(); }, cleanedUp); }
    EXPECT_TRUE(cleanedUp);

    CZoException expected = Raised();
    expected.AddError(ZO_ERR_STACKTRACE, kThisFile, DestructorProbe::kFrameLine,
                      OLESTR("DestructorProbe::~DestructorProbe"));
    const auto lines = log.Lines();
    ASSERT_EQ(2u, lines.size());
    EXPECT_EQ(ZO_LOG_WARNING, lines[0].level);
    EXPECT_FALSE(lines[0].force);
    EXPECT_EQ(OleString(OLESTR("Exception caught in DestructorProbe::~DestructorProbe (.\\ZoFrameTest : ")) +
                  Decimal(DestructorProbe::kFrameLine) + OLESTR(")\n"),
              lines[0].text);
    EXPECT_EQ(ZO_LOG_WARNING, lines[1].level);
    EXPECT_EQ(expected.GetDescription() + OLESTR("\n"), lines[1].text);
}

TEST_F(ZoFrameTest, DestructorWithoutErrorLogsNothing)
{
    LogRecorder log;
    bool cleanedUp = false;
    { DestructorProbe probe([] {}, cleanedUp); }
    EXPECT_TRUE(cleanedUp);
    EXPECT_TRUE(log.Lines().empty());
}

// --- the outermost guard -----------------------------------------------------------------

template <class Thrown>
void ThrowThroughMisbehavingErrorObject(ThrowingErrorInfo<Thrown>& errorInfo)
{
    errorInfo.AddRef();
    throw CComError(E_FAIL, &errorInfo);
}

TEST_F(ZoFrameTest, FailureWhileHandlingGivesAPlainStatus)
{
    ThrowingErrorInfo<std::bad_alloc> outOfMemory{std::bad_alloc()};
    ThrowingErrorInfo<int> unexpected{42};
    struct Case {
        const char* what;
        std::function<void()> body;
        HRESULT status;
        const OLECHAR* logged;
    };
    const Case cases[] = {
        {"out of memory", [&] { ThrowThroughMisbehavingErrorObject(outOfMemory); }, E_OUTOFMEMORY,
         OLESTR("Error handling failed: out of memory\n")},
        {"anything else", [&] { ThrowThroughMisbehavingErrorObject(unexpected); }, E_UNEXPECTED,
         OLESTR("Error handling failed: unexpected exception\n")},
    };
    for (const auto& c : cases) {
        OuterObject object;
        SetErrorInfo(0, MakeErrorInfo(OLESTR("stale")));
        EXPECT_EQ(c.status, object.RunVoid(c.body)) << c.what;
        EXPECT_FALSE(TakeThreadErrorObject().present) << c.what << ": no stale error object passes for this one";

        LogRecorder log;
        bool cleanedUp = false;
        { DestructorProbe probe(c.body, cleanedUp); }
        EXPECT_TRUE(cleanedUp) << c.what;
        const auto lines = log.Lines();
        ASSERT_EQ(2u, lines.size()) << c.what;
        EXPECT_EQ(OleString(OLESTR("Exception caught in DestructorProbe::~DestructorProbe (.\\ZoFrameTest : ")) +
                      Decimal(DestructorProbe::kFrameLine) + OLESTR(")\n"),
                  lines[0].text)
            << c.what;
        EXPECT_EQ(OleString(c.logged), lines[1].text) << c.what;
    }
}

}  // namespace
