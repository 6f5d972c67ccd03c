#pragma once

// The editor's own look-and-feels, all derived from LookAndFeel_V3: the
// selectors and their drop-down lists, the message boxes and the toolbar's
// tonewheel menu. Fonts and colours are put in once by whoever creates the
// control or the box.

#include <juce_gui_basics/juce_gui_basics.h>

namespace kestra
{

// One instance per CustomComboBox.
class CBLookAndFeel : public juce::LookAndFeel_V3
{
public:
    void drawComboBox(juce::Graphics& g, int width, int height, bool isButtonDown, int buttonX,
                      int buttonY, int buttonW, int buttonH, juce::ComboBox& box) override;
    juce::Font getComboBoxFont(juce::ComboBox& box) override;
    void positionComboBoxText(juce::ComboBox& box, juce::Label& label) override;
    juce::Font getPopupMenuFont() override;
    void getIdealPopupMenuItemSize(const juce::String& text, bool isSeparator,
                                   int standardMenuItemHeight, int& idealWidth,
                                   int& idealHeight) override;

    void setComboBoxFont(const juce::Font& font) { comboBoxFont = font; }
    void setPopupMenuFont(const juce::Font& font) { popupMenuFont = font; }

private:
    juce::Font comboBoxFont;
    juce::Font popupMenuFont;
};

// One instance per CustomAlertWindow.
class AWLookAndFeel : public juce::LookAndFeel_V3
{
public:
    void drawButtonBackground(juce::Graphics& g, juce::Button& button,
                              const juce::Colour& backgroundColour,
                              bool shouldDrawButtonAsHighlighted,
                              bool shouldDrawButtonAsDown) override;
    juce::Font getTextButtonFont(juce::TextButton& button, int buttonHeight) override;
    void drawButtonText(juce::Graphics& g, juce::TextButton& button,
                        bool shouldDrawButtonAsHighlighted, bool shouldDrawButtonAsDown) override;
    void drawAlertBox(juce::Graphics& g, juce::AlertWindow& alert,
                      const juce::Rectangle<int>& textArea, juce::TextLayout& textLayout) override;
    int getAlertWindowButtonHeight() override;
    juce::Font getAlertWindowMessageFont() override;
    juce::Font getAlertWindowFont() override;

    void setAlertFont(const juce::Font& font) { alertFont = font; }

private:
    juce::Font alertFont;
};

// The tonewheel menu's look.
class PopupLookAndFeel : public juce::LookAndFeel_V3
{
public:
    juce::Font getPopupMenuFont() override;
    void setMenuFont(const juce::Font& font) { menuFont = font; }

private:
    juce::Font menuFont;
};

} // namespace kestra
