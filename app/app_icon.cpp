#include "app/app_icon.h"

#include "resources/tarnwick_icon.xpm"

namespace tarnwick {

wxIcon AppIcon() { return wxIcon(tarnwick_icon_xpm); }

}  // namespace tarnwick
