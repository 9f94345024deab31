#include "app/wx_text.h"

#include "app/utf8_text.h"

namespace tarnwick {

wxString ToWxText(std::string_view narrow) {
    const std::string_view whole = WithoutIncompleteUtf8Tail(narrow);
    const wxString text = wxString::FromUTF8(whole.data(), whole.size());
    if (!text.empty() || whole.empty()) {
        return text;
    }
    return wxString(whole.data(), wxConvISO8859_1, whole.size());
}

std::string ToFileSystemPath(const wxString& path) {
    const wxCharBuffer bytes = path.fn_str();
    return bytes.data() == nullptr ? std::string() : std::string(bytes.data());
}

}  // namespace tarnwick
