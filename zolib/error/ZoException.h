// The library's one exception type. It carries an error document: a root "error" with one
// "errorentry" per error recorded on the way out, oldest first, so that the first cause and
// the whole trace travel together.
#pragma once

#include <windows.h>

#include "ComError.h"
#include "OleString.h"
#include "ZoNode.h"

// The status every interface method returns when its frame caught an error: severity error,
// FACILITY_ITF, code 0x5D53.
inline constexpr HRESULT E_ZO_EXCEPTION = _HRESULT_TYPEDEF_(0x80045D53L);

// Entry codes made by the frame itself.
inline constexpr LONG ZO_ERR_UNHANDLED = 1001;
inline constexpr LONG ZO_ERR_STD_EXCEPTION = 1002;
inline constexpr LONG ZO_ERR_CHAR_EXCEPTION = 1003;
inline constexpr LONG ZO_ERR_WCHAR_EXCEPTION = 1004;
inline constexpr LONG ZO_ERR_STACKTRACE = 1005;
// Entry codes raised with a fixed message, noted beside each.
inline constexpr LONG ZO_ERR_UNDEFINED = 1006;                  // "Undefined error."
inline constexpr LONG ZO_ERR_INVALID_PARAMETER = 1010;          // "Invalid function parameter."
inline constexpr LONG ZO_ERR_UNIMPLEMENTED = 1012;              // "Unimplemented."
inline constexpr LONG ZO_ERR_NOT_INITIALIZED = 1013;            // "Object not initialized."
inline constexpr LONG ZO_ERR_INVALID_VARIANT_TYPE = 1015;       // "Invalid variant type"
inline constexpr LONG ZO_ERR_CREATE_DIRECTORY = 2001;           // "Failed to create directory."
inline constexpr LONG ZO_ERR_TIME_CONVERSION = 2002;            // "Time conversion failed."
inline constexpr LONG ZO_ERR_INVALID_STRING_FORMAT = 2003;      // "Invalid string format."
inline constexpr LONG ZO_ERR_OPEN_REGISTRY_KEY = 2004;          // "Failed to open registry key."
inline constexpr LONG ZO_ERR_FILE_NOT_OPEN = 2006;              // "File not open."
inline constexpr LONG ZO_ERR_ARRAY_NOT_LOCKED = 2007;           // "Array not locked."
inline constexpr LONG ZO_ERR_MOVE_FILE = 2008;                  // "Failed to move file."
inline constexpr LONG ZO_ERR_DELETE_FILE = 2012;                // "Failed to delete file."
inline constexpr LONG ZO_ERR_READ_REGISTRY_VALUE = 2014;        // "Failed to read registry value."
inline constexpr LONG ZO_ERR_WRITE_REGISTRY_VALUE = 2015;       // "Failed to write registry value."
inline constexpr LONG ZO_ERR_UNSUPPORTED_VARIANT_TO_XSD = 2017; // "Unsupported VARIANT type for XSD conversion."
inline constexpr LONG ZO_ERR_UNSUPPORTED_XSD_TO_VARIANT = 2018; // "Unsupported XSD type for VARIANT conversion."
inline constexpr LONG ZO_ERR_INVALID_STRING_ARRAY_CHAR = 2021;  // "Invalid character found in string array value, \",\" is not allowed."
inline constexpr LONG ZO_ERR_INVALID_ENUM_KEY_TYPE = 53001;     // "Invalid enumerator key type."
inline constexpr LONG ZO_ERR_ENUM_KEY_EXISTS = 53002;           // "Enumerator key already exists."
inline constexpr LONG ZO_ERR_INVALID_PROGID_IN_XML = 53003;     // "Invalid progid in XML."
inline constexpr LONG ZO_ERR_UNSUPPORTED_XML_OBJECT = 53004;    // "Unsupported COM object for XML serialization."

// The message of error 1004, for a thrown wide string (OLECHAR text), in the words error
// documents have always used. It names the Windows C type of such text; spelled in two
// pieces, since the portable code names no wide C type of its own.
inline constexpr const OLECHAR kZoWideTextExceptionMessage[] = OLESTR("wchar") OLESTR("_t* exception caught: ");

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
