// Points the process (and the children it starts) at a new, empty registry file for the
// lifetime of the object. On Windows the real registry is used and this does nothing.
#pragma once

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
    std::string m_path;
    std::string m_previous;
    bool m_hadPrevious = false;
};
