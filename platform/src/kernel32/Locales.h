// The host locales behind Windows locale identifiers. Each caller opens its own locale object
// (newlocale), so nothing here depends on or changes the process's current locale.
#pragma once

#include <locale.h>

#include <string>

#include <windows.h>

namespace lumo::platform::kernel32 {

inline constexpr LCID kLcidEnglishUnitedStates = 0x0409;

// How dates and times are written for a locale.
enum class DateStyle {
    UnitedStates,  // M/d/yyyy h:mm:ss AM|PM, as Windows writes en-US
    Invariant,     // MM/dd/yyyy HH:mm:ss, the invariant locale's forms
    Host,          // the host locale's own date and time forms
};

class LocaleForDates {
public:
    // LOCALE_USER_DEFAULT, LOCALE_SYSTEM_DEFAULT and LOCALE_NEUTRAL stand for the user's
    // locale from the environment. A locale the host lacks, and an identifier the stand-in
    // doesn't know, write as en-US does.
    static LocaleForDates Open(LCID lcid);

    LocaleForDates(LocaleForDates&& other) noexcept;
    LocaleForDates& operator=(LocaleForDates&&) = delete;
    ~LocaleForDates();

    DateStyle Style() const noexcept { return m_style; }
    // The host locale object; null unless the style is Host.
    locale_t Handle() const noexcept { return m_handle; }

private:
    static LocaleForDates OpenHost(const std::string& name);
    LocaleForDates(DateStyle style, locale_t handle) noexcept : m_style(style), m_handle(handle) {}

    DateStyle m_style;
    locale_t m_handle;
};

// The host locale name the environment gives for dates: LC_ALL, else LC_TIME, else LANG.
std::string EnvironmentLocaleName();

// The identifier of the user's locale; en-US for C, POSIX and names the table lacks.
LCID LcidOfEnvironment();

// Whether the identifier is one of the stand-in's table or the invariant locale.
bool IsKnownLcid(LCID lcid) noexcept;

}  // namespace lumo::platform::kernel32
