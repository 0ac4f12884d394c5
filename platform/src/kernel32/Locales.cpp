#include "kernel32/Locales.h"

#include <cstdlib>
#include <string_view>

namespace lumo::platform::kernel32 {
namespace {

struct KnownLocale {
    LCID lcid;
    const char* name;  // language_TERRITORY, as host locale names begin
};

constexpr KnownLocale kKnownLocales[] = {
    {0x0409, "en_US"}, {0x0809, "en_GB"}, {0x0C09, "en_AU"}, {0x1009, "en_CA"}, {0x0407, "de_DE"},
    {0x0807, "de_CH"}, {0x0C07, "de_AT"}, {0x040C, "fr_FR"}, {0x0C0C, "fr_CA"}, {0x0410, "it_IT"},
    {0x0C0A, "es_ES"}, {0x0413, "nl_NL"}, {0x0416, "pt_BR"}, {0x0816, "pt_PT"}, {0x041D, "sv_SE"},
    {0x0406, "da_DK"}, {0x0414, "nb_NO"}, {0x040B, "fi_FI"}, {0x0415, "pl_PL"}, {0x0405, "cs_CZ"},
    {0x0419, "ru_RU"}, {0x0411, "ja_JP"}, {0x0412, "ko_KR"}, {0x0804, "zh_CN"}, {0x0404, "zh_TW"},
};

bool IsDefaultLcid(LCID lcid) noexcept
{
    return lcid == LOCALE_USER_DEFAULT || lcid == LOCALE_SYSTEM_DEFAULT || lcid == LOCALE_NEUTRAL;
}

// "de_DE.UTF-8@euro" -> "de_DE"
std::string_view LanguageAndTerritory(std::string_view name) noexcept
{
    return name.substr(0, name.find_first_of(".@"));
}

// The C locale, and en-US in any encoding, write as Windows' en-US does: the host's en_US
// forms (08/12/2026 09:06:48 PM) are not what Windows programs show.
bool WritesAsUnitedStates(std::string_view name) noexcept
{
    const std::string_view base = LanguageAndTerritory(name);
    return base.empty() || base == "C" || base == "POSIX" || base == "en_US";
}

}  // namespace

LocaleForDates LocaleForDates::Open(LCID lcid)
{
    if (IsDefaultLcid(lcid))
        return OpenHost(EnvironmentLocaleName());
    if (LANGIDFROMLCID(lcid) == LANGIDFROMLCID(LOCALE_INVARIANT))
        return LocaleForDates(DateStyle::Invariant, nullptr);
    for (const KnownLocale& known : kKnownLocales) {
        if (known.lcid == LANGIDFROMLCID(lcid))
            return OpenHost(std::string(known.name) + ".UTF-8");
    }
    return LocaleForDates(DateStyle::UnitedStates, nullptr);
}

LocaleForDates LocaleForDates::OpenHost(const std::string& name)
{
    if (WritesAsUnitedStates(name))
        return LocaleForDates(DateStyle::UnitedStates, nullptr);
    locale_t handle = newlocale(LC_TIME_MASK, name.c_str(), static_cast<locale_t>(0));
    if (!handle)
        return LocaleForDates(DateStyle::UnitedStates, nullptr);
    return LocaleForDates(DateStyle::Host, handle);
}

LocaleForDates::LocaleForDates(LocaleForDates&& other) noexcept : m_style(other.m_style), m_handle(other.m_handle)
{
    other.m_handle = nullptr;
}

LocaleForDates::~LocaleForDates()
{
    if (m_handle)
        freelocale(m_handle);
}

std::string EnvironmentLocaleName()
{
    for (const char* variable : {"LC_ALL", "LC_TIME", "LANG"}) {
        const char* value = std::getenv(variable);
        if (value && *value)
            return value;
    }
    return {};
}

LCID LcidOfEnvironment()
{
    const std::string name = EnvironmentLocaleName();
    const std::string_view base = LanguageAndTerritory(name);
    for (const KnownLocale& known : kKnownLocales) {
        if (base == known.name)
            return known.lcid;
    }
    return kLcidEnglishUnitedStates;
}

bool IsKnownLcid(LCID lcid) noexcept
{
    if (LANGIDFROMLCID(lcid) == LANGIDFROMLCID(LOCALE_INVARIANT))
        return true;
    for (const KnownLocale& known : kKnownLocales) {
        if (known.lcid == LANGIDFROMLCID(lcid))
            return true;
    }
    return false;
}

}  // namespace lumo::platform::kernel32
