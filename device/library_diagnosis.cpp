#include "device/library_diagnosis.h"

#include <algorithm>
#include <string_view>

#include "support/sha256.h"

namespace tarnwick {
namespace {

// A device library is a few hundred KiB; a larger file is not one.
constexpr std::uint64_t kLibrarySizeLimit = std::uint64_t{256} << 20;

std::uint32_t Little(std::span<const std::uint8_t> bytes, std::size_t at, std::size_t count) {
    std::uint32_t value = 0;
    for (std::size_t i = count; i-- > 0;) {
        value = (value << 8) | bytes[at + i];
    }
    return value;
}

bool StartsWith(std::span<const std::uint8_t> bytes, std::size_t at, std::string_view text) {
    return at <= bytes.size() && bytes.size() - at >= text.size() &&
           std::equal(text.begin(), text.end(), bytes.begin() + static_cast<std::ptrdiff_t>(at),
                      [](char c, std::uint8_t byte) { return static_cast<std::uint8_t>(c) == byte; });
}

}  // namespace

std::optional<int> WidthFromHeader(std::span<const std::uint8_t> header) {
    // ELF: the class byte after the magic says 32 (1) or 64 (2) bits.
    if (StartsWith(header, 0, "\x7F" "ELF")) {
        if (header.size() > 4 && (header[4] == 1 || header[4] == 2)) {
            return header[4] == 1 ? 32 : 64;
        }
        return std::nullopt;
    }
    // PE: "MZ", then at the offset found at 0x3C, "PE\0\0" and the machine.
    if (header.size() < 0x40 || !StartsWith(header, 0, "MZ")) {
        return std::nullopt;
    }
    const std::size_t pe = Little(header, 0x3C, 4);
    if (!StartsWith(header, pe, std::string_view("PE\0\0", 4)) || header.size() - pe < 6) {
        return std::nullopt;
    }
    switch (Little(header, pe + 4, 2)) {
        case 0x014C:  // i386
            return 32;
        case 0x8664:  // x86-64
        case 0xAA64:  // ARM64
            return 64;
        default:
            return std::nullopt;
    }
}

std::optional<LibraryFile> ReadLibraryFile(os::FileReader& files, const std::string& path) {
    const os::LoadedFile file = files.LoadWhole(path, kLibrarySizeLimit);
    if (file.status != os::FileStatus::Ok) {
        return std::nullopt;
    }
    const std::span<const std::uint8_t> bytes(file.data.get(), static_cast<std::size_t>(file.size));
    return LibraryFile{file.size, Sha256::HexDigestOf(bytes), WidthFromHeader(bytes)};
}

LibraryDiagnosis DiagnoseLibrary(os::LibraryLoader& loader, os::FileReader& files, const std::string& name) {
    LibraryDiagnosis diagnosis;
    for (const std::string& place : loader.SearchPlaces(name)) {
        std::optional<LibraryFile> file = ReadLibraryFile(files, place);
        diagnosis.places.push_back({place, file.has_value()});
        if (file && !diagnosis.found) {
            diagnosis.found = place;
            diagnosis.file = std::move(file);
        }
    }
    const std::unique_ptr<os::LoadedLibrary> library = loader.Load(name);
    if (library == nullptr) {
        diagnosis.loadError = loader.LastLoadError();
        if (!diagnosis.found) {
            diagnosis.cause = LibraryCause::Missing;
        } else if (diagnosis.file->widthBits && *diagnosis.file->widthBits != kProgramBits) {
            diagnosis.cause = LibraryCause::OtherWidth;
        } else {
            diagnosis.cause = LibraryCause::NotLoadable;
        }
        return diagnosis;
    }
    diagnosis.hasOpenDev = library->FindEntry("open_dev") != nullptr;
    diagnosis.hasOpenFile = library->FindEntry("open_file") != nullptr;
    diagnosis.decoratedEntries =
        library->FindEntry("_open_dev@0") != nullptr || library->FindEntry("_open_file@4") != nullptr;
    // The system may have found it where no place above looked.
    if (const std::string loaded = library->Path(); !loaded.empty() && loaded != diagnosis.found) {
        diagnosis.found = loaded;
        diagnosis.file = ReadLibraryFile(files, loaded);
    }
    diagnosis.cause =
        diagnosis.hasOpenDev && diagnosis.hasOpenFile ? LibraryCause::Usable : LibraryCause::EntryMissing;
    return diagnosis;
}

std::string CauseText(const LibraryDiagnosis& diagnosis, const std::string& name, bool fromDoctor) {
    const std::string where = diagnosis.found.value_or(name);
    const std::string more = fromDoctor ? "" : "; tarnwick-cli doctor tells more";
    switch (diagnosis.cause) {
        case LibraryCause::Usable:
            return {};
        case LibraryCause::Missing:
            return "the device library " + name + " is missing: put the device maker's " + name +
                   " beside this program" + more;
        case LibraryCause::OtherWidth: {
            // Only the Windows builds come in both widths.
            const int otherBits = kProgramBits == 64 ? 32 : 64;
            const std::string libraryBits =
                std::to_string(diagnosis.file ? diagnosis.file->widthBits.value_or(otherBits) : otherBits);
            const std::string remedy = name.ends_with(".dll") ? "use the win" + libraryBits + " build"
                                                              : "it must be a " + std::to_string(kProgramBits) +
                                                                    "-bit library";
            return where + " is a " + libraryBits + "-bit library and this tarnwick-cli is " +
                   std::to_string(kProgramBits) + "-bit: " + remedy + more;
        }
        case LibraryCause::EntryMissing:
            return "the device library " + where + " lacks " +
                   (!diagnosis.hasOpenDev && !diagnosis.hasOpenFile ? std::string("open_dev and open_file")
                    : !diagnosis.hasOpenDev                         ? std::string("open_dev")
                                                                    : std::string("open_file")) +
                   ": it is not the device maker's library, or not a version this tool knows" + more;
        case LibraryCause::NotLoadable:
            return "the device library " + where + " is there but cannot be loaded" +
                   (diagnosis.loadError.empty() ? std::string() : " (" + diagnosis.loadError + ")") + more;
    }
    return {};
}

}  // namespace tarnwick
