#include "support/sha256.h"
#include "support/sha256_blocks.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tarnwick {
namespace {

std::span<const std::uint8_t> Bytes(const std::string& text) {
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

std::string HashOf(const std::string& text) {
    Sha256 hash;
    hash.Update(Bytes(text));
    return hash.FinishHex();
}

// Lengths around the 55/56/64-byte padding boundaries, where an off-by-one
// in the final block shows.
std::string Pattern(std::size_t length) {
    std::string bytes(length, '\0');
    for (std::size_t i = 0; i < length; ++i) {
        bytes[i] = static_cast<char>((i * 7 + 3) & 0xff);
    }
    return bytes;
}

TEST(Sha256, PublishedVectors) {
    EXPECT_EQ(HashOf(""), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    EXPECT_EQ(HashOf("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    EXPECT_EQ(HashOf("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"),
              "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
    EXPECT_EQ(HashOf("abcdefghbcdefghicdefghijdefghijkefghijklfghijklmghijklmnhijklmnoijklmnopjklmnopqklmnop"
                     "qrlmnopqrsmnopqrstnopqrstu"),
              "cf5b16a778af8380036ce59e7b0492370b249b11e8f07a51afac45037afee9d1");
}

TEST(Sha256, PaddingBoundaries) {
    const std::vector<std::pair<std::size_t, std::string>> cases = {
        {55, "e7313d333c272e639f790978283f9eb392e843d0f29b7016828bb1daa4aac70b"},
        {56, "4324d65f3c103567f5589c710bc08f8523f929a9272e3af36fc968e52abc6c27"},
        {63, "81c80242132f230c3bd41b3e63bbcff16107339549214a99614ff26664625055"},
        {64, "39e3d7b6b5d075d37d053ad89b24b41bef4f3c29760c84447cab3f3be1882241"},
        {65, "aacca6ff74fdbb296d165a45cecfa04e5127bc008770fbbdd48006f2d2fae95e"},
        {119, "9ce7368e4daf32341631b492e80359dc9f594b48453cd0dd5bf0b19279cc177e"},
        {120, "7836b787757e95e58b3ca5aec90b1b004e8deba1e50e9675af9cabf1a13a04b5"},
    };
    for (const auto& [length, expected] : cases) {
        EXPECT_EQ(HashOf(Pattern(length)), expected) << "length " << length;
    }
}

TEST(Sha256, MillionAsInUnevenPieces) {
    const std::string chunk(997, 'a');
    Sha256 hash;
    std::size_t fed = 0;
    while (fed < 1'000'000) {
        const std::size_t take = std::min(chunk.size(), 1'000'000 - fed);
        hash.Update(Bytes(chunk.substr(0, take)));
        fed += take;
    }
    EXPECT_EQ(hash.FinishHex(), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
}

TEST(Sha256, AnySplitOfTheInputGivesTheSameDigest) {
    const std::string input = Pattern(200);
    const std::string whole = HashOf(input);
    for (std::size_t first = 0; first <= input.size(); ++first) {
        for (std::size_t second = first; second <= input.size(); second += 13) {
            Sha256 hash;
            hash.Update(Bytes(input.substr(0, first)));
            hash.Update(Bytes(input.substr(first, second - first)));
            hash.Update(Bytes(input.substr(second)));
            ASSERT_EQ(hash.FinishHex(), whole) << "split at " << first << " and " << second;
        }
    }
}

TEST(Sha256, HexOfWritesLowerCaseTwoDigitsPerByte) {
    const std::uint8_t bytes[] = {0x00, 0x0f, 0xa0, 0xff};
    EXPECT_EQ(Sha256::HexOf(bytes), "000fa0ff");
}

}  // namespace
}  // namespace tarnwick

// Both compression functions must agree on every block, whichever one this
// machine picks for Sha256.
TEST(Sha256Blocks, AcceleratedAndPortableAgree) {
    if (!tarnwick::sha256_blocks::AcceleratedAvailable()) {
        GTEST_SKIP() << "this processor has no SHA instructions";
    }
    std::vector<std::uint8_t> blocks(64 * 37);
    std::uint32_t seed = 12345;
    for (auto& byte : blocks) {
        seed = seed * 1103515245 + 12345;
        byte = static_cast<std::uint8_t>(seed >> 16);
    }
    for (const std::size_t count : {std::size_t{1}, std::size_t{2}, std::size_t{37}}) {
        tarnwick::sha256_blocks::State portable{1, 2, 3, 4, 5, 6, 7, 8};
        tarnwick::sha256_blocks::State accelerated = portable;
        tarnwick::sha256_blocks::CompressPortable(portable, blocks.data(), count);
        tarnwick::sha256_blocks::CompressAccelerated(accelerated, blocks.data(), count);
        EXPECT_EQ(portable, accelerated) << count << " blocks";
    }
}
