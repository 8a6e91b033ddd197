// GlobalAlloc and friends: blocks from the C heap, with a registry so that
// unknown handles are refused instead of crashing.
#include <cstdlib>
#include <mutex>
#include <new>
#include <unordered_map>

#include "platform/posix/CallHooks.h"
#include "platform/posix/WinErrors.h"
#include "platform/posix/WinMemory.h"

namespace {

struct Block {
    void* data;
    bool movable;
    unsigned locks;
};

// Fixed blocks are registered under their address, movable ones under the
// address of their Block record.
std::mutex g_lock;
std::unordered_map<HGLOBAL, Block*> g_blocks;

Block* Find(HGLOBAL memory) {
    auto it = g_blocks.find(memory);
    return it == g_blocks.end() ? nullptr : it->second;
}

}  // namespace

HGLOBAL GlobalAlloc(UINT flags, SIZE_T bytes) {
    if (posix::DecidedToFail("GlobalAlloc")) return nullptr;
    if (flags & ~(GMEM_MOVEABLE | GMEM_ZEROINIT)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    // A block of 0 bytes still gets an address of its own.
    size_t size = bytes ? static_cast<size_t>(bytes) : 1;
    void* data = (flags & GMEM_ZEROINIT) ? std::calloc(size, 1) : std::malloc(size);
    Block* block = data ? new (std::nothrow) Block{data, (flags & GMEM_MOVEABLE) != 0, 0} : nullptr;
    if (!block) {
        std::free(data);
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    HGLOBAL handle = block->movable ? static_cast<HGLOBAL>(block) : data;
    std::lock_guard<std::mutex> guard(g_lock);
    g_blocks[handle] = block;
    return handle;
}

LPVOID GlobalLock(HGLOBAL memory) {
    std::lock_guard<std::mutex> guard(g_lock);
    Block* block = Find(memory);
    if (!block) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    if (block->movable) ++block->locks;
    return block->data;
}

BOOL GlobalUnlock(HGLOBAL memory) {
    std::lock_guard<std::mutex> guard(g_lock);
    Block* block = Find(memory);
    if (!block) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (!block->movable || block->locks == 0) {
        SetLastError(block->movable ? ERROR_NOT_LOCKED : NO_ERROR);
        return FALSE;
    }
    if (--block->locks > 0) return TRUE;
    SetLastError(NO_ERROR);
    return FALSE;
}

HGLOBAL GlobalFree(HGLOBAL memory) {
    Block* block;
    {
        std::lock_guard<std::mutex> guard(g_lock);
        block = Find(memory);
        if (!block) {
            SetLastError(ERROR_INVALID_HANDLE);
            return memory;
        }
        g_blocks.erase(memory);
    }
    std::free(block->data);
    delete block;
    return nullptr;
}
