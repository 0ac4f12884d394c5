// Character types and case mappings of the stand-in.
#include <gtest/gtest.h>
#include <windows.h>

#include "OleString.h"

namespace {

TEST(CharacterTypes, LettersAndDigitsOfUnicode)
{
    struct Case {
        OLECHAR c;
        WORD mask;
        WORD expected;
    };
    const Case cases[] = {
        {u'a', C1_ALPHA | C1_LOWER | C1_UPPER, C1_ALPHA | C1_LOWER},
        {u'Z', C1_ALPHA | C1_LOWER | C1_UPPER, C1_ALPHA | C1_UPPER},
        {u'7', C1_ALPHA | C1_DIGIT, C1_DIGIT},
        {u'_', C1_ALPHA | C1_DIGIT | C1_PUNCT, C1_PUNCT},
        {u' ', C1_SPACE | C1_BLANK, C1_SPACE | C1_BLANK},
        {u'\u00e9', C1_ALPHA | C1_LOWER, C1_ALPHA | C1_LOWER},
        {u'\u0416', C1_ALPHA | C1_UPPER, C1_ALPHA | C1_UPPER},
        {static_cast<OLECHAR>(0xD83D), C1_ALPHA | C1_DEFINED, 0},
    };
    for (const auto& c : cases) {
        WORD type = 0xFFFF;
        ASSERT_TRUE(GetStringTypeW(CT_CTYPE1, &c.c, 1, &type)) << static_cast<unsigned>(c.c);
        EXPECT_EQ(c.expected, type & c.mask) << static_cast<unsigned>(c.c);
    }
    WORD types[2];
    EXPECT_FALSE(GetStringTypeW(2, OLESTR("a"), 1, types));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_FLAGS), GetLastError());
}

TEST(CharacterTypes, CaseMappingIsOneForOne)
{
    const OleString text = OLESTR("abc_\u00e9\u0436\u00df1");
    OLECHAR upper[16] = {};
    ASSERT_EQ(static_cast<int>(text.size()),
              LCMapStringW(LOCALE_INVARIANT, LCMAP_UPPERCASE, text.c_str(), static_cast<int>(text.size()), upper, 16));
    EXPECT_EQ(OleString(OLESTR("ABC_\u00c9\u0416\u00df1")), OleString(upper));
    EXPECT_EQ(static_cast<int>(text.size()) + 1,
              LCMapStringW(LOCALE_INVARIANT, LCMAP_LOWERCASE, text.c_str(), -1, nullptr, 0))
        << "the size with the NUL";
    EXPECT_EQ(0, LCMapStringW(LOCALE_INVARIANT, LCMAP_UPPERCASE, text.c_str(), -1, upper, 3));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER), GetLastError());
}

}  // namespace
