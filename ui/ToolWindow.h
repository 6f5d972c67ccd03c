#pragma once

// A window of the editor's own beside its main window, not modal, which the
// editor shows and hides: the MIDI monitor and the Snapshots window. Its close
// button hides it; the keys it does not use itself go to the editor's
// handler; it stays usable while a box blocks the editor; it opens beside the
// editor's window (placeBeside below), inside the user area of the editor's
// display, window frames included.

#include <juce_gui_basics/juce_gui_basics.h>

#include <functional>

namespace kestra
{

class ToolWindow : public juce::DocumentWindow
{
public:
    // Owns content; smallestSize is the content's smallest size.
    ToolWindow(const juce::String& title, juce::Component* content, juce::Point<int> smallestSize,
               std::function<bool(const juce::KeyPress&)> keyHandler);

    void closeButtonPressed() override;
    bool keyPressed(const juce::KeyPress& key) override;

    void placeBeside(const juce::Component& editorWindow);

private:
    juce::Point<int> smallest;
    std::function<bool(const juce::KeyPress&)> keys;
};

// Where a tool window opens, given the editor's window and the screen's user
// area (both in screen coordinates, frames included) and the window's size
// and smallest size: beside the editor, on the first side (right, left,
// below, above) with room for the whole size, else on the first with room
// for the smallest, given the side's room; always inside the screen. When no
// side has room even for the smallest size, the window takes that size at
// the screen's edge where it covers the least of the editor, below it unless
// another side covers clearly less.
juce::Rectangle<int> placeBeside(juce::Rectangle<int> editor, juce::Rectangle<int> screen,
                                 juce::Point<int> size, juce::Point<int> smallest);

} // namespace kestra
