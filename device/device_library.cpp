#include "device/device_library.h"

#include <utility>

namespace tarnwick {
namespace {

// Loads the library, looks up `entryName`, and hands the entry to `call`
// while the library is loaded. The library is unloaded before this returns,
// so whatever `call` got back is used only after the unload.
template <typename Entry, typename Call>
DeviceCall CallOnce(os::LibraryLoader& loader, const std::string& libraryName,
                    const char* entryName, Call&& call) {
    DeviceCall result;
    std::unique_ptr<os::LoadedLibrary> library = loader.Load(libraryName);
    if (library == nullptr) {
        result.status = LibraryStatus::NotLoadable;
        return result;
    }
    void* address = library->FindEntry(entryName);
    if (address == nullptr) {
        result.status = LibraryStatus::EntryMissing;
        return result;
    }
    // The loader gives entries as untyped addresses; both of ours are plain
    // C functions, so the conversion back to a function pointer is exact.
    const auto entry = reinterpret_cast<Entry>(address);
    result.handle = std::forward<Call>(call)(entry);
    result.status = LibraryStatus::Called;
    return result;
}

using OpenDevEntry = os::Handle (*)();
using OpenFileEntry = os::Handle (*)(const char*);

}  // namespace

DeviceLibrary::DeviceLibrary(os::LibraryLoader& loader, std::string name)
    : loader_(loader), name_(std::move(name)) {}

DeviceCall DeviceLibrary::OpenDev() {
    return CallOnce<OpenDevEntry>(loader_, name_, "open_dev",
                                  [](OpenDevEntry entry) { return entry(); });
}

DeviceCall DeviceLibrary::OpenFile(const char* pipeName) {
    return CallOnce<OpenFileEntry>(loader_, name_, "open_file",
                                   [pipeName](OpenFileEntry entry) { return entry(pipeName); });
}

}  // namespace tarnwick
