#include "advapi32/ChangeStamp.h"

#include <atomic>
#include <mutex>
#include <unordered_map>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include "advapi32/RegistryLocation.h"
#include "common/RegistryChanges.h"

namespace lumo::platform::registry {

namespace {

constexpr int kCounterBits = 40;
constexpr uint64_t kCounterMask = (uint64_t{1} << kCounterBits) - 1;
// Stamps with this bit set are handed out when no counter can be read; each is new, so the
// caller refills its cache every time, which is slow but never stale.
constexpr uint64_t kUnstableStamp = uint64_t{1} << 63;

uint64_t* MapCounterFile(const std::string& databasePath, bool create)
{
    const std::string path = databasePath + ".stamp";
    const int fd = open(path.c_str(), O_RDWR | O_CLOEXEC | (create ? O_CREAT : 0), 0644);
    if (fd < 0)
        return nullptr;
    struct stat info {};
    // Growing to the counter's size never shrinks a file another process already filled.
    bool sized = fstat(fd, &info) == 0 &&
                 (info.st_size >= static_cast<off_t>(sizeof(uint64_t)) || ftruncate(fd, sizeof(uint64_t)) == 0);
    void* mapping = sized ? mmap(nullptr, sizeof(uint64_t), PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0) : MAP_FAILED;
    close(fd);
    return mapping == MAP_FAILED ? nullptr : static_cast<uint64_t*>(mapping);
}

// Which counter belongs to which registry path. Every attachment gets a new id, so a
// path whose file was replaced (or a different path) never repeats an earlier stamp.
class CounterTable {
public:
    struct Entry {
        uint64_t id = 0;
        uint64_t* counter = nullptr;
    };

    static CounterTable& Instance()
    {
        // Never destroyed: stamps may be asked for while the process exits.
        static auto* table = new CounterTable;
        return *table;
    }

    uint64_t* Attach(const std::string& databasePath, bool create)
    {
        uint64_t* counter = MapCounterFile(databasePath, create);
        if (!counter)
            return nullptr;
        std::lock_guard lock(mutex_);
        entries_[databasePath] = Entry{++lastId_, counter};
        generation_.fetch_add(1, std::memory_order_release);
        return counter;
    }

    bool Find(const std::string& databasePath, Entry& entry)
    {
        {
            std::lock_guard lock(mutex_);
            if (auto found = entries_.find(databasePath); found != entries_.end()) {
                entry = found->second;
                return true;
            }
        }
        // Another process may have made the counter since; reading never creates it.
        if (!Attach(databasePath, false))
            return false;
        std::lock_guard lock(mutex_);
        entry = entries_[databasePath];
        return true;
    }

    uint64_t Generation() const noexcept { return generation_.load(std::memory_order_acquire); }

    uint64_t NextUnstableStamp() noexcept { return kUnstableStamp | unstable_.fetch_add(1); }

private:
    std::mutex mutex_;
    std::unordered_map<std::string, Entry> entries_;
    uint64_t lastId_ = 0;
    std::atomic<uint64_t> generation_{0};
    std::atomic<uint64_t> unstable_{0};
};

// What a thread found last time, so that a repeated call takes no lock.
struct CachedCounter {
    uint64_t generation = ~uint64_t{0};
    std::string path;
    CounterTable::Entry entry;
};

}  // namespace

uint64_t* AttachChangeCounter(const std::string& databasePath)
{
    return CounterTable::Instance().Attach(databasePath, true);
}

void BumpChangeCounter(uint64_t* counter) noexcept
{
    if (counter)
        std::atomic_ref<uint64_t>(*counter).fetch_add(1, std::memory_order_seq_cst);
}

}  // namespace lumo::platform::registry

namespace lumo::platform {

// Exported (unlike the rest of the stand-in's internals) so that the platform tests can
// watch it.
__attribute__((visibility("default"))) uint64_t RegistryChangeStamp() noexcept
{
    using registry::CounterTable;
    CounterTable& table = CounterTable::Instance();
    try {
        thread_local registry::CachedCounter cached;
        std::string path = registry::CurrentRegistryPath();
        const uint64_t generation = table.Generation();
        if (cached.generation != generation || cached.path != path) {
            CounterTable::Entry entry;
            if (!table.Find(path, entry))
                return table.NextUnstableStamp();
            cached = {generation, std::move(path), entry};
        }
        const uint64_t count = std::atomic_ref<uint64_t>(*cached.entry.counter).load(std::memory_order_seq_cst);
        return (cached.entry.id << registry::kCounterBits) | (count & registry::kCounterMask);
    } catch (...) {
        return table.NextUnstableStamp();
    }
}

}  // namespace lumo::platform
