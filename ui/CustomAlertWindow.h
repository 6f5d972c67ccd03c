#pragma once

// The one kind of message box: an AlertWindow without icon, with its own
// AWLookAndFeel.

#include "ui/LookAndFeels.h"

#include <memory>

namespace kestra
{

class CustomAlertWindow : public juce::AlertWindow
{
public:
    CustomAlertWindow(const juce::String& title, const juce::String& message);
    ~CustomAlertWindow() override;

    void setAlertFont(const juce::Font& font);
    AWLookAndFeel& getAlertLookAndFeel() { return *lookAndFeel; }

    // A box blocks the editor, but not a window with this component ID (the
    // MIDI monitor: during an upload or a search the user can still scroll
    // it, pause it or save it).
    static constexpr const char* notBlockedId = "notBlockedByBoxes";
    bool canModalEventBeSentToComponent(const juce::Component* target) override;

private:
    std::unique_ptr<AWLookAndFeel> lookAndFeel;
};

} // namespace kestra
