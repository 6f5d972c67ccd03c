// The controls: what they show of the stored values, and the user's changes
// they hand to the editor.

#include "model/Conversions.h"
#include "model/PageLayout.h"
#include "ui/MainContentComponent.h"

#include <cmath>

namespace kestra
{

float MainContentComponent::shownValue(const juce::Slider* slider) const
{
    return slider != nullptr ? static_cast<float>(slider->getValue()) : 0.0f;
}

void MainContentComponent::setSliderShownValue(juce::Slider& slider, float value)
{
    // A value without a position (a level of 0, NaN from a file) shows the lowest position.
    const double shown = std::isfinite(value) ? static_cast<double>(value)
                         : value > 0.0f       ? slider.getMaximum()
                                              : slider.getMinimum();
    slider.setValue(shown, juce::dontSendNotification);
}

void MainContentComponent::showOptionIndex(int number)
{
    auto* selector = selectorFor(number);
    if (selector == nullptr)
        return;
    const int index =
        optionIndexFor(editor.deviceLink().parameterValue(number), selector->getNumItems());
    if (index < 0)
        selector->setSelectedId(0, juce::dontSendNotification);
    else
        selector->setSelectedItemIndex(index, juce::dontSendNotification);
}

void MainContentComponent::updateLoadTonewheelButton()
{
    loadTonewheelButton.setEnabled(
        PageViews::canLoadTonewheel(editor.deviceLink().parameterValue(tonewheelModelParameter)));
}

// One control as the stored values have it.
void MainContentComponent::refreshControl(const ParameterInfo& info, const ParameterValues& v,
                                          const ParameterValues& D)
{
    const int n = info.number;

    if (&info == &chorusLevelControl)
    {
        // Shown relative to Chorus Mix as it shows.
        if (chorusLevelSlider != nullptr && sliders[chorusMixParameter] != nullptr)
            setSliderShownValue(
                *chorusLevelSlider,
                chorusLevelControlValue(v, D, shownValue(sliders[chorusMixParameter].get())));
    }
    else if (info.control == ControlKind::slider)
    {
        if (auto* slider = sliderFor(info))
            setSliderShownValue(*slider, toControlValue(n, v, D));
    }
    else if (info.conversion == Conversion::model)
    {
        if (auto* selector = selectorFor(n))
        {
            const int row = overdriveModelFor(v, n);
            if (row < 0)
                selector->setSelectedId(0, juce::dontSendNotification);
            else
                selector->setSelectedItemIndex(row, juce::dontSendNotification);
        }
    }
    else
    {
        showOptionIndex(n);
    }
}

void MainContentComponent::refreshControls()
{
    refreshTonewheelModelTexts();
    rebuildTonewheelMenu();

    const auto& link = editor.deviceLink();
    const auto v = link.parameterValues();
    const auto& D = defaultValues(link.hardwareRevision());
    // Every control in the catalogue's order; the settings follow the
    // Additional Functions rule.
    for (const auto* info : placedControls())
        if (!isSettingParameter(info->number))
            refreshControl(*info, v, D);

    applyAdditionalFunctionsRule();
}

void MainContentComponent::showParameter(int number)
{
    const auto& link = editor.deviceLink();
    const auto v = link.parameterValues();
    const auto& D = defaultValues(link.hardwareRevision());
    for (const auto* info : controlsShowing(number))
        refreshControl(*info, v, D);
    if (number == tonewheelModelParameter)
        updateLoadTonewheelButton();
}

void MainContentComponent::refreshTonewheelModelTexts()
{
    for (int slot = 0; slot < numTonewheelSlots; ++slot)
        showTonewheelName(slot);
}

void MainContentComponent::showTonewheelName(int slot)
{
    auto* box = selectorFor(tonewheelModelParameter);
    if (box != nullptr && slot >= 0 && slot < numTonewheelSlots &&
        box->indexOfItemId(slot + 1) >= 0)
        box->changeItemText(slot + 1, juce::String(editor.deviceLink().tonewheelName(slot)));
}

void MainContentComponent::applyAdditionalFunctionsRule()
{
    if (!PageViews::settingsPageShown(editor.deviceLink().modelIndex()))
    {
        pageButtons[settingsPage].setVisible(false);
        if (pageViews.currentPage() == settingsPage)
            pageButtons[toneGeneratorPage].setToggleState(true, juce::sendNotificationSync);
        return;
    }

    pageButtons[settingsPage].setVisible(true);
    for (int n = firstSettingParameter; n < numParameters; ++n)
        showOptionIndex(n);
    updateLoadTonewheelButton();
}

// ---- EditorListener: values -----------------------------------------------------------------

void MainContentComponent::valuesChanged(bool modelChanged)
{
    refreshControls();
    // A new model changes which rows the current page shows.
    if (modelChanged)
        reshowCurrentPage();
}

void MainContentComponent::parameterChanged(int number)
{
    showParameter(number);
}

void MainContentComponent::tonewheelNameChanged(int slot)
{
    showTonewheelName(slot);
}

} // namespace kestra
