#pragma once

// The slider of every parameter. In its bar style the value box lies over the
// whole slider and, left to itself, opens for typing on the first click of a
// double-click, so that the second click lands in the box and the return to
// the default never happens. Here the clicks go to the slider itself: a
// double-click returns to the default (as a user's change: stored and sent),
// and the value box opens only once the double-click time has passed without
// a second click, or at once when the user starts typing before then.
//
// From the keyboard, the focused slider moves a step with the arrow keys, ten
// steps with Page Up and Page Down, to its ends with Home and End, and to its
// default (the double-click's value) with Delete; each key is one change,
// handed on as one mouse gesture is.
//
// A typed value is read as the musician means it (model/ValueText.h): a
// decimal comma, the slider's unit after the number, "k" for kHz. A text that
// cannot be read exactly leaves the value as it was: the box closes showing
// it, and nothing changes or is sent.

#include <juce_gui_basics/juce_gui_basics.h>

#include <optional>

namespace kestra
{

class ParameterSlider final : public juce::Slider, private juce::Timer
{
public:
    ParameterSlider() = default;
    ~ParameterSlider() override;

    // True while a single click waits to see whether a second one follows.
    bool isValueBoxPending() const { return isTimerRunning(); }

    // The value a key moves the slider to; none for a key that does not move it.
    std::optional<double> valueForKey(const juce::KeyPress& key) const;

    void mouseDown(const juce::MouseEvent& e) override;
    void mouseUp(const juce::MouseEvent& e) override;
    void mouseDoubleClick(const juce::MouseEvent& e) override;
    bool keyPressed(const juce::KeyPress& key) override;
    void lookAndFeelChanged() override;
    double getValueFromText(const juce::String& text) override;

private:
    void timerCallback() override;
    void passClicksThroughValueBox();

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR(ParameterSlider)
};

} // namespace kestra
