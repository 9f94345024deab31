// The desktop tool's entry. Start-up runs the modal dialog and then returns
// false, which is the normal way to end here: no message loop follows, and
// the process ends with status 0. A window that cannot be opened at all (no
// display) is told apart from that: one line on stderr and status 1.

#include <cstdio>

#include <wx/app.h>
#include <wx/init.h>
#include <wx/log.h>
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
    bool started = false;
    {
        // The toolkit's own complaint would be a second, vaguer line.
        wxLogNull quiet;
        started = wxEntryStart(argc, argv);
    }
    if (!started) {
        std::fprintf(stderr, "tarnwick: cannot open the window: no display could be opened (is DISPLAY set?)\n");
        return 1;
    }
    wxTheApp->CallOnInit();
    wxEntryCleanup();
    return 0;
}
