// The desktop tool's entry. wx treats an application whose start-up returns
// false as failed; here that is the normal way to end (the modal dialog has
// already run), so the process always ends with status 0.

#include <wx/app.h>

#include "app/tarnwick_app.h"

wxIMPLEMENT_APP_NO_MAIN(tarnwick::CTarnwickApp);

int main(int argc, char** argv) {
    wxEntry(argc, argv);
    return 0;
}
