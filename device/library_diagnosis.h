#pragma once
// Why the device library can or cannot be used, in the same words wherever
// the tool meets it (flash, station, watch, doctor): missing, built for the
// other width, lacking an entry, or there but not loadable.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "platform/system.h"

namespace tarnwick {

enum class LibraryCause {
    Usable,        // it loads and has both entries
    Missing,       // in none of the places the system looks
    OtherWidth,    // there, but built for the other width
    EntryMissing,  // loads, but lacks open_dev or open_file
    NotLoadable,   // there, of this width, and still the system will not load it
};

struct LibraryPlace {
    std::string path;
    bool present = false;
};

// A library file as read from disk, without loading it.
struct LibraryFile {
    std::uint64_t size = 0;
    std::string sha256;
    std::optional<int> widthBits;  // 32 or 64, from its header
};

struct LibraryDiagnosis {
    LibraryCause cause = LibraryCause::Missing;
    std::vector<LibraryPlace> places;  // in the system's order
    std::optional<std::string> found;  // the file loaded, else the first place that has it
    std::optional<LibraryFile> file;   // what `found` holds
    std::string loadError;             // the system's words, when it would not load
    bool hasOpenDev = false;
    bool hasOpenFile = false;
    // On 32-bit Windows, the stdcall names a compiler gives entries it
    // decorates (_open_dev@0): the maker's entries under another name.
    bool decoratedEntries = false;
};

// This program's width, as a library must match it.
inline constexpr int kProgramBits = sizeof(void*) * 8;

// The width a library file was built for, from its ELF or PE header.
std::optional<int> WidthFromHeader(std::span<const std::uint8_t> header);

// The file at `path`, read while others may have it open (a process that
// has the library loaded); nullopt when it cannot be read.
std::optional<LibraryFile> ReadLibraryFile(os::FileReader& files, const std::string& path);

LibraryDiagnosis DiagnoseLibrary(os::LibraryLoader& loader, os::FileReader& files, const std::string& name);

// One sentence for a user, naming the library and what to do, and where to
// learn more (tarnwick-cli doctor) unless `fromDoctor`. Empty for a usable
// library.
std::string CauseText(const LibraryDiagnosis& diagnosis, const std::string& name, bool fromDoctor = false);

}  // namespace tarnwick
