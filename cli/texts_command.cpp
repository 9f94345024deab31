// tarnwick-cli texts [--ini PATH] [--json]: every text the tool reads, as a
// given lang.ini gives it, for translators.

#include <cstdio>
#include <iostream>
#include <sstream>

#include "text/text_keys.h"
#include "text/text_lookup.h"
#include "cli/commands.h"
#include "cli/exit_codes.h"
#include "platform/profile_rules.h"
#include "support/json_text.h"

namespace tarnwick::cli {
namespace {

struct ShownText {
    const TextKey* key;
    std::optional<std::string> text;  // nullopt when the key is missing
};

// The text in quotes, with control characters spelled out so that blanks,
// tabs and stray bytes are visible on a terminal.
std::string Quoted(std::string_view text) {
    std::string out = "\"";
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (byte < 0x20 || byte == 0x7F) {
            char escape[5];
            std::snprintf(escape, sizeof escape, "\\x%02x", byte);
            out += escape;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

void WarnUnreadable(const std::string& path) {
    std::cerr << "tarnwick-cli: cannot read " << (path.empty() ? "lang.ini" : path)
              << ": it is missing, not a file, or you may not read it, so every text would be empty. "
                 "Put a lang.ini beside the program, or name one with --ini PATH.\n";
}

void PrintText(const std::string& path, const std::vector<ShownText>& texts) {
    std::ostringstream out;
    std::size_t missing = 0;
    for (const ShownText& shown : texts) {
        missing += shown.text ? 0 : 1;
    }
    out << "Texts read from " << (path.empty() ? "(no usable path)" : path) << ": " << texts.size() << " keys, "
        << missing << " missing\n";
    for (const ShownText& shown : texts) {
        out << '[' << shown.key->section << "] " << shown.key->key << " - " << shown.key->shownAs << "\n  ";
        if (shown.text) {
            out << Quoted(*shown.text) << '\n';
        } else {
            out << "MISSING: the tool shows an empty text\n";
        }
    }
    std::cout << out.str();
}

void PrintJson(const std::vector<ShownText>& texts) {
    std::ostringstream out;
    out << "[\n";
    for (std::size_t i = 0; i < texts.size(); ++i) {
        const ShownText& shown = texts[i];
        JsonObject object;
        object.Add("section", shown.key->section)
            .Add("key", shown.key->key)
            .Add("text", shown.text.value_or(""))
            .AddBool("present", shown.text.has_value());
        out << "  " << object.Text() << (i + 1 < texts.size() ? ",\n" : "\n");
    }
    out << "]\n";
    std::cout << out.str();
}

}  // namespace

void AddTextsCommand(CLI::App& app, int& exitCode) {
    struct Options {
        std::string iniPath;
        bool json = false;
    };
    auto options = std::make_shared<Options>();
    CLI::App* texts = app.add_subcommand(
        "texts", "List every text the tool shows, exactly as a lang.ini gives it, and mark the missing ones.");
    CLI::Option* iniOption = texts->add_option("--ini", options->iniPath, "The lang.ini to read (default: the one beside this program)");
    texts->add_flag("--json", options->json, "Print one JSON array of {section, key, text, present}");
    texts->footer("Exit codes: 0 the file was read, 64 usage error, 66 the file cannot be read.");
    texts->callback([options, iniOption, &exitCode] {
        os::System& system = os::RealSystem();
        const std::string path = iniOption->count() > 0 ? options->iniPath
                                                         : TextLookup(system.process, system.profiles).IniPath();
        // Whether the file can be read at all is asked apart: the reader
        // says only "missing" for a file it cannot read.
        const bool readable = !path.empty() && system.files.ReadText(path, os::kIniSizeLimit).has_value();
        std::vector<ShownText> shown;
        for (const TextKey& key : kTextKeys) {
            shown.push_back({&key, readable ? system.profiles.Find(path, key.section, key.key) : std::nullopt});
        }
        if (options->json) {
            PrintJson(shown);
        } else {
            PrintText(path, shown);
        }
        if (!readable) {
            WarnUnreadable(path);
        }
        exitCode = readable ? kExitOk : kExitCannotRead;
    });
}

}  // namespace tarnwick::cli
