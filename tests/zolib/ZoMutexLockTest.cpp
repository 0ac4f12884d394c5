// CZoMutexLock: the named mutex lock, within the process and across processes.
#include <atomic>
#include <future>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "ChildProcess.h"
#include "ZoMutexLock.h"
#include "ZoSystem.h"
#include "ZoTestSupport.h"

namespace {

OleString Widen(const std::string& text)
{
    return OleString(text.begin(), text.end());
}

OleString UniqueName(const char* what)
{
    static std::atomic<unsigned> counter{0};
    return Widen(std::string("C:\\lumo\\zo-mutex-") + what + "-" + std::to_string(GetCurrentProcessId()) + "-" +
                 std::to_string(counter++) + ".log");
}

// Whether another thread, through its own object on the same name, gets the lock at once.
bool OtherThreadGetsIt(const OleString& name)
{
    return std::async(std::launch::async, [&] {
               CZoMutexLock other(0);
               other.Init(name, true);
               const bool taken = other.Lock();
               if (taken)
                   other.Unlock();
               return taken;
           })
        .get();
}

TEST(ZoMutexLock, FreshObjectLocksAPrivateMutex)
{
    CZoMutexLock lock;
    EXPECT_TRUE(lock.Lock());
    EXPECT_TRUE(lock.Lock()) << "re-entrant";
    lock.Unlock();
    lock.Unlock();
}

TEST(ZoMutexLock, FailedReleaseIsLoggedWithTheThreadId)
{
    CZoMutexLock lock;
    {
        LogRecorder log;
        lock.Unlock();
        EXPECT_TRUE(log.Lines().empty()) << "no mutex, nothing to release";
    }
    lock.Init(OLESTR(""), false);
    LogRecorder log;
    lock.Unlock();
    const auto lines = log.Lines();
    ASSERT_EQ(1u, lines.size());
    EXPECT_EQ(ZO_LOG_WARNING, lines[0].level);
    EXPECT_FALSE(lines[0].force);
    const OleString expected = ZoSystemMessageText(ERROR_NOT_OWNER) + OLESTR("\n\terrorcode:\t") +
                               Decimal(static_cast<LONG>(ZoHResultFromSystemError(ERROR_NOT_OWNER))) +
                               OLESTR("\n\tThreadID:\t") + Decimal(static_cast<LONG>(GetCurrentThreadId())) +
                               OLESTR("\n");
    EXPECT_EQ(0u, lines[0].text.find(expected)) << std::string(lines[0].text.begin(), lines[0].text.end());
}

TEST(ZoMutexLock, InitAgainLeavesNoHandleBehind)
{
    const OleString name = UniqueName("again");
    {
        CZoMutexLock lock;
        lock.Init(name, true);
        lock.Init(name, true);
        lock.Clear();
        const HANDLE probe = CreateMutexW(nullptr, FALSE, CZoSystem::MakeKernelObjectName(name, true).c_str());
        EXPECT_NE(static_cast<DWORD>(ERROR_ALREADY_EXISTS), GetLastError()) << "no handle kept the mutex";
        CloseHandle(probe);
    }
    CZoMutexLock lock;
    lock.Init(name, true);
    const HANDLE probe = CreateMutexW(nullptr, FALSE, CZoSystem::MakeKernelObjectName(name, true).c_str());
    EXPECT_EQ(static_cast<DWORD>(ERROR_ALREADY_EXISTS), GetLastError()) << "the name the lock opens";
    CloseHandle(probe);
}

TEST(ZoMutexLockThread, OneNameIsOneLockAcrossObjects)
{
    const OleString name = UniqueName("shared");
    CZoMutexLock lock;
    lock.Init(name, true);
    ASSERT_TRUE(lock.Lock());
    EXPECT_FALSE(OtherThreadGetsIt(name));
    // The same path spelt otherwise is the same name.
    OleString otherSpelling = name;
    for (auto& c : otherSpelling)
        c = c == '\\' ? OLECHAR('/') : (c >= 'a' && c <= 'z' ? OLECHAR(c - 'a' + 'A') : c);
    EXPECT_FALSE(OtherThreadGetsIt(otherSpelling));
    lock.Unlock();
    EXPECT_TRUE(OtherThreadGetsIt(name));
}

TEST(ZoMutexLockThread, TimeOutRefusesInsteadOfWaiting)
{
    const OleString name = UniqueName("timeout");
    CZoMutexLock holder;
    holder.Init(name, true);
    ASSERT_TRUE(holder.Lock());
    const bool taken = std::async(std::launch::async, [&] {
                           CZoMutexLock waiter(30);
                           waiter.Init(name, true);
                           CZoLockHolder hold(&waiter);
                           return hold.IsLocked();
                       }).get();
    EXPECT_FALSE(taken);
    holder.Unlock();
}

TEST(ZoMutexLockThread, AbandonedByAnEndedThreadCountsAsTaken)
{
    CZoMutexLock lock;
    lock.Init(OLESTR(""), false);
    std::thread([&] { EXPECT_TRUE(lock.Lock()); }).join();
    EXPECT_TRUE(lock.Lock());
    lock.Unlock();
}

LUMO_TEST_CHILD(HoldZoMutexAndExit)
{
    // Never destroyed (but reachable, so no leak): the process ends holding the mutex.
    static CZoMutexLock* const lock = new CZoMutexLock;
    lock->Init(Widen(argv[0]), true);
    return lock->Lock() ? 0 : 1;
}

TEST(ZoMutexLockProcess, ChildThatDiesHoldingItLeavesItToTheParent)
{
    const OleString name = UniqueName("abandoned");
    CZoMutexLock lock(5000);
    lock.Init(name, true);
    ASSERT_EQ(0, RunTestChild("HoldZoMutexAndExit", {std::string(name.begin(), name.end())}));
    EXPECT_TRUE(lock.Lock());
    lock.Unlock();
}

}  // namespace
