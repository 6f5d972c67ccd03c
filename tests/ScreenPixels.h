#pragma once

// What the screen shows, as the X server holds it: the pixels of every
// window there, whichever painted them and whenever.

#include <juce_gui_basics/juce_gui_basics.h>

namespace kestra::testing
{

// The screen's pixels in an area (screen coordinates); an invalid image
// without an X display (and elsewhere than on Linux).
juce::Image screenPixels(juce::Rectangle<int> area);

// True when a window of another program (or another test program sharing the
// display) lies over the window's area on screen, stacked above it: its
// pixels there are then not the window's own.
bool otherProgramsOver(const juce::Component& window);

} // namespace kestra::testing
