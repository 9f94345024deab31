/* A device is attached and "open_file" gives a pipe, but the far end is
 * already gone: every write on it fails as a broken pipe. */
#include "double_entries.h"

#include <sys/socket.h>
#include <unistd.h>

DOUBLE_ENTRY intptr_t open_dev(void) { return OpenSink(); }

DOUBLE_ENTRY intptr_t open_file(const char* pipeName) {
    (void)pipeName;
    int ends[2];
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0) {
        return -1;
    }
    close(ends[1]);
    return ends[0];
}
