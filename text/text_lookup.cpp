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

TextLookup::TextLookup(os::Process& process, os::ProfileStrings& profiles)
    : process_(process), profiles_(profiles) {}

std::string TextLookup::IniPath() const { return LangIniPathBeside(process_.ExecutablePath()); }

std::string TextLookup::Lookup(std::string_view section, std::string_view key) const {
    const std::string path = IniPath();
    return path.empty() ? std::string() : profiles_.Find(path, section, key).value_or(std::string());
}

}  // namespace tarnwick
