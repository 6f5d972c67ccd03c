#pragma once

// The editor's pictures, decoded once from the data compiled into the program
// (ImageCache shares a picture that several components show). A picture's
// size and format are known at once; its pixels are decoded when something
// first draws or reads it, so that start-up decodes only what the first page
// shows. The background starts decoding on a thread of its own when first
// asked for.
//
// Every picture but the application icons also exists at twice its size
// (resources/images/2x). Where the screen has more than one pixel to a
// logical pixel (a zoom or a desktop scale above 100 %), PictureComponent and
// PictureButton draw that one into the same logical rectangle, so that edges
// stay sharp; at 100 % they draw exactly what ImageComponent and ImageButton
// draw. When the main display is above 100 % as the pictures are first asked
// for, the 2x pictures are the ones decoded at once.

#include <juce_gui_basics/juce_gui_basics.h>

#include <array>
#include <memory>

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

// The picture to draw where a logical pixel covers that many physical pixels:
// its 2x picture above 1, else (or without one) the picture itself.
juce::Image forScale(const juce::Image& picture, float physicalPixelsPerLogical);
// The same for what a graphics context draws onto.
juce::Image forScale(const juce::Image& picture, juce::Graphics& g);

// An ImageComponent that draws the 2x picture where the screen has the pixels for it.
class PictureComponent final : public juce::ImageComponent
{
public:
    void paint(juce::Graphics& g) override;
};

// An ImageButton that draws the 2x pictures where the screen has the pixels
// for them. Its size, its pictures and its hit test (alpha threshold
// included) are those of the pictures at their own size, at every scale.
// With the keyboard focus, Space and Return press it.
class PictureButton final : public juce::ImageButton
{
public:
    PictureButton();
    ~PictureButton() override;

    bool keyPressed(const juce::KeyPress& key) override;

private:
    struct Drawing;
    std::unique_ptr<Drawing> drawing;
};

} // namespace kestra::pictures
