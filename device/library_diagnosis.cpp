#include "device/library_diagnosis.h"

namespace tarnwick {
namespace {

// Enough of a file for its PE header, which an offset at 0x3C locates.
constexpr std::size_t kHeaderBytes = 4096;

std::uint32_t Little(const std::string& bytes, std::size_t at, std::size_t count) {
    std::uint32_t value = 0;
    for (std::size_t i = count; i-- > 0;) {
        value = (value << 8) | static_cast<unsigned char>(bytes[at + i]);
    }
    return value;
}

}  // namespace

std::optional<int> WidthFromHeader(const std::string& header) {
    // ELF: the class byte after the magic says 32 (1) or 64 (2) bits.
    if (header.size() > 4 && header.compare(0, 4, "\x7F" "ELF") == 0) {
        if (header[4] == 1 || header[4] == 2) {
            return header[4] == 1 ? 32 : 64;
        }
        return std::nullopt;
    }
    // PE: "MZ", then at the offset found at 0x3C, "PE\0\0" and the machine.
    if (header.size() < 0x40 || header.compare(0, 2, "MZ") != 0) {
        return std::nullopt;
    }
    const std::size_t pe = Little(header, 0x3C, 4);
    if (pe + 6 > header.size() || header.compare(pe, 4, std::string("PE\0\0", 4)) != 0) {
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

LibraryDiagnosis DiagnoseLibrary(os::LibraryLoader& loader, os::FileReader& files, const std::string& name) {
    LibraryDiagnosis diagnosis;
    for (const std::string& place : loader.SearchPlaces(name)) {
        const os::FilePrefix prefix = files.ReadPrefix(place, kHeaderBytes);
        const bool present = prefix.status == os::FileStatus::Ok;
        diagnosis.places.push_back({place, present});
        if (present && !diagnosis.found) {
            diagnosis.found = place;
            diagnosis.widthBits = WidthFromHeader(prefix.bytes);
        }
    }
    const std::unique_ptr<os::LoadedLibrary> library = loader.Load(name);
    if (library == nullptr) {
        diagnosis.loadError = loader.LastLoadError();
        if (diagnosis.found && diagnosis.widthBits && *diagnosis.widthBits != kProgramBits) {
            diagnosis.cause = LibraryCause::OtherWidth;
        } else if (diagnosis.found || loader.IsOtherArchitecture(name)) {
            diagnosis.cause = loader.IsOtherArchitecture(name) ? LibraryCause::OtherWidth : LibraryCause::NotLoadable;
        } else {
            diagnosis.cause = LibraryCause::Missing;
        }
        return diagnosis;
    }
    diagnosis.hasOpenDev = library->FindEntry("open_dev") != nullptr;
    diagnosis.hasOpenFile = library->FindEntry("open_file") != nullptr;
    diagnosis.decoratedEntries =
        library->FindEntry("_open_dev@0") != nullptr || library->FindEntry("_open_file@4") != nullptr;
    if (const std::string loaded = library->Path(); !loaded.empty()) {
        diagnosis.found = loaded;
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
            const int libraryBits = diagnosis.widthBits.value_or(kProgramBits == 64 ? 32 : 64);
            return where + " is a " + std::to_string(libraryBits) + "-bit library and this tarnwick-cli is " +
                   std::to_string(kProgramBits) + "-bit: use the win" + std::to_string(libraryBits) + " build" + more;
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
