// Values between the controls, the parameter store and the instrument.

#include "model/Conversions.h"
#include "model/PageLayout.h"
#include "ui/EditHistory.h"
#include "ui/MainContentComponent.h"

#include <cmath>

namespace kestra
{

namespace
{
int parameterNumberOf(const juce::Component& control)
{
    const auto id = control.getComponentID();
    return id == "chorus-level" ? chorusLevelControl.number : id.getIntValue() % 256;
}
} // namespace

void MainContentComponent::sendParameter(int number)
{
    // A setting that went out mended is stored as sent: its selector shows it.
    if (link.sendParameter(number))
        applyReceivedParameter(number);
}

float MainContentComponent::toControlValue(int number) const
{
    return kestra::toControlValue(number, link.parameterValues(),
                                  defaultValues(link.hardwareRevision()));
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
    const int index = optionIndexFor(link.parameterValue(number), selector->getNumItems());
    if (index < 0)
        selector->setSelectedId(0, juce::dontSendNotification);
    else
        selector->setSelectedItemIndex(index, juce::dontSendNotification);
}

void MainContentComponent::updateLoadTonewheelButton()
{
    loadTonewheelButton.setEnabled(PageViews::canLoadTonewheel(link.parameterValue(97)));
}

void MainContentComponent::sliderValueChanged(juce::Slider* slider)
{
    const int n = parameterNumberOf(*slider);
    if (!isValidParameterNumber(n))
        return;

    const float x = static_cast<float>(slider->getValue());
    const float mix = sliders[31] != nullptr ? static_cast<float>(sliders[31]->getValue()) : 0.0f;
    const float level =
        chorusLevelSlider != nullptr ? static_cast<float>(chorusLevelSlider->getValue()) : 0.0f;
    const auto& D = defaultValues(link.hardwareRevision());

    ParameterValues before{}, after{};
    const auto sends = link.updateParameterValues(
        [&](ParameterValues& v)
        {
            before = v;
            const auto list = storeSliderChange(v, D, n, x, mix, level);
            after = v;
            return list;
        });
    for (int m : sends)
        sendParameter(m);
    editHistory->parameterChanged(slider, sends, before, after);
}

void MainContentComponent::comboBoxChanged(juce::ComboBox* comboBox)
{
    const int n = parameterNumberOf(*comboBox);
    if (!isValidParameterNumber(n))
        return;

    // An overdrive selector is always the one of the current view: only it is on screen.
    const int index = comboBox->getSelectedItemIndex();
    ParameterValues before{}, after{};
    const auto sends = link.updateParameterValues(
        [&](ParameterValues& v)
        {
            before = v;
            const auto list = storeSelectorChange(v, n, index);
            after = v;
            return list;
        });
    for (int m : sends)
        sendParameter(m);
    editHistory->parameterChanged(comboBox, sends, before, after);

    if (n == 97)
        updateLoadTonewheelButton();
}

void MainContentComponent::applyReceivedParameter(int number)
{
    if (number == 5)
    {
        if (auto* slider = sliderFor(5))
            setSliderShownValue(*slider, link.parameterValue(5));
        return;
    }
    if (isSettingParameter(number))
    {
        showOptionIndex(number);
        if (number == 97)
            updateLoadTonewheelButton();
    }
}

void MainContentComponent::refreshControls()
{
    refreshTonewheelModelTexts();
    rebuildTonewheelMenu();

    const auto v = link.parameterValues();
    const auto& D = defaultValues(link.hardwareRevision());

    // Every control in the catalogue's order; the settings follow the
    // Additional Functions rule.
    for (const auto* info : placedControls())
    {
        const int n = info->number;
        if (info == &chorusLevelControl)
        {
            if (chorusLevelSlider != nullptr && sliders[31] != nullptr)
            {
                const float shownMix = static_cast<float>(sliders[31]->getValue());
                setSliderShownValue(*chorusLevelSlider, chorusLevelControlValue(v, D, shownMix));
            }
        }
        else if (info->control == ControlKind::slider)
        {
            if (auto* slider = sliderFor(n))
                setSliderShownValue(*slider, kestra::toControlValue(n, v, D));
        }
        else if (info->conversion == Conversion::model)
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
    }

    applyAdditionalFunctionsRule();
}

} // namespace kestra
