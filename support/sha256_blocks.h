#pragma once
// The SHA-256 compression function over whole 64-byte blocks, in two
// versions: portable C++, and the x86 SHA instructions where the processor
// has them. Sha256 picks one once; tests compare the two.

#include <array>
#include <cstddef>
#include <cstdint>

namespace tarnwick::sha256_blocks {

using State = std::array<std::uint32_t, 8>;

void CompressPortable(State& state, const std::uint8_t* blocks, std::size_t count);

// False where the processor or the compiler lacks the instructions.
bool AcceleratedAvailable();
// Only to be called when AcceleratedAvailable().
void CompressAccelerated(State& state, const std::uint8_t* blocks, std::size_t count);

}  // namespace tarnwick::sha256_blocks
