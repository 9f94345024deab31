#pragma once
/* Shared by the test doubles of the device library: each double is a tiny
 * libVantrelUSB.so (VantrelUSB.dll on Windows) that gets one thing wrong on
 * purpose. Entries have C linkage and pointer-sized handles, -1 meaning
 * none. */

#ifndef _GNU_SOURCE
#define _GNU_SOURCE /* pipe2 */
#endif
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>

#ifdef _WIN32
#include <windows.h>

#define DOUBLE_ENTRY __declspec(dllexport)

/* The null device, opened with `access`; the invalid handle is -1. */
static inline intptr_t OpenNull(DWORD access) {
    return (intptr_t)CreateFileA("NUL", access, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_EXISTING,
                                 FILE_ATTRIBUTE_NORMAL, NULL);
}

/* A harmless handle that stands for an attached device or a pipe that
 * swallows everything. */
static inline intptr_t OpenSink(void) { return OpenNull(GENERIC_WRITE); }

#else
#include <fcntl.h>
#include <unistd.h>

#define DOUBLE_ENTRY __attribute__((visibility("default")))

/* The far end of a pipe double's pipe, for a test that loaded the double in
 * its own process: the double puts the descriptor's number in this
 * environment variable, which outlives the library's unloading. */
#define DOUBLE_FAR_END_VARIABLE "TARNWICK_DOUBLE_FAR_END"

/* A harmless descriptor that stands for an attached device or a pipe that
 * swallows everything. */
static inline intptr_t OpenSink(void) { return open("/dev/null", O_WRONLY | O_CLOEXEC); }

/* A pipe whose write end is the device pipe; its read end is left to the
 * test through DOUBLE_FAR_END_VARIABLE, or to nobody. */
static inline intptr_t OpenPipe(int flags) {
    int ends[2];
    if (pipe2(ends, O_CLOEXEC | flags) != 0) {
        return -1;
    }
    char number[16];
    snprintf(number, sizeof number, "%d", ends[0]);
    setenv(DOUBLE_FAR_END_VARIABLE, number, 1);
    return ends[1];
}
#endif
