#pragma once
// SHA-256, so that the tool, the simulator and the tests can all say which
// bytes went over the cable.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace tarnwick {

class Sha256 {
public:
    Sha256();
    void Update(std::span<const std::uint8_t> bytes);
    std::array<std::uint8_t, 32> Finish();
    std::string FinishHex();

    static std::string HexOf(std::span<const std::uint8_t> bytes);
    // The digest of `bytes`, in hex as sha256sum prints it.
    static std::string HexDigestOf(std::span<const std::uint8_t> bytes);

private:
    void Compress(const std::uint8_t* blocks, std::size_t count);

    std::array<std::uint32_t, 8> state_;
    std::array<std::uint8_t, 64> pending_{};
    std::size_t pendingSize_ = 0;
    std::uint64_t totalBytes_ = 0;
};

}  // namespace tarnwick
