#include "image/refusal.h"

#include <array>
#include <cstddef>

namespace tarnwick {
namespace {

struct KeyOf {
    Refusal refusal;
    std::string_view key;
};

// One row for every refusal, in the enum's order; the check below makes a
// missing or misplaced row a build error instead of a silent default.
constexpr std::array kKeys = {
    KeyOf{Refusal::CannotOpen, "1020"},      KeyOf{Refusal::TooShort, "1023"},
    KeyOf{Refusal::NoSignature, "1022"},     KeyOf{Refusal::UartImage, "1022"},
    KeyOf{Refusal::TooLarge, "1022"},        KeyOf{Refusal::NoDevice, "1021"},
    KeyOf{Refusal::LibraryUnusable, "1031"}, KeyOf{Refusal::DeviceUnreachable, "1021"},
    KeyOf{Refusal::CannotLoad, "1020"},      KeyOf{Refusal::CannotStart, "1032"},
    KeyOf{Refusal::DigestMismatch, "1022"},
};

constexpr bool EveryRefusalInItsPlace() {
    for (std::size_t i = 0; i < kKeys.size(); ++i) {
        if (static_cast<std::size_t>(kKeys[i].refusal) != i) {
            return false;
        }
    }
    return static_cast<std::size_t>(Refusal::DigestMismatch) + 1 == kKeys.size();
}
static_assert(EveryRefusalInItsPlace());

}  // namespace

std::string_view RefusalMessageKey(Refusal refusal) { return kKeys[static_cast<std::size_t>(refusal)].key; }

}  // namespace tarnwick
