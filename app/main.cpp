// The desktop tool's entry. wx treats an application whose start-up returns
// false as failed; here that is the normal way to end (the modal dialog has
// already run), so the process always ends with status 0.

#include <wx/app.h>
#include <wx/utils.h>

#include "app/tarnwick_app.h"

wxIMPLEMENT_APP_NO_MAIN(tarnwick::CTarnwickApp);

int main(int argc, char** argv) {
#ifdef __WXGTK__
    // The window draws nothing with OpenGL, but GDK probes it on start-up
    // to choose visuals, which costs about 100 ms with a software renderer.
    // A user's own setting is left alone.
    if (!wxGetEnv("GDK_GL", nullptr)) {
        wxSetEnv("GDK_GL", "disable");
    }
#endif
    wxEntry(argc, argv);
    return 0;
}
