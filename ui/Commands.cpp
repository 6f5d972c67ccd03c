// Every button of the window, and the refresh steps that belong to them: the
// tonewheel names on the Tonewheel Model selector, the tonewheel menu, and the
// Additional Functions page rule.

#include "ui/MainContentComponent.h"
#include "ui/MessageTexts.h"

namespace kestra
{

void MainContentComponent::releaseButton(juce::Button& button)
{
    button.setToggleState(false, juce::dontSendNotification);
    button.setState(juce::Button::buttonNormal);
}

void MainContentComponent::buttonClicked(juce::Button* button)
{
    // Page selection. The radio group reports the old page switched off first.
    for (size_t p = 0; p < pageButtons.size(); ++p)
    {
        if (button != &pageButtons[p])
            continue;
        const bool on = button->getToggleState();
        if (on)
            pageViews.selectPage(static_cast<int>(p));
        showPage(on, static_cast<int>(p));
        return;
    }

    if (button == &openButton)
    {
        openProjectFile();
        releaseButton(openButton);
        return;
    }
    if (button == &saveButton)
    {
        saveProjectFile();
        releaseButton(saveButton);
        return;
    }
    if (button == &connectButton)
    {
        setConnected(false);
        connect(connectButton.getToggleState());
        return;
    }
    if (button == &storeButton)
    {
        supervisor.store(storeButton.getToggleState());
        return;
    }
    if (button == &resetButton)
    {
        supervisor.reset(resetButton.getToggleState());
        return;
    }
    if (button == &tonewheelButton)
    {
        if (!supervisor.isConnected())
        {
            releaseButton(tonewheelButton);
            return;
        }
        if (!tonewheelButton.getToggleState())
            return;
        const int result = tonewheelMenuAnswer ? tonewheelMenuAnswer(tonewheelMenu)
                                               : tonewheelMenu.showAt(&tonewheelButton);
        releaseButton(tonewheelButton);
        // The menu ran a modal loop: the link may have gone meanwhile.
        if (result != 0 && supervisor.isConnected())
            loadTonewheelFile(static_cast<juce::uint8>(result));
        return;
    }

    // View selection: the radio group's reports of buttons switched off are ignored.
    struct ViewButton
    {
        juce::Button* button;
        int page;
        int view;
    };
    const ViewButton viewButtons[] = {
        {&mainViewButton, 0, 3},      {&drawbarViewButton, 0, 4},  {&overdriveClassicButton, 2, 0},
        {&overdriveRockButton, 2, 1}, {&rotaryCommonButton, 3, 2}, {&rotaryClassicButton, 3, 0},
        {&rotaryRockButton, 3, 1},
    };
    for (const auto& v : viewButtons)
    {
        if (button != v.button)
            continue;
        if (!button->getToggleState())
            return;
        showPage(false, v.page);
        pageViews.selectView(v.page, v.view);
        showPage(true, v.page);
        return;
    }

    if (button == &loadTonewheelButton)
    {
        // The integer part of the selected tonewheel model names the slot. The
        // button is enabled from 3.0 on, but an opened project may hold any
        // finite value there: only the alternative slots take a tonewheel, so
        // no other value opens the file chooser.
        const float value = link.parameterValue(97);
        if (value >= static_cast<float>(firstAlternativeSlot) &&
            value < static_cast<float>(numTonewheelSlots))
            loadTonewheelFile(static_cast<juce::uint8>(value));
    }
}

void MainContentComponent::refreshTonewheelModelTexts()
{
    for (int slot = 0; slot < numTonewheelSlots; ++slot)
        showTonewheelName(slot);
}

void MainContentComponent::showTonewheelName(int slot)
{
    auto& box = tonewheelModelBox();
    if (slot >= 0 && slot < numTonewheelSlots && box.indexOfItemId(slot + 1) >= 0)
        box.changeItemText(slot + 1, juce::String(link.tonewheelName(slot)));
}

void MainContentComponent::rebuildTonewheelMenu()
{
    tonewheelMenu.clear();
    for (int slot = firstAlternativeSlot; slot < numTonewheelSlots; ++slot)
        tonewheelMenu.addItem(slot, "Upload to " + juce::String(link.tonewheelName(slot)), true,
                              false);
}

void MainContentComponent::applyAdditionalFunctionsRule()
{
    if (!PageViews::settingsPageShown(link.modelIndex()))
    {
        pageButtons[5].setVisible(false);
        if (pageViews.currentPage() == 5)
            pageButtons[0].setToggleState(true, juce::sendNotificationSync);
        return;
    }

    pageButtons[5].setVisible(true);
    for (int n = firstSettingParameter; n < numParameters; ++n)
        showOptionIndex(n);
    updateLoadTonewheelButton();
}

} // namespace kestra
