#include "app/wx_text.h"

#include "text/text_lookup.h"
#include "app/utf8_text.h"

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
    // The core opens files with the system's ANSI calls, which take paths
    // in the ANSI code page. A name that code page cannot spell becomes
    // empty, and is then refused as a file that cannot be read.
    const wxCharBuffer bytes = path.mb_str(wxConvLibc);
#else
    const wxCharBuffer bytes = path.fn_str();
#endif
    return bytes.data() == nullptr ? std::string() : std::string(bytes.data());
}

}  // namespace tarnwick
