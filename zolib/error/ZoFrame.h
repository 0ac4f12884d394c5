// The error frame: every function of the library runs its body in it, so that whatever the
// body throws leaves the function in the one form its place calls for.
//
//   ZO_SOURCE_FILE(".\\LumoProperty")        // once per source file, before its frames
//
//   STDMETHODIMP CLumoProperty::put_Name(BSTR newName)
//   {
//       ZO_METHOD(OLESTR("CLumoProperty::put_Name"), IID_ILumoProperty)
//       {
//           if (!newName)
//               ZO_RAISE(ZO_ERR_INVALID_PARAMETER);   // "Invalid function parameter."
//           m_name = newName;                  // may also "return S_FALSE;" and the like
//       }
//       ZO_METHOD_END
//   }
//
// Interface methods (ZO_METHOD, and ZO_METHOD_UNLOCKED for FinalConstruct) hold the object
// lock m_lock through the body and the whole frame and return the body's status (S_OK when
// it returns nothing), or E_ZO_EXCEPTION with an error object whose description is the error
// document. The class provides GetObjectCLSID() (CComCoClass does); the error object's source
// is the program id registered for that class.
//
// Library functions (ZO_FUNCTION) return the body's value or throw a CZoException on;
// ZO_BLOCK is the same frame as a statement, for constructors and the like.
// Destructors and release functions (ZO_DESTRUCTOR) log the error and carry on with the
// statements after ZO_DESTRUCTOR_END.
//
// Each frame records its own position: the line of its END macro. Inside a body,
// ZO_RAISE(code) raises a CZoException at the line it stands on, ZO_THROW(message, code)
// the same with a message of its own, and
// ZO_THROW_HR(hr) and ZO_THROW_SYSTEM_ERROR(number) raise one with the system's message.
//
// Nothing leaves an interface method or a destructor: should handling the error fail in turn
// (out of memory while building the error document, say), the method returns E_OUTOFMEMORY
// or E_UNEXPECTED with no error object, and a destructor logs what it still can.
#pragma once

#include <type_traits>

#include <windows.h>

#include "ZoException.h"
#include "ZoLock.h"

struct CZoFrameSite {
    const OLECHAR* function;
    const OLECHAR* file;
    int line;
};

// The innermost level's handlers: called inside a catch clause, turns the exception being
// handled into a CZoException carrying the frame's position, and throws it.
[[noreturn]] void ZoRaiseCurrentException(const CZoFrameSite& site);

// The outermost level of the three forms.
HRESULT ZoReportException(const CZoException& exception, REFIID iid, REFCLSID clsid);
void ZoLogException(const CZoException& exception, const CZoFrameSite& site);

// The guard around the frame's own handlers: called inside a catch clause.
HRESULT ZoStatusOfFailedHandling() noexcept;
void ZoLogFailedHandling(const CZoFrameSite& site) noexcept;

// The inner level: the body's exceptions become a CZoException. One that is already a
// CZoException travels on as the same object with the frame's entry added, so that an error
// passing many frames is never copied on the way.
template <class Body>
auto ZoRunFrameBody(const CZoFrameSite& site, Body& body)
{
    try {
        return body();
    } catch (...) {
        ZoRaiseCurrentException(site);
    }
}

template <class Body>
HRESULT ZoMethodFrame(CZoLock* lock, REFIID iid, REFCLSID clsid, const OLECHAR* function, const OLECHAR* file,
                      Body&& body, int line) noexcept
{
    using Result = std::invoke_result_t<Body&>;
    static_assert(std::is_void_v<Result> || std::is_same_v<Result, HRESULT>,
                  "an interface method's body returns nothing or an HRESULT");
    const CZoFrameSite site{function, file, line};
    try {
        CZoLockHolder holder(lock);
        try {
            if constexpr (std::is_void_v<Result>) {
                ZoRunFrameBody(site, body);
                return S_OK;
            } else {
                return ZoRunFrameBody(site, body);
            }
        } catch (const CZoException& exception) {
            return ZoReportException(exception, iid, clsid);
        }
    } catch (...) {
        return ZoStatusOfFailedHandling();
    }
}

template <class Body>
auto ZoFunctionFrame(const OLECHAR* function, const OLECHAR* file, Body&& body, int line)
{
    const CZoFrameSite site{function, file, line};
    return ZoRunFrameBody(site, body);
}

// An inner frame within a body, for a step whose errors carry details of the step: an error
// raised in body gets the frame's entry, then describe(error) adds the details, and the error
// travels on.
//
//   ZoDetailingFrame(zoFunctionName, zoSourceFile, __LINE__, [&] { WriteValue(value); },
//                    [&](CZoException& error) { error.AddInfo(OLESTR("PropName"), name); });
template <class Body, class Describe>
auto ZoDetailingFrame(const OLECHAR* function, const OLECHAR* file, int line, Body&& body, Describe&& describe)
{
    try {
        return ZoFunctionFrame(function, file, body, line);
    } catch (CZoException& error) {
        describe(error);
        throw;
    }
}

template <class Body>
void ZoDestructorFrame(const OLECHAR* function, const OLECHAR* file, Body&& body, int line) noexcept
{
    static_assert(std::is_void_v<std::invoke_result_t<Body&>>, "a destructor's body returns nothing");
    const CZoFrameSite site{function, file, line};
    try {
        try {
            ZoRunFrameBody(site, body);
        } catch (const CZoException& exception) {
            ZoLogException(exception, site);
        }
    } catch (...) {
        ZoLogFailedHandling(site);
    }
}

#define ZO_SOURCE_FILE(name) ZO_SOURCE_FILE_IS(OLESTR(name))
// The same with the name as a constant of the code, such as a class's kSourceFile.
#define ZO_SOURCE_FILE_IS(text)                                           \
    namespace {                                                           \
    [[maybe_unused]] constexpr const OLECHAR* zoSourceFile = (text);      \
    }

// Whether a frame's name, "Class::Function" or "Function", is that of the function it stands
// in: the compiler's full name of the function is "... Class::Function(...)...".
constexpr bool ZoFrameNameFits(const OLECHAR* name, const char* function)
{
    const auto isIdentifierCharacter = [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
    };
    for (size_t start = 0; function[start]; ++start) {
        if (start > 0 && isIdentifierCharacter(function[start - 1]))
            continue;
        size_t length = 0;
        while (name[length] && function[start + length] == static_cast<char>(name[length]))
            ++length;
        if (!name[length] && function[start + length] == '(')
            return true;
    }
    return false;
}

// Names the frames of the function it stands in (the frame macros use it; a function that
// calls ZoDetailingFrame itself names them with it). The name is checked against the
// function, so that a moved or renamed function cannot keep a stale one.
#define ZO_FRAME_NAME(name)                                                              \
    static_assert(::ZoFrameNameFits((name), __PRETTY_FUNCTION__), "the frame is not named after its function"); \
    [[maybe_unused]] const OLECHAR* const zoFunctionName = (name)

#define ZO_METHOD(name, iid)                                                                            \
    ZO_FRAME_NAME(name);                                                                      \
    return ::ZoMethodFrame(&this->m_lock, (iid), this->GetObjectCLSID(), zoFunctionName, zoSourceFile, [&]()
#define ZO_METHOD_UNLOCKED(name, iid)                                                                   \
    ZO_FRAME_NAME(name);                                                                      \
    return ::ZoMethodFrame(nullptr, (iid), this->GetObjectCLSID(), zoFunctionName, zoSourceFile, [&]()
#define ZO_METHOD_END , __LINE__);

#define ZO_FUNCTION(name)          \
    ZO_FRAME_NAME(name); \
    return ::ZoFunctionFrame(zoFunctionName, zoSourceFile, [&]()
#define ZO_FUNCTION_END , __LINE__);

// The library-function frame as a statement, for the places that cannot return the frame's
// value: a constructor, a function that returns a reference, a guard's body.
#define ZO_BLOCK(name)    \
    ZO_FRAME_NAME(name); \
    ::ZoFunctionFrame(zoFunctionName, zoSourceFile, [&]()
#define ZO_BLOCK_END , __LINE__);

#define ZO_DESTRUCTOR(name)        \
    ZO_FRAME_NAME(name); \
    ::ZoDestructorFrame(zoFunctionName, zoSourceFile, [&]()
#define ZO_DESTRUCTOR_END , __LINE__);

// One of the library's codes (ZoErrorCodes.h), raised with its message.
#define ZO_RAISE(code) ZO_THROW((code).message, (code).number)

// Any other code with a message of its own, such as a platform status with a text that says
// more than the system's.
#define ZO_THROW(message, code) throw ::CZoException((message), (code), zoSourceFile, __LINE__, zoFunctionName)

// ZO_THROW and ZO_RAISE with one named detail on the entry raised.
#define ZO_RAISE_WITH_INFO(code, infoName, infoValue) ZO_THROW_WITH_INFO((code).message, (code).number, infoName, infoValue)
#define ZO_THROW_WITH_INFO(message, code, infoName, infoValue)                                         \
    do {                                                                                                \
        ::CZoException zoError((message), (code), zoSourceFile, __LINE__, zoFunctionName);              \
        zoError.AddInfo((infoName), (infoValue));                                                       \
        throw zoError;                                                                                  \
    } while (false)

#define ZO_THROW_HR(hr)                                                                                     \
    do {                                                                                                    \
        const HRESULT zoStatus = (hr);                                                                      \
        throw ::CZoException(::ZoSystemMessageText(static_cast<DWORD>(zoStatus)), zoStatus, zoSourceFile,  \
                             __LINE__, zoFunctionName);                                                     \
    } while (false)

// An exception of one of the library's codes at the line it stands on, not thrown: for an
// error that gains entries or details before it is raised, or that is logged instead.
#define ZO_ERROR_OF(code) ZO_EXCEPTION((code).message, (code).number)
// The same with a message of its own.
#define ZO_EXCEPTION(message, code) ::CZoException((message), (code), zoSourceFile, __LINE__, zoFunctionName)
// The same with the system's message for a system error number, and its HRESULT as code.
#define ZO_SYSTEM_EXCEPTION(number) ::ZoSystemErrorException((number), zoSourceFile, __LINE__, zoFunctionName)
// The thread's last error as such an exception; a failure that left none is E_FAIL, so that it
// never reads as success.
#define ZO_LAST_ERROR_EXCEPTION() ::ZoSystemErrorException(::ZoLastErrorOrFail(), zoSourceFile, __LINE__, zoFunctionName)

// The C runtime's error number (errno) with the runtime's text for it; 1006 "Undefined error."
// when the runtime has no text.
#define ZO_RUNTIME_EXCEPTION(error) ::ZoRuntimeErrorException((error), zoSourceFile, __LINE__, zoFunctionName)

CZoException ZoRuntimeErrorException(int error, const OLECHAR* file, int line, const OLECHAR* function);

inline CZoException ZoSystemErrorException(DWORD number, const OLECHAR* file, int line, const OLECHAR* function)
{
    return CZoException(ZoSystemMessageText(number), ZoHResultFromSystemError(static_cast<LONG>(number)), file, line,
                        function);
}

inline DWORD ZoLastErrorOrFail()
{
    const DWORD error = GetLastError();
    return error == ERROR_SUCCESS ? static_cast<DWORD>(E_FAIL) : error;
}

// number: a system error number such as GetLastError() gives; the code is its HRESULT.
#define ZO_THROW_SYSTEM_ERROR(number)                                                                    \
    do {                                                                                                 \
        const DWORD zoErrorNumber = (number);                                                            \
        throw ::CZoException(::ZoSystemMessageText(zoErrorNumber),                                       \
                             ::ZoHResultFromSystemError(static_cast<LONG>(zoErrorNumber)), zoSourceFile, \
                             __LINE__, zoFunctionName);                                                  \
    } while (false)
