#include "ui/FocusRing.h"

namespace kestra
{

FocusRing::FocusRing(juce::Component& areaToCover) : area(areaToCover)
{
    setInterceptsMouseClicks(false, false);
    setWantsKeyboardFocus(false);
    setAccessible(false);
    juce::Desktop::getInstance().addFocusChangeListener(this);
    juce::Desktop::getInstance().addGlobalMouseListener(&clicks);
}

FocusRing::~FocusRing()
{
    juce::Desktop::getInstance().removeGlobalMouseListener(&clicks);
    juce::Desktop::getInstance().removeFocusChangeListener(this);
}

bool FocusRing::isNavigationKey(const juce::KeyPress& key)
{
    const auto modifiers = key.getModifiers();
    if (modifiers.isCommandDown() || modifiers.isAltDown() || modifiers.isCtrlDown())
        return false;
    const int code = key.getKeyCode();
    for (int navigation :
         {juce::KeyPress::tabKey, juce::KeyPress::leftKey, juce::KeyPress::rightKey,
          juce::KeyPress::upKey, juce::KeyPress::downKey, juce::KeyPress::pageUpKey,
          juce::KeyPress::pageDownKey, juce::KeyPress::homeKey, juce::KeyPress::endKey})
        if (code == navigation)
            return true;
    return false;
}

bool FocusRing::keyPressed(const juce::KeyPress& key, juce::Component*)
{
    if (isNavigationKey(key) && !keyboardInUse)
    {
        keyboardInUse = true;
        update();
    }
    return false;
}

void FocusRing::mouseClicked()
{
    keyboardInUse = false;
    update();
}

void FocusRing::globalFocusChanged(juce::Component*)
{
    update();
}

void FocusRing::update()
{
    // A control's own part (a slider's value box) counts as the control.
    auto* focused = juce::Component::getCurrentlyFocusedComponent();
    while (focused != nullptr && focused->getParentComponent() != &area)
        focused = focused->getParentComponent();

    if (!keyboardInUse || focused == nullptr || focused == this || !focused->isShowing())
    {
        around = nullptr;
        setVisible(false);
        return;
    }
    around = focused;
    setBounds(focused->getBounds().expanded(gap));
    toFront(false);
    setVisible(true);
}

void FocusRing::paint(juce::Graphics& g)
{
    g.setColour(juce::Colour(colour));
    g.drawRoundedRectangle(getLocalBounds().toFloat().reduced(1.0f), 3.0f, 2.0f);
}

} // namespace kestra
