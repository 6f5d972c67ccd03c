// The window as the musician sees it: which components each page and view
// shows, where, and with which texts; the Additional Functions rules; focus.

#include "support/EditorTestProbe.h"
#include "support/GuiTestSupport.h"

#include <functional>
#include <set>

KESTRA_JUCE_TEST_ENVIRONMENT;

using namespace kestra;

namespace
{
struct Window
{
    VirtualMidiServices* midi = new VirtualMidiServices;
    MainContentComponent editor{std::unique_ptr<MidiServices>(midi)};
    EditorTestProbe probe{editor};

    // Page and view buttons switch on at mouse-down, as here.
    static void click(juce::Button& button)
    {
        button.setToggleState(true, juce::sendNotificationSync);
    }

    std::multiset<std::string> visibleTexts() const
    {
        std::multiset<std::string> texts;
        for (auto* child : editor.getChildren())
            if (auto* label = dynamic_cast<juce::Label*>(child))
                if (label->isVisible() && label->getText().isNotEmpty())
                    texts.insert(label->getText().toStdString());
        return texts;
    }

    std::multiset<std::string> visibleControls() const
    {
        std::multiset<std::string> controls;
        for (auto* child : editor.getChildren())
            if (child->isVisible() && (dynamic_cast<juce::Slider*>(child) != nullptr ||
                                       dynamic_cast<juce::ComboBox*>(child) != nullptr))
                controls.insert(child->getComponentID().toStdString());
        return controls;
    }
};

std::multiset<std::string> ids(std::initializer_list<int> numbers)
{
    std::multiset<std::string> result;
    for (int n : numbers)
        result.insert(std::to_string(n));
    return result;
}

struct PageCase
{
    const char* what;
    std::function<void(Window&)> select;
    std::multiset<std::string> texts;
    std::multiset<std::string> controls;
};

const std::vector<PageCase>& pageCases()
{
    static const std::vector<PageCase> cases = {
        {"tone generator MAIN",
         [](Window&) {},
         {"Tone Generator", "Pedals", "Click", "Preamp AO-28", "Pedals Level",
          "Click Level Manuals", "Click Level Percussion", "Click Level Bass", "Click Eq Frequency",
          "Click Eq Gain", "Click Eq Q", "Tone Control Position"},
         ids({4, 0, 2, 3, 6, 8, 7, 5})},
        {"tone generator DRAWBAR",
         [](Window& w) { w.click(w.probe.drawbarViewButton()); },
         {"Tone Generator", "Drawbar", "Drawbar Level 16'", "Drawbar Level 5 1/3'",
          "Drawbar Level 8'", "Drawbar Level 4'", "Drawbar Level 2 2/3'", "Drawbar Level 2'",
          "Drawbar Level 1 3/5'", "Drawbar Level 1 1/3'", "Drawbar Level 1'"},
         ids({76, 77, 78, 79, 80, 81, 82, 83, 84})},
        {"vibrato and chorus",
         [](Window& w) { w.click(w.probe.pageButton(1)); },
         {"Vibrato and Chorus", "Vibrato and Chorus", "V/C Frequency", "V/C Depth", "V/C AM",
          "V/C Eq Freq", "V/C Eq Gain", "Chorus Eq Freq", "Chorus Eq Gain", "Chorus Mix",
          "Vibrato Level", "Chorus Level"},
         []
         {
             auto controls = ids({29, 39, 35, 32, 33, 37, 38, 31, 30});
             controls.insert("chorus-level");
             return controls;
         }()},
        {"overdrive CLASSIC",
         [](Window& w) { w.click(w.probe.pageButton(2)); },
         {"Overdrive", "Overdrive", "Overdrive Model"},
         ids({9})},
        {"overdrive ROCK",
         [](Window& w)
         {
             w.click(w.probe.pageButton(2));
             w.click(w.probe.overdriveRockButton());
         },
         {"Overdrive", "Overdrive", "Overdrive Model"},
         ids({16})},
        {"rotary COMMON",
         [](Window& w) { w.click(w.probe.pageButton(3)); },
         {"Rotary", "Horn", "Drum", "Horn Slow Speed", "Horn Fast Speed", "Horn Rise Time",
          "Horn Fall Time", "Drum Slow Speed", "Drum Fast Speed", "Drum Rise Time",
          "Drum Fall Time"},
         ids({42, 43, 45, 49, 50, 51, 53, 57})},
        {"rotary CLASSIC",
         [](Window& w)
         {
             w.click(w.probe.pageButton(3));
             w.click(w.probe.rotaryClassicButton());
         },
         {"Rotary", "Horn", "Drum", "Microphones", "Horn Level", "Horn Leakage", "Horn Color Gain",
          "Horn Color Freq", "Drum Color Gain", "Drum Color Freq", "Horn Mic Angle",
          "Drum Mic Angle"},
         ids({58, 59, 64, 63, 66, 65, 60, 62})},
        {"rotary ROCK",
         [](Window& w)
         {
             w.click(w.probe.pageButton(3));
             w.click(w.probe.rotaryRockButton());
         },
         {"Rotary", "Horn", "Drum", "Microphones", "Horn Level", "Horn Leakage", "Horn Color Gain",
          "Horn Color Freq", "Drum Color Gain", "Drum Color Freq", "Horn Mic Angle",
          "Drum Mic Angle"},
         ids({67, 68, 73, 72, 75, 74, 69, 71})},
        {"reverb",
         [](Window& w) { w.click(w.probe.pageButton(4)); },
         {"Reverb", "Hall", "Spring", "Hall Time", "Hall Size", "Hall Damp", "Spring Time",
          "Spring Size", "Spring Damp"},
         ids({23, 25, 24, 26, 28, 27})},
        {"additional functions",
         [](Window& w) { w.click(w.probe.pageButton(5)); },
         {"Additional Functions", "Functions", "Tonewheel Model", "Gospel Set", "USB MIDI Mode",
          "Upper Layer Mode", "Lower Layer Mode", "Pedals to Lower Mode", "Analog Input Routing",
          "Fx Send Routing", "Reverb Routing", "Exp. Pedal Min", "Exp. Pedal to Midi Out",
          "Hold Pedal Mode", "Rotary Pedal Mode", "Memphis Style"},
         ids({97, 85, 86, 87, 88, 89, 92, 93, 94, 90, 91, 95, 96, 98})},
        {"additional functions, model 2",
         [](Window& w)
         {
             w.probe.link().setIdentity(2, 0);
             w.click(w.probe.pageButton(5));
         },
         {"Additional Functions", "Functions", "Tonewheel Model", "USB MIDI Mode", "Layer Mode",
          "Pedals to Lower Mode", "Analog Input Routing", "Fx Send Routing", "Reverb Routing",
          "Exp. Pedal Min", "Exp. Pedal to Midi Out", "Hold Pedal Mode", "Rotary Pedal Mode",
          "Memphis Style"},
         ids({97, 86, 88, 89, 92, 93, 94, 90, 91, 95, 96, 98})},
    };
    return cases;
}
} // namespace

TEST(PageLayout, EveryPageAndViewShowsItsRowsAndNothingElse)
{
    for (const auto& c : pageCases())
    {
        SCOPED_TRACE(c.what);
        Window w;
        c.select(w);
        EXPECT_EQ(w.visibleTexts(), c.texts);
        EXPECT_EQ(w.visibleControls(), c.controls);
    }
}

TEST(PageLayout, NothingShownOverlapsAndEverythingIsInsideTheWindow)
{
    for (const auto& c : pageCases())
    {
        SCOPED_TRACE(c.what);
        Window w;
        c.select(w);
        std::vector<juce::Component*> shown;
        for (auto* child : w.editor.getChildren())
            if (child->isVisible() && child->getWidth() < MainContentComponent::width)
                shown.push_back(child); // all but the background
        for (size_t i = 0; i < shown.size(); ++i)
        {
            EXPECT_TRUE(w.editor.getLocalBounds().contains(shown[i]->getBounds()));
            for (size_t j = i + 1; j < shown.size(); ++j)
                EXPECT_FALSE(shown[i]->getBounds().intersects(shown[j]->getBounds()))
                    << shown[i]->getName() << shown[i]->getBounds().toString() << " / "
                    << shown[j]->getBounds().toString();
        }
    }
}

TEST(PageLayout, FixedPlacesOfTheToolbarStatusAndRows)
{
    Window w;
    const juce::ImageButton* toolbar[] = {&w.probe.openButton(),    &w.probe.saveButton(),
                                          &w.probe.connectButton(), &w.probe.storeButton(),
                                          &w.probe.resetButton(),   &w.probe.tonewheelButton()};
    for (int k = 0; k < 6; ++k)
        EXPECT_EQ(toolbar[k]->getBounds(), juce::Rectangle<int>(242 + 104 * k, 0, 104, 78));
    for (int k = 0; k < 6; ++k)
        EXPECT_EQ(w.probe.pageButton(k).getBounds(), juce::Rectangle<int>(0, 78 + 40 * k, 201, 40));
    EXPECT_EQ(w.probe.connectionIndicator().getBounds(), juce::Rectangle<int>(975, 11, 35, 18));
    EXPECT_EQ(w.probe.deviceLabel().getBounds(), juce::Rectangle<int>(872, 38, 140, 14));
    EXPECT_EQ(w.probe.firmwareLabel().getBounds(), juce::Rectangle<int>(872, 52, 140, 14));
    EXPECT_EQ(w.probe.slider(4)->getBounds(), juce::Rectangle<int>(431, 230, 579, 24));
    EXPECT_EQ(w.probe.slider(7)->getBounds(), juce::Rectangle<int>(431, 476, 579, 24));
    EXPECT_EQ(w.probe.slider(5)->getBounds(), juce::Rectangle<int>(431, 572, 579, 24));
    EXPECT_EQ(w.probe.selector(9)->getBounds(), juce::Rectangle<int>(431, 230, 280, 24));
    EXPECT_EQ(w.probe.selector(97)->getBounds(), juce::Rectangle<int>(431, 230, 280, 24));
    EXPECT_EQ(w.probe.selector(98)->getBounds(), juce::Rectangle<int>(431, 644, 140, 24));
    EXPECT_EQ(w.probe.loadTonewheelButton().getBounds(), juce::Rectangle<int>(721, 230, 89, 24));
    EXPECT_EQ(w.probe.mainViewButton().getBounds(), juce::Rectangle<int>(827, 135, 85, 29));
    EXPECT_EQ(w.probe.rotaryCommonButton().getBounds(), juce::Rectangle<int>(738, 135, 85, 29));
    EXPECT_TRUE(w.probe.pageButton(0).getToggleState());
    EXPECT_EQ(w.probe.currentPage(), 0);
}

TEST(PageLayout, SwitchingViewsKeepsThePageHeadersAndViewButtons)
{
    Window w;
    w.click(w.probe.pageButton(3));
    w.click(w.probe.rotaryRockButton());
    EXPECT_EQ(w.probe.rotaryView(), 1);
    EXPECT_TRUE(w.probe.rotaryCommonButton().isVisible());
    EXPECT_FALSE(w.probe.slider(42)->isVisible());
    EXPECT_TRUE(w.probe.slider(67)->isVisible());
    EXPECT_FALSE(w.probe.slider(58)->isVisible());

    // Another page hides the whole rotary page; coming back shows the view that was left.
    w.click(w.probe.pageButton(1));
    EXPECT_FALSE(w.probe.rotaryCommonButton().isVisible());
    EXPECT_FALSE(w.probe.slider(67)->isVisible());
    w.click(w.probe.pageButton(3));
    EXPECT_TRUE(w.probe.slider(67)->isVisible());
    EXPECT_FALSE(w.probe.slider(42)->isVisible());
}

TEST(PageLayout, ModelTwoRulesFollowTheModelEachTimeThePageIsShown)
{
    Window w;
    w.probe.link().setIdentity(2, 0);
    w.click(w.probe.pageButton(5));
    EXPECT_FALSE(w.probe.selector(85)->isVisible());
    w.probe.link().setIdentity(0, 0);
    w.click(w.probe.pageButton(0));
    w.click(w.probe.pageButton(5));
    EXPECT_TRUE(w.probe.selector(85)->isVisible());
    EXPECT_TRUE(w.probe.selector(87)->isVisible());
    EXPECT_TRUE(w.visibleTexts().count("Lower Layer Mode") == 1);
}

TEST(PageLayout, TheLastControlOfAShownPageTakesTheFocus)
{
    Window w;
    w.editor.addToDesktop(0);
    w.editor.setVisible(true);
    struct Case
    {
        int page;
        std::function<juce::Component*(Window&)> expected;
    };
    const Case cases[] = {
        {2, [](Window& x) { return static_cast<juce::Component*>(x.probe.selector(9)); }},
        {5, [](Window& x) { return static_cast<juce::Component*>(x.probe.selector(98)); }},
        {4, [](Window& x) { return static_cast<juce::Component*>(x.probe.slider(27)); }},
        {1, [](Window& x) { return static_cast<juce::Component*>(x.probe.chorusLevelSlider()); }},
        {0, [](Window& x) { return static_cast<juce::Component*>(x.probe.slider(5)); }},
    };
    for (const auto& c : cases)
    {
        w.click(w.probe.pageButton(c.page));
        EXPECT_TRUE(c.expected(w)->hasKeyboardFocus(false)) << "page " << c.page;
    }
    w.editor.removeFromDesktop();
}
