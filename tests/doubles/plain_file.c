/* "open_file" gives a plain file, named by TARNWICK_DOUBLE_FILE, that
 * stands for a device taking every byte. */
#include "double_entries.h"

#define DOUBLE_FILE_VARIABLE "TARNWICK_DOUBLE_FILE"

DOUBLE_ENTRY intptr_t open_dev(void) { return OpenSink(); }

DOUBLE_ENTRY intptr_t open_file(const char* pipeName) {
    (void)pipeName;
#ifdef _WIN32
    /* The process's own environment, as the program or a test last set it
     * (the C runtime's copy may be older). */
    char path[MAX_PATH];
    const DWORD length = GetEnvironmentVariableA(DOUBLE_FILE_VARIABLE, path, sizeof path);
    if (length == 0 || length >= sizeof path) {
        return -1;
    }
    return (intptr_t)CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                 NULL);
#else
    const char* path = getenv(DOUBLE_FILE_VARIABLE);
    return path == NULL ? -1 : open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
#endif
}
