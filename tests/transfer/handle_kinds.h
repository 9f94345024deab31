#pragma once
// Device handles of every kind a device library may hand out on this
// system, each with its far end, so that one test can send through all of
// them and compare what arrived with what "sent" counts.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "image/transfer_worker.h"
#include "platform/system.h"

namespace tarnwick::testing {

enum class FarEnd {
    None,        // nothing to read back (a device, or the far end is gone)
    Unread,      // a pipe or terminal that nobody reads
    ReadAWhile,  // read until 100000 bytes came, then no more
    HangUp,      // read until 100000 bytes came, then closed: the device went away
    Sink,        // takes everything and keeps it (a plain file), or drops it
};

struct HandleKind {
    std::string name;
    FarEnd farEnd;
    TransferResult result;
    TransferFailure failure;
};

inline std::ostream& operator<<(std::ostream& out, const HandleKind& kind) { return out << kind.name; }

inline constexpr std::size_t kReadAWhile = 100'000;

// One handle of a kind, made as a device library would make it.
class OpenedHandle {
public:
    virtual ~OpenedHandle() = default;
    // The device handle; whoever adopts it closes it.
    virtual os::Handle handle() const = 0;
    // What reached the far end, up to `limit` bytes; blocks until that many
    // came or the far end says no more will. Nullopt where nothing can be
    // read back (a device, a sink that keeps nothing).
    virtual std::optional<std::vector<std::uint8_t>> ReadFarEnd(std::size_t limit) = 0;
    // Closes the far end, as a device that goes away.
    virtual void CloseFarEnd() = 0;
};

// The kinds this system has, and how a transfer through each ends.
std::vector<HandleKind> HandleKindsOfThisSystem();
std::unique_ptr<OpenedHandle> OpenHandle(const HandleKind& kind, const std::string& scratchFolder);

}  // namespace tarnwick::testing
