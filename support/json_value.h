#pragma once
// Just enough JSON to read back what this project writes: the simulator's
// report, the transfer history.

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tarnwick {

class JsonValue {
public:
    enum class Kind { Null, Bool, Number, String, Array, Object };

    static std::optional<JsonValue> Parse(const std::string& text);

    Kind kind() const { return kind_; }
    bool AsBool() const { return boolean_; }
    double AsNumber() const { return number_; }
    std::uint64_t AsUnsigned() const { return static_cast<std::uint64_t>(number_); }
    const std::string& AsString() const { return string_; }
    const std::vector<JsonValue>& items() const { return items_; }
    // The member `name`, or a null value when there is none.
    const JsonValue& operator[](const std::string& name) const;
    bool Has(const std::string& name) const { return members_.count(name) != 0; }

private:
    friend class JsonParser;

    Kind kind_ = Kind::Null;
    bool boolean_ = false;
    double number_ = 0;
    std::string string_;
    std::vector<JsonValue> items_;
    std::map<std::string, JsonValue> members_;
};

}  // namespace tarnwick
