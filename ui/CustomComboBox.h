#pragma once

// Every selector of the editor: a ComboBox with its own CBLookAndFeel. For a
// screen reader it is titled as the label beside it (setTitle) and its value
// is the option shown, which the reader may also set; from the keyboard, Up
// and Down (and Left and Right) choose the option before or after.

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
    bool keyPressed(const juce::KeyPress& key) override;
    std::unique_ptr<juce::AccessibilityHandler> createAccessibilityHandler() override;

    // Chooses the option with that text, as a user's choice; false when there is none.
    bool chooseOptionText(const juce::String& text);

private:
    std::unique_ptr<CBLookAndFeel> lookAndFeel;
};

} // namespace kestra
