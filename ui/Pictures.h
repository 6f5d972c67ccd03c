#pragma once

// The editor's pictures, decoded once from the data compiled into the program
// (ImageCache shares a picture that several components show).

#include <juce_gui_basics/juce_gui_basics.h>

#include <array>

namespace kestra::pictures
{

// Normal, mouse-over and down (or switched on) pictures of a button.
struct ButtonImages
{
    juce::Image off, over, on;
};

enum class View
{
    main,
    drawbar,
    classic,
    rock,
    common,
};

juce::Image background();
juce::Image connectedOff();
juce::Image connectedOn();
std::array<ButtonImages, 6> toolbar();     // OPEN, SAVE, CONNECT, STORE, RESET, TONEWHEEL
std::array<ButtonImages, 6> pageButtons(); // pages 0 ... 5
std::array<juce::Image, 6> pageIcons();    // pages 0 ... 5
ButtonImages viewTab(View view);
ButtonImages load();

} // namespace kestra::pictures
