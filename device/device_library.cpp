#include "device/device_library.h"

#include <utility>

#include "platform/entry_call.h"

namespace tarnwick {
namespace {

// Loads the library, looks up `entryName`, and hands the entry to `call`
// while the library is loaded. The library is unloaded before this returns,
// so whatever `call` got back is used only after the unload.
template <typename Call>
DeviceCall CallOnce(os::LibraryLoader& loader, const std::string& libraryName,
                    const char* entryName, Call&& call) {
    DeviceCall result;
    std::unique_ptr<os::LoadedLibrary> library = loader.Load(libraryName);
    if (library == nullptr) {
        result.status = LibraryStatus::NotLoadable;
        return result;
    }
    result.libraryPath = library->Path();
    void* address = library->FindEntry(entryName);
    if (address == nullptr) {
        result.status = LibraryStatus::EntryMissing;
        return result;
    }
    result.handle = std::forward<Call>(call)(address);
    result.status = LibraryStatus::Called;
    return result;
}

}  // namespace

DeviceLibrary::DeviceLibrary(os::LibraryLoader& loader, std::string name)
    : loader_(loader), name_(std::move(name)) {}

DeviceCall DeviceLibrary::OpenDev() {
    return CallOnce(loader_, name_, "open_dev", [](void* entry) { return os::CallEntry(entry); });
}

DeviceCall DeviceLibrary::OpenFile(const char* pipeName) {
    return CallOnce(loader_, name_, "open_file",
                    [pipeName](void* entry) { return os::CallEntry(entry, pipeName); });
}

}  // namespace tarnwick
