#pragma once

// The X server as the zoom's window tests read it: where a window is and how
// large in physical pixels, what its size hints tell the window manager, and
// the pixels on the screen. (Xlib's names stay in ZoomScreen.cpp: some of
// them are macros that clash with JUCE's.)

#include <juce_gui_basics/juce_gui_basics.h>

#include <utility>

namespace kestra::testing
{

class ZoomScreen
{
public:
    ZoomScreen();
    ~ZoomScreen();
    bool isOpen() const { return display != nullptr; }

    // Where a component's native window is on the screen, in physical pixels.
    juce::Rectangle<int> boundsOf(juce::Component& window);
    // The minimum and maximum of its size hints ({} where not set).
    std::pair<juce::Rectangle<int>, juce::Rectangle<int>> sizeHintsOf(juce::Component& window);
    // The screen's pixels in an area, as an RGB image.
    juce::Image grab(juce::Rectangle<int> area);

private:
    void* display; // Display*

    JUCE_DECLARE_NON_COPYABLE(ZoomScreen)
};

} // namespace kestra::testing
