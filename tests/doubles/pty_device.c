/* "open_file" gives a terminal in raw mode, a character device that blocks
 * its writer once nobody reads the other side. */
#include "double_entries.h"

#include <termios.h>

DOUBLE_ENTRY intptr_t open_dev(void) { return OpenSink(); }

DOUBLE_ENTRY intptr_t open_file(const char* pipeName) {
    (void)pipeName;
    const int controller = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (controller < 0 || grantpt(controller) != 0 || unlockpt(controller) != 0) {
        return -1;
    }
    const int terminal = open(ptsname(controller), O_WRONLY | O_NOCTTY | O_CLOEXEC);
    struct termios mode;
    if (terminal < 0 || tcgetattr(terminal, &mode) != 0) {
        return -1;
    }
    cfmakeraw(&mode);
    tcsetattr(terminal, TCSANOW, &mode);
    char number[16];
    snprintf(number, sizeof number, "%d", controller);
    setenv(DOUBLE_FAR_END_VARIABLE, number, 1);
    return terminal;
}
