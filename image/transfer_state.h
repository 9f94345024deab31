#pragma once
// The record of one transfer: the whole image file in one heap block and the
// open device pipe. The upgrade command fills it; from the moment it is
// moved into TransferWorker::Run the worker owns it, and the worker gives
// the block and the pipe back on every path.
//
// Both resources are owned by RAII members, so whoever holds the record when
// a run ends early (a refusal after the pipe was opened, a thread that could
// not be started) gives back exactly what was taken just by letting it go.

#include <cstdint>
#include <memory>
#include <optional>

#include "image/transfer_record.h"
#include "platform/system.h"

namespace tarnwick {

struct TransferState {
    // The whole image file, header area first; exactly imageSize bytes.
    // Shared, so that a station can send one loaded image to unit after
    // unit; the worker lets go of its share at its end.
    std::shared_ptr<const std::uint8_t[]> image;
    // Size of the whole file (not the payload). At least 1028 for a file
    // that passed the checks; always below 4 GiB.
    std::uint64_t imageSize = 0;
    // The handle "open_file" gave, adopted for writing; closed when let go.
    std::unique_ptr<os::DevicePipe> pipe;
    // Payload bytes the pipe has accepted so far.
    std::uint64_t sent = 0;
    // Where the worker records the transfer at its end; none when the front
    // end keeps no history.
    std::optional<HistoryEntry> history;
};

}  // namespace tarnwick
