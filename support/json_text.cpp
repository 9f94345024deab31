#include "support/json_text.h"

#include <cstdio>

#include "support/utf8_text.h"

namespace tarnwick {
namespace {

void AppendEscapedByte(std::string& out, unsigned char byte) {
    char escape[7];
    std::snprintf(escape, sizeof escape, "\\u%04x", byte);
    out += escape;
}

}  // namespace

std::string JsonString(std::string_view bytes) {
    std::string out = "\"";
    out.reserve(bytes.size() + 2);
    std::size_t i = 0;
    while (i < bytes.size()) {
        const auto byte = static_cast<unsigned char>(bytes[i]);
        if (byte >= 0x80) {
            const std::size_t length = Utf8SequenceLength(bytes.substr(i));
            if (length == 0) {
                AppendEscapedByte(out, byte);
                ++i;
            } else {
                out.append(bytes.substr(i, length));
                i += length;
            }
            continue;
        }
        switch (byte) {
            case '"': out += "\\\""; break;
            case '\\': out += "\\\\"; break;
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            case '\t': out += "\\t"; break;
            default:
                if (byte < 0x20 || byte == 0x7F) {
                    AppendEscapedByte(out, byte);
                } else {
                    out += static_cast<char>(byte);
                }
        }
        ++i;
    }
    out += '"';
    return out;
}

JsonObject& JsonObject::Field(std::string_view name, std::string_view json) {
    if (text_.size() > 1) {
        text_ += ", ";
    }
    text_ += JsonString(name);
    text_ += ": ";
    text_ += json;
    return *this;
}

JsonObject& JsonObject::Add(std::string_view name, std::string_view text) { return Field(name, JsonString(text)); }

JsonObject& JsonObject::AddNumber(std::string_view name, std::int64_t number) { return Field(name, std::to_string(number)); }

JsonObject& JsonObject::AddBool(std::string_view name, bool flag) { return Field(name, flag ? "true" : "false"); }

JsonObject& JsonObject::AddNull(std::string_view name) { return Field(name, "null"); }

JsonObject& JsonObject::AddRaw(std::string_view name, std::string_view json) { return Field(name, json); }

JsonObject& JsonObject::AddFields(const JsonObject& other) {
    if (other.text_.size() > 1) {
        text_ += text_.size() > 1 ? ", " : "";
        text_ += std::string_view(other.text_).substr(1);
    }
    return *this;
}

JsonArray& JsonArray::AddRaw(std::string_view json) {
    text_ += text_.size() > 1 ? ", " : "";
    text_ += json;
    return *this;
}

}  // namespace tarnwick
