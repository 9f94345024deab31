#pragma once
// The device maker's library, bound anew for every use: load by bare name,
// look up one entry, call it once, unload, and only then use the handle.

#include <string>

#include "platform/system.h"

namespace tarnwick {

#ifdef _WIN32
inline constexpr const char* kDeviceLibraryName = "VantrelUSB.dll";
#else
inline constexpr const char* kDeviceLibraryName = "libVantrelUSB.so";
#endif

enum class LibraryStatus {
    Called,        // the entry ran; `handle` is what it returned (maybe -1)
    NotLoadable,   // the library could not be loaded
    EntryMissing,  // it loaded but has no such entry
};

struct DeviceCall {
    LibraryStatus status = LibraryStatus::NotLoadable;
    os::Handle handle = os::kInvalidHandle;
    std::string libraryPath;  // the file that was loaded, when the system tells
};

class DeviceLibrary {
public:
    explicit DeviceLibrary(os::LibraryLoader& loader, std::string name = kDeviceLibraryName);

    // "open_dev": -1 means no device; any other value (zero too) is a device
    // whose handle the caller must close.
    DeviceCall OpenDev();
    // "open_file" with the pipe name: the handle to write the image on.
    DeviceCall OpenFile(const char* pipeName);

private:
    os::LibraryLoader& loader_;
    std::string name_;
};

}  // namespace tarnwick
