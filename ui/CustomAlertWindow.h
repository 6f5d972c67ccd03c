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

private:
    std::unique_ptr<AWLookAndFeel> lookAndFeel;
};

} // namespace kestra
