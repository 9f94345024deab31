#include "ui/mem_dc.h"

#include <wx/brush.h>

#include "ui/wx_colour.h"

namespace tarnwick {

CMemDC::CMemDC(wxDC& targetDc, Colour clearColour)
    : wxMemoryDC(&targetDc), target(&targetDc)
{
    targetDc.GetClippingBox(area);
    if (area.IsEmpty()) {
        return;
    }
    surfaceBitmap = wxBitmap(area.width, area.height, targetDc);
    if (!surfaceBitmap.IsOk()) {
        return;
    }
    SelectObject(surfaceBitmap);
    SetBackground(wxBrush(ToWxColour(clearColour)));
    Clear();
    // The bitmap's pixel (0, 0) stands for the clip box's top-left corner.
    SetDeviceOrigin(-area.x, -area.y);
}

CMemDC::~CMemDC()
{
    if (!HasSurface()) {
        return;
    }
    target->Blit(area.x, area.y, area.width, area.height, this, area.x, area.y, wxCOPY);
    SelectObject(wxNullBitmap);
}

}  // namespace tarnwick
