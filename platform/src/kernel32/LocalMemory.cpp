// LocalAlloc / LocalFree: fixed blocks only (the movable kind is not used here). Live blocks are
// tracked so that freeing a pointer twice, or one never allocated, fails instead of corrupting
// the heap.
#include <windows.h>

#include <cstdlib>
#include <mutex>
#include <unordered_set>

namespace {

class LocalBlocks {
public:
    static LocalBlocks& Instance()
    {
        static LocalBlocks* blocks = new LocalBlocks;  // never destroyed: blocks may be freed at exit
        return *blocks;
    }

    void Add(void* block)
    {
        std::lock_guard<std::mutex> guard(m_mutex);
        m_live.insert(block);
    }

    bool Remove(void* block)
    {
        std::lock_guard<std::mutex> guard(m_mutex);
        return m_live.erase(block) > 0;
    }

private:
    std::mutex m_mutex;
    std::unordered_set<void*> m_live;
};

}  // namespace

HLOCAL WINAPI LocalAlloc(UINT uFlags, SIZE_T uBytes)
{
    if (uFlags & ~static_cast<UINT>(LMEM_FIXED | LMEM_ZEROINIT)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    // A zero-byte fixed block is still a distinct, freeable block.
    const SIZE_T size = uBytes ? uBytes : 1;
    void* block = (uFlags & LMEM_ZEROINIT) ? std::calloc(1, size) : std::malloc(size);
    if (!block) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    try {
        LocalBlocks::Instance().Add(block);
    } catch (...) {
        std::free(block);
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    return block;
}

HLOCAL WINAPI LocalFree(HLOCAL hMem)
{
    if (!hMem)
        return nullptr;
    if (!LocalBlocks::Instance().Remove(hMem)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return hMem;
    }
    std::free(hMem);
    return nullptr;
}
