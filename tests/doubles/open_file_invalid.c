/* A device is attached, but "open_file" gives the invalid handle. */
#include "double_entries.h"

DOUBLE_ENTRY intptr_t open_dev(void) { return OpenSink(); }

DOUBLE_ENTRY intptr_t open_file(const char* pipeName) {
    (void)pipeName;
    return -1;
}
