#include "app/wx_text.h"

#include "text/text_lookup.h"
#include "support/utf8_text.h"

namespace tarnwick {
namespace {

// How a text that is not UTF-8 is read. On Windows that is the system's
// ANSI code page (wxConvLibc is MultiByteToWideChar with CP_ACP there): the
// code page a lang.ini saved by a Windows editor is most likely in. GTK has
// no such code page, and Latin-1 at least shows every byte.
const wxMBConv& NarrowTextConv() {
#ifdef __WXMSW__
    return wxConvLibc;
#else
    return wxConvISO8859_1;
#endif
}

}  // namespace

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
    return wxString(narrow.data(), NarrowTextConv(), narrow.size());
}

std::string ToFileSystemPath(const wxString& path) {
#ifdef __WXMSW__
    // The core's paths are UTF-8 on Windows; the platform layer spells
    // them in UTF-16 for the system, so any name Windows allows works.
    const wxScopedCharBuffer bytes = path.utf8_str();
#else
    const wxCharBuffer bytes = path.fn_str();
#endif
    return bytes.data() == nullptr ? std::string() : std::string(bytes.data());
}

}  // namespace tarnwick
