#pragma once
// What the running test process holds, to show that repeating an operation
// leaks neither descriptors nor memory.

#include <cstddef>

namespace tarnwick::test {

// Entries in /proc/self/fd.
std::size_t OpenDescriptorCount();
// Resident set size in bytes, from /proc/self/statm.
std::size_t ResidentBytes();

// Whether this build runs under AddressSanitizer or ThreadSanitizer.
bool SanitizerRuntimeActive();

// Sanitizer runtimes keep freed memory aside on purpose, so resident size
// says nothing about leaks there (their own leak check does).
inline bool ResidentSizeIsMeaningful() { return !SanitizerRuntimeActive(); }

}  // namespace tarnwick::test
