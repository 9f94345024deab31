#pragma once
// What assistive technology (a screen reader) learns of the progress bar:
// that it is one, its range and its value. On Windows the bar is the
// system's progress control, told its range and position; on GTK its
// accessible object takes the progress bar's role and reports its value.

#include <cstdint>

class wxWindow;

namespace tarnwick {

// UI thread.
void ReportBarRange(wxWindow& bar, std::int32_t low, std::int32_t high);
// Any thread; never waits for the UI thread.
void ReportBarValue(wxWindow& bar, std::int32_t position);
// UI thread, when the bar is to be repainted: says a new value to whoever
// listens (on Windows the control says it itself).
void AnnounceBarValue(wxWindow& bar);

}  // namespace tarnwick
