/* A device is attached and "open_file" gives a pipe, but the far end is
 * already gone: every write on it fails as a broken pipe. */
#include "double_entries.h"

#ifndef _WIN32
#include <sys/socket.h>
#endif

DOUBLE_ENTRY intptr_t open_dev(void) { return OpenSink(); }

DOUBLE_ENTRY intptr_t open_file(const char* pipeName) {
    (void)pipeName;
#ifdef _WIN32
    HANDLE readEnd = NULL;
    HANDLE writeEnd = NULL;
    if (!CreatePipe(&readEnd, &writeEnd, NULL, 0)) {
        return -1;
    }
    CloseHandle(readEnd);
    return (intptr_t)writeEnd;
#else
    int ends[2];
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0) {
        return -1;
    }
    close(ends[1]);
    return ends[0];
#endif
}
