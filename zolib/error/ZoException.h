// The library's one exception type. It carries an error document: a root "error" with one
// "errorentry" per error recorded on the way out, oldest first, so that the first cause and
// the whole trace travel together.
#pragma once

#include <windows.h>

#include "ComError.h"
#include "OleString.h"
#include "ZoErrorCodes.h"
#include "ZoNode.h"

// The status every interface method returns when its frame caught an error: severity error,
// FACILITY_ITF, code 0x5D53.
inline constexpr HRESULT E_ZO_EXCEPTION = _HRESULT_TYPEDEF_(0x80045D53L);

// A system error number as an HRESULT: above 0 it becomes 0x80070000 | (n & 0xFFFF); other
// values (HRESULTs among them) stay as they are.
HRESULT ZoHResultFromSystemError(LONG errorNumber);

// The system's message for an error number or HRESULT, in the given language (0: the user
// default), else the user default language, else from "winhttp.dll" when it is loaded;
// trailing white space removed. Without a message: "Unable to format error message from
// error number %d".
OleString ZoSystemMessageText(DWORD errorNumber, DWORD languageId = 0);

// The message the compiler's COM support gives for a status: the system's text (its final
// CR LF removed), else "IDispatch error #%d" for the interface codes, else "Unknown error".
OleString ZoComErrorMessage(HRESULT hr);

class CZoException {
public:
    // Root "error" and one entry with these values: the form every raising site uses.
    CZoException(OleStringView message, LONG code, OleStringView sourceFile, int sourceLine,
                 OleStringView sourceFunction);
    // The same with one of the library's codes and its message.
    CZoException(CZoErrorCode code, OleStringView sourceFile, int sourceLine, OleStringView sourceFunction)
        : CZoException(code.message, code.number, sourceFile, sourceLine, sourceFunction)
    {
    }
    // A new root with deep copies of the source's entries.
    CZoException(const CZoException& other);
    CZoException& operator=(const CZoException& other);
    // From a failed COM call. An E_ZO_EXCEPTION whose error object describes an error
    // document continues that document; any other error, an E_ZO_EXCEPTION without error
    // object or with some other description included (another component may use the same
    // interface-specific code), becomes one entry with the message and the status.
    explicit CZoException(const CComError& error);
    virtual ~CZoException();

    // Appends an entry; returns the exception itself so that a frame can add and rethrow.
    CZoException& AddError(OleStringView message, LONG code, OleStringView sourceFile, int sourceLine,
                           OleStringView sourceFunction);
    CZoException& AddError(CZoErrorCode code, OleStringView sourceFile, int sourceLine, OleStringView sourceFunction)
    {
        return AddError(code.message, code.number, sourceFile, sourceLine, sourceFunction);
    }
    // Adds a named detail to the newest entry not made by a frame level (code 1005).
    void AddInfo(OleStringView name, OleStringView value);
    void AddInfo(OleStringView name, LONG value, bool hex);
    // Whether that entry has a detail of this name.
    bool HasInfo(OleStringView name);

    // The entries' texts newest first, frame entries left out, then the stack trace; every
    // "%" doubled so that the text can serve as a format.
    OleString GetDescription() const;
    OleString GetStackTrace() const;
    OleString GetXML() const;
    // Parses text into the root; a parse error is not reported and what was parsed stays.
    void LoadErrorDocument(const OLECHAR* text);

    const CZoNode& Document() const { return m_root; }

    // Whether text is an error document of this library: it parses without error and with
    // nothing but white space after it, its root is "error", and the root has at least one
    // child element, each of them an "errorentry" with an "errorcode".
    static bool IsErrorDocument(const OLECHAR* text);

private:
    // Parses text into root; whether it is an error document as IsErrorDocument says.
    static bool ParseErrorDocument(const OLECHAR* text, CZoNode& root);
    static void DropLayoutWhiteSpace(CZoNode& root);
    // The newest entry not made by a frame level; null when there is none.
    CZoNode* NewestRaisedEntry();
    void CopyEntriesFrom(const CZoException& other);
    void AddComErrorEntry(HRESULT hr, IErrorInfo* errorInfo, const OleString& description);

    CZoNode m_root;
};
