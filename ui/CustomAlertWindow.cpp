#include "ui/CustomAlertWindow.h"

namespace kestra
{

CustomAlertWindow::CustomAlertWindow(const juce::String& title, const juce::String& message)
    : juce::AlertWindow(title, message, juce::MessageBoxIconType::NoIcon, nullptr),
      lookAndFeel(std::make_unique<AWLookAndFeel>())
{
    setLookAndFeel(lookAndFeel.get());
    setOpaque(false);
}

CustomAlertWindow::~CustomAlertWindow()
{
    // Off the screen first: detaching the look-and-feel lays the box out again
    // in the default one, a few pixels smaller, and the dying box was resized
    // on screen, leaving strips of its outline behind.
    removeFromDesktop();
    // Detach before deleting, so that neither the window nor its buttons ever
    // point at a deleted look-and-feel.
    setLookAndFeel(nullptr);
    lookAndFeel.reset();
}

bool CustomAlertWindow::canModalEventBeSentToComponent(const juce::Component* target)
{
    return target != nullptr && target->getTopLevelComponent()->getComponentID() == notBlockedId;
}

void CustomAlertWindow::setAlertFont(const juce::Font& font)
{
    lookAndFeel->setAlertFont(font);
}

} // namespace kestra
