#pragma once
// Every reason the tool refuses to send a chosen file, and the one text key
// ("message" section) that says each. The file checks, the upgrade command,
// the window and the CLI all speak of refusals in these terms.

#include <string_view>

namespace tarnwick {

enum class Refusal {
    CannotOpen,         // "1020": the header read could not open or read the file
    TooShort,           // "1023": fewer than 1028 bytes
    NoSignature,        // "1022": first byte is not '$'
    UartImage,          // "1022": port byte 0
    TooLarge,           // "1022": 4 GiB or more
    NoDevice,           // "1021": devicePresent was false
    LibraryUnusable,    // "1031": library missing, or without "open_file"
    DeviceUnreachable,  // "1021": "open_file" gave -1
    CannotLoad,         // "1020": the whole-file load failed, or the file is no longer the one checked
    CannotStart,        // "1032": the front end could not start the transfer
    DigestMismatch,     // "1022": the whole file is not the one the front end expects (its SHA-256)
};

// The "message" key of the box that says this refusal.
std::string_view RefusalMessageKey(Refusal refusal);

}  // namespace tarnwick
