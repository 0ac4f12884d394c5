// The library's own error codes, each with the one message it is raised with: the table of
// what an error entry's code says. The frame's own codes carry the fixed start of their
// message, which the frame completes.
#pragma once

#include <windows.h>

struct CZoErrorCode {
    LONG number;
    const OLECHAR* message;

    constexpr operator LONG() const noexcept { return number; }
};

// Made by the frame itself.
inline constexpr CZoErrorCode ZO_ERR_UNHANDLED{1001, OLESTR("Unhandled exception caught (Possibly caused by access violation)")};
inline constexpr CZoErrorCode ZO_ERR_STD_EXCEPTION{1002, OLESTR("std exception caught: ")};
inline constexpr CZoErrorCode ZO_ERR_CHAR_EXCEPTION{1003, OLESTR("char* exception caught: ")};
// For a thrown wide string (OLECHAR text), in the words error documents have always used. It
// names the Windows C type of such text; spelled in two pieces, since the portable code names
// no wide C type of its own.
inline constexpr CZoErrorCode ZO_ERR_WCHAR_EXCEPTION{1004, OLESTR("wchar") OLESTR("_t* exception caught: ")};
inline constexpr CZoErrorCode ZO_ERR_STACKTRACE{1005, OLESTR("Stacktrace.")};

// Raised by the library's functions.
inline constexpr CZoErrorCode ZO_ERR_UNDEFINED{1006, OLESTR("Undefined error.")};
inline constexpr CZoErrorCode ZO_ERR_INVALID_PARAMETER{1010, OLESTR("Invalid function parameter.")};
inline constexpr CZoErrorCode ZO_ERR_UNIMPLEMENTED{1012, OLESTR("Unimplemented.")};
inline constexpr CZoErrorCode ZO_ERR_NOT_INITIALIZED{1013, OLESTR("Object not initialized.")};
inline constexpr CZoErrorCode ZO_ERR_INVALID_VARIANT_TYPE{1015, OLESTR("Invalid variant type")};
inline constexpr CZoErrorCode ZO_ERR_CREATE_DIRECTORY{2001, OLESTR("Failed to create directory.")};
inline constexpr CZoErrorCode ZO_ERR_TIME_CONVERSION{2002, OLESTR("Time conversion failed.")};
inline constexpr CZoErrorCode ZO_ERR_INVALID_STRING_FORMAT{2003, OLESTR("Invalid string format.")};
inline constexpr CZoErrorCode ZO_ERR_OPEN_REGISTRY_KEY{2004, OLESTR("Failed to open registry key.")};
inline constexpr CZoErrorCode ZO_ERR_FILE_NOT_OPEN{2006, OLESTR("File not open.")};
inline constexpr CZoErrorCode ZO_ERR_ARRAY_NOT_LOCKED{2007, OLESTR("Array not locked.")};
inline constexpr CZoErrorCode ZO_ERR_MOVE_FILE{2008, OLESTR("Failed to move file.")};
inline constexpr CZoErrorCode ZO_ERR_DELETE_FILE{2012, OLESTR("Failed to delete file.")};
inline constexpr CZoErrorCode ZO_ERR_READ_REGISTRY_VALUE{2014, OLESTR("Failed to read registry value.")};
inline constexpr CZoErrorCode ZO_ERR_WRITE_REGISTRY_VALUE{2015, OLESTR("Failed to write registry value.")};
inline constexpr CZoErrorCode ZO_ERR_UNSUPPORTED_VARIANT_TO_XSD{2017, OLESTR("Unsupported VARIANT type for XSD conversion.")};
inline constexpr CZoErrorCode ZO_ERR_UNSUPPORTED_XSD_TO_VARIANT{2018, OLESTR("Unsupported XSD type for VARIANT conversion.")};
inline constexpr CZoErrorCode ZO_ERR_INVALID_STRING_ARRAY_CHAR{2021, OLESTR("Invalid character found in string array value, \",\" is not allowed.")};
inline constexpr CZoErrorCode ZO_ERR_INVALID_ENUM_KEY_TYPE{53001, OLESTR("Invalid enumerator key type.")};
inline constexpr CZoErrorCode ZO_ERR_ENUM_KEY_EXISTS{53002, OLESTR("Enumerator key already exists.")};
inline constexpr CZoErrorCode ZO_ERR_INVALID_PROGID_IN_XML{53003, OLESTR("Invalid progid in XML.")};
inline constexpr CZoErrorCode ZO_ERR_UNSUPPORTED_XML_OBJECT{53004, OLESTR("Unsupported COM object for XML serialization.")};
