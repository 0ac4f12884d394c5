// The owning BSTR: null and empty kept apart, embedded NULs kept.
#include <cstring>
#include <functional>
#include <memory>

#include <gtest/gtest.h>

#include "TestClasses.h"

namespace {

const OLECHAR kWithNul[] = {u'a', u'b', 0, u'c', u'd'};
const OleStringView kWithNulView(kWithNul, 5);

struct TextCase {
    const char* what;
    std::function<CComBSTR()> make;
    bool isNull;
    OleStringView text;
};

const TextCase kConstructionCases[] = {
    {"default", [] { return CComBSTR(); }, true, {}},
    {"null text", [] { return CComBSTR(static_cast<LPCOLESTR>(nullptr)); }, true, {}},
    {"empty text", [] { return CComBSTR(OLESTR("")); }, false, {}},
    {"text up to its NUL", [] { return CComBSTR(kWithNul); }, false, OLESTR("ab")},
    {"length and text", [] { return CComBSTR(5, kWithNul); }, false, kWithNulView},
    {"zero length", [] { return CComBSTR(0, kWithNul); }, false, {}},
    {"view", [] { return CComBSTR(kWithNulView); }, false, kWithNulView},
    {"empty view", [] { return CComBSTR(OleStringView()); }, false, {}},
    {"copy keeps NULs", [] { return CComBSTR(CComBSTR(kWithNulView)); }, false, kWithNulView},
    {"copy of empty", [] { CComBSTR empty(OLESTR("")); return CComBSTR(empty); }, false, {}},
    {"copy of null", [] { CComBSTR none; return CComBSTR(none); }, true, {}},
    {"assigned text", [] { CComBSTR s(OLESTR("old")); s = OLESTR("new"); return s; }, false, OLESTR("new")},
    {"assigned null", [] { CComBSTR s(OLESTR("old")); s = static_cast<LPCOLESTR>(nullptr); return s; }, true, {}},
    {"assigned copy", [] { CComBSTR s(OLESTR("old")); CComBSTR t(kWithNulView); s = t; return s; }, false,
     kWithNulView},
};

TEST(ComBSTR, ConstructionKeepsNullEmptyAndNuls)
{
    for (const TextCase& c : kConstructionCases) {
        const CComBSTR s = c.make();
        EXPECT_EQ(c.isNull, s.m_str == nullptr) << c.what;
        EXPECT_EQ(c.text.size(), s.Length()) << c.what;
        EXPECT_EQ(c.text.size() * sizeof(OLECHAR), s.ByteLength()) << c.what;
        EXPECT_EQ(c.text, ViewOfBstr(s)) << c.what;
    }
}

const TextCase kAppendCases[] = {
    {"null and null", [] { CComBSTR s; EXPECT_EQ(S_OK, s.Append(static_cast<LPCOLESTR>(nullptr))); return s; },
     true, {}},
    {"null and empty", [] { CComBSTR s; EXPECT_EQ(S_OK, s.Append(OLESTR(""))); return s; }, false, {}},
    {"text and NULs", [] { CComBSTR s(OLESTR("ab")); EXPECT_EQ(S_OK, s.Append(kWithNul + 2, 3)); return s; }, false,
     kWithNulView},
    {"a BSTR with NULs", [] { CComBSTR s; EXPECT_EQ(S_OK, s.Append(CComBSTR(kWithNulView))); return s; }, false,
     kWithNulView},
    {"a character", [] { CComBSTR s(OLESTR("ab")); EXPECT_EQ(S_OK, s.Append(OLECHAR(0))); return s; }, false,
     OleStringView(kWithNul, 3)},
    {"itself", [] { CComBSTR s(OLESTR("ab")); EXPECT_EQ(S_OK, s.Append(s)); return s; }, false, OLESTR("abab")},
    {"its own tail", [] { CComBSTR s(OLESTR("abc")); EXPECT_EQ(S_OK, s.Append(s.m_str + 1)); return s; }, false,
     OLESTR("abcbc")},
    {"operator +=", [] { CComBSTR s(OLESTR("a")); s += OLESTR("b"); s += CComBSTR(OLESTR("c")); return s; },
     false, OLESTR("abc")},
};

TEST(ComBSTR, AppendKeepsEverything)
{
    for (const TextCase& c : kAppendCases) {
        const CComBSTR s = c.make();
        EXPECT_EQ(c.isNull, s.m_str == nullptr) << c.what;
        EXPECT_EQ(c.text, ViewOfBstr(s)) << c.what;
    }
}

TEST(ComBSTR, CopyIsANewStringWithTheSameBytes)
{
    // An odd byte length survives a copy.
    CComBSTR odd;
    odd.Attach(SysAllocStringByteLen("abc", 3));
    const CComBSTR withNul(kWithNulView);
    const CComBSTR* sources[] = {std::addressof(odd), std::addressof(withNul)};
    for (const CComBSTR* source : sources) {
        BSTR copy = source->Copy();
        EXPECT_NE(source->m_str, copy);
        EXPECT_EQ(source->ByteLength(), SysStringByteLen(copy));
        EXPECT_EQ(0, std::memcmp(source->m_str, copy, source->ByteLength()));
        SysFreeString(copy);
        BSTR copiedTo = nullptr;
        EXPECT_EQ(S_OK, source->CopyTo(&copiedTo));
        EXPECT_EQ(source->ByteLength(), SysStringByteLen(copiedTo));
        SysFreeString(copiedTo);
        CComBSTR constructed(*source);
        EXPECT_EQ(source->ByteLength(), constructed.ByteLength());
    }
    const CComBSTR none;
    EXPECT_EQ(nullptr, none.Copy());
    BSTR copiedTo = reinterpret_cast<BSTR>(0x1);
    EXPECT_EQ(S_OK, none.CopyTo(&copiedTo));
    EXPECT_EQ(nullptr, copiedTo);
    EXPECT_EQ(E_POINTER, none.CopyTo(nullptr));
}

TEST(ComBSTR, OwnershipMovesWithoutCopies)
{
    CComBSTR source(OLESTR("text"));
    const BSTR held = source.m_str;
    CComBSTR moved(std::move(source));
    EXPECT_EQ(held, moved.m_str);
    EXPECT_EQ(nullptr, source.m_str);
    CComBSTR assigned(OLESTR("old"));
    assigned = std::move(moved);
    EXPECT_EQ(held, assigned.m_str);
    EXPECT_EQ(nullptr, moved.m_str);

    BSTR detached = assigned.Detach();
    EXPECT_EQ(held, detached);
    EXPECT_EQ(nullptr, assigned.m_str);
    assigned.Attach(detached);
    EXPECT_EQ(held, assigned.m_str);
    assigned.Attach(detached);   // attaching the string already held keeps it
    EXPECT_EQ(OleStringView(OLESTR("text")), ViewOfBstr(assigned));
    assigned.Empty();
    EXPECT_EQ(nullptr, assigned.m_str);
}

TEST(ComBSTR, AddressOfServesOutAndInOutParameters)
{
    CComBSTR s(OLESTR("old"));
    EXPECT_TRUE(SysReAllocString(&s, OLESTR("new")));
    EXPECT_EQ(OleStringView(OLESTR("new")), ViewOfBstr(s));
}

TEST(ComBSTR, ComparisonsAreExact)
{
    const CComBSTR none;
    const CComBSTR empty(OLESTR(""));
    const CComBSTR withNul(kWithNulView);
    EXPECT_TRUE(none == nullptr);
    EXPECT_FALSE(empty == nullptr);
    EXPECT_FALSE(none == empty);
    EXPECT_TRUE(none == static_cast<LPCOLESTR>(nullptr));
    EXPECT_FALSE(none == OLESTR(""));
    EXPECT_TRUE(empty == OLESTR(""));
    EXPECT_TRUE(withNul == CComBSTR(kWithNulView));
    EXPECT_FALSE(withNul == CComBSTR(OLESTR("ab")));
    EXPECT_FALSE(withNul == OLESTR("ab"));   // the text ends at its NUL, the string does not
    EXPECT_TRUE(CComBSTR(OLESTR("ab")) == OLESTR("ab"));
    EXPECT_TRUE(withNul != OLESTR("abcd"));
}

}   // namespace
