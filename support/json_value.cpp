#include "support/json_value.h"

#include <cstdlib>

namespace tarnwick {

class JsonParser {
public:
    explicit JsonParser(const std::string& text) : text_(text) {}

    std::optional<JsonValue> Document() {
        std::optional<JsonValue> value = Value(0);
        SkipSpace();
        if (!value || at_ != text_.size()) {
            return std::nullopt;
        }
        return value;
    }

private:
    static constexpr int kMaxDepth = 64;

    void SkipSpace() {
        while (at_ < text_.size() && (text_[at_] == ' ' || text_[at_] == '\n' || text_[at_] == '\r' ||
                                      text_[at_] == '\t')) {
            ++at_;
        }
    }
    bool Take(char c) {
        SkipSpace();
        if (at_ < text_.size() && text_[at_] == c) {
            ++at_;
            return true;
        }
        return false;
    }
    bool TakeWord(const char* word) {
        const std::string w(word);
        if (text_.compare(at_, w.size(), w) == 0) {
            at_ += w.size();
            return true;
        }
        return false;
    }

    // JsonString writes a byte that is not part of well-formed UTF-8 as
    // \u0080 to \u00FF: those come back as that byte, so that a path
    // reads back as it was written. Any other code becomes UTF-8.
    static void AppendCode(std::string& out, long code) {
        if (code < 0x100) {
            out += static_cast<char>(code);
        } else if (code < 0x800) {
            out += static_cast<char>(0xC0 | (code >> 6));
            out += static_cast<char>(0x80 | (code & 0x3F));
        } else {
            out += static_cast<char>(0xE0 | (code >> 12));
            out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (code & 0x3F));
        }
    }

    std::optional<std::string> String() {
        if (!Take('"')) {
            return std::nullopt;
        }
        std::string out;
        while (at_ < text_.size() && text_[at_] != '"') {
            char c = text_[at_++];
            if (c == '\\') {
                if (at_ >= text_.size()) {
                    return std::nullopt;
                }
                c = text_[at_++];
                switch (c) {
                    case 'n': out += '\n'; break;
                    case 't': out += '\t'; break;
                    case 'r': out += '\r'; break;
                    case 'b': out += '\b'; break;
                    case 'f': out += '\f'; break;
                    case 'u': {
                        if (at_ + 4 > text_.size()) {
                            return std::nullopt;
                        }
                        char* end = nullptr;
                        const std::string digits = text_.substr(at_, 4);
                        const long code = std::strtol(digits.c_str(), &end, 16);
                        if (end != digits.c_str() + 4) {
                            return std::nullopt;
                        }
                        at_ += 4;
                        AppendCode(out, code);
                        break;
                    }
                    default: out += c; break;
                }
            } else {
                out += c;
            }
        }
        if (at_ >= text_.size()) {
            return std::nullopt;
        }
        ++at_;
        return out;
    }

    std::optional<JsonValue> Value(int depth) {
        if (depth > kMaxDepth) {
            return std::nullopt;
        }
        SkipSpace();
        JsonValue value;
        if (at_ >= text_.size()) {
            return std::nullopt;
        }
        const char c = text_[at_];
        if (c == '{') {
            ++at_;
            value.kind_ = JsonValue::Kind::Object;
            if (Take('}')) {
                return value;
            }
            do {
                std::optional<std::string> name = String();
                if (!name || !Take(':')) {
                    return std::nullopt;
                }
                std::optional<JsonValue> member = Value(depth + 1);
                if (!member) {
                    return std::nullopt;
                }
                value.members_[*name] = std::move(*member);
            } while (Take(','));
            return Take('}') ? std::optional(value) : std::nullopt;
        }
        if (c == '[') {
            ++at_;
            value.kind_ = JsonValue::Kind::Array;
            if (Take(']')) {
                return value;
            }
            do {
                std::optional<JsonValue> item = Value(depth + 1);
                if (!item) {
                    return std::nullopt;
                }
                value.items_.push_back(std::move(*item));
            } while (Take(','));
            return Take(']') ? std::optional(value) : std::nullopt;
        }
        if (c == '"') {
            std::optional<std::string> text = String();
            if (!text) {
                return std::nullopt;
            }
            value.kind_ = JsonValue::Kind::String;
            value.string_ = std::move(*text);
            return value;
        }
        if (TakeWord("true")) {
            value.kind_ = JsonValue::Kind::Bool;
            value.boolean_ = true;
            return value;
        }
        if (TakeWord("false")) {
            value.kind_ = JsonValue::Kind::Bool;
            return value;
        }
        if (TakeWord("null")) {
            return value;
        }
        const char* start = text_.c_str() + at_;
        char* end = nullptr;
        value.number_ = std::strtod(start, &end);
        if (end == start) {
            return std::nullopt;
        }
        at_ += static_cast<std::size_t>(end - start);
        value.kind_ = JsonValue::Kind::Number;
        return value;
    }

    const std::string& text_;
    std::size_t at_ = 0;
};

std::optional<JsonValue> JsonValue::Parse(const std::string& text) { return JsonParser(text).Document(); }

const JsonValue& JsonValue::operator[](const std::string& name) const {
    static const JsonValue none;
    const auto found = members_.find(name);
    return found == members_.end() ? none : found->second;
}

}  // namespace tarnwick
