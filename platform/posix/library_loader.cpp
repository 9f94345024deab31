#include "platform/posix/posix_system.h"

#include <algorithm>
#include <cstdlib>
#include <dlfcn.h>
#include <link.h>

namespace tarnwick::os::posix {
namespace {

class DlLibrary final : public LoadedLibrary {
public:
    explicit DlLibrary(void* module) : module_(module) {}
    DlLibrary(const DlLibrary&) = delete;
    DlLibrary& operator=(const DlLibrary&) = delete;
    ~DlLibrary() override { dlclose(module_); }

    void* FindEntry(const char* name) const override { return dlsym(module_, name); }

    std::string Path() const override {
        link_map* map = nullptr;
        if (dlinfo(module_, RTLD_DI_LINKMAP, &map) != 0 || map == nullptr || map->l_name == nullptr) {
            return {};
        }
        return map->l_name;
    }

private:
    void* module_;
};

}  // namespace

std::unique_ptr<LoadedLibrary> DlLibraryLoader::Load(const std::string& name) {
    // RTLD_LOCAL keeps one library's entries from answering for another's;
    // RTLD_NOW makes a library with a missing dependency fail here, not at
    // its first call.
    void* module = dlopen(name.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (module == nullptr) {
        const char* error = dlerror();
        lastError_ = error != nullptr ? error : "";
        return nullptr;
    }
    lastError_.clear();
    return std::make_unique<DlLibrary>(module);
}

// The loader's order for a bare name asked for by the program: the folders
// of LD_LIBRARY_PATH, the program's run path ($ORIGIN, its own folder),
// then the system's folders (after the loader's cache of them).
std::vector<std::string> DlLibraryLoader::SearchPlaces(const std::string& name) {
    std::vector<std::string> folders;
    if (const char* variable = std::getenv("LD_LIBRARY_PATH")) {
        const std::string list = variable;
        for (std::size_t start = 0; start <= list.size();) {
            const std::size_t end = std::min(list.find(':', start), list.size());
            if (end > start) {
                folders.push_back(list.substr(start, end - start));
            }
            start = end + 1;
        }
    }
    const std::string program = LinuxProcess().ExecutablePath();
    if (const std::size_t slash = program.rfind('/'); slash != std::string::npos) {
        folders.push_back(program.substr(0, slash));
    }
    for (const char* system : {"/lib/x86_64-linux-gnu", "/usr/lib/x86_64-linux-gnu", "/lib", "/usr/lib"}) {
        folders.push_back(system);
    }
    // A folder named twice (LD_LIBRARY_PATH naming the program's own) is
    // searched once.
    std::vector<std::string> places;
    for (const std::string& folder : folders) {
        const std::string place = folder + "/" + name;
        if (std::find(places.begin(), places.end(), place) == places.end()) {
            places.push_back(place);
        }
    }
    return places;
}

}  // namespace tarnwick::os::posix
