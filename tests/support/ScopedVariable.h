// Sets (or, with null, removes) an environment variable for the lifetime of the object and
// puts back what was there before. Children started meanwhile inherit the setting.
#pragma once

#include <optional>
#include <string>

#include <windows.h>

#include "OleString.h"

class ScopedVariable {
public:
    ScopedVariable(const OLECHAR* name, const OLECHAR* value) : m_name(name)
    {
        OLECHAR buffer[32768];
        const DWORD length = GetEnvironmentVariableW(name, buffer, 32768);
        if (length > 0 && length < 32768)
            m_previous = OleString(buffer, length);
        else if (length == 0 && GetLastError() == ERROR_SUCCESS)
            m_previous = OleString();
        SetEnvironmentVariableW(name, value);
    }
    ~ScopedVariable() { SetEnvironmentVariableW(m_name.c_str(), m_previous ? m_previous->c_str() : nullptr); }
    ScopedVariable(const ScopedVariable&) = delete;
    ScopedVariable& operator=(const ScopedVariable&) = delete;

private:
    OleString m_name;
    std::optional<OleString> m_previous;
};
