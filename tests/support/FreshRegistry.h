// A registry for the lifetime of the object that holds none of what other tests wrote.
// On Linux the process (and the children it starts) is pointed at a new, empty registry file.
// On Windows the system's registry is used, with its own registrations (the runtime's classes,
// stdole, MSXML) that tests need: the keys added below the places registrations go
// (HKEY_CLASSES_ROOT, its CLSID, Interface, TypeLib and AppID, the same below
// HKEY_CURRENT_USER\Software\Classes, and HKEY_CURRENT_USER\Software and
// HKEY_LOCAL_MACHINE\Software) since construction are deleted at destruction. Under Wine
// scripts/test-windows.sh starts each run in a new prefix.
#pragma once

#include <memory>
#include <string>

class ScopedFreshRegistry {
public:
    ScopedFreshRegistry();
    ~ScopedFreshRegistry();
    ScopedFreshRegistry(const ScopedFreshRegistry&) = delete;
    ScopedFreshRegistry& operator=(const ScopedFreshRegistry&) = delete;

    // The registry file's path (empty on Windows).
    const std::string& Path() const { return m_path; }

private:
    struct KeysBefore;   // Windows: the subkeys found at construction
    std::unique_ptr<KeysBefore> m_keysBefore;
    std::string m_path;
    std::string m_previous;
    bool m_hadPrevious = false;
};
