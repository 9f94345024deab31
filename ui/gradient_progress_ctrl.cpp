#include "ui/gradient_progress_ctrl.h"

#include <wx/brush.h>
#include <wx/dcclient.h>
#include <wx/pen.h>
#include <wx/settings.h>
#include <wx/thread.h>

#ifdef __WXMSW__
#include <wx/msw/wrapcctl.h>
#endif

#include "ui/bar_accessibility.h"
#include "ui/mem_dc.h"
#include "ui/wx_colour.h"

namespace tarnwick {

namespace {

Colour ButtonFace()
{
    return FromWxColour(wxSystemSettings::GetColour(wxSYS_COLOUR_BTNFACE));
}

void FillRect(wxDC& dc, const BarFill& fill)
{
    dc.SetBrush(wxBrush(ToWxColour(fill.colour)));
    dc.DrawRectangle(fill.rect.left, fill.rect.top, fill.rect.right - fill.rect.left,
                     fill.rect.bottom - fill.rect.top);
}

// One line of text, centred both ways in the client area.
void DrawCentred(wxDC& dc, const char* text, const wxSize& clientSize)
{
    const wxString line(text);
    wxCoord width = 0;
    wxCoord height = 0;
    dc.GetTextExtent(line, &width, &height);
    dc.DrawText(line, (clientSize.x - width) / 2, (clientSize.y - height) / 2);
}

}  // namespace

wxBEGIN_EVENT_TABLE(CGradientProgressCtrl, wxControl)
    EVT_PAINT(CGradientProgressCtrl::OnBarPaint)
    EVT_ERASE_BACKGROUND(CGradientProgressCtrl::OnBarEraseBackground)
wxEND_EVENT_TABLE()

CGradientProgressCtrl::CGradientProgressCtrl() : emptyColor(ButtonFace()) {}

CGradientProgressCtrl::CGradientProgressCtrl(wxWindow* parent, wxWindowID id,
                                             const wxPoint& pos, const wxSize& size,
                                             long style)
    : CGradientProgressCtrl()
{
    Create(parent, id, pos, size, style);
}

CGradientProgressCtrl::~CGradientProgressCtrl() = default;

bool CGradientProgressCtrl::Create(wxWindow* parent, wxWindowID id, const wxPoint& pos,
                                   const wxSize& size, long style)
{
    // Every pixel is painted by the pass itself: no background erase.
    SetBackgroundStyle(wxBG_STYLE_PAINT);
#ifdef __WXMSW__
    // The system's own progress control, whose every paint the pass below
    // takes over: assistive technology knows it as a progress bar and reads
    // its value, as it would the unpainted control.
    if (!CreateControl(parent, id, pos, size, style, wxDefaultValidator, "gradientProgress") ||
        !MSWCreateControl(PROGRESS_CLASS, wxString(), pos, size)) {
        return false;
    }
#else
    if (!wxControl::Create(parent, id, pos, size, style, wxDefaultValidator, "gradientProgress")) {
        return false;
    }
#endif
    ReportBarRange(*this, lowLimit, highLimit);
    return true;
}

wxSize CGradientProgressCtrl::DoGetBestClientSize() const
{
    return FromDIP(wxSize(150, 16));
}

void CGradientProgressCtrl::SetLimits(std::int32_t low, std::int32_t high)
{
    lowLimit = low;
    highLimit = high;
    position.store(low, std::memory_order_relaxed);
    if (GetHandle() != nullptr) {
        ReportBarRange(*this, low, high);
        ReportBarValue(*this, low);
    }
    ScheduleRepaint();
}

void CGradientProgressCtrl::SetPosition(std::int32_t pos)
{
    position.store(pos, std::memory_order_relaxed);
    if (GetHandle() != nullptr) {
        ReportBarValue(*this, pos);
    }
    ScheduleRepaint();
}

std::int32_t CGradientProgressCtrl::Position() const
{
    return position.load(std::memory_order_relaxed);
}

void CGradientProgressCtrl::SetLeftColor(Colour colour) { leftColor = colour; }
void CGradientProgressCtrl::SetRightColor(Colour colour) { rightColor = colour; }
void CGradientProgressCtrl::SetPercentColor(Colour colour) { percentColor = colour; }
void CGradientProgressCtrl::SetPercentVisible(bool visible) { percentVisible = visible; }

void CGradientProgressCtrl::ScheduleRepaint()
{
    if (wxIsMainThread()) {
        if (GetHandle() != nullptr) {
            AnnounceBarValue(*this);
            Refresh(false);
        }
        return;
    }
    // Another thread may not touch the window: queue one request, and no
    // more until the UI thread has taken it, so a fast transfer causes only
    // as many repaints as the UI thread can take.
    if (!repaintQueued.exchange(true, std::memory_order_acq_rel)) {
        CallAfter(&CGradientProgressCtrl::RepaintFromQueue);
    }
}

void CGradientProgressCtrl::RepaintFromQueue()
{
    // Cleared before the repaint, so a position stored after this point
    // queues a new request and is never left unpainted.
    repaintQueued.exchange(false, std::memory_order_acq_rel);
    if (GetHandle() != nullptr) {
        AnnounceBarValue(*this);
        Refresh(false);
    }
}

void CGradientProgressCtrl::OnBarPaint(wxPaintEvent&)
{
    wxPaintDC dc(this);
    PaintPass(dc, GetClientSize());
}

void CGradientProgressCtrl::OnBarEraseBackground(wxEraseEvent&)
{
    // Not skipped: the background counts as erased, and the paint pass
    // covers it.
}

void CGradientProgressCtrl::PaintPass(wxDC& dc, const wxSize& clientSize) const
{
    const BarSettings settings{lowLimit, highLimit, leftColor, rightColor, percentColor,
                               percentVisible};
    // One reading of the position serves the whole pass, so a pass never
    // mixes two positions; a change meanwhile brings its own repaint.
    const BarPlan plan = PlanBar(settings, Position(), emptyColor, ButtonFace(),
                                 clientSize.x, clientSize.y);
    dc.SetPen(*wxTRANSPARENT_PEN);
    if (!plan.offScreen) {
        for (const BarFill& fill : plan.fills) {
            FillRect(dc, fill);
        }
        return;
    }
    PaintBands(dc, plan);

    dc.SetFont(wxSystemSettings::GetFont(wxSYS_DEFAULT_GUI_FONT));
    if (plan.blankStrip) {
        dc.SetTextForeground(ToWxColour(emptyColor));
        dc.SetTextBackground(ToWxColour(emptyColor));
        dc.SetBackgroundMode(wxBRUSHSTYLE_SOLID);
        DrawCentred(dc, kBlankStripText, clientSize);
    }
    if (plan.labelVisible) {
        dc.SetTextForeground(ToWxColour(plan.labelColour));
        dc.SetBackgroundMode(wxBRUSHSTYLE_TRANSPARENT);
        DrawCentred(dc, plan.label.data(), clientSize);
    }
}

void CGradientProgressCtrl::PaintBands(wxDC& target, const BarPlan& plan) const
{
    CMemDC surface(target, plan.surfaceColour);
    if (!surface.HasSurface()) {
        return;
    }
    surface.SetPen(*wxTRANSPARENT_PEN);
    for (const BarFill& fill : plan.fills) {
        FillRect(surface, fill);
    }
}

}  // namespace tarnwick
