// The zoom's fit rule, its keys' steps, its menu and its texts
// (model/ZoomSteps.h), for the editor's window of 1024 x 685.

#include "model/ZoomSteps.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

using namespace kestra;

namespace
{
constexpr int automatic = ZoomSteps::automatic;

ZoomSteps editorWindow(int frameWidth = 0, int frameHeight = 0)
{
    return ZoomSteps({1024, 685, frameWidth, frameHeight});
}

// The text of the menu's ticked item.
std::string tickedText(const ZoomSteps& zoom, int choice, const ZoomSteps::Screen& screen)
{
    for (const auto& item : zoom.menu(choice, screen))
        if (item.ticked)
            return item.text;
    return "(none ticked)";
}
} // namespace

TEST(ZoomFit, StepUsedForScreenAndDesktopScale)
{
    struct Case
    {
        int width, height; // the user area in physical pixels
        double desktopScale;
        int frameHeight; // the window manager's title bar, physical pixels
        int choice;
        int used;
        bool clamped;
        const char* menuSays; // the ticked item
    };
    const Case cases[] = {
        // An ordinary desktop at 100 %.
        {1920, 1080, 1.0, 0, automatic, 100, false, "Auto (100 %)"},
        {1920, 1080, 1.0, 0, 150, 150, false, "150 %"},
        {1920, 1080, 1.0, 0, 175, 150, true, "175 % (does not fit the screen: 150 % used)"},
        {1920, 1080, 1.0, 0, 200, 150, true, "200 % (does not fit the screen: 150 % used)"},
        // A panel, then a title bar, take the height 150 % needs (1028).
        {1920, 1040, 1.0, 0, 150, 150, false, "150 %"},
        {1920, 1040, 1.0, 30, 150, 125, true, "150 % (does not fit the screen: 125 % used)"},
        {1920, 1020, 1.0, 0, 200, 125, true, "200 % (does not fit the screen: 125 % used)"},
        // A laptop at 125 % and at 150 %, its task bar taking 72 pixels.
        {1920, 1032, 1.25, 0, automatic, 125, false, "Auto (125 %)"},
        {1920, 1008, 1.5, 0, automatic, 125, true,
         "Auto (125 %: the desktop's 150 % does not fit the screen)"},
        // HiDPI: 200 % fits a 4K and a 2560 x 1600 screen, not 2560 x 1392 with a title bar.
        {3840, 2112, 2.0, 60, automatic, 200, false, "Auto (200 %)"},
        {2560, 1600, 2.0, 0, automatic, 200, false, "Auto (200 %)"},
        {2560, 1392, 2.0, 37, automatic, 175, true,
         "Auto (175 %: the desktop's 200 % does not fit the screen)"},
        {2560, 1392, 1.0, 37, 200, 175, true, "200 % (does not fit the screen: 175 % used)"},
        {2880, 1800, 1.75, 0, automatic, 175, false, "Auto (175 %)"},
        // Auto takes the desktop's scale between the steps and keeps within 100 ... 200 %.
        {1920, 1080, 1.1, 0, automatic, 110, false, "Auto (110 %)"},
        {5120, 2880, 3.0, 0, automatic, 200, false, "Auto (200 %)"},
        {1920, 1080, 0.8, 0, automatic, 100, false, "Auto (100 %)"},
        // A chosen step ignores the desktop's scale.
        {3840, 2160, 2.0, 0, 100, 100, false, "100 %"},
        // Small screens: 125 % needs 857 rows; nothing is smaller than 100 %.
        {1366, 768, 1.0, 0, 125, 100, true, "125 % (does not fit the screen: 100 % used)"},
        {1280, 720, 1.0, 0, automatic, 100, false, "Auto (100 %)"},
        {1024, 600, 1.0, 0, 100, 100, false, "100 % (does not fit the screen: 100 % used)"},
        // The test display of the window tests.
        {2400, 1600, 1.0, 0, 200, 200, false, "200 %"},
        // A window at exactly the screen's size fits.
        {2048, 1370, 1.0, 0, 200, 200, false, "200 %"},
        {2047, 1370, 1.0, 0, 200, 175, true, "200 % (does not fit the screen: 175 % used)"},
    };
    for (const auto& c : cases)
    {
        const ZoomSteps::Screen screen{c.width, c.height, c.desktopScale};
        const auto zoom = editorWindow(0, c.frameHeight);
        SCOPED_TRACE(std::to_string(c.width) + " x " + std::to_string(c.height) + " at " +
                     std::to_string(c.desktopScale) + ", frame " + std::to_string(c.frameHeight) +
                     ", choice " + ZoomSteps::toText(c.choice));
        const auto outcome = zoom.fit(c.choice, screen);
        EXPECT_EQ(outcome.percent, c.used);
        EXPECT_EQ(outcome.clamped, c.clamped);
        EXPECT_EQ(tickedText(zoom, c.choice, screen), c.menuSays);
    }
}

TEST(ZoomFit, MenuListsAutoAndEveryStepAndDisablesThoseThatDoNotFit)
{
    const auto items = editorWindow().menu(200, {1920, 1080, 1.0});
    ASSERT_EQ(items.size(), 6u);
    const struct
    {
        int choice;
        const char* text;
        bool ticked, enabled;
    } expected[] = {
        {automatic, "Auto (100 %)", false, true},
        {100, "100 %", false, true},
        {125, "125 %", false, true},
        {150, "150 %", false, true},
        {175, "175 % (does not fit the screen)", false, false},
        {200, "200 % (does not fit the screen: 150 % used)", true, false},
    };
    for (size_t i = 0; i < items.size(); ++i)
    {
        SCOPED_TRACE(i);
        EXPECT_EQ(items[i].choice, expected[i].choice);
        EXPECT_EQ(items[i].text, expected[i].text);
        EXPECT_EQ(items[i].ticked, expected[i].ticked);
        EXPECT_EQ(items[i].enabled, expected[i].enabled);
    }
}

TEST(ZoomKeys, StepFromTheStepUsedAmongThoseThatFit)
{
    const ZoomSteps::Screen desktop{1920, 1080, 1.0}, laptop{1920, 1080, 1.1}, big{2400, 1600, 1.0};
    const struct
    {
        ZoomSteps::Screen screen;
        int choice, bigger, smaller;
    } cases[] = {
        {desktop, automatic, 125, automatic}, // Auto at 100 %: nothing smaller
        {laptop, automatic, 125, 100},        // Auto at 110 %
        {desktop, 100, 125, 100},
        {desktop, 125, 150, 100},
        {desktop, 150, 150, 125}, // 175 % does not fit
        {desktop, 200, 200, 125}, // used at 150 %
        {big, 175, 200, 150},
        {big, 200, 200, 175},
    };
    const auto zoom = editorWindow();
    for (const auto& c : cases)
    {
        SCOPED_TRACE(ZoomSteps::toText(c.choice) + " on " + std::to_string(c.screen.height) +
                     " rows at " + std::to_string(c.screen.desktopScale));
        EXPECT_EQ(zoom.bigger(c.choice, c.screen), c.bigger);
        EXPECT_EQ(zoom.smaller(c.choice, c.screen), c.smaller);
    }
}

TEST(ZoomText, ParsesAutoAndTheStepsOnly)
{
    const struct
    {
        const char* text;
        std::optional<int> choice;
    } cases[] = {
        {"auto", automatic},    {"AUTO", automatic},
        {" 150 ", 150},         {"150%", 150},
        {"150 %", 150},         {"100", 100},
        {"200", 200},           {"130", std::nullopt},
        {"", std::nullopt},     {"%", std::nullopt},
        {"0150", std::nullopt}, {"-100", std::nullopt},
        {"1e2", std::nullopt},  {"100.0", std::nullopt},
        {"250", std::nullopt},  {"automatic", std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ZoomSteps::parse(c.text), c.choice) << '"' << c.text << '"';
    for (const int choice : {automatic, 100, 125, 150, 175, 200})
        EXPECT_EQ(ZoomSteps::parse(ZoomSteps::toText(choice)), choice);
    EXPECT_EQ(ZoomSteps::toText(130), "auto"); // not a choice
}
