#pragma once
// Just enough JSON for the --json outputs: strings of any bytes, and flat
// objects built field by field.

#include <cstdint>
#include <string>
#include <string_view>

namespace tarnwick {

// `bytes` as a quoted JSON string. Well-formed UTF-8 is kept; control
// characters are escaped; every byte that is not part of well-formed UTF-8
// becomes \u00XX, so that the output is valid JSON whatever came in.
std::string JsonString(std::string_view bytes);

class JsonObject {
public:
    JsonObject& Add(std::string_view name, std::string_view text);
    JsonObject& AddNumber(std::string_view name, std::int64_t number);
    JsonObject& AddBool(std::string_view name, bool flag);
    JsonObject& AddNull(std::string_view name);
    // `json` must already be valid JSON (an object made here, for instance).
    JsonObject& AddRaw(std::string_view name, std::string_view json);
    // Every field of `other`, after those already here.
    JsonObject& AddFields(const JsonObject& other);
    std::string Text() const { return text_ + "}"; }

private:
    JsonObject& Field(std::string_view name, std::string_view json);
    std::string text_ = "{";
};

class JsonArray {
public:
    // `json` must already be valid JSON.
    JsonArray& AddRaw(std::string_view json);
    std::string Text() const { return text_ + "]"; }

private:
    std::string text_ = "[";
};

}  // namespace tarnwick
