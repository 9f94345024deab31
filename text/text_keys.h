#pragma once
// Every text the tool reads from lang.ini, with where it is shown. The texts
// command lists them for translators, and the window reads them by these
// names.

#include <array>
#include <string_view>

namespace tarnwick {

struct TextKey {
    std::string_view section;
    std::string_view key;
    std::string_view shownAs;
};

inline constexpr std::string_view kTitleSection = "title";
inline constexpr std::string_view kControlSection = "control";
inline constexpr std::string_view kMessageSection = "message";

inline constexpr std::array<TextKey, 15> kTextKeys = {{
    {kTitleSection, "100", "window caption"},
    {kControlSection, "1003", "caption of the image button"},
    {kControlSection, "1001", "caption of the close button"},
    {kMessageSection, "1025", "status line: no device connected"},
    {kMessageSection, "1024", "status line: device connected"},
    {kMessageSection, "1020", "message box: the image file cannot be opened or read"},
    {kMessageSection, "1023", "message box: the file is shorter than 1028 bytes"},
    {kMessageSection, "1022", "message box: not an image that can be sent (no signature, UART, too large)"},
    {kMessageSection, "1021", "message box: no device connected"},
    {kMessageSection, "1031", "message box: the device library cannot be loaded"},
    {kMessageSection, "1027", "image line: e-flash image"},
    {kMessageSection, "1028", "image line: serial flash image without date"},
    {kMessageSection, "1029", "image line: dated serial flash image, followed by a blank and the date"},
    {kMessageSection, "1030", "end line: the image was sent completely"},
    {kMessageSection, "1032", "end line and message box: sending the image failed"},
}};

}  // namespace tarnwick
