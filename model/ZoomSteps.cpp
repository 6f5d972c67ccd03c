#include "model/ZoomSteps.h"

#include <algorithm>
#include <cctype>
#include <cmath>

namespace kestra
{

namespace
{
// The window's extent in physical pixels at a step, rounded up.
int scaledUp(int logical, int percent)
{
    return (logical * percent + 99) / 100;
}

std::string_view trimmed(std::string_view text)
{
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front())) != 0)
        text.remove_prefix(1);
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back())) != 0)
        text.remove_suffix(1);
    return text;
}
} // namespace

bool ZoomSteps::fits(int percent, const Screen& screen) const
{
    return scaledUp(window.width, percent) + window.frameWidth <= screen.width &&
           scaledUp(window.height, percent) + window.frameHeight <= screen.height;
}

int ZoomSteps::automaticPercent(const Screen& screen)
{
    const double scale = std::isfinite(screen.desktopScale) ? screen.desktopScale : 1.0;
    const auto percent = static_cast<int>(std::lround(std::clamp(scale, 0.0, 10.0) * 100.0));
    return std::clamp(percent, smallest, largest);
}

ZoomSteps::Outcome ZoomSteps::fit(int choice, const Screen& screen) const
{
    Outcome outcome;
    outcome.wanted = isChoice(choice) && choice != automatic ? choice : automaticPercent(screen);
    if (fits(outcome.wanted, screen))
    {
        outcome.percent = outcome.wanted;
        return outcome;
    }
    outcome.percent = smallest;
    for (const int step : steps)
        if (step < outcome.wanted && fits(step, screen))
            outcome.percent = step;
    outcome.clamped = outcome.percent != outcome.wanted;
    return outcome;
}

int ZoomSteps::bigger(int choice, const Screen& screen) const
{
    const int used = fit(choice, screen).percent;
    for (const int step : steps)
        if (step > used && fits(step, screen))
            return step;
    return choice;
}

int ZoomSteps::smaller(int choice, const Screen& screen) const
{
    const int used = fit(choice, screen).percent;
    for (auto step = steps.rbegin(); step != steps.rend(); ++step)
        if (*step < used)
            return *step;
    return choice;
}

std::vector<ZoomSteps::MenuItem> ZoomSteps::menu(int choice, const Screen& screen) const
{
    if (!isChoice(choice))
        choice = automatic;
    std::vector<MenuItem> items;

    const auto automaticOutcome = fit(automatic, screen);
    MenuItem automaticItem{automatic, "Auto (" + percentText(automaticOutcome.percent), false,
                           true};
    if (automaticOutcome.clamped)
        automaticItem.text +=
            ": the desktop's " + percentText(automaticOutcome.wanted) + " does not fit the screen";
    automaticItem.text += ")";
    automaticItem.ticked = choice == automatic;
    items.push_back(automaticItem);

    for (const int step : steps)
    {
        MenuItem item{step, percentText(step), step == choice, fits(step, screen)};
        if (!item.enabled)
        {
            item.text += " (does not fit the screen";
            if (item.ticked)
                item.text += ": " + percentText(fit(step, screen).percent) + " used";
            item.text += ")";
        }
        items.push_back(item);
    }
    return items;
}

std::optional<int> ZoomSteps::parse(std::string_view text)
{
    text = trimmed(text);
    std::string lower;
    for (const char c : text)
        lower += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (lower == "auto")
        return automatic;
    std::string_view number = lower;
    if (!number.empty() && number.back() == '%')
        number = trimmed(number.substr(0, number.size() - 1));
    if (number.empty() || number.size() > 3 ||
        !std::all_of(number.begin(), number.end(),
                     [](char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; }))
        return std::nullopt;
    const int percent = std::stoi(std::string(number));
    if (std::find(steps.begin(), steps.end(), percent) == steps.end())
        return std::nullopt;
    return percent;
}

std::string ZoomSteps::toText(int choice)
{
    return isChoice(choice) && choice != automatic ? std::to_string(choice) : "auto";
}

bool ZoomSteps::isChoice(int choice)
{
    return choice == automatic || std::find(steps.begin(), steps.end(), choice) != steps.end();
}

std::string ZoomSteps::percentText(int percent)
{
    return std::to_string(percent) + " %";
}

} // namespace kestra
