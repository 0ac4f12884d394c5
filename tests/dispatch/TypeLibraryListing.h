// A loaded type library as a text listing, line for line as server/idlgen writes the
// listing of a definition ("idlgen.py typelist"), so that the two compare.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <string>

// Throws std::runtime_error naming the call that failed.
std::string TypeLibraryListing(ITypeLib* library);
