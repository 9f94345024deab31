#pragma once
// The main window's progress bar: a row of vertical colour bands running
// from the left colour toward the right colour, the unfilled part in the
// button-face colour read at construction, and an optional centred
// percentage label. The control paints its whole client area itself through
// an off-screen surface and never erases its background, so it does not
// flicker while a transfer moves it.
//
// Threads: everything here runs on the UI thread except SetPosition and
// GetPosition, which any thread may call. SetPosition stores the position
// atomically and asks for a repaint without waiting for the UI thread;
// requests from other threads are coalesced into one pending repaint.

#include <atomic>
#include <cstdint>

#include <wx/control.h>
#include <wx/dc.h>

#include "ui/band_plan.h"
#include "ui/colour.h"

namespace tarnwick {

class CGradientProgressCtrl : public wxControl {
public:
    // Two-step construction, as for any wx control: default-construct (for
    // example as a dialog member), then Create() on the parent window.
    CGradientProgressCtrl();
    CGradientProgressCtrl(wxWindow* parent, wxWindowID id,
                          const wxPoint& pos = wxDefaultPosition,
                          const wxSize& size = wxDefaultSize,
                          long style = wxBORDER_SIMPLE);
    bool Create(wxWindow* parent, wxWindowID id,
                const wxPoint& pos = wxDefaultPosition,
                const wxSize& size = wxDefaultSize,
                long style = wxBORDER_SIMPLE);
    ~CGradientProgressCtrl() override;

    // Sets lowLimit, highLimit and then position = low; repaints.
    void SetLimits(std::int32_t low, std::int32_t high);
    // Any thread. Stores the position and schedules a repaint; never waits.
    void SetPosition(std::int32_t pos);
    // The window's own location keeps its wx spelling.
    using wxControl::SetPosition;
    // Any thread. The bar's position (not the window's location, which
    // keeps its wx name GetPosition).
    std::int32_t Position() const;

    // These store the value only; it shows at the next paint pass.
    void SetLeftColor(Colour colour);
    void SetRightColor(Colour colour);
    void SetPercentColor(Colour colour);
    void SetPercentVisible(bool visible);

    std::int32_t GetLowLimit() const { return lowLimit; }
    std::int32_t GetHighLimit() const { return highLimit; }
    Colour GetLeftColor() const { return leftColor; }
    Colour GetRightColor() const { return rightColor; }
    Colour GetPercentColor() const { return percentColor; }
    bool IsPercentVisible() const { return percentVisible; }

    // One whole paint pass onto `dc`, whose client area is `clientSize`
    // with its top-left corner at (0, 0). OnBarPaint calls it with the
    // window's paint context; tests and benchmarks call it with a memory
    // context over a bitmap.
    void PaintPass(wxDC& dc, const wxSize& clientSize) const;

    // A progress bar takes no keyboard focus.
    bool AcceptsFocus() const override { return false; }

protected:
    wxSize DoGetBestClientSize() const override;

private:
    void OnBarPaint(wxPaintEvent& event);
    void OnBarEraseBackground(wxEraseEvent& event);
    void PaintBands(wxDC& target, const BarPlan& plan) const;
    void ScheduleRepaint();
    void RepaintFromQueue();

    std::int32_t lowLimit = 0;
    std::int32_t highLimit = 100;
    std::atomic<std::int32_t> position{0};
    Colour leftColor = 0x800000;
    Colour rightColor = 0xFF0000;
    Colour emptyColor;
    Colour percentColor = 0xFFFFFF;
    bool percentVisible = false;
    // Set while a repaint request from another thread waits in the queue.
    std::atomic<bool> repaintQueued{false};

    wxDECLARE_EVENT_TABLE();
};

}  // namespace tarnwick
