// Reads one value out of an INI file's text the way the Windows
// private-profile reader does, so that a lang.ini shows the same texts on
// every system. Decisions where the rules leave room:
// - A UTF-8 byte-order mark at the start is skipped. A file that starts with
//   a UTF-16 mark (as Notepad's "Unicode" writes) is turned into UTF-8 first.
// - Lines end at CR, LF or CRLF; a last line without an end still counts.
// - Blanks (space, tab, vertical tab, form feed) around section names, key
//   names, "=" and values are dropped.
// - Lines starting with ';' are comments; other lines without '=' name no
//   value and are passed over.
// - Only the first section of a name is searched, and in it the first key
//   of a name wins: a repeated section or key is shadowed, as in the
//   Windows reader.
// - One pair of matching quotes (' or ") around the value is removed, then
//   the value is cut at 259 characters, and at a NUL byte, since the texts
//   end up in C strings. A cut never leaves half of a UTF-8 character
//   behind.

#include <algorithm>
#include <cstdint>

#include "platform/profile_rules.h"

namespace tarnwick::os {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\v' || c == '\f'; }

std::string_view Trim(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && IsBlank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

char AsciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameName(std::string_view a, std::string_view b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return AsciiLower(x) == AsciiLower(y); });
}

void AppendUtf8(std::string& out, std::uint32_t codePoint) {
    if (codePoint < 0x80) {
        out += static_cast<char>(codePoint);
    } else if (codePoint < 0x800) {
        out += static_cast<char>(0xC0 | (codePoint >> 6));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    } else if (codePoint < 0x10000) {
        out += static_cast<char>(0xE0 | (codePoint >> 12));
        out += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (codePoint >> 18));
        out += static_cast<char>(0x80 | ((codePoint >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    }
}

// UTF-16 text after its mark, as UTF-8. Unpaired surrogates and an odd last
// byte become U+FFFD, so that nothing of the file is silently merged.
std::string Utf16ToUtf8(std::string_view bytes, bool bigEndian) {
    constexpr std::uint32_t kReplacement = 0xFFFD;
    auto unitAt = [&](std::size_t i) {
        const auto first = static_cast<std::uint8_t>(bytes[i]);
        const auto second = static_cast<std::uint8_t>(bytes[i + 1]);
        return bigEndian ? std::uint32_t(first << 8 | second) : std::uint32_t(second << 8 | first);
    };
    std::string out;
    out.reserve(bytes.size());
    std::size_t i = 0;
    for (; i + 1 < bytes.size(); i += 2) {
        const std::uint32_t unit = unitAt(i);
        if (unit >= 0xD800 && unit < 0xDC00 && i + 3 < bytes.size()) {
            const std::uint32_t low = unitAt(i + 2);
            if (low >= 0xDC00 && low < 0xE000) {
                AppendUtf8(out, 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00));
                i += 2;
                continue;
            }
        }
        AppendUtf8(out, unit >= 0xD800 && unit < 0xE000 ? kReplacement : unit);
    }
    if (i < bytes.size()) {
        AppendUtf8(out, kReplacement);
    }
    return out;
}

// The file's text as narrow characters, without its byte-order mark. Holds
// the converted text when the file was UTF-16.
struct ProfileText {
    std::string converted;
    std::string_view text;
};

ProfileText WithoutByteOrderMark(std::string_view file) {
    if (file.starts_with("\xEF\xBB\xBF")) {
        return {{}, file.substr(3)};
    }
    const bool littleEndian = file.starts_with("\xFF\xFE");
    if (littleEndian || file.starts_with("\xFE\xFF")) {
        ProfileText result{Utf16ToUtf8(file.substr(2), !littleEndian), {}};
        result.text = result.converted;
        return result;
    }
    return {{}, file};
}

// Keeps at most `limit` bytes; when that would split a UTF-8 character, the
// broken character goes too. Bytes that are not UTF-8 are cut where they lie.
std::string_view CutAtCharacter(std::string_view text, std::size_t limit) {
    if (text.size() <= limit) {
        return text;
    }
    auto isContinuation = [](char c) { return (static_cast<std::uint8_t>(c) & 0xC0) == 0x80; };
    std::size_t cut = limit;
    if (isContinuation(text[cut])) {
        std::size_t lead = cut;
        while (lead > 0 && cut - lead < 3 && isContinuation(text[lead - 1])) {
            --lead;
        }
        if (lead > 0 && static_cast<std::uint8_t>(text[lead - 1]) >= 0xC0) {
            cut = lead - 1;
        }
    }
    return text.substr(0, cut);
}

std::string_view Unquote(std::string_view value) {
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front()) {
        return value.substr(1, value.size() - 2);
    }
    return value;
}

// Splits the text into lines at CR, LF or CRLF.
class Lines {
public:
    explicit Lines(std::string_view text) : rest_(text) {}

    bool Next(std::string_view& line) {
        if (done_) {
            return false;
        }
        const std::size_t end = rest_.find_first_of("\r\n");
        if (end == std::string_view::npos) {
            line = rest_;
            done_ = true;
            return true;
        }
        line = rest_.substr(0, end);
        const std::size_t skip = rest_.compare(end, 2, "\r\n") == 0 ? 2 : 1;
        rest_.remove_prefix(end + skip);
        return true;
    }

private:
    std::string_view rest_;
    bool done_ = false;
};

// The section name of a "[name]" line, or nullopt for other lines. The name
// runs to the last ']' of the line; what follows it is ignored.
std::optional<std::string_view> SectionName(std::string_view line) {
    if (!line.starts_with('[')) {
        return std::nullopt;
    }
    const std::size_t close = line.rfind(']');
    if (close == std::string_view::npos) {
        return std::nullopt;
    }
    return Trim(line.substr(1, close - 1));
}

}  // namespace

std::optional<std::string> FindProfileString(std::string_view iniText, std::string_view section,
                                             std::string_view key) {
    const ProfileText profile = WithoutByteOrderMark(iniText);
    section = Trim(section);
    key = Trim(key);

    enum class Where { BeforeSection, InSection, AfterSection } where = Where::BeforeSection;
    Lines lines(profile.text);
    std::string_view line;
    while (where != Where::AfterSection && lines.Next(line)) {
        line = Trim(line);
        if (line.empty() || line.starts_with(';')) {
            continue;
        }
        if (const auto name = SectionName(line)) {
            if (where == Where::InSection) {
                where = Where::AfterSection;
            } else if (SameName(*name, section)) {
                where = Where::InSection;
            }
            continue;
        }
        const std::size_t equals = line.find('=');
        if (where != Where::InSection || equals == std::string_view::npos ||
            !SameName(Trim(line.substr(0, equals)), key)) {
            continue;
        }
        std::string_view value = Unquote(Trim(line.substr(equals + 1)));
        value = value.substr(0, std::min(value.find('\0'), value.size()));
        return std::string(CutAtCharacter(value, kProfileValueLimit));
    }
    return std::nullopt;
}

std::string ReadProfileString(std::string_view iniText, std::string_view section, std::string_view key) {
    return FindProfileString(iniText, section, key).value_or(std::string());
}

std::optional<std::string> RulesProfileStrings::Find(const std::string& path, std::string_view section,
                                                     std::string_view key) {
    if (path.empty()) {
        return std::nullopt;
    }
    const std::optional<std::string> text = files_.ReadText(path, kIniSizeLimit);
    return text ? FindProfileString(*text, section, key) : std::nullopt;
}

}  // namespace tarnwick::os
