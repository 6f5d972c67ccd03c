#include "ui/CustomComboBox.h"

namespace kestra
{

CustomComboBox::CustomComboBox()
    : juce::ComboBox(juce::String()), lookAndFeel(std::make_unique<CBLookAndFeel>())
{
    setLookAndFeel(lookAndFeel.get());
}

CustomComboBox::~CustomComboBox()
{
    // Detach before deleting, so that the box never points at a deleted look-and-feel.
    setLookAndFeel(nullptr);
    lookAndFeel.reset();
}

void CustomComboBox::setComboBoxFont(const juce::Font& font)
{
    lookAndFeel->setComboBoxFont(font);
}

void CustomComboBox::setPopupMenuFont(const juce::Font& font)
{
    lookAndFeel->setPopupMenuFont(font);
}

} // namespace kestra
