#include "ui/CustomComboBox.h"

namespace kestra
{

namespace
{
// A selector as a screen reader sees it: a combo box titled by its label,
// whose value is the option shown.
class SelectorAccessibilityHandler final : public juce::AccessibilityHandler
{
public:
    explicit SelectorAccessibilityHandler(CustomComboBox& selectorToWrap)
        : AccessibilityHandler(selectorToWrap, juce::AccessibilityRole::comboBox,
                               juce::AccessibilityActions()
                                   .addAction(juce::AccessibilityActionType::press,
                                              [&selectorToWrap] { selectorToWrap.showPopup(); })
                                   .addAction(juce::AccessibilityActionType::showMenu,
                                              [&selectorToWrap] { selectorToWrap.showPopup(); }),
                               {std::make_unique<Value>(selectorToWrap)}),
          selector(selectorToWrap)
    {
    }

    juce::AccessibleState getCurrentState() const override
    {
        auto state = AccessibilityHandler::getCurrentState().withExpandable();
        return selector.isPopupActive() ? state.withExpanded() : state.withCollapsed();
    }

private:
    class Value final : public juce::AccessibilityTextValueInterface
    {
    public:
        explicit Value(CustomComboBox& selectorToRead) : box(selectorToRead) {}
        bool isReadOnly() const override { return !box.isEnabled(); }
        juce::String getCurrentValueAsString() const override { return box.getText(); }
        void setValueAsString(const juce::String& text) override { box.chooseOptionText(text); }

    private:
        CustomComboBox& box;
    };

    CustomComboBox& selector;
};
} // namespace

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

bool CustomComboBox::keyPressed(const juce::KeyPress& key)
{
    if (key.getModifiers().isAnyModifierKeyDown())
        return ComboBox::keyPressed(key);
    const int code = key.getKeyCode();
    const int delta = code == juce::KeyPress::upKey || code == juce::KeyPress::leftKey      ? -1
                      : code == juce::KeyPress::downKey || code == juce::KeyPress::rightKey ? 1
                                                                                            : 0;
    if (delta == 0)
        return ComboBox::keyPressed(key);
    // The next option that can be chosen, told at once, as a choice from the menu is.
    if (isEnabled())
        for (int i = getSelectedItemIndex() + delta; i >= 0 && i < getNumItems(); i += delta)
            if (isItemEnabled(getItemId(i)))
            {
                setSelectedItemIndex(i, juce::sendNotificationSync);
                break;
            }
    return true;
}

bool CustomComboBox::chooseOptionText(const juce::String& text)
{
    if (!isEnabled())
        return false;
    for (int i = 0; i < getNumItems(); ++i)
        if (getItemText(i) == text)
        {
            setSelectedItemIndex(i, juce::sendNotificationSync);
            return true;
        }
    return false;
}

std::unique_ptr<juce::AccessibilityHandler> CustomComboBox::createAccessibilityHandler()
{
    return std::make_unique<SelectorAccessibilityHandler>(*this);
}

} // namespace kestra
