#include "app/icon_placement.h"

namespace tarnwick {

IconOrigin CentredIconOrigin(int clientWidth, int clientHeight, int iconWidth, int iconHeight) {
    // C++ integer division already truncates toward zero.
    return IconOrigin{(clientWidth - iconWidth + 1) / 2, (clientHeight - iconHeight + 1) / 2};
}

}  // namespace tarnwick
