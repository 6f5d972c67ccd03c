#include "ui/ParameterSlider.h"

#include "model/ValueText.h"

namespace kestra
{

ParameterSlider::~ParameterSlider()
{
    stopTimer();
}

void ParameterSlider::mouseDown(const juce::MouseEvent& e)
{
    stopTimer(); // a second click: no value box for the first one
    Slider::mouseDown(e);
}

void ParameterSlider::mouseUp(const juce::MouseEvent& e)
{
    Slider::mouseUp(e);

    // A plain single click (no drag, no Alt+click return, no second click)
    // opens the value box, once it is clear that no second click follows.
    const bool altClick = e.mods.withoutMouseButtons() == juce::ModifierKeys::altModifier;
    if (isEnabled() && isTextBoxEditable() && e.getNumberOfClicks() == 1 &&
        !e.mouseWasDraggedSinceMouseDown() && !e.mods.isPopupMenu() && !altClick)
        startTimer(juce::MouseEvent::getDoubleClickTimeout());
}

void ParameterSlider::mouseDoubleClick(const juce::MouseEvent& e)
{
    stopTimer();
    Slider::mouseDoubleClick(e); // the return value, through sliderValueChanged
}

std::optional<double> ParameterSlider::valueForKey(const juce::KeyPress& key) const
{
    if (!isEnabled() || key.getModifiers().isAnyModifierKeyDown())
        return std::nullopt;
    const double step = getInterval() > 0.0 ? getInterval() : (getMaximum() - getMinimum()) / 100.0;
    const int code = key.getKeyCode();
    double target = 0.0;
    if (code == juce::KeyPress::rightKey || code == juce::KeyPress::upKey)
        target = getValue() + step;
    else if (code == juce::KeyPress::leftKey || code == juce::KeyPress::downKey)
        target = getValue() - step;
    else if (code == juce::KeyPress::pageUpKey)
        target = getValue() + 10.0 * step;
    else if (code == juce::KeyPress::pageDownKey)
        target = getValue() - 10.0 * step;
    else if (code == juce::KeyPress::homeKey)
        target = getMinimum();
    else if (code == juce::KeyPress::endKey)
        target = getMaximum();
    else if (code == juce::KeyPress::deleteKey && isDoubleClickReturnEnabled())
        target = getDoubleClickReturnValue();
    else
        return std::nullopt;
    return juce::jlimit(getMinimum(), getMaximum(), target);
}

bool ParameterSlider::keyPressed(const juce::KeyPress& key)
{
    if (const auto target = valueForKey(key))
    {
        stopTimer(); // a key after a click moves the slider: no value box
        // One change, begun and ended as a mouse gesture is.
        const ScopedDragNotification gesture(*this);
        setValue(*target, juce::sendNotificationSync);
        return true;
    }

    // Typing right after a click does not wait for the double-click time: the
    // value box opens, all selected, and the character replaces its text.
    const auto character = key.getTextCharacter();
    if (isTimerRunning() && character >= ' ' && !key.getModifiers().isCommandDown())
    {
        stopTimer();
        showTextBox();
        for (auto* child : getChildren())
            if (auto* box = dynamic_cast<juce::Label*>(child))
                if (auto* editor = box->getCurrentTextEditor())
                {
                    editor->insertTextAtCaret(juce::String::charToString(character));
                    return true;
                }
    }
    return Slider::keyPressed(key);
}

void ParameterSlider::timerCallback()
{
    stopTimer();
    if (isShowing() && isEnabled() && isTextBoxEditable())
        showTextBox();
}

double ParameterSlider::getValueFromText(const juce::String& text)
{
    // Refused: the value it has. The slider then finds nothing changed, sends
    // nothing, and puts the value's own text back into the box.
    const auto value = readTypedValue(text.toStdString(), getTextValueSuffix().toStdString());
    return value ? *value : getValue();
}

void ParameterSlider::lookAndFeelChanged()
{
    Slider::lookAndFeelChanged(); // makes a new value box
    passClicksThroughValueBox();
}

void ParameterSlider::passClicksThroughValueBox()
{
    // The value box is the slider's only label. It stays editable (the slider
    // then keeps a click from moving the bar) but lets the clicks through to
    // the slider; its editor, once open, takes clicks as usual.
    for (auto* child : getChildren())
        if (auto* box = dynamic_cast<juce::Label*>(child))
            box->setInterceptsMouseClicks(false, true);
}

} // namespace kestra
