#include <cstdarg>
#include <functional>

#include <gtest/gtest.h>

#include "ZoFormat.h"

namespace {

struct FormatCase {
    const char* what;
    std::function<OleString()> format;
    const OLECHAR* expected;
};

TEST(ZoFormat, MatchesTable)
{
    const FormatCase cases[] = {
        {"plain text", [] { return ZoFormat(OLESTR("plain")); }, OLESTR("plain")},
        {"percent", [] { return ZoFormat(OLESTR("100%%")); }, OLESTR("100%")},
        {"int", [] { return ZoFormat(OLESTR("%d|%i"), 42, -7); }, OLESTR("42|-7")},
        {"width and alignment", [] { return ZoFormat(OLESTR("%5d|%-5d|"), 42, 42); }, OLESTR("   42|42   |")},
        {"sign flags", [] { return ZoFormat(OLESTR("%+d|% d|%+d"), 5, 5, -5); }, OLESTR("+5| 5|-5")},
        {"zero padding", [] { return ZoFormat(OLESTR("%05d"), -42); }, OLESTR("-0042")},
        {"precision of an int", [] { return ZoFormat(OLESTR("%.3d"), 7); }, OLESTR("007")},
        {"hex and octal", [] { return ZoFormat(OLESTR("%x %X %#x %o %#o"), 255, 255, 255, 8, 8); },
         OLESTR("ff FF 0xff 10 010")},
        {"unsigned", [] { return ZoFormat(OLESTR("%u"), 4294967295u); }, OLESTR("4294967295")},
        {"l is 32-bit", [] { return ZoFormat(OLESTR("%ld %lu %lX"), LONG(-1), ULONG(4000000000u), ULONG(0xABCDEFu)); },
         OLESTR("-1 4000000000 ABCDEF")},
        {"h is short", [] { return ZoFormat(OLESTR("%hd %hu"), 65535, 65537); }, OLESTR("-1 1")},
        {"I64", [] { return ZoFormat(OLESTR("%I64d %I64u"), INT64(-9000000000), UINT64(18446744073709551615u)); },
         OLESTR("-9000000000 18446744073709551615")},
        {"I64X and ll", [] { return ZoFormat(OLESTR("%I64X %lld"), UINT64(0x1234567890ABCDEFu), INT64(-1)); },
         OLESTR("1234567890ABCDEF -1")},
        {"I32", [] { return ZoFormat(OLESTR("%I32d"), INT32(-3)); }, OLESTR("-3")},
        {"fixed", [] { return ZoFormat(OLESTR("%f|%.2f|%8.3f"), 1.5, 3.14159, -2.5); },
         OLESTR("1.500000|3.14|  -2.500")},
        {"exponent", [] { return ZoFormat(OLESTR("%e|%.2E"), 12345.678, 0.000123); },
         OLESTR("1.234568e+04|1.23E-04")},
        {"general", [] { return ZoFormat(OLESTR("%g|%g|%G"), 0.0001, 1e20, 1e-10); }, OLESTR("0.0001|1e+20|1E-10")},
        {"star width and precision", [] { return ZoFormat(OLESTR("%*d|%-*d|%.*f"), 5, 42, 4, 1, 1, 2.75); },
         OLESTR("   42|1   |2.8")},
        {"negative star width aligns left", [] { return ZoFormat(OLESTR("%*d|"), -4, 7); }, OLESTR("7   |")},
        {"negative star precision is none", [] { return ZoFormat(OLESTR("%.*f"), -1, 0.5); }, OLESTR("0.500000")},
        {"wide string", [] { return ZoFormat(OLESTR("<%s>"), OLESTR("wide")); }, OLESTR("<wide>")},
        {"narrow string", [] { return ZoFormat(OLESTR("<%S>"), "narrow"); }, OLESTR("<narrow>")},
        {"size letters on strings", [] { return ZoFormat(OLESTR("%hs %ls %ws %lS"), "a", OLESTR("b"), OLESTR("c"), OLESTR("d")); },
         OLESTR("a b c d")},
        {"null strings", [] { return ZoFormat(OLESTR("%s %S"), static_cast<const OLECHAR*>(nullptr),
                                              static_cast<const char*>(nullptr)); },
         OLESTR("(null) (null)")},
        {"string width and precision", [] { return ZoFormat(OLESTR("%-6s|%6s|%.2s"), OLESTR("ab"), OLESTR("cd"), OLESTR("efgh")); },
         OLESTR("ab    |    cd|ef")},
        {"characters", [] { return ZoFormat(OLESTR("%c%C%3c|%-3c|"), OLECHAR('A'), 'B', OLECHAR('x'), OLECHAR('y')); },
         OLESTR("AB  x|y  |")},
        {"unsupported conversions copied", [] { return ZoFormat(OLESTR("%q %5k %p"), 1); }, OLESTR("%q %5k %p")},
        {"lone percent at the end", [] { return ZoFormat(OLESTR("abc%")); }, OLESTR("abc%")},
        {"argument text is not a format", [] { return ZoFormat(OLESTR("%s"), OLESTR("50%d")); }, OLESTR("50%d")},
    };
    for (const auto& c : cases)
        EXPECT_EQ(OleString(c.expected), c.format()) << c.what;
}

TEST(ZoFormat, NonAsciiText)
{
    const OLECHAR wide[] = {'a', 0xE9, 0x4E2D, 0xD83D, 0xDE00, 0};
    EXPECT_EQ(OleString(wide), ZoFormat(OLESTR("%s"), wide));
    // Narrow text is taken in the ANSI code page, as the system converts it.
    const char narrow[] = "caf\xC3\xA9";
    OLECHAR converted[16] = {};
    const int length = MultiByteToWideChar(CP_ACP, 0, narrow, -1, converted, 16);
    ASSERT_GT(length, 0);
    EXPECT_EQ(OleString(converted), ZoFormat(OLESTR("%S"), narrow));
    EXPECT_EQ(OleString(converted), ZoAnsiToOle(narrow));
}

OleString FormatThroughList(const OLECHAR* format, ...)
{
    va_list args;
    va_start(args, format);
    OleString text = ZoFormatV(format, args);
    va_end(args);
    return text;
}

TEST(ZoFormat, ListForm)
{
    EXPECT_EQ(OleString(OLESTR("x=3 y=abc")), FormatThroughList(OLESTR("x=%d y=%s"), 3, OLESTR("abc")));
    EXPECT_EQ(OleString(), ZoFormat(nullptr));
}

TEST(ZoFormat, HugeWidthIsBounded)
{
    EXPECT_EQ(65535u, ZoFormat(OLESTR("%99999999999d"), 1).size());
    EXPECT_EQ(65535u, ZoFormat(OLESTR("%*s"), 1 << 30, OLESTR("x")).size());
}

}  // namespace
