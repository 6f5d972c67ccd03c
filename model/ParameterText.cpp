#include "model/ParameterText.h"

#include "model/Conversions.h"
#include "model/PageLayout.h"
#include "model/PageViews.h"
#include "model/ValueText.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>

namespace kestra::controltext
{

namespace
{
const char* const pageNames[numPages] = {"Tone Generator", "Vibrato and Chorus",
                                         "Overdrive",      "Rotary",
                                         "Reverb",         "Additional Functions"};

// Lower case without blanks: how names are compared.
std::string folded(const std::string& text)
{
    std::string out;
    for (char c : text)
        if (!std::isspace(static_cast<unsigned char>(c)))
            out += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

std::string trimmed(const std::string& text)
{
    const auto first = text.find_first_not_of(' ');
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

bool labelIsShared(const ParameterInfo& control)
{
    int count = 0;
    for (const auto* other : placedControls())
        if (std::string(other->label) == control.label)
            ++count;
    return count > 1;
}

std::string formatted(double value, int decimals)
{
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    std::string out = text;
    return out == "-0" || out == "-0.0" || out == "-0.00" ? out.substr(1) : out;
}

// The option texts a selector shows; the tonewheel model shows the slots' names.
std::vector<std::string> optionTexts(const ParameterInfo& control,
                                     const std::array<std::string, numTonewheelSlots>& slotNames)
{
    std::vector<std::string> texts;
    if (control.options == nullptr)
        return texts;
    for (int i = 0; i < control.options->count; ++i)
        texts.push_back(control.number == tonewheelModelParameter &&
                                !trimmed(slotNames[static_cast<size_t>(i)]).empty()
                            ? trimmed(slotNames[static_cast<size_t>(i)])
                            : std::string((*control.options)[i]));
    return texts;
}
} // namespace

std::vector<const ParameterInfo*> controlsOfModel(int modelIndex)
{
    std::vector<const ParameterInfo*> controls;
    for (const auto* control : placedControls())
    {
        if (control->place.page == settingsPage && !PageViews::settingsPageShown(modelIndex))
            continue;
        if (!PageViews::rowShown(control->place.hiddenForModel2, modelIndex))
            continue;
        controls.push_back(control);
    }
    return controls;
}

std::string pageName(int page)
{
    return page >= 0 && page < numPages ? pageNames[page] : "";
}

std::string controlName(const ParameterInfo& control)
{
    std::string name = control.label;
    if (!labelIsShared(control))
        return name;
    if (control.place.views == views::classic)
        return "Classic " + name;
    if (control.place.views == views::rock)
        return "Rock " + name;
    return name;
}

ControlValue showControl(const ParameterInfo& control, const ParameterValues& v,
                         const ParameterValues& defaults,
                         const std::array<std::string, numTonewheelSlots>& slotNames)
{
    ControlValue shown;
    shown.control = &control;
    shown.name = controlName(control);
    if (control.control == ControlKind::slider)
    {
        const float mix = toControlValue(chorusMixParameter, v, defaults);
        float value = &control == &chorusLevelControl ? chorusLevelControlValue(v, defaults, mix)
                                                      : toControlValue(control.number, v, defaults);
        // A value without a position shows the lowest position, as the slider does.
        if (!std::isfinite(value))
            value = value > 0.0f ? control.maximum : control.minimum;
        const int decimals = decimalsForStep(control.step);
        shown.value = formatted(static_cast<double>(value), decimals);
        shown.number = std::stod(shown.value);
        shown.unit = trimmed(control.suffix);
        return shown;
    }
    const auto texts = optionTexts(control, slotNames);
    const int index = control.conversion == Conversion::model
                          ? overdriveModelFor(v, control.number)
                          : optionIndexFor(v[static_cast<size_t>(control.number)],
                                           static_cast<int>(texts.size()));
    shown.number = index;
    if (index >= 0 && index < static_cast<int>(texts.size()))
        shown.value = texts[static_cast<size_t>(index)];
    return shown;
}

const ParameterInfo* findControl(const std::string& nameOrNumber, int modelIndex,
                                 std::string& error)
{
    const auto controls = controlsOfModel(modelIndex);
    const auto wanted = folded(nameOrNumber);

    if (!wanted.empty() &&
        std::all_of(wanted.begin(), wanted.end(),
                    [](char c) { return std::isdigit(static_cast<unsigned char>(c)); }))
    {
        const int number = wanted.size() <= 3 ? std::stoi(wanted) : -1;
        for (const auto* control : controls)
            if (control->number == number)
                return control; // the row's first control: Chorus Mix for 31
        error = "no control has the number " + nameOrNumber;
        return nullptr;
    }

    std::vector<const ParameterInfo*> found;
    for (const auto* control : controls)
    {
        const std::string page = pageNames[control->place.page];
        for (const auto& name : {controlName(*control), std::string(control->label)})
            if (wanted == folded(name) || wanted == folded(page + name))
            {
                found.push_back(control);
                break;
            }
    }
    // The unique name wins over a shared label.
    if (found.size() > 1)
    {
        std::vector<const ParameterInfo*> exact;
        for (const auto* control : found)
            if (wanted == folded(controlName(*control)) && controlName(*control) != control->label)
                exact.push_back(control);
        if (exact.size() == 1)
            return exact.front();
    }
    if (found.size() == 1)
        return found.front();
    if (found.empty())
    {
        error = "no control is called \"" + nameOrNumber + "\"";
        return nullptr;
    }
    error = "\"" + nameOrNumber + "\" names several controls:";
    for (const auto* control : found)
        error += " \"" + controlName(*control) + "\"";
    return nullptr;
}

std::optional<double> readControlValue(const ParameterInfo& control, const std::string& text,
                                       const std::array<std::string, numTonewheelSlots>& slotNames,
                                       std::string& error)
{
    const auto name = controlName(control);
    if (control.control == ControlKind::slider)
    {
        const auto typed = readTypedValue(text, control.suffix);
        if (!typed.has_value())
        {
            error = name + ": \"" + text + "\" is not a value in" +
                    (trimmed(control.suffix).empty() ? std::string(" numbers")
                                                     : std::string(control.suffix));
            return std::nullopt;
        }
        const auto minimum = static_cast<double>(control.minimum);
        const auto maximum = static_cast<double>(control.maximum);
        const auto step = static_cast<double>(control.step);
        // As the slider snaps a typed value to its interval.
        // (Rounded to the decimals shown: the steps are floats, 0.1f is not 0.1.)
        const int decimals = decimalsForStep(control.step);
        const double scale = std::pow(10.0, decimals);
        const double value =
            std::round((minimum + step * std::floor((*typed - minimum) / step + 0.5)) * scale) /
            scale;
        if (*typed < minimum - step / 2 || *typed > maximum + step / 2)
        {
            error = name + ": " + text + " is outside " + formatted(minimum, decimals) + " ... " +
                    formatted(maximum, decimals) + control.suffix;
            return std::nullopt;
        }
        return std::clamp(value, minimum, maximum);
    }

    const auto texts = optionTexts(control, slotNames);
    for (size_t i = 0; i < texts.size(); ++i)
        if (folded(text) == folded(texts[i]) ||
            (control.options != nullptr &&
             folded(text) == folded((*control.options)[static_cast<int>(i)])))
            return static_cast<double>(i);
    const auto wanted = folded(text);
    if (!wanted.empty() && wanted.size() <= 3 &&
        std::all_of(wanted.begin(), wanted.end(),
                    [](char c) { return std::isdigit(static_cast<unsigned char>(c)); }))
    {
        const int index = std::stoi(wanted);
        if (index < static_cast<int>(texts.size()))
            return static_cast<double>(index);
    }
    error = name + ": \"" + text + "\" is not one of";
    for (size_t i = 0; i < texts.size(); ++i)
        error += (i == 0 ? " \"" : ", \"") + texts[i] + "\"";
    error += " (or their index, 0 ... " + std::to_string(texts.size() - 1) + ")";
    return std::nullopt;
}

} // namespace kestra::controltext
