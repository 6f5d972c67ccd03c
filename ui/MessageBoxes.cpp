// Every notice, question and progress window of the editor: one box at a time.

#include "ui/MainContentComponent.h"

#include "link/LinkTypes.h"

namespace kestra
{

// A box is owned by currentMessageBox alone, synchronous or not: the modal
// manager is never asked to delete one. A box the user dismisses is
// destroyed right after its result has been handled; a box the editor closes
// or replaces is destroyed at once and its result arrives later, as 0, when
// the box is gone.

int MainContentComponent::showMessageBox(juce::String title, juce::String message,
                                         juce::String button1Text, int button1Value,
                                         juce::String button2Text, int button2Value,
                                         juce::String button3Text, int button3Value,
                                         MessageBoxCallback callback)
{
    closeMessageBox();

    currentMessageBox = std::make_unique<CustomAlertWindow>(title, juce::String());
    auto& box = *currentMessageBox;

    // The message font; the button font and height follow from it.
    box.setAlertFont(juce::Font("Arial", 20.0f, juce::Font::plain));
    box.setEscapeKeyCancels(false);

    box.setColour(juce::AlertWindow::backgroundColourId, juce::Colour(0xF8FFFFFF));
    box.setColour(juce::AlertWindow::textColourId, juce::Colour(0xFF000000));
    box.setColour(juce::AlertWindow::outlineColourId, juce::Colour(0xFF000000));
    // The buttons find their colours in the box's look-and-feel.
    box.getAlertLookAndFeel().setColour(juce::TextButton::textColourOffId,
                                        juce::Colour(0xFF000000));
    box.getAlertLookAndFeel().setColour(juce::TextButton::buttonColourId, juce::Colour(0xFFE2E2E2));

    box.setMessage(message);

    const std::pair<const juce::String&, int> buttons[] = {
        {button1Text, button1Value}, {button2Text, button2Value}, {button3Text, button3Value}};
    for (const auto& [text, value] : buttons)
        if (text.isNotEmpty())
            box.addButton(text, value, juce::KeyPress(), juce::KeyPress());

    const juce::Component::SafePointer<CustomAlertWindow> shown(&box);

    if (callback != nullptr)
    {
        const juce::Component::SafePointer<MainContentComponent> owner(this);
        auto dismissed = [callback, owner, shown](int result)
        {
            // Still the open box: the user dismissed it. Otherwise the editor
            // closed or replaced it, and that ends it with 0.
            auto isOpen = [&]
            {
                return owner != nullptr && shown != nullptr &&
                       owner->currentMessageBox.get() == shown.getComponent();
            };
            callback(isOpen() ? result : 0, owner.getComponent());

            // Handling the result may have closed or replaced the box; if
            // not, it goes now that it has been dismissed.
            if (isOpen())
                owner->currentMessageBox.reset();
        };
        // Not deleted when dismissed: currentMessageBox stays its only owner.
        box.enterModalState(true, juce::ModalCallbackFunction::create(dismissed), false);
        return 0;
    }

    const int result = box.runModalLoop();

    // Only this box: if another box replaced it meanwhile, that one stays open.
    if (shown != nullptr && currentMessageBox.get() == shown.getComponent())
        currentMessageBox.reset();
    return result;
}

void MainContentComponent::closeMessageBox()
{
    if (currentMessageBox == nullptr)
        return;

    currentMessageBox->exitModalState(0);
    currentMessageBox.reset();
}

void MainContentComponent::handleMessageBoxResult(int result)
{
    // A box the editor closed or replaced reports 0 after it has gone.
    if (currentMessageBox == nullptr)
        return;

    switch (result)
    {
    case 1: // "Cancel" of the searching box
        closeMessageBox();
        supervisor.cancelSearch();
        break;
    case 2: // "Cancel" of the tonewheel transfer box
        cancelTonewheelTransfer();
        break;
    case 3:
        closeMessageBox();
        break;
    default:
        break;
    }
}

void messageBoxCallback(int result, MainContentComponent* owner)
{
    juce::Logger::writeToLog("messageBoxCallback: exit with result = " + juce::String(result));

    // The editor may be gone by the time a closed box reports.
    if (owner != nullptr)
        owner->handleMessageBoxResult(result);
}

} // namespace kestra
