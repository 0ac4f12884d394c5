#include "kernel32/MessageTable.h"

#include <algorithm>
#include <iterator>

namespace lumo::platform {

namespace {

struct SystemMessage {
    DWORD id;
    const char16_t* text;  // without the CR LF that every system message ends with
};

// Sorted by number (as unsigned), for the binary search. Add a text where its number belongs.
constexpr SystemMessage kSystemMessages[] = {
    {ERROR_SUCCESS, u"The operation completed successfully."},
    {ERROR_INVALID_FUNCTION, u"Incorrect function."},
    {ERROR_FILE_NOT_FOUND, u"The system cannot find the file specified."},
    {ERROR_PATH_NOT_FOUND, u"The system cannot find the path specified."},
    {ERROR_TOO_MANY_OPEN_FILES, u"The system cannot open the file."},
    {ERROR_ACCESS_DENIED, u"Access is denied."},
    {ERROR_INVALID_HANDLE, u"The handle is invalid."},
    {ERROR_NOT_ENOUGH_MEMORY, u"Not enough memory resources are available to process this command."},
    {ERROR_BAD_FORMAT, u"An attempt was made to load a program with an incorrect format."},
    {ERROR_INVALID_DATA, u"The data is invalid."},
    {ERROR_OUTOFMEMORY, u"Not enough memory resources are available to complete this operation."},
    {ERROR_INVALID_DRIVE, u"The system cannot find the drive specified."},
    {ERROR_NO_MORE_FILES, u"There are no more files."},
    {ERROR_WRITE_PROTECT, u"The media is write protected."},
    {ERROR_NOT_READY, u"The device is not ready."},
    {ERROR_GEN_FAILURE, u"A device attached to the system is not functioning."},
    {ERROR_SHARING_VIOLATION, u"The process cannot access the file because it is being used by another process."},
    {ERROR_LOCK_VIOLATION,
     u"The process cannot access the file because another process has locked a portion of the file."},
    {ERROR_HANDLE_EOF, u"Reached the end of the file."},
    {ERROR_NOT_SUPPORTED, u"The request is not supported."},
    {ERROR_FILE_EXISTS, u"The file exists."},
    {ERROR_INVALID_PARAMETER, u"The parameter is incorrect."},
    {ERROR_BROKEN_PIPE, u"The pipe has been ended."},
    {ERROR_DISK_FULL, u"There is not enough space on the disk."},
    {ERROR_CALL_NOT_IMPLEMENTED, u"This function is not supported on this system."},
    {ERROR_INSUFFICIENT_BUFFER, u"The data area passed to a system call is too small."},
    {ERROR_INVALID_NAME, u"The filename, directory name, or volume label syntax is incorrect."},
    {ERROR_MOD_NOT_FOUND, u"The specified module could not be found."},
    {ERROR_PROC_NOT_FOUND, u"The specified procedure could not be found."},
    {ERROR_DIR_NOT_EMPTY, u"The directory is not empty."},
    {ERROR_BAD_PATHNAME, u"The specified path is invalid."},
    {ERROR_BUSY, u"The requested resource is in use."},
    {ERROR_ALREADY_EXISTS, u"Cannot create a file when that file already exists."},
    {ERROR_ENVVAR_NOT_FOUND, u"The system could not find the environment option that was entered."},
    {ERROR_FILENAME_EXCED_RANGE, u"The filename or extension is too long."},
    {ERROR_MORE_DATA, u"More data is available."},
    {WAIT_TIMEOUT, u"The wait operation timed out."},
    {ERROR_NO_MORE_ITEMS, u"No more data is available."},
    {ERROR_DIRECTORY, u"The directory name is invalid."},
    {ERROR_NOT_OWNER, u"Attempt to release mutex not owned by caller."},
    {ERROR_TOO_MANY_POSTS, u"Too many posts were made to a semaphore."},
    {ERROR_MR_MID_NOT_FOUND,
     u"The system cannot find message text for message number 0x%1 in the message file for %2."},
    {ERROR_INVALID_ADDRESS, u"Attempt to access invalid address."},
    {ERROR_ARITHMETIC_OVERFLOW, u"Arithmetic result exceeded 32 bits."},
    {ERROR_ABANDONED_WAIT_0, u"The caller attempted to wait for a mutex that has been abandoned."},
    {ERROR_NOACCESS, u"Invalid access to memory location."},
    {ERROR_INVALID_FLAGS, u"Invalid flags."},
    {ERROR_CANTOPEN, u"The configuration registry key could not be opened."},
    {ERROR_CANTREAD, u"The configuration registry key could not be read."},
    {ERROR_CANTWRITE, u"The configuration registry key could not be written."},
    {ERROR_REGISTRY_CORRUPT,
     u"The registry is corrupted. The structure of one of the files containing registry data is corrupted, or "
     u"the system's memory image of the file is corrupted, or the file could not be recovered because the "
     u"alternate copy or log was absent or corrupted."},
    {ERROR_REGISTRY_IO_FAILED,
     u"An I/O operation initiated by the registry failed unrecoverably. The registry could not read in, or write "
     u"out, or flush, one of the files that contain the system's image of the registry."},
    {ERROR_KEY_DELETED, u"Illegal operation attempted on a registry key that has been marked for deletion."},
    {ERROR_CHILD_MUST_BE_VOLATILE, u"Cannot create a stable subkey under a volatile parent key."},
    {ERROR_NO_UNICODE_TRANSLATION, u"No mapping for the Unicode character exists in the target multi-byte code page."},
    {ERROR_DLL_INIT_FAILED, u"A dynamic link library (DLL) initialization routine failed."},
    {ERROR_INVALID_SID, u"The security ID structure is invalid."},
    {ERROR_INTERNAL_ERROR, u"An internal error occurred."},
    {ERROR_INVALID_INDEX, u"Invalid index."},
    {ERROR_TIMEOUT, u"This operation returned because the timeout period expired."},
    {ERROR_UNKNOWN_PROPERTY, u"Unknown property."},
    {ERROR_INVALID_DATATYPE, u"The specified datatype is invalid."},
    {ERROR_RESOURCE_DATA_NOT_FOUND, u"The specified image file did not contain a resource section."},
    {ERROR_RESOURCE_TYPE_NOT_FOUND, u"The specified resource type cannot be found in the image file."},
    {ERROR_RESOURCE_NAME_NOT_FOUND, u"The specified resource name cannot be found in the image file."},
    {ERROR_RESOURCE_LANG_NOT_FOUND, u"The specified resource language ID cannot be found in the image file."},
    {ERROR_CANT_ACCESS_FILE, u"The file cannot be accessed by the system."},

    {static_cast<DWORD>(E_NOTIMPL), u"Not implemented"},
    {static_cast<DWORD>(E_NOINTERFACE), u"No such interface supported"},
    {static_cast<DWORD>(E_POINTER), u"Invalid pointer"},
    {static_cast<DWORD>(E_ABORT), u"Operation aborted"},
    {static_cast<DWORD>(E_FAIL), u"Unspecified error"},
    {static_cast<DWORD>(CO_E_INIT_TLS), u"Thread local storage failure"},
    {static_cast<DWORD>(E_UNEXPECTED), u"Catastrophic failure"},
    {static_cast<DWORD>(RPC_E_CHANGED_MODE), u"Cannot change thread mode after it is set."},
    {static_cast<DWORD>(RPC_E_WRONG_THREAD),
     u"The application called an interface that was marshalled for a different thread."},
    {static_cast<DWORD>(DISP_E_UNKNOWNINTERFACE), u"Unknown interface."},
    {static_cast<DWORD>(DISP_E_MEMBERNOTFOUND), u"Member not found."},
    {static_cast<DWORD>(DISP_E_PARAMNOTFOUND), u"Parameter not found."},
    {static_cast<DWORD>(DISP_E_TYPEMISMATCH), u"Type mismatch."},
    {static_cast<DWORD>(DISP_E_UNKNOWNNAME), u"Unknown name."},
    {static_cast<DWORD>(DISP_E_NONAMEDARGS), u"No named arguments."},
    {static_cast<DWORD>(DISP_E_BADVARTYPE), u"Bad variable type."},
    {static_cast<DWORD>(DISP_E_EXCEPTION), u"Exception occurred."},
    {static_cast<DWORD>(DISP_E_OVERFLOW), u"Out of present range."},
    {static_cast<DWORD>(DISP_E_BADINDEX), u"Invalid index."},
    {static_cast<DWORD>(DISP_E_UNKNOWNLCID), u"Unknown language."},
    {static_cast<DWORD>(DISP_E_ARRAYISLOCKED), u"Memory is locked."},
    {static_cast<DWORD>(DISP_E_BADPARAMCOUNT), u"Invalid number of parameters."},
    {static_cast<DWORD>(DISP_E_PARAMNOTOPTIONAL), u"Parameter not optional."},
    {static_cast<DWORD>(DISP_E_BADCALLEE), u"Invalid callee."},
    {static_cast<DWORD>(DISP_E_NOTACOLLECTION), u"Does not support a collection."},
    {static_cast<DWORD>(DISP_E_DIVBYZERO), u"Division by zero."},
    {static_cast<DWORD>(TYPE_E_BUFFERTOOSMALL), u"Buffer too small."},
    {static_cast<DWORD>(TYPE_E_FIELDNOTFOUND), u"Field name not defined in the record."},
    {static_cast<DWORD>(TYPE_E_INVDATAREAD), u"Old format or invalid type library."},
    {static_cast<DWORD>(TYPE_E_UNSUPFORMAT), u"Old format or invalid type library."},
    {static_cast<DWORD>(TYPE_E_REGISTRYACCESS), u"Error accessing the OLE registry."},
    {static_cast<DWORD>(TYPE_E_LIBNOTREGISTERED), u"Library not registered."},
    {static_cast<DWORD>(TYPE_E_UNDEFINEDTYPE), u"Bound to unknown type."},
    {static_cast<DWORD>(TYPE_E_QUALIFIEDNAMEDISALLOWED), u"Qualified name disallowed."},
    {static_cast<DWORD>(TYPE_E_INVALIDSTATE), u"Invalid forward reference, or reference to uncompiled type."},
    {static_cast<DWORD>(TYPE_E_WRONGTYPEKIND), u"Type mismatch."},
    {static_cast<DWORD>(TYPE_E_ELEMENTNOTFOUND), u"Element not found."},
    {static_cast<DWORD>(TYPE_E_AMBIGUOUSNAME), u"Ambiguous name."},
    {static_cast<DWORD>(TYPE_E_NAMECONFLICT), u"Name already exists in the library."},
    {static_cast<DWORD>(TYPE_E_UNKNOWNLCID), u"Unknown LCID."},
    {static_cast<DWORD>(TYPE_E_DLLFUNCTIONNOTFOUND), u"Function not defined in specified DLL."},
    {static_cast<DWORD>(TYPE_E_BADMODULEKIND), u"Wrong module kind for the operation."},
    {static_cast<DWORD>(TYPE_E_SIZETOOBIG), u"Size may not exceed 64K."},
    {static_cast<DWORD>(TYPE_E_DUPLICATEID), u"Duplicate ID in inheritance hierarchy."},
    {static_cast<DWORD>(TYPE_E_INVALIDID), u"Incorrect inheritance depth in standard OLE hmember."},
    {static_cast<DWORD>(TYPE_E_TYPEMISMATCH), u"Type mismatch."},
    {static_cast<DWORD>(TYPE_E_OUTOFBOUNDS), u"Invalid number of arguments."},
    {static_cast<DWORD>(TYPE_E_IOERROR), u"I/O Error."},
    {static_cast<DWORD>(TYPE_E_CANTCREATETMPFILE), u"Error creating unique tmp file."},
    {static_cast<DWORD>(TYPE_E_CANTLOADLIBRARY), u"Error loading type library/DLL."},
    {static_cast<DWORD>(TYPE_E_INCONSISTENTPROPFUNCS), u"Inconsistent property functions."},
    {static_cast<DWORD>(TYPE_E_CIRCULARTYPE), u"Circular dependency between types/modules."},
    {static_cast<DWORD>(STG_E_INVALIDFUNCTION), u"Unable to perform requested operation."},
    {static_cast<DWORD>(STG_E_FILENOTFOUND), u"%1 could not be found."},
    {static_cast<DWORD>(STG_E_ACCESSDENIED), u"Access Denied."},
    {static_cast<DWORD>(STG_E_INSUFFICIENTMEMORY), u"There is insufficient memory available to complete operation."},
    {static_cast<DWORD>(STG_E_INVALIDPOINTER), u"Invalid pointer error."},
    {static_cast<DWORD>(STG_E_INVALIDPARAMETER), u"Invalid parameter error."},
    {static_cast<DWORD>(OLE_E_BLANK), u"Uninitialized object"},
    {static_cast<DWORD>(CLASS_E_NOAGGREGATION), u"Class does not support aggregation (or class object is remote)"},
    {static_cast<DWORD>(CLASS_E_CLASSNOTAVAILABLE), u"ClassFactory cannot supply requested class"},
    {static_cast<DWORD>(CLASS_E_NOTLICENSED), u"Class is not licensed for use"},
    {static_cast<DWORD>(REGDB_E_READREGDB), u"Could not read key from registry"},
    {static_cast<DWORD>(REGDB_E_WRITEREGDB), u"Could not write key to registry"},
    {static_cast<DWORD>(REGDB_E_KEYMISSING), u"Could not find the key in the registry"},
    {static_cast<DWORD>(REGDB_E_INVALIDVALUE), u"Invalid value for registry"},
    {static_cast<DWORD>(REGDB_E_CLASSNOTREG), u"Class not registered"},
    {static_cast<DWORD>(REGDB_E_IIDNOTREG), u"Interface not registered"},
    {static_cast<DWORD>(CO_E_NOTINITIALIZED), u"CoInitialize has not been called."},
    {static_cast<DWORD>(CO_E_ALREADYINITIALIZED), u"CoInitialize has already been called."},
    {static_cast<DWORD>(CO_E_CLASSSTRING), u"Invalid class string"},
    {static_cast<DWORD>(CO_E_IIDSTRING), u"Invalid interface string"},
    {static_cast<DWORD>(CO_E_APPNOTFOUND), u"Application not found"},
    {static_cast<DWORD>(CO_E_DLLNOTFOUND), u"DLL for class not found"},
    {static_cast<DWORD>(CO_E_ERRORINDLL), u"Error in the DLL"},
    {static_cast<DWORD>(CO_E_OBJNOTREG), u"Object is not registered"},
};

static_assert(std::adjacent_find(std::begin(kSystemMessages), std::end(kSystemMessages),
                                 [](const SystemMessage& a, const SystemMessage& b) { return a.id >= b.id; }) ==
                  std::end(kSystemMessages),
              "system messages must be sorted by number, each number once");

constexpr DWORD kWin32FacilityMask = 0xFFFF0000;
constexpr DWORD kWin32FacilityErrors = 0x80070000;

}  // namespace

std::optional<WideString> FindSystemMessage(DWORD messageId)
{
    if ((messageId & kWin32FacilityMask) == kWin32FacilityErrors)
        messageId &= 0xFFFF;
    const auto found = std::lower_bound(std::begin(kSystemMessages), std::end(kSystemMessages), messageId,
                                        [](const SystemMessage& m, DWORD id) { return m.id < id; });
    if (found == std::end(kSystemMessages) || found->id != messageId)
        return std::nullopt;
    return WideString(found->text) + u"\r\n";
}

}  // namespace lumo::platform
