// Any bytes as a lang.ini: every lookup must end, stay within 259
// characters and never hold a terminator. The first byte picks the key, so
// that each run scans the text once.

#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "text/text_keys.h"
#include "platform/profile_rules.h"
#include "text/text_lookup.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace tarnwick;
    using os::FindProfileString;
    if (size == 0) {
        return 0;
    }
    const TextKey& key = kTextKeys[data[0] % kTextKeys.size()];
    const std::string_view ini(reinterpret_cast<const char*>(data) + 1, size - 1);
    const std::optional<std::string> text = FindProfileString(ini, key.section, key.key);
    if (text && (text->size() > kMaxTextLength || text->find('\0') != std::string::npos)) {
        std::abort();
    }
    return 0;
}
