#pragma once
// The application object: runs the main window modally and then ends the
// process, with no message loop of its own.

#include <wx/app.h>

namespace tarnwick {

class CTarnwickApp : public wxApp {
public:
    bool OnInit() override;
};

}  // namespace tarnwick
