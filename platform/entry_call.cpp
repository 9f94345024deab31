#include "platform/entry_call.h"

namespace tarnwick::os {

#if defined(__i386__)

// esi is kept by both conventions across a call, so it carries the stack
// pointer over it; eax holds the result in both.
std::intptr_t CallEntry(void* entry) {
    std::intptr_t result;
    __asm__ volatile(
        "movl %%esp, %%esi\n\t"
        "call *%[entry]\n\t"
        "movl %%esi, %%esp\n\t"
        : "=a"(result)
        : [entry] "r"(entry)
        : "esi", "ecx", "edx", "memory", "cc");
    return result;
}

std::intptr_t CallEntry(void* entry, const char* argument) {
    std::intptr_t result;
    __asm__ volatile(
        "movl %%esp, %%esi\n\t"
        "pushl %[argument]\n\t"
        "call *%[entry]\n\t"
        "movl %%esi, %%esp\n\t"
        : "=a"(result)
        : [entry] "r"(entry), [argument] "r"(argument)
        : "esi", "ecx", "edx", "memory", "cc");
    return result;
}

#else

// The loader gives entries as untyped addresses; ours are plain C
// functions, so the conversion back to a function pointer is exact.
std::intptr_t CallEntry(void* entry) { return reinterpret_cast<std::intptr_t (*)()>(entry)(); }

std::intptr_t CallEntry(void* entry, const char* argument) {
    return reinterpret_cast<std::intptr_t (*)(const char*)>(entry)(argument);
}

#endif

}  // namespace tarnwick::os
