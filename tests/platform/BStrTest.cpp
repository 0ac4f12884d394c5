// BSTR allocation: the byte-count prefix, termination, embedded NULs, null versus empty.
#include <cstring>
#include <string>

#include <gtest/gtest.h>
#include <oleauto.h>
#include <windows.h>

#include "OleString.h"

namespace {

// Frees the string when the test ends, whatever it asserts.
class OwnedBstr {
public:
    explicit OwnedBstr(BSTR text = nullptr) : m_text(text) {}
    ~OwnedBstr() { SysFreeString(m_text); }
    OwnedBstr(const OwnedBstr&) = delete;
    OwnedBstr& operator=(const OwnedBstr&) = delete;

    BSTR get() const { return m_text; }
    BSTR* address() { return &m_text; }

private:
    BSTR m_text;
};

// The prefix Windows keeps before the text: its length in bytes.
UINT PrefixOf(BSTR text)
{
    UINT prefix;
    std::memcpy(&prefix, reinterpret_cast<const char*>(text) - sizeof prefix, sizeof prefix);
    return prefix;
}

OleString Contents(BSTR text) { return OleString(ViewOfBstr(text)); }

TEST(BStr, NullIsDistinctFromEmpty)
{
    EXPECT_EQ(SysAllocString(nullptr), nullptr);
    EXPECT_EQ(SysStringLen(nullptr), 0u);
    EXPECT_EQ(SysStringByteLen(nullptr), 0u);
    SysFreeString(nullptr);

    OwnedBstr empty(SysAllocString(OLESTR("")));
    ASSERT_NE(empty.get(), nullptr);
    EXPECT_EQ(SysStringLen(empty.get()), 0u);
    EXPECT_EQ(empty.get()[0], 0);

    OwnedBstr emptyByLength(SysAllocStringLen(nullptr, 0));
    ASSERT_NE(emptyByLength.get(), nullptr);
    EXPECT_EQ(PrefixOf(emptyByLength.get()), 0u);
}

struct LengthCase {
    const char* what;
    const OLECHAR* text;
    UINT chars;
};

const LengthCase kLengthCases[] = {
    {"plain", OLESTR("Test"), 4},
    {"single", OLESTR("x"), 1},
    {"embedded NUL", OLESTR("a\0b"), 3},
    {"leading NUL", OLESTR("\0ab"), 3},
    {"trailing NUL", OLESTR("ab\0"), 3},
    {"prefix of a longer text", OLESTR("Testing"), 4},
};

TEST(BStr, LengthAllocationKeepsEveryCharacterAndTerminates)
{
    for (const LengthCase& c : kLengthCases) {
        OwnedBstr text(SysAllocStringLen(c.text, c.chars));
        ASSERT_NE(text.get(), nullptr) << c.what;
        EXPECT_EQ(PrefixOf(text.get()), c.chars * sizeof(OLECHAR)) << c.what;
        EXPECT_EQ(SysStringLen(text.get()), c.chars) << c.what;
        EXPECT_EQ(SysStringByteLen(text.get()), c.chars * sizeof(OLECHAR)) << c.what;
        EXPECT_EQ(Contents(text.get()), OleString(c.text, c.chars)) << c.what;
        EXPECT_EQ(text.get()[c.chars], 0) << c.what;
        EXPECT_EQ(reinterpret_cast<UINT_PTR>(text.get()) % sizeof(void*), 0u) << c.what;
    }
}

TEST(BStr, AllocStringStopsAtTheFirstNul)
{
    OwnedBstr text(SysAllocString(OLESTR("ab\0cd")));
    ASSERT_NE(text.get(), nullptr);
    EXPECT_EQ(SysStringLen(text.get()), 2u);
    EXPECT_EQ(Contents(text.get()), OleString(OLESTR("ab")));
}

TEST(BStr, LengthAllocationWithoutTextIsZeroFilled)
{
    OwnedBstr text(SysAllocStringLen(nullptr, 5));
    ASSERT_NE(text.get(), nullptr);
    EXPECT_EQ(SysStringLen(text.get()), 5u);
    for (UINT i = 0; i <= 5; ++i)
        EXPECT_EQ(text.get()[i], 0) << i;
}

struct ByteLengthCase {
    const char* what;
    const char* bytes;
    UINT length;
    UINT chars;
};

const ByteLengthCase kByteLengthCases[] = {
    {"even", "Test", 4, 2},
    {"odd", "Tes", 3, 1},
    {"one byte", "T", 1, 0},
    {"embedded zero byte", "a\0bc", 4, 2},
    {"empty", "", 0, 0},
    {"no source", nullptr, 6, 3},
};

TEST(BStr, ByteLengthAllocationKeepsOddLengthsAndTerminates)
{
    for (const ByteLengthCase& c : kByteLengthCases) {
        OwnedBstr text(SysAllocStringByteLen(c.bytes, c.length));
        ASSERT_NE(text.get(), nullptr) << c.what;
        EXPECT_EQ(SysStringByteLen(text.get()), c.length) << c.what;
        EXPECT_EQ(SysStringLen(text.get()), c.chars) << c.what;
        const char* stored = reinterpret_cast<const char*>(text.get());
        const std::string expected = c.bytes ? std::string(c.bytes, c.length) : std::string(c.length, '\0');
        EXPECT_EQ(std::string(stored, c.length), expected) << c.what;
        // Two zero bytes follow the data, and the character that holds the last odd byte
        // is followed by a whole zero character.
        EXPECT_EQ(stored[c.length], 0) << c.what;
        EXPECT_EQ(stored[c.length + 1], 0) << c.what;
        EXPECT_EQ(text.get()[(c.length + 1) / sizeof(OLECHAR)], 0) << c.what;
    }
}

TEST(BStr, LengthsBeyondThePrefixGiveNull)
{
    EXPECT_EQ(SysAllocStringByteLen("x", 0xFFFFFFFFu), nullptr);
    EXPECT_EQ(SysAllocStringByteLen(nullptr, 0xFFFFFFFFu), nullptr);
    EXPECT_EQ(SysAllocStringLen(nullptr, 0x80000000u), nullptr);
    EXPECT_EQ(SysAllocStringLen(OLESTR("x"), 0xFFFFFFFFu), nullptr);
}

TEST(BStr, ReAllocReplacesTheString)
{
    OwnedBstr text(SysAllocString(OLESTR("first")));
    EXPECT_TRUE(SysReAllocString(text.address(), OLESTR("second text")));
    EXPECT_EQ(Contents(text.get()), OleString(OLESTR("second text")));

    EXPECT_TRUE(SysReAllocStringLen(text.address(), OLESTR("a\0b"), 3));
    EXPECT_EQ(Contents(text.get()), OleString(OLESTR("a\0b"), 3));

    EXPECT_FALSE(SysReAllocString(nullptr, OLESTR("x")));
    EXPECT_FALSE(SysReAllocStringLen(nullptr, OLESTR("x"), 1));
}

TEST(BStr, ReAllocStartsFromNull)
{
    OwnedBstr text;
    EXPECT_TRUE(SysReAllocStringLen(text.address(), OLESTR("ab"), 2));
    EXPECT_EQ(Contents(text.get()), OleString(OLESTR("ab")));
}

TEST(BStr, ReAllocWithoutTextGivesZeroFilledLength)
{
    OwnedBstr text(SysAllocString(OLESTR("abc")));
    EXPECT_TRUE(SysReAllocStringLen(text.address(), nullptr, 8));
    ASSERT_EQ(SysStringLen(text.get()), 8u);
    EXPECT_EQ(text.get()[8], 0);
}

TEST(BStr, ReAllocFromItsOwnText)
{
    OwnedBstr text(SysAllocString(OLESTR("Testing")));
    EXPECT_TRUE(SysReAllocStringLen(text.address(), text.get() + 1, 3));
    EXPECT_EQ(Contents(text.get()), OleString(OLESTR("est")));

    EXPECT_TRUE(SysReAllocString(text.address(), text.get()));
    EXPECT_EQ(Contents(text.get()), OleString(OLESTR("est")));

    // Growing from the string itself keeps its text in front.
    EXPECT_TRUE(SysReAllocStringLen(text.address(), text.get(), 1000));
    ASSERT_EQ(SysStringLen(text.get()), 1000u);
    EXPECT_EQ(OleString(text.get(), 3), OleString(OLESTR("est")));
    EXPECT_EQ(text.get()[1000], 0);
}

TEST(BStr, ReAllocThatCannotAllocateKeepsTheOldString)
{
    OwnedBstr text(SysAllocString(OLESTR("kept")));
    const BSTR before = text.get();
    EXPECT_FALSE(SysReAllocStringLen(text.address(), nullptr, 0x80000000u));
    EXPECT_EQ(text.get(), before);
    EXPECT_EQ(Contents(text.get()), OleString(OLESTR("kept")));
}

}  // namespace
