#pragma once
// An off-screen surface over a target context for one paint pass. It is as
// large as the target's clip box, starts filled with one colour (so no pixel
// ever shows uninitialised memory), takes drawing in the target's logical
// coordinates, and is copied to the target in one piece when destroyed.

#include <wx/bitmap.h>
#include <wx/dcmemory.h>
#include <wx/gdicmn.h>

#include "ui/colour.h"

namespace tarnwick {

class CMemDC : public wxMemoryDC {
public:
    CMemDC(wxDC& target, Colour clearColour);
    ~CMemDC() override;

    CMemDC(const CMemDC&) = delete;
    CMemDC& operator=(const CMemDC&) = delete;

    // False when the clip box is empty: there is nothing to draw into and
    // nothing will be copied.
    bool HasSurface() const { return surfaceBitmap.IsOk(); }
    const wxRect& Area() const { return area; }

private:
    wxBitmap surfaceBitmap;
    wxDC* target;
    wxRect area;
};

}  // namespace tarnwick
