// A file's block is committed virtual memory of its own.

#include <windows.h>

#include "platform/system.h"

namespace tarnwick::os {

void FileBlockRelease::operator()(std::uint8_t* block) const { VirtualFree(block, 0, MEM_RELEASE); }

FileBlock AllocateFileBlock(std::uint64_t size) {
    if (size >= SIZE_MAX) {
        return FileBlock(nullptr, FileBlockRelease());
    }
    void* block = VirtualAlloc(nullptr, size == 0 ? 1 : static_cast<SIZE_T>(size), MEM_RESERVE | MEM_COMMIT,
                               PAGE_READWRITE);
    return FileBlock(static_cast<std::uint8_t*>(block), FileBlockRelease(static_cast<std::size_t>(size)));
}

}  // namespace tarnwick::os
