#include "support/sha256.h"

#include "support/sha256_blocks.h"

#include <cstring>

namespace tarnwick {
namespace {

using CompressFunction = void (*)(sha256_blocks::State&, const std::uint8_t*, std::size_t);

// Chosen at the first use: the processor does not change while we run.
CompressFunction ChosenCompress() {
    static const CompressFunction chosen = sha256_blocks::AcceleratedAvailable()
                                               ? sha256_blocks::CompressAccelerated
                                               : sha256_blocks::CompressPortable;
    return chosen;
}

}  // namespace

Sha256::Sha256()
    : state_{0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a, 0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19} {}

void Sha256::Compress(const std::uint8_t* blocks, std::size_t count) {
    ChosenCompress()(state_, blocks, count);
}

void Sha256::Update(std::span<const std::uint8_t> bytes) {
    totalBytes_ += bytes.size();
    std::size_t offset = 0;
    if (pendingSize_ > 0) {
        const std::size_t take = std::min(bytes.size(), pending_.size() - pendingSize_);
        std::memcpy(pending_.data() + pendingSize_, bytes.data(), take);
        pendingSize_ += take;
        offset = take;
        if (pendingSize_ < pending_.size()) {
            return;
        }
        Compress(pending_.data(), 1);
        pendingSize_ = 0;
    }
    const std::size_t wholeBlocks = (bytes.size() - offset) / 64;
    Compress(bytes.data() + offset, wholeBlocks);
    offset += wholeBlocks * 64;
    pendingSize_ = bytes.size() - offset;
    if (pendingSize_ > 0) {
        std::memcpy(pending_.data(), bytes.data() + offset, pendingSize_);
    }
}

std::array<std::uint8_t, 32> Sha256::Finish() {
    const std::uint64_t bitLength = totalBytes_ * 8;
    const std::uint8_t marker = 0x80;
    Update({&marker, 1});
    const std::uint8_t zero = 0;
    while (pendingSize_ != 56) {
        Update({&zero, 1});
    }
    std::array<std::uint8_t, 8> length{};
    for (int i = 0; i < 8; ++i) {
        length[i] = static_cast<std::uint8_t>(bitLength >> (56 - 8 * i));
    }
    Update(length);
    std::array<std::uint8_t, 32> digest{};
    for (int i = 0; i < 8; ++i) {
        for (int j = 0; j < 4; ++j) {
            digest[4 * i + j] = static_cast<std::uint8_t>(state_[i] >> (24 - 8 * j));
        }
    }
    return digest;
}

std::string Sha256::FinishHex() { return HexOf(Finish()); }

std::string Sha256::HexDigestOf(std::span<const std::uint8_t> bytes) {
    Sha256 hash;
    hash.Update(bytes);
    return hash.FinishHex();
}

std::string Sha256::HexOf(std::span<const std::uint8_t> bytes) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string hex;
    hex.reserve(bytes.size() * 2);
    for (const std::uint8_t byte : bytes) {
        hex.push_back(kDigits[byte >> 4]);
        hex.push_back(kDigits[byte & 0x0f]);
    }
    return hex;
}

}  // namespace tarnwick
