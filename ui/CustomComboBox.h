#pragma once

// Every selector of the editor: a ComboBox with its own CBLookAndFeel.

#include "ui/LookAndFeels.h"

#include <memory>

namespace kestra
{

class CustomComboBox : public juce::ComboBox
{
public:
    CustomComboBox();
    ~CustomComboBox() override;

    void setComboBoxFont(const juce::Font& font);
    void setPopupMenuFont(const juce::Font& font);

    // Gaining the keyboard focus does not repaint the box.
    void focusGained(FocusChangeType) override {}

private:
    std::unique_ptr<CBLookAndFeel> lookAndFeel;
};

} // namespace kestra
