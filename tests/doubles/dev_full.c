/* "open_file" gives a handle on which every write fails, and keeps failing
 * the same way, as a device that is full does: /dev/full, or on Windows the
 * null device opened for reading only. */
#include "double_entries.h"

DOUBLE_ENTRY intptr_t open_dev(void) { return OpenSink(); }

DOUBLE_ENTRY intptr_t open_file(const char* pipeName) {
    (void)pipeName;
#ifdef _WIN32
    return OpenNull(GENERIC_READ);
#else
    return open("/dev/full", O_WRONLY | O_CLOEXEC);
#endif
}
