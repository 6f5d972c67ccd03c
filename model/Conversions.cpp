#include "model/Conversions.h"

#include <cmath>

namespace kestra
{

namespace
{
// Single-precision constants of the chorus pair; 50 / 9 is the reciprocal of
// 0.18 = 0.12 + 0.06, so that the mix shown back equals the mix set.
constexpr float chorusLevelPerMix = 0.12f;
constexpr float chorusSecondPerMix = 0.06f;
constexpr float mixPerDifference = 50.0f / 9.0f;

float& at(ParameterValues& v, int n)
{
    return v[static_cast<size_t>(n)];
}

float at(const ParameterValues& v, int n)
{
    return v[static_cast<size_t>(n)];
}

// The members of each scaled group, in the order the instrument receives them.
struct ScaledGroup
{
    int control;
    std::array<int, 3> sendOrder;
};

constexpr std::array<ScaledGroup, 5> scaledGroups = {{
    {39, {39, 40, 41}}, // V/C Depth
    {45, {47, 45, 44}}, // Horn Rise Time
    {49, {49, 48, 46}}, // Horn Fall Time
    {53, {55, 53, 52}}, // Drum Rise Time
    {57, {57, 56, 54}}, // Drum Fall Time
}};

const ScaledGroup* scaledGroupOf(int control)
{
    for (const auto& group : scaledGroups)
        if (group.control == control)
            return &group;
    return nullptr;
}
} // namespace

float levelToDecibels(float percent)
{
    return 20.0f * std::log10(percent / 100.0f);
}

float decibelsToLevel(float decibels)
{
    return 100.0f * std::pow(10.0f, decibels / 20.0f);
}

float toControlValue(int n, const ParameterValues& v, const ParameterValues& D)
{
    switch (parameterInfo(n).conversion)
    {
    case Conversion::level:
        return levelToDecibels(at(v, n));
    case Conversion::offset:
        return at(v, n) - at(D, n);
    case Conversion::fraction:
        return 100.0f * at(v, n);
    case Conversion::scaled:
        return 100.0f * at(v, n) / at(D, n);
    case Conversion::chorusPair:
        return 100.0f + (at(D, chorusSecondParameter) - at(D, chorusMixParameter) +
                         at(v, chorusMixParameter) - at(v, chorusSecondParameter)) *
                            mixPerDifference;
    case Conversion::direct:
    case Conversion::amFollower:
    case Conversion::index:
    case Conversion::model:
        break;
    }
    return at(v, n);
}

bool controlReads(const ParameterInfo& control, int n)
{
    switch (control.conversion)
    {
    case Conversion::chorusPair:
        return n == chorusMixParameter || n == chorusSecondParameter;
    case Conversion::model:
        return n >= control.number && n < control.number + overdriveBlockSize;
    default:
        return n == control.number;
    }
}

float chorusLevelControlValue(const ParameterValues& v, const ParameterValues& D, float shownMix)
{
    return at(v, 31) - at(D, 31) - chorusLevelPerMix * (shownMix - 100.0f);
}

int optionIndexFor(float storedValue, int optionCount)
{
    // Written so that NaN fails the test too.
    if (!(storedValue >= 0.0f && storedValue < static_cast<float>(optionCount)))
        return -1;
    return static_cast<int>(storedValue);
}

int overdriveModelFor(const ParameterValues& v, int blockStart)
{
    for (int row = 0; row < numOverdriveModels; ++row)
    {
        const auto& values = overdriveModelTable[static_cast<size_t>(row)].values;
        if (values[0] == at(v, blockStart) && values[6] == at(v, blockStart + 6))
            return row;
    }
    return -1;
}

bool isFramableSetting(float storedValue)
{
    // Truncated toward zero, -0.9 ... 127.9 give 0 ... 127. Written so that NaN fails.
    return storedValue > -1.0f && storedValue < 128.0f;
}

int settingByteFor(int n, float storedValue)
{
    if (isFramableSetting(storedValue))
        return static_cast<int>(storedValue);
    if (!(storedValue > 0.0f)) // negative, or NaN
        return 0;
    const auto* list = parameterInfo(n).options;
    return list != nullptr ? list->count - 1 : 127;
}

SendList storeSliderChange(ParameterValues& v, const ParameterValues& D, int n, float x,
                           float chorusMix, float chorusLevel)
{
    SendList sends;

    if (const auto* group = scaledGroupOf(n))
    {
        for (int m : group->sendOrder)
        {
            at(v, m) = at(D, m) * x / 100.0f;
            sends.add(m);
        }
        return sends;
    }

    switch (n)
    {
    case 0: // Click Level Manuals writes 0 and 1
        at(v, 0) = at(v, 1) = decibelsToLevel(x);
        sends.add(0);
        sends.add(1);
        break;
    case 2:
    case 3:
        at(v, n) = decibelsToLevel(x);
        sends.add(n);
        break;
    case 30: // Vibrato Level; the instrument expects V/C Depth again after it
        at(v, 30) = at(D, 30) + x;
        sends.add(30);
        sends.add(39);
        break;
    case 31: // Chorus Mix or Chorus Level
        at(v, 31) = at(D, 31) + chorusLevelPerMix * (chorusMix - 100.0f) + chorusLevel;
        at(v, 34) = at(D, 34) - chorusSecondPerMix * (chorusMix - 100.0f) + chorusLevel;
        sends.add(31);
        sends.add(34);
        sends.add(39);
        break;
    case 35: // V/C AM, with 36 following it
        at(v, 35) = x / 100.0f;
        at(v, 36) = x > 100.0f * at(D, 35) ? at(D, 36) : x / (100.0f * at(D, 35)) * at(D, 36);
        sends.add(35);
        sends.add(36);
        break;
    default:
        at(v, n) = x;
        sends.add(n);
        break;
    }
    return sends;
}

SendList storeSelectorChange(ParameterValues& v, int n, int selectedIndex)
{
    SendList sends;
    const auto* list = parameterInfo(n).options;
    if (list == nullptr || !list->isValidIndex(selectedIndex))
        return sends;

    if (parameterInfo(n).conversion == Conversion::model)
    {
        const auto& row = overdriveModelTable[static_cast<size_t>(selectedIndex)].values;
        for (int i = 0; i < overdriveBlockSize; ++i)
        {
            at(v, n + i) = row[static_cast<size_t>(i)];
            sends.add(n + i);
        }
        return sends;
    }

    at(v, n) = static_cast<float>(selectedIndex);
    sends.add(n);
    return sends;
}

bool isCatalogueControl(const ParameterInfo& control)
{
    if (&control == &chorusLevelControl)
        return true;
    const auto* first = parameterCatalogue.data();
    return &control >= first && &control < first + parameterCatalogue.size() &&
           control.control != ControlKind::none;
}

double sliderInterval(const ParameterInfo& control)
{
    return std::round(static_cast<double>(control.step) * 1.0e6) / 1.0e6;
}

double sliderShownValue(const ParameterInfo& control, double value)
{
    const auto start = static_cast<double>(control.minimum);
    const auto end = static_cast<double>(control.maximum);
    if (!std::isfinite(value))
        return value > 0.0 ? end : start;
    // The slider's own rule (juce::NormalisableRange::snapToLegalValue).
    const double interval = sliderInterval(control);
    if (interval > 0.0)
        value = start + interval * std::floor((value - start) / interval + 0.5);
    return (value <= start || end <= start) ? start : (value >= end ? end : value);
}

float shownSliderValue(const ParameterInfo& control, const ParameterValues& v,
                       const ParameterValues& D)
{
    const auto& mixControl = parameterInfo(chorusMixParameter);
    const auto shown = [&](const ParameterInfo& c, float value)
    { return static_cast<float>(sliderShownValue(c, static_cast<double>(value))); };
    if (&control != &chorusLevelControl)
        return shown(control, toControlValue(control.number, v, D));
    const float mix = shown(mixControl, toControlValue(chorusMixParameter, v, D));
    return shown(chorusLevelControl, chorusLevelControlValue(v, D, mix));
}

SendList storeControlChange(ParameterValues& v, const ParameterValues& D,
                            const ParameterInfo& control, double shown)
{
    if (!isCatalogueControl(control) || !std::isfinite(shown))
        return {};
    if (control.control == ControlKind::selector)
    {
        const int count = control.options != nullptr ? control.options->count : 0;
        if (!(shown >= 0.0 && shown < static_cast<double>(count)) || shown != std::floor(shown))
            return {};
        return storeSelectorChange(v, control.number, static_cast<int>(shown));
    }
    const auto x = static_cast<float>(shown);
    if (control.conversion != Conversion::chorusPair)
        return storeSliderChange(v, D, control.number, x, 0.0f, 0.0f);
    // The pair writes from both sliders: the one moved, and the other as it shows.
    const bool level = &control == &chorusLevelControl;
    const float mix = level ? shownSliderValue(parameterInfo(chorusMixParameter), v, D) : x;
    const float chorusLevel = level ? x : shownSliderValue(chorusLevelControl, v, D);
    return storeSliderChange(v, D, chorusMixParameter, x, mix, chorusLevel);
}

} // namespace kestra
