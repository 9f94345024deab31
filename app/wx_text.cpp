#include "app/wx_text.h"

#include "text/text_lookup.h"
#include "app/utf8_text.h"

namespace tarnwick {

wxString ToWxText(std::string_view narrow) {
    if (IsValidUtf8(narrow)) {
        return wxString::FromUTF8(narrow.data(), narrow.size());
    }
    // A text cut at the buffer's length may end inside a character.
    if (narrow.size() == kMaxTextLength) {
        const std::string_view whole = WithoutIncompleteUtf8Tail(narrow);
        if (IsValidUtf8(whole)) {
            return wxString::FromUTF8(whole.data(), whole.size());
        }
    }
    return wxString(narrow.data(), wxConvISO8859_1, narrow.size());
}

std::string ToFileSystemPath(const wxString& path) {
    const wxCharBuffer bytes = path.fn_str();
    return bytes.data() == nullptr ? std::string() : std::string(bytes.data());
}

}  // namespace tarnwick
