#pragma once

// Tells the window manager that a window has one size only: its size hints
// (WM_NORMAL_HINTS on X11) get minimum = maximum = the window's size in
// physical pixels, so that a desktop cannot resize it into a cropped or
// padded state. JUCE writes these hints for a window that is not resizable,
// but replaces them with position and size alone each time it moves or
// resizes the window, and gives the size without the zoom; the zoom calls
// this after each of those.
//
// On Windows a window without a sizing border cannot be resized, and nothing
// more is needed; elsewhere this does nothing.

#include <juce_gui_basics/juce_gui_basics.h>

namespace kestra
{

// Returns whether the hints were written (false without a native window).
bool tellFixedSize(juce::Component& window);

// What the window manager is told for a window: the minimum and the maximum
// size in physical pixels ({} when none is set or on other platforms). For tests.
struct SizeHints
{
    juce::Rectangle<int> minimum, maximum;
};
SizeHints readSizeHints(juce::Component& window);

} // namespace kestra
