#include "sim/image_maker.h"

#include <array>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "support/sha256.h"

namespace tarnwick::sim {
namespace {

constexpr std::size_t kHeaderArea = 1024;
constexpr std::size_t kShortFileBytes = 1027;

// splitmix64: fast, and the same sequence everywhere.
class PayloadBytes {
public:
    explicit PayloadBytes(std::uint64_t seed) : state_(seed) {}
    void Fill(std::uint8_t* into, std::size_t count) {
        for (std::size_t i = 0; i < count; i += 8) {
            const std::uint64_t value = Next();
            const std::size_t n = std::min<std::size_t>(8, count - i);
            for (std::size_t b = 0; b < n; ++b) {
                into[i + b] = static_cast<std::uint8_t>(value >> (8 * b));
            }
        }
    }

private:
    std::uint64_t Next() {
        std::uint64_t z = (state_ += 0x9e3779b97f4a7c15ULL);
        z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
        z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
        return z ^ (z >> 31);
    }

    std::uint64_t state_;
};

void PutLittleEndian32(std::uint8_t* at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        at[i] = static_cast<std::uint8_t>(value >> (8 * i));
    }
}

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

}  // namespace

std::optional<ImageDate> ParseImageDate(const std::string& text) {
    std::array<int, 3> numbers{};
    const char* at = text.data();
    const char* end = text.data() + text.size();
    for (std::size_t i = 0; i < numbers.size(); ++i) {
        const auto [next, error] = std::from_chars(at, end, numbers[i]);
        if (error != std::errc() || numbers[i] < -128 || numbers[i] > 127) {
            return std::nullopt;
        }
        at = next;
        if (i < 2) {
            if (at == end || *at != '/') {
                return std::nullopt;
            }
            ++at;
        }
    }
    if (at != end) {
        return std::nullopt;
    }
    return ImageDate{static_cast<std::int8_t>(numbers[0]), static_cast<std::int8_t>(numbers[1]),
                     static_cast<std::int8_t>(numbers[2])};
}

MadeImage MakeImage(const std::string& path, const ImageSpec& spec) {
    MadeImage made;
    PayloadBytes random(spec.seed);

    std::vector<std::uint8_t> header(kHeaderArea);
    random.Fill(header.data(), header.size());  // bytes 20..1023 mean nothing; fill them anyway
    header[0] = spec.noSignature ? '#' : '$';
    header[1] = spec.port;
    header[2] = spec.flashType;
    std::uint32_t start = spec.startAddress;
    if (spec.date && spec.flashType == 2 && ((start >> 16) & 0xff) == 0) {
        start |= 1u << 16;  // the date mark
    }
    PutLittleEndian32(header.data() + 3, start);
    const std::uint64_t fileBytes = kHeaderArea + spec.payloadBytes;
    PutLittleEndian32(header.data() + 7, static_cast<std::uint32_t>(fileBytes));
    PutLittleEndian32(header.data() + 11, static_cast<std::uint32_t>((spec.payloadBytes + 2047) / 2048));
    // Bytes 15..19 pass through to the device untouched: make them recognisable.
    const std::array<std::uint8_t, 5> trailer{0xA5, 0x5A, 0x01, 0x02, static_cast<std::uint8_t>(spec.seed)};
    std::memcpy(header.data() + 15, trailer.data(), trailer.size());

    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "wb"));
    if (!file) {
        made.error = "cannot create " + path + ": " + std::strerror(errno);
        return made;
    }
    const std::uint64_t limit = spec.shortFile ? kShortFileBytes : fileBytes;
    bool ok = std::fwrite(header.data(), 1, std::min<std::uint64_t>(limit, kHeaderArea), file.get()) ==
              std::min<std::uint64_t>(limit, kHeaderArea);

    Sha256 payloadHash;
    std::uint64_t written = kHeaderArea;
    std::vector<std::uint8_t> chunk(1 << 20);
    bool first = true;
    while (ok && written < limit) {
        const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(chunk.size(), limit - written));
        random.Fill(chunk.data(), n);
        if (first && spec.date) {
            const std::int8_t dateBytes[4] = {spec.date->first, 0, spec.date->second, spec.date->year};
            for (std::size_t i = 0; i < std::min<std::size_t>(n, 4); ++i) {
                if (i != 1) {
                    chunk[i] = static_cast<std::uint8_t>(dateBytes[i]);
                }
            }
        }
        first = false;
        payloadHash.Update(std::span<const std::uint8_t>(chunk.data(), n));
        ok = std::fwrite(chunk.data(), 1, n, file.get()) == n;
        written += n;
    }
    if (!ok || std::fflush(file.get()) != 0) {
        made.error = "cannot write " + path + ": " + std::strerror(errno);
        return made;
    }
    made.ok = true;
    made.fileBytes = limit;
    made.payloadBytes = limit > kHeaderArea ? limit - kHeaderArea : 0;
    made.payloadSha256 = payloadHash.FinishHex();
    return made;
}

}  // namespace tarnwick::sim
