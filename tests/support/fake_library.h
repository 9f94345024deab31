#pragma once
// A LibraryLoader that serves entries from the test itself, so a test can
// see every load, lookup and unload in order and offer any entry it likes.

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/system.h"

namespace tarnwick::test {

class FakeLibraryLoader final : public os::LibraryLoader {
public:
    // Whether Load succeeds at all.
    void SetLoadable(bool loadable) { loadable_ = loadable; }
    // An entry the library offers under `name`; a name not offered is missing.
    void Offer(const std::string& name, void* entry) { entries_[name] = entry; }

    std::unique_ptr<os::LoadedLibrary> Load(const std::string& name) override;

    // "load NAME", "find ENTRY", "unload", in the order they happened. Tests
    // may append their own events (for instance from an entry) in between.
    std::vector<std::string>& events() { return events_; }
    const std::vector<std::string>& events() const { return events_; }
    int loadedNow() const { return loadedNow_; }

private:
    class Library;

    bool loadable_ = true;
    std::map<std::string, void*> entries_;
    std::vector<std::string> events_;
    int loadedNow_ = 0;
};

}  // namespace tarnwick::test
