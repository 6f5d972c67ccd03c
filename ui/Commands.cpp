// The page and view buttons, the TONEWHEEL menu, and what the toolbar and the
// connected display show of the link.

#include "ui/MainContentComponent.h"
#include "ui/Pictures.h"

namespace kestra
{

void MainContentComponent::releaseButton(juce::Button& button)
{
    button.setToggleState(false, juce::dontSendNotification);
    button.setState(juce::Button::buttonNormal);
}

void MainContentComponent::pageButtonClicked(int page)
{
    // The radio group reports the old page switched off first.
    const bool on = pageButtons[static_cast<size_t>(page)].getToggleState();
    if (on)
        pageViews.selectPage(page);
    showPage(on, page);
}

void MainContentComponent::viewButtonClicked(juce::Button& button, int page, int view)
{
    // The radio group's reports of buttons switched off are ignored.
    if (!button.getToggleState())
        return;
    showPage(false, page);
    pageViews.selectView(page, view);
    showPage(true, page);
}

void MainContentComponent::rebuildTonewheelMenu()
{
    tonewheelMenu.clear();
    const auto& link = editor.deviceLink();
    for (int slot = firstAlternativeSlot; slot < numTonewheelSlots; ++slot)
        tonewheelMenu.addItem(slot, "Upload to " + juce::String(link.tonewheelName(slot)), true,
                              false);
}

void MainContentComponent::showTonewheelMenu(std::function<void(int slot)> onChosen)
{
    tonewheelMenu.showMenuAsync(
        juce::PopupMenu::Options().withTargetComponent(&tonewheelButton),
        [safe = juce::Component::SafePointer<MainContentComponent>(this), onChosen](int slot)
        {
            if (safe != nullptr)
                onChosen(slot);
        });
}

// ---- EditorListener: the link ---------------------------------------------------------------

void MainContentComponent::linkChanged()
{
    const auto& link = editor.deviceLink();
    if (!editor.isConnected())
    {
        connectionIndicator.setImage(pictures::connectedOff());
        connectionIndicator.setTitle("Not connected");
        deviceLabel.setText({}, juce::dontSendNotification);
        firmwareLabel.setText({}, juce::dontSendNotification);
        return;
    }
    connectionIndicator.setImage(pictures::connectedOn());
    connectionIndicator.setTitle("Connected");
    connectButton.setToggleState(true, juce::dontSendNotification);
    deviceLabel.setText(juce::String(modelName(link.modelIndex())) + " " +
                            revisionSuffix(link.hardwareRevision()),
                        juce::dontSendNotification);
    firmwareLabel.setText(juce::String(link.versionText()), juce::dontSendNotification);
}

void MainContentComponent::buttonReleased(EditorButton button)
{
    switch (button)
    {
    case EditorButton::connect:
        releaseButton(connectButton);
        break;
    case EditorButton::store:
        releaseButton(storeButton);
        break;
    case EditorButton::reset:
        releaseButton(resetButton);
        break;
    case EditorButton::loadTonewheel:
        loadTonewheelButton.setState(juce::Button::buttonNormal);
        break;
    }
}

} // namespace kestra
