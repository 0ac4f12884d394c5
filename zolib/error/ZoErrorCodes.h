// The library's own error codes, each with the one message it is raised with: the table of
// what an error entry's code says. The frame's own codes carry the fixed start of their
// message, which the frame completes. The "raised when" comment above each entry is read by
// server/idlgen into the reference (docs/reference.md), which fails for an entry without one.
#pragma once

#include <windows.h>

struct CZoErrorCode {
    LONG number;
    const OLECHAR* message;

    constexpr operator LONG() const noexcept { return number; }
};

// Made by the frame itself.
// raised when: an error frame catches an exception of a type it does not know: neither an
//   error of the library nor a standard exception nor a thrown text.
inline constexpr CZoErrorCode ZO_ERR_UNHANDLED{1001, OLESTR("Unhandled exception caught (Possibly caused by access violation)")};
// raised when: an error frame catches a standard C++ exception (out of memory, for example);
//   the exception's own text completes the message.
inline constexpr CZoErrorCode ZO_ERR_STD_EXCEPTION{1002, OLESTR("std exception caught: ")};
// raised when: an error frame catches a thrown narrow text; the text completes the message.
inline constexpr CZoErrorCode ZO_ERR_CHAR_EXCEPTION{1003, OLESTR("char* exception caught: ")};
// For a thrown wide string (OLECHAR text), in the words error documents have always used. It
// names the Windows C type of such text; spelled in two pieces, since the portable code names
// no wide C type of its own.
// raised when: an error frame catches a thrown wide text; the text completes the message.
inline constexpr CZoErrorCode ZO_ERR_WCHAR_EXCEPTION{1004, OLESTR("wchar") OLESTR("_t* exception caught: ")};
// raised when: an error leaves a function of the library on its way out: each function adds an entry
//   with this code and its name, file and line, so the document traces the calls outwards from the cause.
inline constexpr CZoErrorCode ZO_ERR_STACKTRACE{1005, OLESTR("Stacktrace.")};

// Raised by the library's functions.
// raised when: SaveXML meets items or collections nested deeper than a document may be (the entry's
//   MaxElementDepth names the limit); also a C runtime call fails with an error number that has no
//   text.
inline constexpr CZoErrorCode ZO_ERR_UNDEFINED{1006, OLESTR("Undefined error.")};
// raised when: SetPropertyChanged names a property that the collection does not hold; ToString or
//   SaveXML meets an object that contains itself, or ToString is given an indent deeper than 65536
//   levels (the entry's Reason says which); also a function of the library is given an argument it
//   cannot use (a negative size, an empty list of separators, a registry path without a known root
//   key, an empty path).
inline constexpr CZoErrorCode ZO_ERR_INVALID_PARAMETER{1010, OLESTR("Invalid function parameter.")};
// raised when: SaveXML or LoadXML is called on a LumoProperty or a LumoEnumProperty, which have no
//   document of their own; a collection is saved that holds a member other than a LumoItem; a collection
//   document holds an element other than "item".
inline constexpr CZoErrorCode ZO_ERR_UNIMPLEMENTED{1012, OLESTR("Unimplemented.")};
// raised when: Next, Skip, Reset or Clone is called on an enumerator that walks no collection: a
//   LumoEnumVARIANT created by itself rather than through a collection's _NewEnum.
inline constexpr CZoErrorCode ZO_ERR_NOT_INITIALIZED{1013, OLESTR("Object not initialized.")};
// raised when: a value is taken as an array that it is not: not an array of one dimension, or
//   one whose elements are not of the type its variant type names (when a byte, string or integer list
//   is written as text, for example).
inline constexpr CZoErrorCode ZO_ERR_INVALID_VARIANT_TYPE{1015, OLESTR("Invalid variant type")};
// raised when: a folder is to be created where a file of that name exists (the folder of the log
//   file, for example).
inline constexpr CZoErrorCode ZO_ERR_CREATE_DIRECTORY{2001, OLESTR("Failed to create directory.")};
// raised when: a date cannot be converted: a calendar time with a field out of range, or a DATE
//   outside the range the platform converts (when a dateTime is written to or read from a document, for
//   example).
inline constexpr CZoErrorCode ZO_ERR_TIME_CONVERSION{2002, OLESTR("Time conversion failed.")};
// raised when: LoadXML is given text that is not a well-formed XML document, or a property
//   element without its name, its namespace, or the type of its value; the lumoitems tool reads a file
//   that does not begin with an element.
inline constexpr CZoErrorCode ZO_ERR_INVALID_STRING_FORMAT{2003, OLESTR("Invalid string format.")};
// raised when: a registry key that must exist cannot be opened, or one cannot be created (the
//   logging configuration's, the event source's); the entry before it holds the system's error.
inline constexpr CZoErrorCode ZO_ERR_OPEN_REGISTRY_KEY{2004, OLESTR("Failed to open registry key.")};
// raised when: a file of the library (the log file, for example) is read or written before it has
//   been opened.
inline constexpr CZoErrorCode ZO_ERR_FILE_NOT_OPEN{2006, OLESTR("File not open.")};
// raised when: the data of a byte array is taken while the array is not locked: a fault of the
//   library itself.
inline constexpr CZoErrorCode ZO_ERR_ARRAY_NOT_LOCKED{2007, OLESTR("Array not locked.")};
// raised when: a log file that has grown beyond FileMaxSize cannot be moved aside to its "_old" name; the
//   entry before it holds the system's error.
inline constexpr CZoErrorCode ZO_ERR_MOVE_FILE{2008, OLESTR("Failed to move file.")};
// raised when: a file cannot be deleted (an older "_old" log file that a full one replaces, for
//   example); the entry before it holds the system's error.
inline constexpr CZoErrorCode ZO_ERR_DELETE_FILE{2012, OLESTR("Failed to delete file.")};
// raised when: a registry value that must exist cannot be read; the entry before it holds the
//   system's error.
inline constexpr CZoErrorCode ZO_ERR_READ_REGISTRY_VALUE{2014, OLESTR("Failed to read registry value.")};
// raised when: a registry value cannot be written (a setting of the logconfig tool, the event
//   source's values without administrator rights); the entry before it holds the system's error.
inline constexpr CZoErrorCode ZO_ERR_WRITE_REGISTRY_VALUE{2015, OLESTR("Failed to write registry value.")};
// raised when: SaveXML meets a property value of a type that has no XML Schema text
//   (the entry's VarType names it), such as an array of doubles.
inline constexpr CZoErrorCode ZO_ERR_UNSUPPORTED_VARIANT_TO_XSD{2017, OLESTR("Unsupported VARIANT type for XSD conversion.")};
// raised when: LoadXML meets a property whose type attribute names no type the library
//   reads (the entry's XSDType names it).
inline constexpr CZoErrorCode ZO_ERR_UNSUPPORTED_XSD_TO_VARIANT{2018, OLESTR("Unsupported XSD type for VARIANT conversion.")};
// raised when: SaveXML meets a string list value with a comma in one of its strings, which
//   would split it in two when read back.
inline constexpr CZoErrorCode ZO_ERR_INVALID_STRING_ARRAY_CHAR{2021, OLESTR("Invalid character found in string array value, \",\" is not allowed.")};
// raised when: a LumoEnum is given a key that is not a string (Add, KeyExists), or an index
//   that is neither a number nor a string key (Item, Remove); the entry's Type names the variant type.
inline constexpr CZoErrorCode ZO_ERR_INVALID_ENUM_KEY_TYPE{53001, OLESTR("Invalid enumerator key type.")};
// raised when: LumoEnum's Add is given a key that the collection already holds (the entry's Key
//   names it).
inline constexpr CZoErrorCode ZO_ERR_ENUM_KEY_EXISTS{53002, OLESTR("Enumerator key already exists.")};
// raised when: LoadXML is given an item document whose "item" element has no progid, or one
//   other than "LumoItemsLib::LumoItem".
inline constexpr CZoErrorCode ZO_ERR_INVALID_PROGID_IN_XML{53003, OLESTR("Invalid progid in XML.")};
// raised when: LoadXML meets a property holding an object whose progid is neither
//   "LumoItemsLib::LumoItem" nor "LumoItemsLib::LumoEnum" (the entry's progid names it).
inline constexpr CZoErrorCode ZO_ERR_UNSUPPORTED_XML_OBJECT{53004, OLESTR("Unsupported COM object for XML serialization.")};
