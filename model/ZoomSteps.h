#pragma once

// The zoom of the window: the steps the user chooses from (Auto, 100, 125,
// 150, 175 and 200 %), the rule that keeps the window within the screen, what
// the zoom keys step to and what the zoom menu shows. No component and no
// JUCE: ui/Zoom.h reads the screen, applies the outcome and keeps the choice.
//
// A step is the size of the window in physical pixels: at 200 % the window of
// 1024 x 685 logical pixels covers 2048 x 1370 pixels of the screen, whatever
// the desktop's own scale. Auto follows the scale the desktop reports for the
// window's display (within 100 ... 200 %).

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kestra
{

class ZoomSteps
{
public:
    // A choice is automatic or one of steps, in percent.
    static constexpr int automatic = 0;
    static constexpr std::array<int, 5> steps{100, 125, 150, 175, 200};
    static constexpr int smallest = 100, largest = 200;

    // The display the window is on: the part of it that panels and task bars
    // leave free, in physical pixels, and the scale its desktop reports (1.0
    // is 100 %).
    struct Screen
    {
        int width = 0, height = 0;
        double desktopScale = 1.0;
    };

    // The window: its size in logical pixels, and the frame the window manager
    // draws around it, in physical pixels (0 without one, or while not known).
    struct Window
    {
        int width = 0, height = 0;
        int frameWidth = 0, frameHeight = 0;
    };

    struct Outcome
    {
        int percent = smallest; // the step used
        int wanted = smallest;  // what was asked for: the chosen step, or Auto's percent
        bool clamped = false;   // wanted does not fit: percent is the largest step that does
    };

    struct MenuItem
    {
        int choice = automatic;
        std::string text;
        bool ticked = false;  // the current choice
        bool enabled = false; // a step that does not fit cannot be chosen
    };

    explicit ZoomSteps(Window windowToFit) : window(windowToFit) {}

    // The step used for a choice on a screen: what it asks for when that
    // fits, else the largest step below it that fits (100 % when none does).
    Outcome fit(int choice, const Screen& screen) const;
    bool fits(int percent, const Screen& screen) const;
    // The desktop's scale in percent, within 100 ... 200.
    static int automaticPercent(const Screen& screen);

    // The keys: the next step above or below the one used, among those that
    // fit; the same choice when there is none.
    int bigger(int choice, const Screen& screen) const;
    int smaller(int choice, const Screen& screen) const;

    // The zoom menu: Auto, then every step; the choice ticked, the steps that
    // do not fit disabled and saying so.
    std::vector<MenuItem> menu(int choice, const Screen& screen) const;

    // "auto" or a step ("150", "150%" and "150 %" alike); nothing for anything else.
    static std::optional<int> parse(std::string_view text);
    // As kept in the settings file and given to --scale: "auto", "150".
    static std::string toText(int choice);
    static bool isChoice(int choice);
    // "150 %".
    static std::string percentText(int percent);

private:
    Window window;
};

} // namespace kestra
