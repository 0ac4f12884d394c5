// The heap and safe-array byte buffers.
#include <climits>
#include <cstring>
#include <functional>
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include <windows.h>
#include <oleauto.h>

#include "ComVariant.h"
#include "ZoBufMalloc.h"
#include "ZoBufSafeArray.h"
#include "ZoTestSupport.h"

namespace {

std::string Read(CZoBuf& buffer)
{
    CZoLockHolder holder(&buffer);
    const auto size = static_cast<size_t>(buffer.GetSize());
    return size ? std::string(reinterpret_cast<const char*>(buffer.GetBuf()), size) : std::string();
}

CComVariant ByteArray(const std::string& bytes)
{
    CComVariant v;
    v.parray = SafeArrayCreateVector(VT_UI1, 0, static_cast<ULONG>(bytes.size()));
    v.vt = VT_ARRAY | VT_UI1;
    void* data = nullptr;
    SafeArrayAccessData(v.parray, &data);
    std::memcpy(data, bytes.data(), bytes.size());
    SafeArrayUnaccessData(v.parray);
    return v;
}

std::string BytesOf(const VARIANT& v)
{
    void* data = nullptr;
    if (FAILED(SafeArrayAccessData(v.parray, &data)))
        return "(not accessible)";
    std::string bytes(static_cast<const char*>(data), v.parray->rgsabound[0].cElements);
    SafeArrayUnaccessData(v.parray);
    return bytes;
}

using BufferFactory = std::function<std::unique_ptr<CZoBuf>()>;

struct BufferKind {
    const char* what;
    BufferFactory make;
};

const BufferKind kBufferKinds[] = {
    {"heap", [] { return std::unique_ptr<CZoBuf>(new CZoBufMalloc); }},
    {"safe array", [] { return std::unique_ptr<CZoBuf>(new CZoBufSafeArray); }},
};

TEST(ZoBuf, CopyHoldsExactlyTheBytes)
{
    for (const auto& kind : kBufferKinds) {
        auto buffer = kind.make();
        buffer->Copy("abcde", 5);
        EXPECT_EQ(5, buffer->GetSize()) << kind.what;
        EXPECT_EQ("abcde", Read(*buffer)) << kind.what;
        buffer->Copy(nullptr, 0);
        EXPECT_EQ(0, buffer->GetSize()) << kind.what;
    }
}

TEST(ZoBuf, ReallocKeepsTheLeadingBytes)
{
    for (const auto& kind : kBufferKinds) {
        auto buffer = kind.make();
        buffer->Copy("abcdef", 6);
        buffer->Realloc(3);
        EXPECT_EQ("abc", Read(*buffer)) << kind.what;
        buffer->Realloc(5);
        EXPECT_EQ(5, buffer->GetSize()) << kind.what;
        EXPECT_EQ("abc", Read(*buffer).substr(0, 3)) << kind.what;
        buffer->Realloc(0);
        EXPECT_EQ(0, buffer->GetSize()) << kind.what;
        buffer->Realloc(2);
        EXPECT_EQ(2, buffer->GetSize()) << kind.what;
    }
}

// A size that the store cannot hold, or a negative one, must never give a smaller block than
// GetSize reports; the buffer keeps what it held.
TEST(ZoBuf, SizesOutsideTheStoreFailAndKeepTheBuffer)
{
    struct Case {
        const char* what;
        std::function<void(CZoBuf&)> call;
        LONG code;
    };
    const Case cases[] = {
        {"Alloc(-1)", [](CZoBuf& b) { b.Alloc(-1); }, ZO_ERR_INVALID_PARAMETER},
        {"Alloc(min)", [](CZoBuf& b) { b.Alloc(LLONG_MIN); }, ZO_ERR_INVALID_PARAMETER},
        {"Alloc(2^32)", [](CZoBuf& b) { b.Alloc(0x100000000LL); }, E_OUTOFMEMORY},
        {"Alloc(2^32 + 1)", [](CZoBuf& b) { b.Alloc(0x100000001LL); }, E_OUTOFMEMORY},
        {"Realloc(-2)", [](CZoBuf& b) { b.Realloc(-2); }, ZO_ERR_INVALID_PARAMETER},
        {"Realloc(2^32 + 2)", [](CZoBuf& b) { b.Realloc(0x100000002LL); }, E_OUTOFMEMORY},
        {"Copy, count -1", [](CZoBuf& b) { b.Copy("x", -1); }, ZO_ERR_INVALID_PARAMETER},
        {"Copy from null", [](CZoBuf& b) { b.Copy(nullptr, 1); }, ZO_ERR_INVALID_PARAMETER},
    };
    for (const auto& kind : kBufferKinds) {
        for (const auto& c : cases) {
            auto buffer = kind.make();
            buffer->Copy("abc", 3);
            const auto entries = RaisedEntries([&] { c.call(*buffer); });
            ASSERT_FALSE(entries.empty()) << kind.what << ": " << c.what;
            EXPECT_EQ(Decimal(c.code), entries[0].code) << kind.what << ": " << c.what;
            if (c.code == E_OUTOFMEMORY) {
                EXPECT_EQ(ZoSystemMessageText(ERROR_OUTOFMEMORY), entries[0].description) << c.what;
            }
            EXPECT_EQ(3, buffer->GetSize()) << kind.what << ": " << c.what;
            EXPECT_EQ("abc", Read(*buffer)) << kind.what << ": " << c.what;
        }
    }
}

TEST(ZoBufMalloc, StartsEmptyAndClears)
{
    CZoBufMalloc buffer;
    EXPECT_EQ(nullptr, buffer.GetBuf());
    EXPECT_EQ(0, buffer.GetSize());
    buffer.Alloc(4);
    EXPECT_NE(nullptr, buffer.GetBuf());
    buffer.Clear();
    EXPECT_EQ(nullptr, buffer.GetBuf());
    EXPECT_EQ(0, buffer.GetSize());
}

TEST(ZoBufMalloc, ConstructionWithABadSizeFails)
{
    CZoBufMalloc sized(9);
    EXPECT_EQ(9, sized.GetSize());
    const auto entries = RaisedEntries([] { CZoBufMalloc tooLarge(0x100000000LL); });
    ASSERT_FALSE(entries.empty());
    EXPECT_EQ(Decimal(E_OUTOFMEMORY), entries[0].code);
    EXPECT_EQ(OLESTR(".\\ZoBufMalloc"), entries[0].file);
    EXPECT_EQ(OLESTR("CZoBufMalloc::CZoBufMalloc"), entries.back().function);
}

TEST(ZoBufSafeArray, BytesOnlyWhileLocked)
{
    CZoBufSafeArray buffer;
    EXPECT_EQ(0, buffer.GetSize());
    auto entries = RaisedEntries([&] { buffer.GetBuf(); });
    ASSERT_FALSE(entries.empty());
    EXPECT_EQ(Decimal(ZO_ERR_ARRAY_NOT_LOCKED), entries[0].code);
    EXPECT_EQ(OLESTR("Array not locked."), entries[0].description);
    EXPECT_EQ(OLESTR("CZoBufSafeArray::GetBuf"), entries[0].function);

    buffer.Alloc(3);
    EXPECT_TRUE(buffer.Lock());
    std::memcpy(buffer.GetBuf(), "xyz", 3);
    buffer.Unlock();
    entries = RaisedEntries([&] { buffer.GetBuf(); });
    ASSERT_FALSE(entries.empty());
    EXPECT_EQ(Decimal(ZO_ERR_ARRAY_NOT_LOCKED), entries[0].code);
    EXPECT_EQ(3, buffer.GetSize());
    EXPECT_EQ("xyz", Read(buffer));
}

// GetSize reads the count back as a signed 32-bit number.
TEST(ZoBufSafeArray, HoldsNoMoreThanASigned32BitCount)
{
    CZoBufSafeArray buffer;
    buffer.Copy("abc", 3);
    for (LONGLONG size : {0x80000000LL, 0xFFFFFFFFLL}) {
        const auto entries = RaisedEntries([&] { buffer.Alloc(size); });
        ASSERT_FALSE(entries.empty()) << size;
        EXPECT_EQ(Decimal(E_OUTOFMEMORY), entries[0].code) << size;
        EXPECT_EQ("abc", Read(buffer)) << size;
    }
}

TEST(ZoBufSafeArray, AllocZeroGivesAnEmptyByteArray)
{
    CZoBufSafeArray buffer;
    buffer.Alloc(0);
    EXPECT_EQ(0, buffer.GetSize());
    const CComVariant detached = buffer.Detach();
    EXPECT_EQ(VT_ARRAY | VT_UI1, detached.vt);
    ASSERT_NE(nullptr, detached.parray);
    EXPECT_EQ(0u, detached.parray->rgsabound[0].cElements);
}

TEST(ZoBufSafeArray, LockNeedsAnArray)
{
    CZoBufSafeArray buffer;
    const auto entries = RaisedEntries([&] { buffer.Lock(); });
    ASSERT_FALSE(entries.empty());
    EXPECT_EQ(Decimal(ZO_ERR_INVALID_VARIANT_TYPE), entries[0].code);
    // Nothing pinned, nothing to release.
    buffer.Unlock();
}

TEST(ZoBufSafeArray, NestedLocksPinUntilTheLastUnlock)
{
    CZoBufSafeArray buffer;
    buffer.Copy("ab", 2);
    {
        CZoLockHolder outer(&buffer);
        {
            CZoLockHolder inner(&buffer);
        }
        EXPECT_EQ('a', buffer.GetBuf()[0]);
    }
    EXPECT_TRUE(RaisedEntries([&] { buffer.GetBuf(); }).size() > 0);
    buffer.Realloc(1);
    EXPECT_EQ("a", Read(buffer));
}

TEST(ZoBufSafeArray, ReallocFailsWhileLockedOrWithoutArray)
{
    CZoBufSafeArray empty;
    auto entries = RaisedEntries([&] { empty.Realloc(2); });
    ASSERT_FALSE(entries.empty());
    EXPECT_EQ(Decimal(E_INVALIDARG), entries[0].code);

    CZoBufSafeArray buffer;
    buffer.Copy("abc", 3);
    CZoLockHolder holder(&buffer);
    entries = RaisedEntries([&] { buffer.Realloc(1); });
    ASSERT_FALSE(entries.empty());
    EXPECT_EQ(Decimal(DISP_E_ARRAYISLOCKED), entries[0].code);
    EXPECT_EQ(ZoSystemMessageText(static_cast<DWORD>(DISP_E_ARRAYISLOCKED)), entries[0].description);
    EXPECT_EQ(3, buffer.GetSize());
}

TEST(ZoBufSafeArray, ClearOfALockedBufferUnlocksAndReleases)
{
    CZoBufSafeArray buffer;
    buffer.Copy("abc", 3);
    CZoLockHolder holder(&buffer);
    buffer.Clear();
    EXPECT_EQ(0, buffer.GetSize());
    EXPECT_FALSE(RaisedEntries([&] { buffer.GetBuf(); }).empty());
    // The holder's Unlock at the end of scope finds nothing pinned.
}

TEST(ZoBufSafeArray, AttachMovesOrCopies)
{
    CZoBufSafeArray moved;
    CComVariant source = ByteArray("hello");
    moved.Attach(source, false);
    EXPECT_EQ(VT_EMPTY, source.vt);
    EXPECT_EQ("hello", Read(moved));

    CZoBufSafeArray copied;
    CComVariant kept = ByteArray("world");
    copied.Attach(kept, true);
    EXPECT_EQ(VT_ARRAY | VT_UI1, kept.vt);
    EXPECT_EQ("world", BytesOf(kept));
    EXPECT_EQ("world", Read(copied));
    {
        CZoLockHolder holder(&copied);
        copied.GetBuf()[0] = 'W';
    }
    EXPECT_EQ("world", BytesOf(kept)) << "the copy is deep";
}

TEST(ZoBufSafeArray, AttachRejectsOtherVariantsAndKeepsTheBuffer)
{
    SAFEARRAYBOUND bounds[2] = {{2, 0}, {2, 0}};
    struct Case {
        const char* what;
        std::function<CComVariant()> make;
    };
    const Case cases[] = {
        {"int array", [] {
             CComVariant v;
             v.parray = SafeArrayCreateVector(VT_I4, 0, 2);
             v.vt = VT_ARRAY | VT_I4;
             return v;
         }},
        {"empty", [] { return CComVariant(); }},
        {"null array", [] {
             CComVariant v;
             v.vt = VT_ARRAY | VT_UI1;
             v.parray = nullptr;
             return v;
         }},
        {"two dimensions", [&bounds] {
             CComVariant v;
             v.parray = SafeArrayCreate(VT_UI1, 2, bounds);
             v.vt = VT_ARRAY | VT_UI1;
             return v;
         }},
    };
    for (const auto& c : cases) {
        for (bool copy : {false, true}) {
            CZoBufSafeArray buffer;
            buffer.Copy("abc", 3);
            CComVariant other = c.make();
            const VARTYPE before = other.vt;
            const auto entries = RaisedEntries([&] { buffer.Attach(other, copy); });
            ASSERT_FALSE(entries.empty()) << c.what;
            EXPECT_EQ(Decimal(ZO_ERR_INVALID_VARIANT_TYPE), entries[0].code) << c.what;
            EXPECT_EQ(OLESTR("Invalid variant type"), entries[0].description) << c.what;
            EXPECT_EQ(before, other.vt) << c.what;
            EXPECT_EQ("abc", Read(buffer)) << c.what;
        }
    }
}

TEST(ZoBufSafeArray, DetachHandsOverAnUnpinnedArray)
{
    CZoBufSafeArray buffer;
    buffer.Copy("abc", 3);
    CComVariant detached;
    {
        CZoLockHolder holder(&buffer);
        detached = buffer.Detach();
    }
    EXPECT_EQ(0, buffer.GetSize());
    EXPECT_EQ(VT_ARRAY | VT_UI1, detached.vt);
    EXPECT_EQ("abc", BytesOf(detached));
    EXPECT_EQ(0u, detached.parray->cLocks);
    EXPECT_EQ(S_OK, detached.Clear());
}

TEST(ZoBufSafeArray, DestructionReleasesALockedArray)
{
    LogRecorder log;
    {
        auto buffer = std::make_unique<CZoBufSafeArray>();
        buffer->Copy("abc", 3);
        buffer->Lock();
    }
    EXPECT_TRUE(log.Lines().empty());
}

}  // namespace
