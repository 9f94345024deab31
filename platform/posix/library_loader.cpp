#include "platform/posix/posix_system.h"

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
        return nullptr;
    }
    return std::make_unique<DlLibrary>(module);
}

}  // namespace tarnwick::os::posix
