#include "tests/support/fake_library.h"

namespace tarnwick::test {

class FakeLibraryLoader::Library final : public os::LoadedLibrary {
public:
    explicit Library(FakeLibraryLoader& owner) : owner_(owner) { ++owner_.loadedNow_; }
    Library(const Library&) = delete;
    Library& operator=(const Library&) = delete;
    ~Library() override {
        --owner_.loadedNow_;
        owner_.events_.push_back("unload");
    }

    void* FindEntry(const char* name) const override {
        owner_.events_.push_back(std::string("find ") + name);
        const auto found = owner_.entries_.find(name);
        return found == owner_.entries_.end() ? nullptr : found->second;
    }

private:
    FakeLibraryLoader& owner_;
};

std::unique_ptr<os::LoadedLibrary> FakeLibraryLoader::Load(const std::string& name) {
    events_.push_back("load " + name);
    if (!loadable_) {
        return nullptr;
    }
    return std::make_unique<Library>(*this);
}

}  // namespace tarnwick::test
