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
    // Within the window: the toolbar's buttons touch its top edge.
    setBounds(focused->getBounds().expanded(gap).getIntersection(area.getLocalBounds()));
    toFront(false);
    setVisible(true);
}

void FocusRing::paint(juce::Graphics& g)
{
    // Blue on the white pages, with a light edge that shows it on the dark toolbar.
    const auto bounds = getLocalBounds().toFloat();
    g.setColour(juce::Colour(edgeColour));
    g.drawRoundedRectangle(bounds.reduced(0.5f), 3.5f, 1.0f);
    g.setColour(juce::Colour(colour));
    g.drawRoundedRectangle(bounds.reduced(2.0f), 2.5f, 2.0f);
}

} // namespace kestra
