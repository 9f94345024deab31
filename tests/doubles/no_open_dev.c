/* Loads, but has no "open_dev": presence cannot be asked. */
#include "double_entries.h"

DOUBLE_ENTRY intptr_t open_file(const char* pipeName) {
    (void)pipeName;
    return OpenSink();
}
