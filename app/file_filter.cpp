#include "app/file_filter.h"

#include <cctype>
#include <cstddef>
#include <vector>

namespace tarnwick {
namespace {

bool IsAsciiLetter(char c) {
    return std::isalpha(static_cast<unsigned char>(c)) != 0;
}

}  // namespace

std::string AnyCasePatterns(std::string_view extension) {
    std::vector<std::size_t> letters;
    for (std::size_t i = 0; i < extension.size(); ++i) {
        if (IsAsciiLetter(extension[i])) {
            letters.push_back(i);
        }
    }
    // Each bit of `mask` says whether the matching letter is a capital; the
    // letter count of a file extension keeps this small.
    const std::size_t combinations = std::size_t{1} << letters.size();
    std::string patterns;
    for (std::size_t mask = 0; mask < combinations; ++mask) {
        std::string variant(extension);
        for (std::size_t bit = 0; bit < letters.size(); ++bit) {
            const auto c = static_cast<unsigned char>(variant[letters[bit]]);
            const bool upper = ((mask >> (letters.size() - 1 - bit)) & 1U) != 0;
            variant[letters[bit]] = static_cast<char>(upper ? std::toupper(c) : std::tolower(c));
        }
        if (!patterns.empty()) {
            patterns += ';';
        }
        patterns += "*.";
        patterns += variant;
    }
    return patterns;
}

std::string ImageFileFilter() {
    return "rad file (*.rad) |" + AnyCasePatterns("rad");
}

bool HasImageExtension(std::string_view fileName) {
    constexpr std::string_view kExtension = ".rad";
    if (fileName.size() < kExtension.size()) {
        return false;
    }
    const std::string_view tail = fileName.substr(fileName.size() - kExtension.size());
    for (std::size_t i = 0; i < kExtension.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(tail[i])) != kExtension[i]) {
            return false;
        }
    }
    return true;
}

}  // namespace tarnwick
