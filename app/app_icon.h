#pragma once
// Icon 5, the program's only icon, built from the art in resources/.

#include <wx/icon.h>

namespace tarnwick {

wxIcon AppIcon();

}  // namespace tarnwick
