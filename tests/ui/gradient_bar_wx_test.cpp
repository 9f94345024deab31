// The real control painted into bitmaps, compared pixel by pixel with the
// band plan, plus the control's repaint requests from another thread.
// Needs a display: ctest runs it under xvfb-run (and Wine, for Windows).

#include <cstdint>
#include <memory>
#include <thread>

#include <gtest/gtest.h>
#include <wx/app.h>
#include <wx/bitmap.h>
#include <wx/dcclient.h>
#include <wx/dcmemory.h>
#include <wx/evtloop.h>
#include <wx/frame.h>
#include <wx/image.h>
#include <wx/init.h>
#include <wx/settings.h>
#include <wx/time.h>
#include <wx/utils.h>

#include "ui/band_plan.h"
#include "ui/gradient_progress_ctrl.h"
#include "ui/wx_colour.h"

#ifdef _WIN32
#include "tests/gui/own_desktop.h"
#endif

namespace tarnwick {
namespace {

constexpr int kWidth = 300;
constexpr int kHeight = 20;
constexpr Colour kSentinel = 0xFF00FF;

class WxEnvironment : public testing::Environment {
public:
    void SetUp() override
    {
        static char name[] = "gradient_bar_wx_test";
        static char* argv[] = {name, nullptr};
        int argc = 1;
#ifdef _WIN32
        ASSERT_TRUE(gui_test::MoveToOwnDesktop()) << "no desktop of the test's own";
#endif
        wxApp::SetInstance(new wxApp);  // owned by wx until wxEntryCleanup
        ASSERT_TRUE(wxEntryStart(argc, argv)) << "wx could not start (no display?)";
        ASSERT_TRUE(wxTheApp->CallOnInit());
        // wx on Windows dispatches the system's messages (paints) only
        // inside an active event loop; the tests pump events outside any.
        loop_ = std::make_unique<wxGUIEventLoop>();
        active_ = std::make_unique<wxEventLoopActivator>(loop_.get());
    }
    void TearDown() override
    {
        active_.reset();
        loop_.reset();
        wxEntryCleanup();
    }

private:
    std::unique_ptr<wxGUIEventLoop> loop_;
    std::unique_ptr<wxEventLoopActivator> active_;
};

const auto* const kEnvironment = testing::AddGlobalTestEnvironment(new WxEnvironment);

Colour ButtonFaceNow()
{
    return FromWxColour(wxSystemSettings::GetColour(wxSYS_COLOUR_BTNFACE));
}

class GradientBarPixels : public testing::Test {
protected:
    void SetUp() override
    {
        frame = new wxFrame(nullptr, wxID_ANY, "bar");
        // The unfilled part is the button face as the bar reads it when made.
        emptyColour = ButtonFaceNow();
        bar = new CGradientProgressCtrl(frame, wxID_ANY, wxDefaultPosition,
                                        wxSize(kWidth, kHeight), wxBORDER_NONE);
        // The main window's configuration, in its order.
        bar->SetLimits(0, 100);
        bar->SetPosition(0);
        bar->SetPercentVisible(true);
        bar->SetLeftColor(0x808000);
        bar->SetRightColor(0x800000);
        bar->SetPercentColor(0x008000);
    }
    void TearDown() override { frame->Destroy(); }

    BarSettings Settings(bool percentVisible) const
    {
        return {bar->GetLowLimit(), bar->GetHighLimit(), bar->GetLeftColor(),
                bar->GetRightColor(), bar->GetPercentColor(), percentVisible};
    }

    // Paints the control into a bitmap prefilled with the sentinel colour,
    // optionally clipped to `clip`.
    wxImage Paint(const wxRect* clip = nullptr)
    {
        wxBitmap bitmap(kWidth, kHeight, 24);
        {
            wxMemoryDC dc(bitmap);
            dc.SetBackground(wxBrush(ToWxColour(kSentinel)));
            dc.Clear();
            if (clip != nullptr) {
                dc.SetClippingRegion(*clip);
            }
            bar->PaintPass(dc, wxSize(kWidth, kHeight));
        }
        return bitmap.ConvertToImage();
    }

    static Colour At(const wxImage& image, int x, int y)
    {
        return MakeColour(image.GetRed(x, y), image.GetGreen(x, y), image.GetBlue(x, y));
    }

    // Every pixel of columns [from, to) against the plan's rendering.
    static void ExpectColumnsMatch(const wxImage& image, const PixelBuffer& expected, int from,
                                   int to, const char* what)
    {
        for (int x = from; x < to; ++x) {
            for (int y = 0; y < kHeight; ++y) {
                ASSERT_EQ(At(image, x, y), expected.At(x, y)) << what << " x " << x << " y " << y;
            }
        }
    }

    wxFrame* frame = nullptr;
    CGradientProgressCtrl* bar = nullptr;
    Colour emptyColour = 0;
};

TEST_F(GradientBarPixels, BandsMatchThePlanAtTheWorkedPositions)
{
    bar->SetPercentVisible(false);
    for (int position : {0, 1, 50, 99, 100}) {
        bar->SetPosition(position);
        const wxImage image = Paint();
        const PixelBuffer expected = RenderBarPlan(
            PlanBar(Settings(false), position, emptyColour, ButtonFaceNow(), kWidth, kHeight),
            kWidth, kHeight);
        ExpectColumnsMatch(image, expected, 0, kWidth, "position");
        if (position == 50) {
            EXPECT_EQ(At(image, 151, 5), 0x804000u);
            EXPECT_EQ(At(image, 152, 5), emptyColour);
        }
    }
}

TEST_F(GradientBarPixels, LabelIsDrawnInItsColourAndLeavesTheEdgesAlone)
{
    bar->SetPosition(50);
    const wxImage image = Paint();
    const PixelBuffer expected = RenderBarPlan(
        PlanBar(Settings(true), 50, emptyColour, ButtonFaceNow(), kWidth, kHeight), kWidth,
        kHeight);
    // "50%" is a few dozen pixels wide at most, centred on x = 150.
    ExpectColumnsMatch(image, expected, 0, 100, "left of label");
    ExpectColumnsMatch(image, expected, 200, kWidth, "right of label");
    // Bands carry blue 128 and the face colour is light: only the label's
    // green glyphs bring blue down.
    int glyphPixels = 0;
    for (int x = 100; x < 200; ++x) {
        for (int y = 0; y < kHeight; ++y) {
            glyphPixels += image.GetBlue(x, y) < 64 ? 1 : 0;
        }
    }
    EXPECT_GT(glyphPixels, 10);
}

TEST_F(GradientBarPixels, BlankStripWipesTheCentreAtTheLowLimit)
{
    bar->SetPercentVisible(false);
    bar->SetLimits(60, 100);  // position 60: bands reach x = 182
    const int middle = kHeight / 2;
    wxImage image = Paint();
    EXPECT_EQ(At(image, 1, middle), 0x808000u);
    EXPECT_EQ(At(image, 181, 0), MakeColour(0, 128 - 77, 128));
    // 46 spaces of the default font are far wider than 50 pixels.
    EXPECT_EQ(At(image, 125, middle), emptyColour);
    EXPECT_EQ(At(image, 175, middle), emptyColour);

    bar->SetPosition(61);  // off the low limit: no strip
    image = Paint();
    EXPECT_EQ(At(image, 125, middle), MakeColour(0, 128 - 53, 128));
    EXPECT_EQ(At(image, 175, middle), MakeColour(0, 128 - 75, 128));
}

TEST_F(GradientBarPixels, OutOfRangeShowsOnlyTheButtonFace)
{
    for (int position : {-1, 101}) {
        bar->SetPosition(position);
        const wxImage image = Paint();
        for (int x = 0; x < kWidth; ++x) {
            for (int y = 0; y < kHeight; ++y) {
                ASSERT_EQ(At(image, x, y), ButtonFaceNow()) << position << " x " << x << " y " << y;
            }
        }
    }
}

TEST_F(GradientBarPixels, SurfaceCoversOnlyTheClipBox)
{
    bar->SetPercentVisible(false);
    bar->SetPosition(50);
    const wxRect clip(100, 4, 80, 10);
    const wxImage image = Paint(&clip);
    const PixelBuffer expected = RenderBarPlan(
        PlanBar(Settings(false), 50, emptyColour, ButtonFaceNow(), kWidth, kHeight), kWidth,
        kHeight);
    for (int x = 0; x < kWidth; ++x) {
        for (int y = 0; y < kHeight; ++y) {
            const bool inside = clip.Contains(x, y);
            ASSERT_EQ(At(image, x, y), inside ? expected.At(x, y) : kSentinel) << "x " << x << " y " << y;
        }
    }
}

TEST_F(GradientBarPixels, DegenerateSettingsPaintWithoutFault)
{
    bar->SetRightColor(0x808000);  // equal colours
    bar->SetPercentVisible(false);
    bar->SetPosition(50);
    wxImage image = Paint();
    EXPECT_EQ(At(image, 149, 3), 0x808000u);
    EXPECT_EQ(At(image, 150, 3), emptyColour);

    bar->SetLimits(0, 0);
    bar->SetPercentVisible(true);
    image = Paint();
    EXPECT_EQ(At(image, 0, 0), emptyColour);
    EXPECT_EQ(At(image, kWidth - 1, kHeight - 1), emptyColour);

    // A client narrower than the band count.
    bar->SetPercentVisible(false);
    bar->SetRightColor(0x800000);
    bar->SetLimits(0, 100);
    bar->SetPosition(100);
    wxBitmap narrow(5, 3, 24);
    {
        wxMemoryDC dc(narrow);
        bar->PaintPass(dc, wxSize(5, 3));
    }
    const wxImage small = narrow.ConvertToImage();
    // Over 5 pixels, band 25 is the last to start at x = 0 and band 127
    // the last at x = 4; the bands between them have no width.
    EXPECT_EQ(At(small, 0, 1), MakeColour(0, 128 - 25, 128));
    EXPECT_EQ(At(small, 4, 1), 0x800100u);
}

// Pumps the event loop until `done` holds or two seconds pass.
template <typename Predicate>
bool PumpUntil(Predicate done)
{
    const wxLongLong deadline = wxGetLocalTimeMillis() + 2000;
    while (!done() && wxGetLocalTimeMillis() < deadline) {
        wxTheApp->Yield(true);
        wxMilliSleep(5);
    }
    return done();
}

TEST_F(GradientBarPixels, ShownBarRepaintsItselfOnANewPosition)
{
    int paints = 0;
    bar->Bind(wxEVT_PAINT, [&](wxPaintEvent& event) {
        ++paints;
        event.Skip();
    });
    frame->SetClientSize(kWidth, kHeight);
    bar->SetSize(0, 0, kWidth, kHeight);
    frame->Show();
    ASSERT_TRUE(PumpUntil([&] { return paints > 0; }));

    bar->SetPercentVisible(false);
    const int before = paints;
    bar->SetPosition(50);
    ASSERT_TRUE(PumpUntil([&] { return paints > before; }));

    wxBitmap shot(kWidth, kHeight, 24);
    {
        wxClientDC window(bar);
        wxMemoryDC dc(shot);
        dc.Blit(0, 0, kWidth, kHeight, &window, 0, 0);
    }
    const wxImage image = shot.ConvertToImage();
    const PixelBuffer expected = RenderBarPlan(
        PlanBar(Settings(false), 50, emptyColour, ButtonFaceNow(), kWidth, kHeight), kWidth,
        kHeight);
    ExpectColumnsMatch(image, expected, 0, kWidth, "on screen");
}

TEST_F(GradientBarPixels, PositionsFromAnotherThreadQueueOneRepaintAtATime)
{
    int queuedCalls = 0;
    bar->Bind(wxEVT_ASYNC_METHOD_CALL, [&](wxEvent& event) {
        ++queuedCalls;
        event.Skip();
    });
    for (int round = 1; round <= 2; ++round) {
        std::thread worker([this] {
            for (int pos = 0; pos <= 1000; ++pos) {
                bar->SetPosition(pos % 101);
            }
        });
        worker.join();
        EXPECT_EQ(bar->Position(), 1000 % 101);
        wxTheApp->ProcessPendingEvents();
        EXPECT_EQ(queuedCalls, round);
    }
}

}  // namespace
}  // namespace tarnwick
