#include "advapi32/RegistryFiles.h"

#include <map>
#include <mutex>
#include <string>

#include "advapi32/RegistryLocation.h"

namespace lumo::platform::registry {

namespace {

class RegistryFiles {
public:
    static RegistryFiles& Instance()
    {
        // Never destroyed: handles may be closed by other objects' destructors at exit.
        static auto* files = new RegistryFiles;
        return *files;
    }

    LSTATUS Current(std::shared_ptr<RegistryDatabase>& database)
    {
        const std::string path = CurrentRegistryPath();
        std::lock_guard lock(mutex_);
        if (!current_ || current_->Path() != path || !current_->StillAtPath()) {
            if (LSTATUS status = Switch(path); status != ERROR_SUCCESS)
                return status;
        }
        database = current_;
        return ERROR_SUCCESS;
    }

private:
    LSTATUS Switch(const std::string& path)
    {
        // A file still held by open handles is shared rather than opened twice.
        if (auto known = open_.find(path); known != open_.end()) {
            std::shared_ptr<RegistryDatabase> held = known->second.lock();
            if (held && held->StillAtPath()) {
                current_ = std::move(held);
                return ERROR_SUCCESS;
            }
        }
        std::shared_ptr<RegistryDatabase> opened;
        if (LSTATUS status = RegistryDatabase::Open(path, opened); status != ERROR_SUCCESS)
            return status;
        current_ = opened;
        std::erase_if(open_, [](const auto& entry) { return entry.second.expired(); });
        open_[path] = opened;
        return ERROR_SUCCESS;
    }

    std::mutex mutex_;
    std::shared_ptr<RegistryDatabase> current_;
    std::map<std::string, std::weak_ptr<RegistryDatabase>> open_;
};

}  // namespace

LSTATUS CurrentRegistryDatabase(std::shared_ptr<RegistryDatabase>& database)
{
    return RegistryFiles::Instance().Current(database);
}

}  // namespace lumo::platform::registry
