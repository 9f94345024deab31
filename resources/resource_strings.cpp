// The program's string table.

#include "resources/resource_strings.h"

#include "resources/resource_ids.h"
#include "resources/resource_ids_rc.h"

namespace tarnwick::res {

static_assert(IDI_TARNWICK == kAppIconId);
static_assert(IDS_ABOUT_MENU == kAboutMenuTextId);

std::string_view LoadResourceString(int id) {
    switch (id) {
    case kAboutMenuTextId:
        return "&About ...";
    default:
        return {};
    }
}

}  // namespace tarnwick::res
