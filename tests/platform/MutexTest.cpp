// Mutexes of the stand-in: ownership by thread, re-entrance, release by the owner only, names
// shared across processes, abandonment by a thread or a process that ended holding one.
#include <atomic>
#include <cstdlib>
#include <future>
#include <string>
#include <thread>

#include <gtest/gtest.h>
#include <windows.h>

#include "ChildProcess.h"
#include "OleString.h"

namespace {

OleString Widen(const std::string& text)
{
    return OleString(text.begin(), text.end());
}

// A name no other test (or earlier run) uses.
std::string UniqueName(const char* what)
{
    static std::atomic<unsigned> counter{0};
    return std::string("LumoMutexTest-") + what + "-" + std::to_string(GetCurrentProcessId()) + "-" +
           std::to_string(counter++);
}

DWORD WaitOnOtherThread(HANDLE mutex, DWORD milliseconds = 0)
{
    return std::async(std::launch::async, [=] {
               const DWORD result = WaitForSingleObject(mutex, milliseconds);
               if (result == WAIT_OBJECT_0 || result == WAIT_ABANDONED)
                   ReleaseMutex(mutex);
               return result;
           })
        .get();
}

HANDLE CreateNamed(const std::string& name, DWORD& lastError)
{
    const HANDLE mutex = CreateMutexW(nullptr, FALSE, Widen(name).c_str());
    lastError = GetLastError();
    return mutex;
}

// ---------------------------------------------------------------------------------------------
// One process

TEST(MutexThread, OwnerReentersAndOnlyTheOwnerReleases)
{
    for (const bool named : {false, true}) {
        const std::string name = UniqueName("owner");
        const HANDLE mutex = CreateMutexW(nullptr, FALSE, named ? Widen(name).c_str() : nullptr);
        ASSERT_NE(nullptr, mutex) << named;
        ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(mutex, INFINITE));
        ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(mutex, 0)) << "re-entered";
        EXPECT_EQ(static_cast<DWORD>(WAIT_TIMEOUT), WaitOnOtherThread(mutex));

        const BOOL releasedByOther = std::async(std::launch::async, [=] { return ReleaseMutex(mutex); }).get();
        EXPECT_FALSE(releasedByOther) << named;
        EXPECT_TRUE(ReleaseMutex(mutex));
        EXPECT_EQ(static_cast<DWORD>(WAIT_TIMEOUT), WaitOnOtherThread(mutex)) << "still held once";
        EXPECT_TRUE(ReleaseMutex(mutex));
        EXPECT_EQ(WAIT_OBJECT_0, WaitOnOtherThread(mutex));

        EXPECT_FALSE(ReleaseMutex(mutex)) << "not held";
        EXPECT_EQ(static_cast<DWORD>(ERROR_NOT_OWNER), GetLastError());
        EXPECT_TRUE(CloseHandle(mutex));
    }
}

TEST(MutexThread, WaitWithATimeOutGivesUp)
{
    const HANDLE mutex = CreateMutexW(nullptr, TRUE, nullptr);
    EXPECT_EQ(static_cast<DWORD>(WAIT_TIMEOUT), WaitOnOtherThread(mutex, 20));
    ReleaseMutex(mutex);
    EXPECT_EQ(WAIT_OBJECT_0, WaitOnOtherThread(mutex, 20));
    CloseHandle(mutex);
}

TEST(MutexThread, OneNameIsOneMutex)
{
    const std::string name = UniqueName("shared");
    DWORD firstError = 0, secondError = 0;
    const HANDLE first = CreateNamed(name, firstError);
    const HANDLE second = CreateNamed(name, secondError);
    EXPECT_EQ(static_cast<DWORD>(ERROR_SUCCESS), firstError);
    EXPECT_EQ(static_cast<DWORD>(ERROR_ALREADY_EXISTS), secondError);
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(first, INFINITE));
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(second, 0)) << "the owner re-enters through either handle";
    EXPECT_EQ(static_cast<DWORD>(WAIT_TIMEOUT), WaitOnOtherThread(second));
    ReleaseMutex(second);
    ReleaseMutex(first);
    EXPECT_EQ(WAIT_OBJECT_0, WaitOnOtherThread(second));

    const HANDLE unnamed = CreateMutexW(nullptr, TRUE, nullptr);
    EXPECT_EQ(WAIT_OBJECT_0, WaitOnOtherThread(first)) << "an unnamed mutex is a mutex of its own";
    ReleaseMutex(unnamed);

    CloseHandle(first);
    CloseHandle(second);
    CloseHandle(unnamed);
    DWORD againError = 0;
    const HANDLE again = CreateNamed(name, againError);
    EXPECT_EQ(static_cast<DWORD>(ERROR_SUCCESS), againError) << "the last close ended the mutex";
    CloseHandle(again);
}

TEST(MutexThread, InitialOwnerOwnsOnlyWhatItCreated)
{
    const std::string name = UniqueName("initial");
    const HANDLE created = CreateMutexW(nullptr, TRUE, Widen(name).c_str());
    EXPECT_EQ(static_cast<DWORD>(WAIT_TIMEOUT), WaitOnOtherThread(created));

    // Another thread opening the same name with bInitialOwner gets no ownership.
    const bool otherOwns = std::async(std::launch::async, [&] {
                               const HANDLE opened = CreateMutexW(nullptr, TRUE, Widen(name).c_str());
                               const bool owns = ReleaseMutex(opened) != FALSE;
                               CloseHandle(opened);
                               return owns;
                           }).get();
    EXPECT_FALSE(otherOwns);
    ReleaseMutex(created);
    CloseHandle(created);
}

TEST(MutexThread, OwnerThreadThatEndsLeavesItAbandoned)
{
    for (const bool named : {false, true}) {
        const HANDLE mutex = CreateMutexW(nullptr, FALSE, named ? Widen(UniqueName("ended")).c_str() : nullptr);
        std::thread([=] { EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(mutex, INFINITE)); }).join();
        EXPECT_EQ(static_cast<DWORD>(WAIT_ABANDONED), WaitForSingleObject(mutex, 0)) << named;
        EXPECT_TRUE(ReleaseMutex(mutex)) << "taken over in working order";
        EXPECT_EQ(WAIT_OBJECT_0, WaitOnOtherThread(mutex)) << named;
        CloseHandle(mutex);
    }
}

TEST(Mutex, NamesFollowTheKernelRules)
{
    const std::string base = UniqueName("rules");
    EXPECT_EQ(nullptr, CreateMutexW(nullptr, FALSE, Widen(base + "\\part").c_str()));
    EXPECT_EQ(static_cast<DWORD>(ERROR_PATH_NOT_FOUND), GetLastError());
    EXPECT_EQ(nullptr, CreateMutexW(nullptr, FALSE, Widen(std::string(MAX_PATH + 1, 'n')).c_str()));
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILENAME_EXCED_RANGE), GetLastError());

    DWORD error = 0;
    const HANDLE plain = CreateNamed(base, error);
    const HANDLE local = CreateNamed("Local\\" + base, error);
    EXPECT_EQ(static_cast<DWORD>(ERROR_ALREADY_EXISTS), error) << "Local\\ is the user's own namespace";
    const HANDLE global = CreateNamed("Global\\" + base, error);
    EXPECT_EQ(static_cast<DWORD>(ERROR_SUCCESS), error) << "Global\\ is a namespace of its own";
    for (HANDLE h : {plain, local, global})
        CloseHandle(h);
}

TEST(Mutex, NullAccessListIsAccepted)
{
    SECURITY_DESCRIPTOR descriptor{};
    ASSERT_TRUE(InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION));
    ASSERT_TRUE(SetSecurityDescriptorDacl(&descriptor, TRUE, nullptr, FALSE));
    EXPECT_EQ(SE_DACL_PRESENT, descriptor.Control & (SE_DACL_PRESENT | SE_DACL_DEFAULTED));
    SECURITY_ATTRIBUTES attributes{sizeof attributes, &descriptor, FALSE};
    const HANDLE mutex = CreateMutexW(&attributes, FALSE, Widen("Global\\" + UniqueName("anyone")).c_str());
    ASSERT_NE(nullptr, mutex);
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(mutex, 0));
    ReleaseMutex(mutex);
    CloseHandle(mutex);

    SECURITY_DESCRIPTOR other{};
    EXPECT_FALSE(InitializeSecurityDescriptor(&other, 2));
    EXPECT_EQ(static_cast<DWORD>(ERROR_UNKNOWN_REVISION), GetLastError());
}

// ---------------------------------------------------------------------------------------------
// Across processes

LUMO_TEST_CHILD(TakeMutexAndExit)
{
    const HANDLE mutex = CreateMutexW(nullptr, FALSE, Widen(argv[0]).c_str());
    return mutex && WaitForSingleObject(mutex, INFINITE) == WAIT_OBJECT_0 ? 0 : 1;  // exits holding it
}

// Exit code 0 when the mutex is held elsewhere, 2 when this process got it.
LUMO_TEST_CHILD(ProbeMutex)
{
    const HANDLE mutex = CreateMutexW(nullptr, FALSE, Widen(argv[0]).c_str());
    if (!mutex)
        return 1;
    const DWORD result = WaitForSingleObject(mutex, 0);
    if (result == WAIT_OBJECT_0 || result == WAIT_ABANDONED) {
        ReleaseMutex(mutex);
        return 2;
    }
    return result == WAIT_TIMEOUT ? 0 : 1;
}

TEST(MutexProcess, ANameIsSharedWithOtherProcesses)
{
    for (const std::string prefix : {"", "Global\\"}) {
        const std::string name = prefix + UniqueName("process");
        const HANDLE mutex = CreateMutexW(nullptr, TRUE, Widen(name).c_str());
        EXPECT_EQ(0, RunTestChild("ProbeMutex", {name})) << prefix << ": held by this process";
        ReleaseMutex(mutex);
        EXPECT_EQ(2, RunTestChild("ProbeMutex", {name})) << prefix << ": free";
        CloseHandle(mutex);
    }
}

TEST(MutexProcess, ProcessThatDiesHoldingItLeavesItAbandoned)
{
    const std::string name = UniqueName("abandoned");
    DWORD error = 0;
    const HANDLE mutex = CreateNamed(name, error);
    ASSERT_EQ(0, RunTestChild("TakeMutexAndExit", {name}));
    EXPECT_EQ(static_cast<DWORD>(WAIT_ABANDONED), WaitForSingleObject(mutex, INFINITE));
    EXPECT_TRUE(ReleaseMutex(mutex));
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(mutex, 0)) << "in working order again";
    ReleaseMutex(mutex);
    CloseHandle(mutex);
}

TEST(MutexProcess, LeftOverFromDeadProcessesStartsAfresh)
{
    // Nobody here holds the name open while the child dies with it: the next creator gets
    // a new mutex, as on Windows, where the last closed handle ends it.
    const std::string name = UniqueName("leftover");
    ASSERT_EQ(0, RunTestChild("TakeMutexAndExit", {name}));
    DWORD error = 0;
    const HANDLE mutex = CreateNamed(name, error);
    EXPECT_EQ(static_cast<DWORD>(ERROR_SUCCESS), error);
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(mutex, 0));
    ReleaseMutex(mutex);
    CloseHandle(mutex);
}

}  // namespace
