// Error objects and the thread's current error object.
#include <atomic>
#include <thread>

#include <gtest/gtest.h>
#include <windows.h>

#include "OleString.h"

namespace {

struct ErrorObjectRefs {
    ICreateErrorInfo* create = nullptr;
    IErrorInfo* info = nullptr;
    ~ErrorObjectRefs()
    {
        if (info)
            info->Release();
        if (create)
            create->Release();
    }
};

void MakeErrorObject(ErrorObjectRefs& refs)
{
    ASSERT_EQ(S_OK, CreateErrorInfo(&refs.create));
    ASSERT_NE(nullptr, refs.create);
    ASSERT_EQ(S_OK, refs.create->QueryInterface(__uuidof(IErrorInfo), reinterpret_cast<void**>(&refs.info)));
    ASSERT_NE(nullptr, refs.info);
}

// The object's references, read without changing them.
ULONG ReferencesOf(IUnknown* object)
{
    object->AddRef();
    return object->Release();
}

// An error object from elsewhere, counting its references.
class ForeignErrorInfo final : public IErrorInfo {
public:
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override
    {
        if (riid == __uuidof(IUnknown) || riid == __uuidof(IErrorInfo)) {
            *ppv = static_cast<IErrorInfo*>(this);
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++refs; }
    STDMETHODIMP_(ULONG) Release() override { return --refs; }
    STDMETHODIMP GetGUID(GUID*) override { return E_NOTIMPL; }
    STDMETHODIMP GetSource(BSTR*) override { return E_NOTIMPL; }
    STDMETHODIMP GetDescription(BSTR*) override { return E_NOTIMPL; }
    STDMETHODIMP GetHelpFile(BSTR*) override { return E_NOTIMPL; }
    STDMETHODIMP GetHelpContext(DWORD*) override { return E_NOTIMPL; }

    std::atomic<ULONG> refs{1};
};

OleString Take(BSTR text)
{
    OleString copy = text ? OleString(ViewOfBstr(text)) : OleString(OLESTR("<null>"));
    SysFreeString(text);
    return copy;
}

TEST(ErrorObject, StartsEmpty)
{
    ErrorObjectRefs refs;
    MakeErrorObject(refs);
    GUID guid = IID_IUnknown;
    EXPECT_EQ(S_OK, refs.info->GetGUID(&guid));
    EXPECT_EQ(GUID_NULL, guid);
    BSTR text = reinterpret_cast<BSTR>(1);
    EXPECT_EQ(S_OK, refs.info->GetSource(&text));
    EXPECT_EQ(nullptr, text);
    text = reinterpret_cast<BSTR>(1);
    EXPECT_EQ(S_OK, refs.info->GetDescription(&text));
    EXPECT_EQ(nullptr, text);
    text = reinterpret_cast<BSTR>(1);
    EXPECT_EQ(S_OK, refs.info->GetHelpFile(&text));
    EXPECT_EQ(nullptr, text);
    DWORD context = 7;
    EXPECT_EQ(S_OK, refs.info->GetHelpContext(&context));
    EXPECT_EQ(0u, context);
}

TEST(ErrorObject, KeepsWhatWasSet)
{
    ErrorObjectRefs refs;
    MakeErrorObject(refs);
    OLECHAR source[] = OLESTR("Lumo.Source");
    OLECHAR description[] = OLESTR("Something went wrong");
    OLECHAR helpFile[] = OLESTR("help.chm");
    ASSERT_EQ(S_OK, refs.create->SetGUID(IID_IDispatch));
    ASSERT_EQ(S_OK, refs.create->SetSource(source));
    ASSERT_EQ(S_OK, refs.create->SetDescription(description));
    ASSERT_EQ(S_OK, refs.create->SetHelpFile(helpFile));
    ASSERT_EQ(S_OK, refs.create->SetHelpContext(42));
    description[0] = OLECHAR('X');  // the object holds its own copy

    GUID guid = GUID_NULL;
    EXPECT_EQ(S_OK, refs.info->GetGUID(&guid));
    EXPECT_EQ(IID_IDispatch, guid);
    BSTR text = nullptr;
    EXPECT_EQ(S_OK, refs.info->GetSource(&text));
    EXPECT_EQ(OleString(OLESTR("Lumo.Source")), Take(text));
    EXPECT_EQ(S_OK, refs.info->GetDescription(&text));
    EXPECT_EQ(OleString(OLESTR("Something went wrong")), Take(text));
    EXPECT_EQ(S_OK, refs.info->GetHelpFile(&text));
    EXPECT_EQ(OleString(OLESTR("help.chm")), Take(text));
    DWORD context = 0;
    EXPECT_EQ(S_OK, refs.info->GetHelpContext(&context));
    EXPECT_EQ(42u, context);

    // Every read is a new string of the caller's.
    BSTR first = nullptr;
    BSTR second = nullptr;
    EXPECT_EQ(S_OK, refs.info->GetSource(&first));
    EXPECT_EQ(S_OK, refs.info->GetSource(&second));
    EXPECT_NE(first, second);
    SysFreeString(first);
    SysFreeString(second);

    ASSERT_EQ(S_OK, refs.create->SetDescription(nullptr));
    EXPECT_EQ(S_OK, refs.info->GetDescription(&text));
    EXPECT_EQ(nullptr, text) << "a null text reads back as null";
}

TEST(ErrorObject, AnswersItsInterfacesWithOneIdentity)
{
    ErrorObjectRefs refs;
    MakeErrorObject(refs);
    IUnknown* fromCreate = nullptr;
    IUnknown* fromInfo = nullptr;
    ASSERT_EQ(S_OK, refs.create->QueryInterface(__uuidof(IUnknown), reinterpret_cast<void**>(&fromCreate)));
    ASSERT_EQ(S_OK, refs.info->QueryInterface(__uuidof(IUnknown), reinterpret_cast<void**>(&fromInfo)));
    EXPECT_EQ(fromCreate, fromInfo);
    fromCreate->Release();
    fromInfo->Release();
    ICreateErrorInfo* back = nullptr;
    ASSERT_EQ(S_OK, refs.info->QueryInterface(__uuidof(ICreateErrorInfo), reinterpret_cast<void**>(&back)));
    EXPECT_EQ(refs.create, back);
    back->Release();
    void* other = reinterpret_cast<void*>(1);
    EXPECT_EQ(E_NOINTERFACE, refs.info->QueryInterface(__uuidof(IDispatch), &other));
    EXPECT_EQ(nullptr, other);
}

TEST(ErrorObject, RefusesNullOutPointers)
{
    ErrorObjectRefs refs;
    MakeErrorObject(refs);
    EXPECT_EQ(E_INVALIDARG, CreateErrorInfo(nullptr));
    EXPECT_EQ(E_INVALIDARG, refs.info->GetGUID(nullptr));
    EXPECT_EQ(E_INVALIDARG, refs.info->GetSource(nullptr));
    EXPECT_EQ(E_INVALIDARG, refs.info->GetDescription(nullptr));
    EXPECT_EQ(E_INVALIDARG, refs.info->GetHelpFile(nullptr));
    EXPECT_EQ(E_INVALIDARG, refs.info->GetHelpContext(nullptr));
}

TEST(ThreadErrorInfo, GetTakesTheObjectAway)
{
    ErrorObjectRefs refs;
    MakeErrorObject(refs);
    const ULONG before = ReferencesOf(refs.info);
    ASSERT_EQ(S_OK, SetErrorInfo(0, refs.info));
    EXPECT_EQ(before + 1, ReferencesOf(refs.info)) << "the thread holds a reference";

    IErrorInfo* current = nullptr;
    ASSERT_EQ(S_OK, GetErrorInfo(0, &current));
    EXPECT_EQ(refs.info, current);
    current->Release();
    EXPECT_EQ(before, ReferencesOf(refs.info)) << "the thread's reference went to the caller";

    current = refs.info;
    EXPECT_EQ(S_FALSE, GetErrorInfo(0, &current));
    EXPECT_EQ(nullptr, current);
}

TEST(ThreadErrorInfo, SetReplacesAndNullClears)
{
    ErrorObjectRefs first;
    ErrorObjectRefs second;
    MakeErrorObject(first);
    MakeErrorObject(second);
    const ULONG firstBefore = ReferencesOf(first.info);

    ASSERT_EQ(S_OK, SetErrorInfo(0, first.info));
    ASSERT_EQ(S_OK, SetErrorInfo(0, second.info));
    EXPECT_EQ(firstBefore, ReferencesOf(first.info)) << "the replaced object is released";
    IErrorInfo* current = nullptr;
    ASSERT_EQ(S_OK, GetErrorInfo(0, &current));
    EXPECT_EQ(second.info, current);
    current->Release();

    ASSERT_EQ(S_OK, SetErrorInfo(0, first.info));
    ASSERT_EQ(S_OK, SetErrorInfo(0, nullptr));
    EXPECT_EQ(firstBefore, ReferencesOf(first.info));
    EXPECT_EQ(S_FALSE, GetErrorInfo(0, &current));
}

TEST(ThreadErrorInfo, ReservedMustBeZero)
{
    ErrorObjectRefs refs;
    MakeErrorObject(refs);
    EXPECT_EQ(E_INVALIDARG, SetErrorInfo(1, refs.info));
    IErrorInfo* current = reinterpret_cast<IErrorInfo*>(1);
    EXPECT_EQ(S_FALSE, GetErrorInfo(0, &current)) << "a refused set changes nothing";
    EXPECT_EQ(E_INVALIDARG, GetErrorInfo(1, &current));
    EXPECT_EQ(nullptr, current);
    EXPECT_EQ(E_INVALIDARG, GetErrorInfo(0, nullptr));
}

TEST(ThreadErrorInfo, EachThreadHasItsOwn)
{
    ErrorObjectRefs mine;
    ErrorObjectRefs theirs;
    MakeErrorObject(mine);
    MakeErrorObject(theirs);
    ASSERT_EQ(S_OK, SetErrorInfo(0, mine.info));

    std::thread([&] {
        IErrorInfo* current = nullptr;
        EXPECT_EQ(S_FALSE, GetErrorInfo(0, &current)) << "another thread's object is not visible";
        EXPECT_EQ(S_OK, SetErrorInfo(0, theirs.info));
        EXPECT_EQ(S_OK, GetErrorInfo(0, &current));
        EXPECT_EQ(theirs.info, current);
        if (current)
            current->Release();
    }).join();

    IErrorInfo* current = nullptr;
    ASSERT_EQ(S_OK, GetErrorInfo(0, &current));
    EXPECT_EQ(mine.info, current);
    current->Release();
}

// What a thread leaves behind is released when it ends if it is the runtime's own error
// object; another module's object is left alone, as its code may be gone by then.
TEST(ThreadErrorInfo, EndingThreadReleasesOnlyOwnErrorObjects)
{
    ErrorObjectRefs own;
    MakeErrorObject(own);
    const ULONG ownBefore = ReferencesOf(own.info);
    ForeignErrorInfo foreign;

    std::thread([&] { EXPECT_EQ(S_OK, SetErrorInfo(0, own.info)); }).join();
    EXPECT_EQ(ownBefore, ReferencesOf(own.info));

    std::thread([&] { EXPECT_EQ(S_OK, SetErrorInfo(0, &foreign)); }).join();
    EXPECT_EQ(2u, foreign.refs.load());
}

}  // namespace
