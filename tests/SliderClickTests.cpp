// The sliders of the real editor under the mouse: clicks go through the
// window's peer, as the X server's would, so that JUCE's own hit-testing,
// click counting and value box take part. A double-click returns a slider to
// its default as a user's change; a single click still opens the value box for
// typing, once the double-click time has passed.

#include "support/EditorTestProbe.h"
#include "support/GuiTestSupport.h"
#include "support/LookAndFeelEnvironment.h"

#include "model/Conversions.h"
#include "ui/ParameterSlider.h"

#include <algorithm>
#include <chrono>

KESTRA_JUCE_TEST_ENVIRONMENT;
KESTRA_EDITOR_LOOK_AND_FEEL_ENVIRONMENT;

using namespace kestra;
using kestra::testing::pumpFor;
using kestra::testing::pumpUntil;
using Bytes = std::vector<uint8_t>;
using namespace std::chrono_literals;

namespace
{
// A hand on the mouse over the editor's window. Event times are its own, so
// that a double-click is one whatever the machine's load.
class Mouse
{
public:
    explicit Mouse(juce::ComponentPeer& windowPeer) : peer(windowPeer) {}

    void click(juce::Point<int> at, juce::ModifierKeys held = {})
    {
        catchUp();
        clickNow(at, held);
    }

    void doubleClick(juce::Point<int> at)
    {
        catchUp();
        clickNow(at);
        clickNow(at);
    }

    void drag(juce::Point<int> from, juce::Point<int> to)
    {
        catchUp();
        send(from.toFloat(), {});
        const juce::ModifierKeys down(juce::ModifierKeys::leftButtonModifier);
        send(from.toFloat(), down);
        for (int step = 1; step <= 10; ++step)
        {
            time += 20;
            send((from + (to - from) * step / 10).toFloat(), down);
        }
        send(to.toFloat(), {});
        time += 1000; // never part of a later click
    }

    // Lets time pass between gestures, so that two of them are not one double-click.
    void pause() { time += 1000; }

private:
    // A gesture never starts before the real clock: a real pointer event that
    // the window had meanwhile (on a slow machine more than the pause after
    // the last gesture may have passed) must not look newer than this one.
    void catchUp() { time = std::max(time, juce::Time::currentTimeMillis()); }

    void clickNow(juce::Point<int> at, juce::ModifierKeys held = {})
    {
        const auto p = at.toFloat();
        send(p, held);
        send(p, held.withFlags(juce::ModifierKeys::leftButtonModifier));
        time += 60;
        send(p, held);
        time += 120;
    }

    void send(juce::Point<float> at, juce::ModifierKeys mods)
    {
        // As the platform does: the keys held are read from the current modifiers.
        juce::ModifierKeys::currentModifiers = mods;
        peer.handleMouseEvent(juce::MouseInputSource::InputSourceType::mouse, at, mods,
                              juce::MouseInputSource::defaultPressure,
                              juce::MouseInputSource::defaultOrientation, time);
    }

    juce::ComponentPeer& peer;
    juce::int64 time = juce::Time::currentTimeMillis();
};

juce::Label* valueBoxOf(juce::Slider& slider)
{
    for (auto* child : slider.getChildren())
        if (auto* label = dynamic_cast<juce::Label*>(child))
            return label;
    return nullptr;
}

struct SliderClicks : ::testing::Test
{
    VirtualMidiServices* midi = new VirtualMidiServices;
    RecordingDevice device{*midi};
    MainContentComponent editor{std::unique_ptr<MidiServices>(midi)};
    EditorTestProbe probe{editor};
    std::unique_ptr<Mouse> mouse;

    void SetUp() override
    {
        editor.addToDesktop(0);
        editor.setVisible(true);
        auto* peer = editor.getPeer();
        ASSERT_NE(peer, nullptr);
        // Typed keys go to the window that has the keyboard focus.
        ASSERT_TRUE(pumpUntil(
            [peer]
            {
                peer->grabFocus();
                return peer->isFocused();
            }));
        mouse = std::make_unique<Mouse>(*peer);
        probe.openPorts(device.input, device.output);
        device.take();
    }

    void TearDown() override { editor.removeFromDesktop(); }

    void show(juce::Button& button)
    {
        button.setToggleState(true, juce::sendNotificationSync);
        pumpFor(20ms);
    }

    juce::Point<int> centreOf(const juce::Component& c) const
    {
        return editor.getLocalPoint(&c, c.getLocalBounds().getCentre());
    }
};

struct DoubleClickCase
{
    const char* what;
    std::function<juce::Button&(EditorTestProbe&)> page;
    std::function<juce::Button*(EditorTestProbe&)> view; // null: the page has no views
    std::function<juce::Slider&(EditorTestProbe&)> slider;
    double changed; // shown value set before the double-click
    double back;    // the shown value the double-click returns to, as the slider holds it
    // The values the return stores, number by number, in the order they go out.
    std::vector<std::pair<int, float>> sent;
};

Bytes messageFor(int n, float value)
{
    return n < firstSettingParameter
               ? sysex::parameterValueMessage(n, value)
               : sysex::parameterByteMessage(n, static_cast<uint8_t>(settingByteFor(n, value)));
}
} // namespace

TEST_F(SliderClicks, ADoubleClickReturnsToTheDefaultAndSendsIt)
{
    const auto& D = defaultValues(0);
    auto page = [](int k)
    {
        return [k](EditorTestProbe& p) -> juce::Button& { return p.pageButton(k); };
    };
    auto slider = [](int n)
    {
        return [n](EditorTestProbe& p) -> juce::Slider& { return *p.slider(n); };
    };
    const DoubleClickCase cases[] = {
        {"a level: Click Level Percussion",
         page(0),
         [](EditorTestProbe& p) { return &p.mainViewButton(); },
         slider(2),
         -6.0,
         -0.9,
         {{2, decibelsToLevel(-0.9f)}}},
        {"a drawbar on the DRAWBAR view",
         page(0),
         [](EditorTestProbe& p) { return &p.drawbarViewButton(); },
         slider(80),
         2.5,
         0.0,
         {{80, 0.0f}}},
        {"a scaled group: Horn Rise Time",
         page(3),
         [](EditorTestProbe& p) { return &p.rotaryCommonButton(); },
         slider(45),
         60.0,
         100.0,
         {{47, D[47]}, {45, D[45]}, {44, D[44]}}},
        {"a ROCK bank slider: Horn Level",
         page(3),
         [](EditorTestProbe& p) { return &p.rotaryRockButton(); },
         slider(67),
         4.0,
         -3.0,
         {{67, -3.0f}}},
        {"V/C AM and its follower",
         page(1),
         nullptr,
         slider(35),
         80.0,
         15.0,
         {{35, 0.15f}, {36, D[36]}}},
        // Chorus Level stays at its start-up 0 dB while Chorus Mix returns.
        {"Chorus Mix",
         page(1),
         nullptr,
         slider(31),
         130.0,
         100.0,
         {{31, D[31]}, {34, D[34]}, {39, D[39]}}},
        {"Vibrato Level, with V/C Depth after it",
         page(1),
         nullptr,
         slider(30),
         3.0,
         0.0,
         {{30, D[30]}, {39, D[39]}}},
        {"Hall Time on the Reverb page",
         page(4),
         nullptr,
         slider(23),
         3.5,
         2.2,
         {{23, static_cast<float>(2.2)}}},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.what);
        show(c.page(probe));
        if (c.view != nullptr)
            show(*c.view(probe));
        auto& s = c.slider(probe);
        ASSERT_TRUE(s.isShowing());
        s.setValue(c.changed, juce::sendNotificationSync);
        device.take();

        mouse->pause();
        mouse->doubleClick(centreOf(s));

        EXPECT_NEAR(s.getValue(), c.back, 1e-9);
        std::vector<Bytes> expected;
        for (const auto& [n, value] : c.sent)
        {
            EXPECT_NEAR(probe.link().parameterValue(n), value, 1e-4f) << n;
            expected.push_back(messageFor(n, probe.link().parameterValue(n)));
        }
        EXPECT_EQ(device.take(), expected);
        // The double-click leaves no value box open, nor one about to open.
        EXPECT_FALSE(valueBoxOf(s)->isBeingEdited());
        EXPECT_FALSE(dynamic_cast<ParameterSlider&>(s).isValueBoxPending());
    }
}

TEST_F(SliderClicks, ChorusLevelReturnsToZeroDecibelsWithTheMixAsItIs)
{
    show(probe.pageButton(1));
    probe.slider(31)->setValue(150.0, juce::sendNotificationSync);
    probe.chorusLevelSlider()->setValue(-4.0, juce::sendNotificationSync);
    device.take();

    mouse->pause();
    mouse->doubleClick(centreOf(*probe.chorusLevelSlider()));

    // Mix 150 % and level 0 dB: -12.5 + 0.12 * 50 and -5.5 - 0.06 * 50.
    EXPECT_DOUBLE_EQ(probe.chorusLevelSlider()->getValue(), 0.0);
    EXPECT_NEAR(probe.link().parameterValue(31), -6.5f, 1e-5f);
    EXPECT_NEAR(probe.link().parameterValue(34), -8.5f, 1e-5f);
    const auto v = probe.link().parameterValues();
    EXPECT_EQ(device.take(), (std::vector<Bytes>{sysex::parameterValueMessage(31, v[31]),
                                                 sysex::parameterValueMessage(34, v[34]),
                                                 sysex::parameterValueMessage(39, v[39])}));
}

TEST_F(SliderClicks, ASingleClickOpensTheValueBoxOnceTheDoubleClickTimeHasPassed)
{
    show(probe.pageButton(4));
    auto& hallTime = *probe.slider(23);
    auto* box = valueBoxOf(hallTime);
    ASSERT_NE(box, nullptr);

    mouse->pause();
    mouse->click(centreOf(hallTime));
    // Not yet: a second click may still come.
    EXPECT_FALSE(box->isBeingEdited());
    EXPECT_TRUE(dynamic_cast<ParameterSlider&>(hallTime).isValueBoxPending());
    EXPECT_TRUE(device.take().empty()); // a click alone moves nothing

    ASSERT_TRUE(pumpUntil([&] { return box->isBeingEdited(); }, 5000ms));

    // The whole text is selected: typing replaces it, Return takes it.
    auto* peer = editor.getPeer();
    for (auto key : {'3', '.', '1'})
        peer->handleKeyPress(juce::KeyPress(key, {}, key));
    peer->handleKeyPress(juce::KeyPress(juce::KeyPress::returnKey));
    ASSERT_TRUE(pumpUntil([&] { return !box->isBeingEdited(); })); // Return is posted
    EXPECT_NEAR(hallTime.getValue(), 3.1, 1e-9);
    EXPECT_EQ(device.take(), (std::vector<Bytes>{sysex::parameterValueMessage(
                                 23, static_cast<float>(hallTime.getValue()))}));
}

TEST_F(SliderClicks, TypingRightAfterAClickOpensTheValueBoxAtOnce)
{
    show(probe.pageButton(0));
    show(probe.mainViewButton());
    auto& pedals = *probe.slider(4);
    auto* box = valueBoxOf(pedals);

    mouse->pause();
    mouse->click(centreOf(pedals));
    auto* peer = editor.getPeer();
    for (auto key : {'-', '3'})
        peer->handleKeyPress(juce::KeyPress(key, {}, key));
    EXPECT_TRUE(box->isBeingEdited());
    EXPECT_EQ(box->getCurrentTextEditor()->getText(), "-3");
    peer->handleKeyPress(juce::KeyPress(juce::KeyPress::returnKey));
    ASSERT_TRUE(pumpUntil([&] { return !box->isBeingEdited(); }));
    EXPECT_DOUBLE_EQ(pedals.getValue(), -3.0);
    EXPECT_EQ(device.take(), (std::vector<Bytes>{sysex::parameterValueMessage(4, -3.0f)}));

    // ... and the double-click after it still returns to the default, 6 dB.
    mouse->pause();
    mouse->doubleClick(centreOf(pedals));
    EXPECT_DOUBLE_EQ(pedals.getValue(), 6.0);
    EXPECT_EQ(device.take(), (std::vector<Bytes>{sysex::parameterValueMessage(4, 6.0f)}));
}

TEST_F(SliderClicks, NeitherAnAltClickNorADragOpensTheValueBox)
{
    show(probe.pageButton(4));
    auto& hallSize = *probe.slider(25);
    auto* box = valueBoxOf(hallSize);
    hallSize.setValue(40.0, juce::sendNotificationSync);
    device.take();

    // Alt+click: JUCE's own shortcut to the return value, still there.
    mouse->pause();
    mouse->click(centreOf(hallSize), juce::ModifierKeys::altModifier);
    EXPECT_DOUBLE_EQ(hallSize.getValue(), 90.0);
    EXPECT_EQ(device.take(), (std::vector<Bytes>{sysex::parameterValueMessage(25, 90.0f)}));

    const auto bounds = editor.getLocalArea(&hallSize, hallSize.getLocalBounds());
    mouse->drag({bounds.getX() + 20, bounds.getCentreY()},
                {bounds.getX() + 200, bounds.getCentreY()});
    EXPECT_LT(hallSize.getValue(), 90.0);
    EXPECT_FALSE(device.take().empty());

    pumpFor(700ms); // longer than the double-click time
    EXPECT_FALSE(box->isBeingEdited());
}

TEST_F(SliderClicks, TypedValuesAreReadAsMeantAndARefusedTextSendsNothing)
{
    show(probe.pageButton(0));
    show(probe.mainViewButton());
    auto* peer = editor.getPeer();
    // A click, the text typed (its first key opens the value box), Return.
    auto type = [&](juce::Slider& slider, const char* text)
    {
        mouse->pause();
        mouse->click(centreOf(slider));
        for (const char* c = text; *c != '\0'; ++c)
            peer->handleKeyPress(juce::KeyPress(*c, {}, static_cast<juce::juce_wchar>(*c)));
        EXPECT_TRUE(valueBoxOf(slider)->isBeingEdited());
        peer->handleKeyPress(juce::KeyPress(juce::KeyPress::returnKey));
        ASSERT_TRUE(pumpUntil([&] { return !valueBoxOf(slider)->isBeingEdited(); }));
    };
    auto& q = *probe.slider(7);
    auto& frequency = *probe.slider(6);

    type(q, "0,7");
    EXPECT_NEAR(q.getValue(), 0.7, 1e-6);
    EXPECT_EQ(
        device.take(),
        (std::vector<Bytes>{sysex::parameterValueMessage(7, static_cast<float>(q.getValue()))}));
    type(frequency, "3,5k");
    EXPECT_DOUBLE_EQ(frequency.getValue(), 3500.0);
    EXPECT_EQ(device.take(), (std::vector<Bytes>{sysex::parameterValueMessage(6, 3500.0f)}));

    // Refused: the box closes showing the value as it was, and nothing goes out.
    for (const char* refused : {"1,2,3", "abc", "3,5k"})
    {
        SCOPED_TRACE(refused);
        type(q, refused);
        EXPECT_NEAR(q.getValue(), 0.7, 1e-6);
        EXPECT_EQ(valueBoxOf(q)->getText(), "0.7");
        EXPECT_NEAR(probe.link().parameterValue(7), 0.7f, 1e-6f);
        pumpFor(50ms);
        EXPECT_TRUE(device.take().empty());
    }
}
