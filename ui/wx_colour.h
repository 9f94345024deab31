#pragma once
// Between the tool's 0x00BBGGRR colour value and wx's colour object.

#include <wx/colour.h>

#include "ui/colour.h"

namespace tarnwick {

inline wxColour ToWxColour(Colour colour)
{
    return wxColour(RedOf(colour), GreenOf(colour), BlueOf(colour));
}

inline Colour FromWxColour(const wxColour& colour)
{
    return MakeColour(colour.Red(), colour.Green(), colour.Blue());
}

}  // namespace tarnwick
