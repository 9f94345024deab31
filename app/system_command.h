#pragma once
// System-menu commands: the application's own items use ids whose low four
// bits the system may set, so only the rest of the id is compared.

#include "resources/resource_ids.h"

namespace tarnwick {

constexpr bool OpensAboutBox(unsigned systemCommand) {
    return (systemCommand & res::kSystemCommandMask) == res::kAboutCommandId;
}

}  // namespace tarnwick
