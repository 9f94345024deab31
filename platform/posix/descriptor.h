#pragma once
// An open file descriptor with one owner, closed when the owner lets go.
// Shared by the POSIX half of the platform layer and the simulator, which
// both hold descriptors of their own.

#include <unistd.h>

#include "platform/unique_resource.h"

namespace tarnwick::os::posix {

struct DescriptorTraits {
    using Value = int;
    static constexpr int kNone = -1;
    static bool IsOpen(int fd) { return fd >= 0; }
    static void Close(int fd) { close(fd); }
};

using Descriptor = UniqueResource<DescriptorTraits>;

}  // namespace tarnwick::os::posix
