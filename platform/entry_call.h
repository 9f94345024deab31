#pragma once
// Calls an entry of the device library whatever its calling convention. On
// x86-64 there is one. On i686 the maker's entries may be __cdecl (the
// caller takes the argument off the stack) or __stdcall (the entry takes it
// off itself), with the same plain names, and nothing tells which: the call
// keeps the stack pointer aside and puts it back afterwards, so both
// return to the stack as it was.

#include <cstdint>

namespace tarnwick::os {

// An entry with no argument that returns a pointer-sized value.
std::intptr_t CallEntry(void* entry);
// An entry with one pointer argument that returns a pointer-sized value.
std::intptr_t CallEntry(void* entry, const char* argument);

}  // namespace tarnwick::os
