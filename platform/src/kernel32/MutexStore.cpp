#include "kernel32/MutexStore.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>
#include <unordered_map>

#include "kernel32/HostError.h"

namespace lumo::platform {

// ---------------------------------------------------------------------------------------
// Waiting and releasing

namespace {

// 0 or the errno of the failed call.
int InitializeMutex(RobustMutex* robust, bool processShared)
{
    robust->ownerThread = 0;
    robust->depth = 0;
    pthread_mutex_t* const mutex = &robust->mutex;
    pthread_mutexattr_t attributes;
    if (const int error = pthread_mutexattr_init(&attributes))
        return error;
    int error = pthread_mutexattr_settype(&attributes, PTHREAD_MUTEX_RECURSIVE);
    if (!error)
        error = pthread_mutexattr_setrobust(&attributes, PTHREAD_MUTEX_ROBUST);
    if (!error && processShared)
        error = pthread_mutexattr_setpshared(&attributes, PTHREAD_PROCESS_SHARED);
    if (!error)
        error = pthread_mutex_init(mutex, &attributes);
    pthread_mutexattr_destroy(&attributes);
    return error;
}

}  // namespace

DWORD MutexStore::Wait(DWORD milliseconds)
{
    int result;
    if (milliseconds == INFINITE) {
        result = pthread_mutex_lock(&m_mutex->mutex);
    } else if (milliseconds == 0) {
        result = pthread_mutex_trylock(&m_mutex->mutex);
    } else {
        // The realtime clock, as pthread_mutex_timedlock takes it.
        timespec deadline{};
        clock_gettime(CLOCK_REALTIME, &deadline);
        deadline.tv_sec += static_cast<time_t>(milliseconds / 1000);
        deadline.tv_nsec += static_cast<long>(milliseconds % 1000) * 1000000L;
        if (deadline.tv_nsec >= 1000000000L) {
            deadline.tv_nsec -= 1000000000L;
            ++deadline.tv_sec;
        }
        do {
            result = pthread_mutex_timedlock(&m_mutex->mutex, &deadline);
        } while (result == EINTR);
    }
    switch (result) {
    case 0:
        TakeOwnership(false);
        return WAIT_OBJECT_0;
    case EOWNERDEAD:
        // Ours now, and usable again: Windows hands an abandoned mutex on in working order.
        pthread_mutex_consistent(&m_mutex->mutex);
        TakeOwnership(true);
        return WAIT_ABANDONED;
    case EBUSY:
    case ETIMEDOUT:
        return WAIT_TIMEOUT;
    case EAGAIN:
        SetLastError(ERROR_TOO_MANY_POSTS);  // the recursion count is exhausted
        return WAIT_FAILED;
    default:
        SetLastError(ERROR_INVALID_HANDLE);
        return WAIT_FAILED;
    }
}

void MutexStore::TakeOwnership(bool abandoned) noexcept
{
    const uint32_t self = GetCurrentThreadId();
    if (!abandoned && __atomic_load_n(&m_mutex->ownerThread, __ATOMIC_RELAXED) == self) {
        ++m_mutex->depth;
        ++m_heldHere;
        return;
    }
    // Whatever a dead owner held (here or elsewhere) is gone with it.
    m_mutex->depth = 1;
    __atomic_store_n(&m_mutex->ownerThread, self, __ATOMIC_RELAXED);
    m_heldHere.store(1);
}

bool MutexStore::Release()
{
    // Only the owner finds its own id here: no other thread ever writes it.
    if (__atomic_load_n(&m_mutex->ownerThread, __ATOMIC_RELAXED) != GetCurrentThreadId()) {
        SetLastError(ERROR_NOT_OWNER);
        return false;
    }
    if (--m_mutex->depth == 0)
        __atomic_store_n(&m_mutex->ownerThread, 0u, __ATOMIC_RELAXED);
    --m_heldHere;
    if (pthread_mutex_unlock(&m_mutex->mutex) != 0) {
        SetLastError(ERROR_NOT_OWNER);
        return false;
    }
    return true;
}

// ---------------------------------------------------------------------------------------
// Unnamed mutexes

namespace {

class PrivateMutex : public MutexStore {
public:
    explicit PrivateMutex(RobustMutex* mutex) : MutexStore(mutex), m_mutex(mutex) {}
    ~PrivateMutex() override
    {
        if (HeldHere())
            return;  // kept: a holder's robust list still points at it
        pthread_mutex_destroy(&m_mutex->mutex);
        delete m_mutex;
    }

private:
    RobustMutex* const m_mutex;
};

}  // namespace

std::shared_ptr<MutexStore> CreatePrivateMutex(DWORD& error)
{
    auto* mutex = new RobustMutex;
    if (const int failure = InitializeMutex(mutex, false)) {
        delete mutex;
        error = Win32ErrorFromErrno(failure);
        return nullptr;
    }
    return std::make_shared<PrivateMutex>(mutex);
}

// ---------------------------------------------------------------------------------------
// Named mutexes
//
// A named mutex is a shared-memory object in /dev/shm holding the mutex and the full name.
// Every process that has it open holds a shared flock on it; the last one to close it (the
// only one that gets an exclusive flock then) removes it, and a process that opens an object
// that nobody holds finds it left over from processes that died and starts it afresh. Opening
// and closing are serialised across processes by an exclusive flock on a guard object per
// namespace, and within the process by a mutex (flock does not exclude the threads that
// share an open file).

namespace {

constexpr uint32_t kSegmentMagic = 0x4C4D5458;  // "LMTX"
constexpr WideView kGlobalPrefix = u"Global\\";
constexpr WideView kLocalPrefix = u"Local\\";

struct SegmentLayout {
    uint32_t magic;
    uint32_t nameLength;
    RobustMutex mutex;
    char16_t name[MAX_PATH + 1];
};

struct Namespace {
    bool global;
    std::string prefix;  // of the shared-memory object names
};

Namespace NamespaceOf(bool global)
{
    if (global)
        return {true, "/lumoitems-mutex-global-"};
    return {false, "/lumoitems-mutex-user" + std::to_string(static_cast<unsigned long>(geteuid())) + "-"};
}

// Two FNV-1a hashes of the name, as the object's name; the full name in the object tells a
// collision apart.
std::string HashText(WideView name)
{
    uint64_t first = 0xcbf29ce484222325ull;
    uint64_t second = 0x84222325cbf29ce4ull;
    for (const char16_t unit : name) {
        for (const unsigned byte : {static_cast<unsigned>(unit & 0xFF), static_cast<unsigned>(unit >> 8)}) {
            first = (first ^ byte) * 0x100000001b3ull;
            second = (second ^ byte) * 0x100000001b3ull;
        }
    }
    char text[33];
    std::snprintf(text, sizeof text, "%016llx%016llx", static_cast<unsigned long long>(first),
                  static_cast<unsigned long long>(second));
    return text;
}

int LockFile(int fd, int operation)
{
    int result;
    do {
        result = flock(fd, operation);
    } while (result != 0 && errno == EINTR);
    return result == 0 ? 0 : errno;
}

class SharedMutex;

// The process's table of open named mutexes, and the guards of the two namespaces.
class NamedMutexTable {
public:
    static NamedMutexTable& Instance()
    {
        // Never destroyed: handles may still close during exit.
        static NamedMutexTable* table = new NamedMutexTable;
        return *table;
    }

    std::mutex& Mutex() { return m_mutex; }
    std::unordered_map<std::string, std::weak_ptr<SharedMutex>>& Entries() { return m_entries; }

    // The guard object's descriptor; -1 with errno set. Call with Mutex() held.
    int Guard(const Namespace& space)
    {
        int& fd = space.global ? m_globalGuard : m_userGuard;
        if (fd >= 0)
            return fd;
        const std::string name = space.prefix + "guard";
        const mode_t mode = space.global ? 0666 : 0600;
        fd = shm_open(name.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, mode);
        if (fd >= 0)
            fchmod(fd, mode);  // past the umask, so that every user can take the global guard
        return fd;
    }

private:
    NamedMutexTable() = default;

    std::mutex m_mutex;
    std::unordered_map<std::string, std::weak_ptr<SharedMutex>> m_entries;
    int m_globalGuard = -1;
    int m_userGuard = -1;
};

class GuardHolder {
public:
    explicit GuardHolder(int fd) : m_fd(fd), m_error(fd < 0 ? errno : LockFile(fd, LOCK_EX)) {}
    ~GuardHolder()
    {
        if (m_error == 0)
            LockFile(m_fd, LOCK_UN);
    }
    GuardHolder(const GuardHolder&) = delete;
    GuardHolder& operator=(const GuardHolder&) = delete;
    int Error() const noexcept { return m_error; }

private:
    const int m_fd;
    const int m_error;
};

class SharedMutex : public MutexStore {
public:
    SharedMutex(std::string objectName, Namespace space, int fd, SegmentLayout* layout)
        : MutexStore(&layout->mutex), m_objectName(std::move(objectName)), m_space(std::move(space)), m_fd(fd),
          m_layout(layout)
    {
    }

    ~SharedMutex() override
    {
        NamedMutexTable& table = NamedMutexTable::Instance();
        std::lock_guard<std::mutex> hold(table.Mutex());
        const auto entry = table.Entries().find(m_objectName);
        if (entry != table.Entries().end() && entry->second.expired())
            table.Entries().erase(entry);
        // Still held by a thread here: kept mapped and open, so that no process starts it afresh.
        if (HeldHere())
            return;
        GuardHolder guard(table.Guard(m_space));
        if (guard.Error() == 0 && LockFile(m_fd, LOCK_EX | LOCK_NB) == 0)
            shm_unlink(m_objectName.c_str());
        munmap(m_layout, sizeof(SegmentLayout));
        close(m_fd);
    }

private:
    const std::string m_objectName;
    const Namespace m_space;
    const int m_fd;
    SegmentLayout* const m_layout;
};

DWORD StartAfresh(SegmentLayout* layout, WideView name)
{
    std::memset(static_cast<void*>(layout), 0, sizeof(SegmentLayout));
    if (const int error = InitializeMutex(&layout->mutex, true))
        return Win32ErrorFromErrno(error);
    layout->nameLength = static_cast<uint32_t>(name.size());
    std::memcpy(layout->name, name.data(), name.size() * sizeof(char16_t));
    __atomic_store_n(&layout->magic, kSegmentMagic, __ATOMIC_RELEASE);
    return ERROR_SUCCESS;
}

bool Describes(const SegmentLayout& layout, WideView name)
{
    return __atomic_load_n(&layout.magic, __ATOMIC_ACQUIRE) == kSegmentMagic && layout.nameLength == name.size() &&
           std::memcmp(layout.name, name.data(), name.size() * sizeof(char16_t)) == 0;
}

// Call with the table's mutex held.
std::shared_ptr<MutexStore> OpenSegment(const std::string& objectName, const Namespace& space, WideView name,
                                        bool anyUser, bool& created, DWORD& error)
{
    NamedMutexTable& table = NamedMutexTable::Instance();
    GuardHolder guard(table.Guard(space));
    if (guard.Error() != 0) {
        error = Win32ErrorFromErrno(guard.Error());
        return nullptr;
    }
    const mode_t mode = anyUser ? 0666 : 0600;
    bool fresh = true;
    int fd = shm_open(objectName.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, mode);
    if (fd >= 0) {
        fchmod(fd, mode);
    } else if (errno == EEXIST) {
        fresh = false;
        fd = shm_open(objectName.c_str(), O_RDWR | O_CLOEXEC, 0);
    }
    if (fd < 0) {
        error = Win32ErrorFromErrno(errno);
        return nullptr;
    }
    // Left over when nobody holds it open.
    if (!fresh && LockFile(fd, LOCK_EX | LOCK_NB) == 0)
        fresh = true;
    if (fresh && ftruncate(fd, sizeof(SegmentLayout)) != 0) {
        error = Win32ErrorFromErrno(errno);
        close(fd);
        return nullptr;
    }
    struct stat status {};
    void* mapping = nullptr;
    if (fstat(fd, &status) != 0 || static_cast<size_t>(status.st_size) < sizeof(SegmentLayout) ||
        (mapping = mmap(nullptr, sizeof(SegmentLayout), PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0)) == MAP_FAILED) {
        error = ERROR_INVALID_HANDLE;
        close(fd);
        return nullptr;
    }
    auto* layout = static_cast<SegmentLayout*>(mapping);
    error = fresh ? StartAfresh(layout, name) : (Describes(*layout, name) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE);
    if (error == ERROR_SUCCESS && LockFile(fd, LOCK_SH) != 0)
        error = Win32ErrorFromErrno(errno);
    if (error != ERROR_SUCCESS) {
        munmap(mapping, sizeof(SegmentLayout));
        close(fd);
        return nullptr;
    }
    auto segment = std::make_shared<SharedMutex>(objectName, space, fd, layout);
    table.Entries()[objectName] = segment;
    created = fresh;
    return segment;
}

}  // namespace

std::shared_ptr<MutexStore> OpenNamedMutex(WideView name, bool anyUser, bool& created, DWORD& error)
{
    created = false;
    bool global = false;
    WideView rest = name;
    if (rest.substr(0, kGlobalPrefix.size()) == kGlobalPrefix) {
        global = true;
        rest.remove_prefix(kGlobalPrefix.size());
    } else if (rest.substr(0, kLocalPrefix.size()) == kLocalPrefix) {
        rest.remove_prefix(kLocalPrefix.size());
    }
    if (rest.find(u'\\') != WideView::npos) {
        error = ERROR_PATH_NOT_FOUND;
        return nullptr;
    }
    const Namespace space = NamespaceOf(global);
    const std::string objectName = space.prefix + HashText(rest);
    NamedMutexTable& table = NamedMutexTable::Instance();
    std::lock_guard<std::mutex> hold(table.Mutex());
    const auto entry = table.Entries().find(objectName);
    if (entry != table.Entries().end()) {
        // Returned, not dropped here: dropping the last reference would close it under the lock.
        if (auto open = entry->second.lock())
            return open;
    }
    return OpenSegment(objectName, space, rest, anyUser, created, error);
}

}  // namespace lumo::platform
