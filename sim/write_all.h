#pragma once
// Writes every byte to a descriptor, carrying on after interruptions and
// short writes. False when the descriptor refuses.

#include <cstddef>
#include <cstdint>

namespace tarnwick::sim {

bool WriteAll(int fd, const std::uint8_t* bytes, std::size_t count);

}  // namespace tarnwick::sim
