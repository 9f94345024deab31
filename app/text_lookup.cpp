#include "app/text_lookup.h"

namespace tarnwick {
namespace {

// A lang.ini is a few kilobytes; whatever lies past this is never read, so a
// huge or endless file cannot stall the window at every lookup.
constexpr std::size_t kIniSizeLimit = 1 << 20;

constexpr std::string_view kIniFileName = "lang.ini";

}  // namespace

// The folder is whatever precedes the last separator. A path with none is
// no path to a folder at all; it must never fall back to the current one.
std::string LangIniPathBeside(std::string_view executablePath) {
    const std::size_t separator = executablePath.find_last_of("/\\");
    if (separator == std::string_view::npos) {
        return {};
    }
    std::string path(executablePath.substr(0, separator + 1));
    path += kIniFileName;
    if (path.size() > kMaxTextLength) {
        return {};
    }
    return path;
}

TextLookup::TextLookup(os::Process& process, os::FileReader& files) : process_(process), files_(files) {}

std::string TextLookup::IniPath() const { return LangIniPathBeside(process_.ExecutablePath()); }

std::string TextLookup::Lookup(std::string_view section, std::string_view key) const {
    const std::string path = IniPath();
    if (path.empty()) {
        return {};
    }
    const std::optional<std::string> text = files_.ReadText(path, kIniSizeLimit);
    if (!text) {
        return {};
    }
    return ReadProfileString(*text, section, key);
}

}  // namespace tarnwick
