/* "open_file" gives a character device on which every write fails, and
 * keeps failing the same way, as a device that is full does. */
#include "double_entries.h"

DOUBLE_ENTRY intptr_t open_dev(void) { return OpenSink(); }

DOUBLE_ENTRY intptr_t open_file(const char* pipeName) {
    (void)pipeName;
    return open("/dev/full", O_WRONLY | O_CLOEXEC);
}
