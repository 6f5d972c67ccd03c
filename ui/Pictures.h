#pragma once

// The editor's pictures, decoded once from the data compiled into the program
// (ImageCache shares a picture that several components show). A picture's
// size and format are known at once; its pixels are decoded when something
// first draws or reads it, so that start-up decodes only what the first page
// shows. The background starts decoding on a thread of its own when first
// asked for.

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
