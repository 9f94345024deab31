#pragma once
// Dialog templates as data: each window's caption, size and controls in
// dialog units, as laid out once and converted to pixels by the window
// framework (so the layout follows the font, as on Windows). No wx here.

#include <cstdint>
#include <span>
#include <string_view>

namespace tarnwick::res {

enum class ControlKind {
    PushButton,
    DefaultPushButton,
    GroupBox,
    Text,         // left-aligned static text
    ProgressBar,  // painted by the gradient progress control
    Icon,         // shows icon `iconId`
};

// Whether a control's text shows '&' as it is, instead of marking the next
// letter as its mnemonic.
enum class Ampersands { Mnemonic, Literal };

struct ControlTemplate {
    int id;
    ControlKind kind;
    Ampersands ampersands;
    std::string_view text;
    int x;
    int y;
    int width;
    int height;
    int iconId = 0;
};

struct DialogTemplate {
    int id;
    std::string_view caption;
    int x;
    int y;
    int width;
    int height;
    std::span<const ControlTemplate> controls;  // template order = tab order
};

const DialogTemplate& MainDialogTemplate();   // dialog 102
const DialogTemplate& AboutDialogTemplate();  // dialog 100

// Null when the template has no control with that id.
const ControlTemplate* FindControl(const DialogTemplate& dialog, int id);

}  // namespace tarnwick::res
