#include "text/text_lookup.h"

namespace tarnwick {
namespace {

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

std::optional<std::string> ReadIniFile(os::FileReader& files, const std::string& path) {
    if (path.empty()) {
        return std::nullopt;
    }
    return files.ReadText(path, kIniSizeLimit);
}

std::string TextLookup::Lookup(std::string_view section, std::string_view key) const {
    const std::optional<std::string> text = ReadIniFile(files_, IniPath());
    return text ? ReadProfileString(*text, section, key) : std::string();
}

}  // namespace tarnwick
