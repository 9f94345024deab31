#pragma once
// Where the window's icon goes when the window is painted minimised: the
// middle of the client area, rounded as the Windows shell rounds it.

namespace tarnwick {

struct IconOrigin {
    int x = 0;
    int y = 0;
};

// (client - icon + 1) / 2 in each direction, in signed arithmetic with the
// division truncated toward zero (so -1 / 2 is 0, not -1).
IconOrigin CentredIconOrigin(int clientWidth, int clientHeight, int iconWidth, int iconHeight);

}  // namespace tarnwick
