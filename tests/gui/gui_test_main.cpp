// The GUI tests run inside one wx application. Listing the tests (as CTest
// does at build time) needs no display, so wx starts only to run them.

#include <cstdio>
#include <cstring>

#include <gtest/gtest.h>
#include <wx/app.h>
#include <wx/evtloop.h>
#include <wx/image.h>
#include <wx/init.h>

#ifdef _WIN32
#include "tests/gui/own_desktop.h"
#endif

namespace {

class GuiTestApp : public wxApp {
public:
    bool OnInit() override {
#if wxUSE_LIBPNG
        // For the screenshots some tests leave.
        wxImage::AddHandler(new wxPNGHandler);
#endif
        return true;
    }
};

bool OnlyListing(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--gtest_list_tests") == 0) {
            return true;
        }
    }
    return false;
}

}  // namespace

wxIMPLEMENT_APP_NO_MAIN(GuiTestApp);

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    if (OnlyListing(argc, argv)) {
        return RUN_ALL_TESTS();
    }
#ifdef _WIN32
    if (!tarnwick::gui_test::MoveToOwnDesktop()) {
        std::fprintf(stderr, "no desktop of the test's own could be made\n");
        return 1;
    }
#endif
    // A failed assertion inside wx fails the test that caused it, with its
    // text, instead of opening a box that nobody answers.
    wxSetAssertHandler([](const wxString& file, int line, const wxString&, const wxString& condition,
                          const wxString& message) {
        ADD_FAILURE_AT(file.utf8_str(), line) << "wx assertion " << condition.utf8_str() << ": "
                                              << message.utf8_str();
    });
    if (!wxEntryStart(argc, argv) || !wxTheApp->CallOnInit()) {
        return 1;
    }
    int result = 0;
    {
        // The tests pump events between their steps. wx on Windows
        // dispatches the system's messages (timers, paints) only inside an
        // active event loop, so one is active for the whole run; the
        // window's modal loops stack on top of it.
        wxGUIEventLoop loop;
        const wxEventLoopActivator active(&loop);
        result = RUN_ALL_TESTS();
    }
    wxTheApp->OnExit();
    wxEntryCleanup();
    return result;
}
