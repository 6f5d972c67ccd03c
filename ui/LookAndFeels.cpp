#include "ui/LookAndFeels.h"

namespace kestra
{

// ---- CBLookAndFeel ------------------------------------------------------------------------

void CBLookAndFeel::drawComboBox(juce::Graphics& g, int width, int height, bool /*isButtonDown*/,
                                 int buttonX, int buttonY, int buttonW, int buttonH,
                                 juce::ComboBox& box)
{
    constexpr float cornerSize = 3.0f;

    g.setColour(box.findColour(juce::ComboBox::backgroundColourId));
    g.fillRoundedRectangle(0.0f, 0.0f, static_cast<float>(width), static_cast<float>(height),
                           cornerSize);

    g.setColour(box.findColour(juce::ComboBox::outlineColourId));
    g.drawRoundedRectangle(0.5f, 0.5f, static_cast<float>(width - 1),
                           static_cast<float>(height - 1), cornerSize, 1.0f);

    // A triangle pointing down in the middle of the button area: from 25 % to
    // 75 % of its width at 37.5 % of its height, down to its centre at 62.5 %.
    const double w = buttonW * 0.5;
    const double h = buttonH * 0.25;
    const auto x = static_cast<double>(buttonX);
    const auto y = static_cast<double>(buttonY);
    juce::Path arrow;
    arrow.addTriangle(
        static_cast<float>(x + (buttonW - w) * 0.5), static_cast<float>(y + (buttonH - h) * 0.5),
        static_cast<float>(x + (buttonW + w) * 0.5), static_cast<float>(y + (buttonH - h) * 0.5),
        static_cast<float>(x + buttonW * 0.5), static_cast<float>(y + (buttonH + h) * 0.5));

    // isEnabled() is false as well when a parent of the box is disabled.
    g.setColour(box.findColour(juce::ComboBox::arrowColourId)
                    .withMultipliedAlpha(box.isEnabled() ? 1.0f : 0.3f));
    g.fillPath(arrow);
}

juce::Font CBLookAndFeel::getComboBoxFont(juce::ComboBox& /*box*/)
{
    return comboBoxFont;
}

void CBLookAndFeel::positionComboBoxText(juce::ComboBox& box, juce::Label& label)
{
    label.setBounds(1, 1, box.getWidth() + 3 - box.getHeight(), box.getHeight() - 2);
    label.setFont(getComboBoxFont(box));
}

juce::Font CBLookAndFeel::getPopupMenuFont()
{
    return popupMenuFont;
}

void CBLookAndFeel::getIdealPopupMenuItemSize(const juce::String& text, bool isSeparator,
                                              int standardMenuItemHeight, int& idealWidth,
                                              int& idealHeight)
{
    if (isSeparator)
    {
        idealWidth = 50;
        idealHeight = standardMenuItemHeight > 0 ? standardMenuItemHeight / 2 : 10;
        return;
    }

    // The menu's standard item height is ignored: items follow the font only.
    idealHeight = juce::roundToInt(popupMenuFont.getHeight() * 1.3f);
    idealWidth = popupMenuFont.getStringWidth(text) + idealHeight * 2;
}

// ---- AWLookAndFeel ------------------------------------------------------------------------

void AWLookAndFeel::drawButtonBackground(juce::Graphics& g, juce::Button& button,
                                         const juce::Colour& backgroundColour,
                                         bool shouldDrawButtonAsHighlighted,
                                         bool shouldDrawButtonAsDown)
{
    juce::LookAndFeel_V3::drawButtonBackground(
        g, button, backgroundColour, shouldDrawButtonAsHighlighted, shouldDrawButtonAsDown);
}

juce::Font AWLookAndFeel::getTextButtonFont(juce::TextButton& /*button*/, int /*buttonHeight*/)
{
    juce::Font font(alertFont);
    font.setHeight(static_cast<float>(static_cast<double>(alertFont.getHeight()) * 0.8));
    return font;
}

void AWLookAndFeel::drawButtonText(juce::Graphics& g, juce::TextButton& button,
                                   bool shouldDrawButtonAsHighlighted, bool shouldDrawButtonAsDown)
{
    juce::LookAndFeel_V2::drawButtonText(g, button, shouldDrawButtonAsHighlighted,
                                         shouldDrawButtonAsDown);
}

void AWLookAndFeel::drawAlertBox(juce::Graphics& g, juce::AlertWindow& alert,
                                 const juce::Rectangle<int>& textArea, juce::TextLayout& textLayout)
{
    g.fillAll(alert.findColour(juce::AlertWindow::backgroundColourId));

    // The editor's boxes carry no icon: the text keeps the whole text area.
    g.setColour(alert.findColour(juce::AlertWindow::textColourId));
    textLayout.draw(g, textArea.toFloat());

    g.setColour(alert.findColour(juce::AlertWindow::outlineColourId));
    g.drawRect(0.0f, 0.0f, static_cast<float>(alert.getWidth()),
               static_cast<float>(alert.getHeight()), 1.0f);
}

int AWLookAndFeel::getAlertWindowButtonHeight()
{
    return static_cast<int>(static_cast<double>(alertFont.getHeight()) * 1.4);
}

juce::Font AWLookAndFeel::getAlertWindowMessageFont()
{
    return alertFont;
}

juce::Font AWLookAndFeel::getAlertWindowFont()
{
    return alertFont;
}

// ---- PopupLookAndFeel ---------------------------------------------------------------------

juce::Font PopupLookAndFeel::getPopupMenuFont()
{
    return menuFont;
}

} // namespace kestra
