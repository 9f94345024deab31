#pragma once
/* Shared by the test doubles of the device library: each double is a tiny
 * libVantrelUSB.so that gets one thing wrong on purpose. Entries have C
 * linkage and pointer-sized handles, -1 meaning none. */

#include <fcntl.h>
#include <stdint.h>

#define DOUBLE_ENTRY __attribute__((visibility("default")))

/* A harmless descriptor that stands for an attached device or a pipe that
 * swallows everything. */
static inline intptr_t OpenSink(void) { return open("/dev/null", O_WRONLY | O_CLOEXEC); }
