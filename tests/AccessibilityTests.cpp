// The window as a screen reader and a keyboard user meet it, in process:
// every control's title, role and value through its accessibility handler,
// the keys that change values, Tab's order through each page, the focus ring,
// the message boxes' keys, and what is spoken, on the simulated instrument.

#include "ConnectTestSupport.h"
#include "TonewheelGuiSupport.h"
#include "support/LookAndFeelEnvironment.h"

#include "model/PageLayout.h"

KESTRA_JUCE_TEST_ENVIRONMENT;
KESTRA_EDITOR_LOOK_AND_FEEL_ENVIRONMENT;

using namespace kestra;
using namespace kestra::connecttest;
using kestra::testing::pumpFor;
using kestra::testing::pumpUntil;

namespace
{
struct RecordingAnnouncer final : Announcer
{
    std::vector<juce::String> said;
    void announce(const juce::String& text) override { said.push_back(text); }
    bool heard(const juce::String& text) const
    {
        return std::find(said.begin(), said.end(), text) != said.end();
    }
};

const char* roleName(juce::AccessibilityRole role)
{
    switch (role)
    {
    case juce::AccessibilityRole::slider:
        return "slider";
    case juce::AccessibilityRole::comboBox:
        return "combo box";
    case juce::AccessibilityRole::button:
        return "button";
    case juce::AccessibilityRole::toggleButton:
        return "toggle";
    case juce::AccessibilityRole::radioButton:
        return "radio button";
    case juce::AccessibilityRole::label:
        return "label";
    case juce::AccessibilityRole::image:
        return "image";
    default:
        return "other";
    }
}

juce::AccessibilityHandler& handlerOf(juce::Component& component)
{
    auto* handler = component.getAccessibilityHandler();
    if (handler == nullptr)
    {
        ADD_FAILURE() << "no accessibility handler: " << component.getComponentID();
        std::abort();
    }
    return *handler;
}

juce::String valueTextOf(juce::Component& component)
{
    auto* value = handlerOf(component).getValueInterface();
    return value != nullptr ? value->getCurrentValueAsString() : juce::String("(none)");
}

// A parameter message as (number, value): what the instrument takes from it.
using Sent = std::vector<std::pair<int, float>>;

// The window on the screen, connected to the simulated instrument, its
// spoken texts recorded.
struct Accessible : ::testing::Test
{
    RecordingAnnouncer spoken;
    SimulatedRig rig{std::string()};
    BoxWatcher boxes;
    size_t mark = 0;
    std::vector<Bytes> lastBytes; // what sent() read, as it came

    void SetUp() override
    {
        rig.editor.setAnnouncer(spoken);
        rig.editor.addToDesktop(0);
        rig.editor.setVisible(true);
        ASSERT_TRUE(rig.connect());
        sent();
    }
    void TearDown() override { rig.editor.removeFromDesktop(); }

    // What reached the instrument since the last call, as parameter messages.
    Sent sent()
    {
        Sent parameters;
        lastBytes = rig.receivedMessages(mark);
        for (const auto& m : lastBytes)
        {
            const auto d = sysex::decode(m);
            if (d.kind == sysex::Decoded::Kind::parameterValue ||
                d.kind == sysex::Decoded::Kind::parameterByte)
                parameters.emplace_back(d.number, d.value);
        }
        mark = rig.instrument().log().size();
        return parameters;
    }

    // A key as the window gets it: to the focused control first.
    void press(const juce::KeyPress& key)
    {
        auto* peer = rig.editor.getPeer();
        ASSERT_NE(peer, nullptr);
        peer->handleKeyPress(key);
    }

    static juce::Component* focused() { return juce::Component::getCurrentlyFocusedComponent(); }

    juce::Component& control(const juce::String& id) { return rig.probe.get<juce::Component>(id); }

    // The page of a control on screen, in the view the control belongs to.
    void show(int page, juce::Button* view = nullptr)
    {
        if (!rig.probe.pageButton(page).getToggleState())
            click(rig.probe.pageButton(page));
        if (view != nullptr && !view->getToggleState())
            click(*view);
    }
};

// Every page with each of its views: how to show it.
std::vector<std::pair<int, juce::Button*>> everyPageAndView(EditorTestProbe& p)
{
    return {{0, &p.mainViewButton()},
            {0, &p.drawbarViewButton()},
            {1, nullptr},
            {2, &p.overdriveClassicButton()},
            {2, &p.overdriveRockButton()},
            {3, &p.rotaryCommonButton()},
            {3, &p.rotaryClassicButton()},
            {3, &p.rotaryRockButton()},
            {4, nullptr},
            {5, nullptr}};
}

// The label each control's row shows, by the control's component ID.
std::map<juce::String, juce::String> rowLabels()
{
    std::map<juce::String, juce::String> labels;
    for (int page = 0; page < numPages; ++page)
        for (const auto& row : pageRows(page))
            for (const auto* info : row.controls)
                labels[info == &chorusLevelControl ? juce::String("chorus-level")
                                                   : juce::String(info->number)] = row.label;
    return labels;
}
} // namespace

// ---- names, roles and values ----------------------------------------------------------------

TEST_F(Accessible, EveryControlOfEveryPageAndViewHasItsTitleRoleAndValueAndTakesAValue)
{
    const auto labels = rowLabels();
    std::set<juce::Component*> seen;
    for (const auto& [page, view] : everyPageAndView(rig.probe))
    {
        show(page, view);
        for (auto* child : rig.editor.getChildren())
        {
            auto* slider = dynamic_cast<juce::Slider*>(child);
            auto* selector = dynamic_cast<CustomComboBox*>(child);
            if (!child->isVisible() || (slider == nullptr && selector == nullptr))
                continue;
            const auto id = child->getComponentID();
            SCOPED_TRACE(id.toStdString());
            seen.insert(child);
            auto& handler = handlerOf(*child);
            ASSERT_EQ(labels.count(id), 1u);
            // Lower Layer Mode's label follows the model; the model here keeps it.
            EXPECT_EQ(handler.getTitle(), labels.at(id));
            EXPECT_STREQ(roleName(handler.getRole()), slider != nullptr ? "slider" : "combo box");
            EXPECT_FALSE(handler.getCurrentState().isIgnored());

            // The value as the window shows it, unit and all.
            const auto before = valueTextOf(*child);
            if (slider != nullptr)
            {
                EXPECT_EQ(before, slider->getTextFromValue(slider->getValue()));
                EXPECT_TRUE(before.endsWith(slider->getTextValueSuffix()));
            }
            else
            {
                EXPECT_EQ(before, selector->getText());
            }

            // Set through the value interface: stored, sent as the mouse sends, one step.
            auto* value = handler.getValueInterface();
            ASSERT_NE(value, nullptr);
            ASSERT_FALSE(value->isReadOnly());
            if (slider != nullptr)
                value->setValue(slider->getValue() > slider->getMinimum() ? slider->getMinimum()
                                                                          : slider->getMaximum());
            else
                value->setValueAsString(
                    selector->getItemText(selector->getSelectedItemIndex() == 0 ? 1 : 0));
            const auto after = valueTextOf(*child);
            EXPECT_NE(after, before);
            const auto messages = sent();
            ASSERT_FALSE(messages.empty());
            const int number = id == "chorus-level" ? chorusLevelControl.number : id.getIntValue();
            bool sentItsOwn = false;
            for (const auto& [n, v] : messages)
            {
                sentItsOwn = sentItsOwn || n == number;
                EXPECT_EQ(v, rig.probe.link().parameterValue(n)) << n; // as stored
            }
            EXPECT_TRUE(sentItsOwn);
            ASSERT_TRUE(rig.editor.core().undo());
            EXPECT_EQ(valueTextOf(*child), before);
            sent();
        }
    }
    // Every control, the chorus pair's second slider included.
    std::set<juce::Component*> all;
    for (const auto* info : placedControls())
        all.insert(info == &chorusLevelControl
                       ? static_cast<juce::Component*>(rig.probe.chorusLevelSlider())
                   : info->control == ControlKind::slider
                       ? static_cast<juce::Component*>(rig.probe.slider(info->number))
                       : static_cast<juce::Component*>(rig.probe.selector(info->number)));
    EXPECT_EQ(seen, all);
}

TEST_F(Accessible, PictureButtonsHeadingsAndTheConnectedDisplayAreNamed)
{
    auto& p = rig.probe;
    const struct
    {
        juce::Component* component;
        const char* title;
        const char* role;
    } cases[] = {
        {&p.openButton(), "OPEN", "button"},
        {&p.saveButton(), "SAVE", "button"},
        {&p.connectButton(), "CONNECT", "button"},
        {&p.storeButton(), "STORE", "button"},
        {&p.resetButton(), "RESET", "button"},
        {&p.tonewheelButton(), "TONEWHEEL", "button"},
        {&p.pageButton(0), "Tone Generator page", "radio button"},
        {&p.pageButton(1), "Vibrato and Chorus page", "radio button"},
        {&p.pageButton(2), "Overdrive page", "radio button"},
        {&p.pageButton(3), "Rotary page", "radio button"},
        {&p.pageButton(4), "Reverb page", "radio button"},
        {&p.pageButton(5), "Additional Functions page", "radio button"},
        {&p.mainViewButton(), "MAIN view", "radio button"},
        {&p.drawbarViewButton(), "DRAWBAR view", "radio button"},
        {&p.overdriveRockButton(), "ROCK view", "radio button"},
        {&p.rotaryCommonButton(), "COMMON view", "radio button"},
        {&p.rotaryClassicButton(), "CLASSIC view", "radio button"},
        {&p.loadTonewheelButton(), "LOAD...", "button"},
        {&p.connectionIndicator(), "Connected", "image"},
        {&p.deviceLabel(), "Kestra", "label"},
        {&p.firmwareLabel(), "rel 1.5", "label"},
    };
    for (const auto& c : cases)
    {
        auto& handler = handlerOf(*c.component);
        EXPECT_EQ(handler.getTitle().trim(), c.title); // the display's text ends in a blank
        EXPECT_STREQ(roleName(handler.getRole()), c.role) << c.title;
    }
    EXPECT_EQ(handlerOf(p.connectButton()).getCurrentState().isChecked(), true);

    // The headings of the Reverb page, in reading order.
    show(4);
    std::vector<juce::String> headings;
    for (auto* child : rig.editor.getChildren())
        if (auto* label = dynamic_cast<juce::Label*>(child);
            label != nullptr && label->isVisible() && label->getDescription().endsWith("heading"))
            headings.push_back(label->getDescription() + ": " + handlerOf(*label).getTitle());
    ASSERT_FALSE(headings.empty());
    EXPECT_EQ(headings.front(), "Page heading: Reverb");
    for (size_t k = 1; k < headings.size(); ++k)
        EXPECT_TRUE(headings[k].startsWith("Section heading: ")) << headings[k];

    // A parameter's label is read as its control's title, not twice.
    for (auto* child : rig.editor.getChildren())
    {
        if (auto* label = dynamic_cast<juce::Label*>(child);
            label != nullptr && label->isVisible() && label->getText() == "Hall Time")
        {
            EXPECT_EQ(label->getAccessibilityHandler(), nullptr);
        }
    }
}

// ---- keys ----------------------------------------------------------------------------------

TEST_F(Accessible, KeysOnTheFocusedControlSendLikeTheMouseAndAreOneStepEach)
{
    using K = juce::KeyPress;
    const struct
    {
        int page;
        const char* id;
        const char* start; // set through the value interface first
        int key;
        const char* shown; // after the key
        Sent sent;
    } cases[] = {
        {0, "4", "6.0 dB", K::rightKey, "6.1 dB", {{4, 6.1f}}},
        {0, "4", "6.0 dB", K::upKey, "6.1 dB", {{4, 6.1f}}},
        {0, "4", "6.0 dB", K::leftKey, "5.9 dB", {{4, 5.9f}}},
        {0, "4", "6.0 dB", K::downKey, "5.9 dB", {{4, 5.9f}}},
        {0, "4", "6.0 dB", K::pageUpKey, "7.0 dB", {{4, 7.0f}}},
        {0, "4", "6.0 dB", K::pageDownKey, "5.0 dB", {{4, 5.0f}}},
        {0, "4", "6.0 dB", K::homeKey, "-12.0 dB", {{4, -12.0f}}},
        {0, "4", "6.0 dB", K::endKey, "12.0 dB", {{4, 12.0f}}},
        {0, "4", "11.5 dB", K::pageUpKey, "12.0 dB", {{4, 12.0f}}}, // stops at the end
        {0, "5", "100 %", K::endKey, "100 %", {}},                  // there already: nothing sent
        {0, "5", "100 %", K::pageDownKey, "90 %", {{5, 90.0f}}},
        {4, "23", "3.0 sec", K::deleteKey, "2.2 sec", {{23, 2.2f}}}, // the default
        {4, "23", "0.5 sec", K::leftKey, "0.5 sec", {}},
        {0, "6", "2500 Hz", K::pageUpKey, "2510 Hz", {{6, 2510.0f}}},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(std::string(c.id) + " from " + c.start + ", key " + std::to_string(c.key));
        show(c.page);
        auto& slider = rig.probe.get<juce::Slider>(c.id);
        handlerOf(slider).getValueInterface()->setValueAsString(c.start);
        ASSERT_EQ(valueTextOf(slider), c.start);
        sent();
        slider.grabKeyboardFocus();
        ASSERT_EQ(focused(), &slider);

        press(K(c.key));
        EXPECT_EQ(valueTextOf(slider), c.shown);
        EXPECT_EQ(sent(), c.sent);
        std::vector<Bytes> expectedBytes;
        for (const auto& [n, v] : c.sent)
            expectedBytes.push_back(sysex::parameterValueMessage(n, v));
        EXPECT_EQ(lastBytes, expectedBytes); // the very bytes on the port
        if (c.sent.empty())
            continue;
        // One undo step takes it back, and sends the value back.
        press(K('z', juce::ModifierKeys::commandModifier, 0));
        EXPECT_EQ(valueTextOf(slider), c.start);
        ASSERT_EQ(sent().size(), c.sent.size());
    }
}

TEST_F(Accessible, UpAndDownChooseOnASelector)
{
    using K = juce::KeyPress;
    show(2, &rig.probe.overdriveClassicButton());
    auto& selector = *rig.probe.selector(9);
    const auto& options = *parameterInfo(9).options;
    selector.setSelectedItemIndex(1, juce::sendNotificationSync);
    sent();
    selector.grabKeyboardFocus();
    ASSERT_EQ(focused(), &selector);

    const struct
    {
        int key;
        int index; // after it
    } cases[] = {{K::downKey, 2}, {K::downKey, 3}, {K::upKey, 2},
                 {K::upKey, 1},   {K::upKey, 0},   {K::upKey, 0}}; // the first option stays
    int previous = 1;
    for (const auto& c : cases)
    {
        press(K(c.key));
        EXPECT_EQ(valueTextOf(selector), juce::String(options[c.index]));
        const auto messages = sent();
        if (c.index == previous)
            EXPECT_TRUE(messages.empty());
        else
            EXPECT_TRUE(std::any_of(messages.begin(), messages.end(),
                                    [](const auto& m) { return m.first == 9; }));
        previous = c.index;
    }
}

TEST_F(Accessible, CtrlAndADigitChoosesAPageAndSpaceOrReturnPressesTheFocusedButton)
{
    for (int page : {4, 1, 5, 0, 2, 3})
    {
        press(juce::KeyPress('1' + page, juce::ModifierKeys::commandModifier, 0));
        EXPECT_EQ(rig.probe.currentPage(), page);
    }
    // As after a click on the page button, the page's last control has the focus.
    ASSERT_NE(focused(), nullptr);
    EXPECT_EQ(handlerOf(*focused()).getTitle(), "Drum Fall Time");

    rig.probe.pageButton(4).grabKeyboardFocus();
    press(juce::KeyPress(juce::KeyPress::spaceKey));
    ASSERT_TRUE(pumpUntil([&] { return rig.probe.currentPage() == 4; }));
    rig.probe.pageButton(0).grabKeyboardFocus();
    press(juce::KeyPress(juce::KeyPress::returnKey));
    ASSERT_TRUE(pumpUntil([&] { return rig.probe.currentPage() == 0; }));

    // STORE from the keyboard, answered by its notice.
    rig.probe.storeButton().grabKeyboardFocus();
    press(juce::KeyPress(juce::KeyPress::returnKey));
    ASSERT_TRUE(pumpUntil([&] { return boxes.saw(texts::storeConfirmed); }));
}

// ---- Tab's order ---------------------------------------------------------------------------

TEST_F(Accessible, TabGoesThroughToolbarPagesViewsAndControlsInRowOrder)
{
    const std::vector<juce::String> head = {"OPEN",
                                            "SAVE",
                                            "CONNECT",
                                            "STORE",
                                            "RESET",
                                            "TONEWHEEL",
                                            "Tone Generator page",
                                            "Vibrato and Chorus page",
                                            "Overdrive page",
                                            "Rotary page",
                                            "Reverb page",
                                            "Additional Functions page"};
    const struct
    {
        int page;
        std::function<juce::Button*(EditorTestProbe&)> view;
        std::vector<juce::String> rest; // after the page buttons
    } cases[] = {
        {0,
         [](EditorTestProbe& p) { return &p.mainViewButton(); },
         {"MAIN view", "DRAWBAR view", "Pedals Level", "Click Level Manuals",
          "Click Level Percussion", "Click Level Bass", "Click Eq Frequency", "Click Eq Gain",
          "Click Eq Q", "Tone Control Position"}},
        {0,
         [](EditorTestProbe& p) { return &p.drawbarViewButton(); },
         {"MAIN view", "DRAWBAR view", "Drawbar Level 16'", "Drawbar Level 5 1/3'",
          "Drawbar Level 8'", "Drawbar Level 4'", "Drawbar Level 2 2/3'", "Drawbar Level 2'",
          "Drawbar Level 1 3/5'", "Drawbar Level 1 1/3'", "Drawbar Level 1'"}},
        {1,
         nullptr,
         {"V/C Frequency", "V/C Depth", "V/C AM", "V/C Eq Freq", "V/C Eq Gain", "Chorus Eq Freq",
          "Chorus Eq Gain", "Chorus Mix", "Vibrato Level", "Chorus Level"}},
        {2,
         [](EditorTestProbe& p) { return &p.overdriveClassicButton(); },
         {"CLASSIC view", "ROCK view", "Overdrive Model"}},
        {2,
         [](EditorTestProbe& p) { return &p.overdriveRockButton(); },
         {"CLASSIC view", "ROCK view", "Overdrive Model"}},
        {3,
         [](EditorTestProbe& p) { return &p.rotaryCommonButton(); },
         {"COMMON view", "CLASSIC view", "ROCK view", "Horn Slow Speed", "Horn Fast Speed",
          "Horn Rise Time", "Horn Fall Time", "Drum Slow Speed", "Drum Fast Speed",
          "Drum Rise Time", "Drum Fall Time"}},
        {3,
         [](EditorTestProbe& p) { return &p.rotaryClassicButton(); },
         {"COMMON view", "CLASSIC view", "ROCK view", "Horn Level", "Horn Leakage",
          "Horn Color Gain", "Horn Color Freq", "Drum Color Gain", "Drum Color Freq",
          "Horn Mic Angle", "Drum Mic Angle"}},
        {3,
         [](EditorTestProbe& p) { return &p.rotaryRockButton(); },
         {"COMMON view", "CLASSIC view", "ROCK view", "Horn Level", "Horn Leakage",
          "Horn Color Gain", "Horn Color Freq", "Drum Color Gain", "Drum Color Freq",
          "Horn Mic Angle", "Drum Mic Angle"}},
        {4,
         nullptr,
         {"Hall Time", "Hall Size", "Hall Damp", "Spring Time", "Spring Size", "Spring Damp"}},
        // LOAD... is disabled while a built-in tonewheel is chosen: no stop.
        {5,
         nullptr,
         {"Tonewheel Model", "Gospel Set", "USB MIDI Mode", "Upper Layer Mode", "Lower Layer Mode",
          "Pedals to Lower Mode", "Analog Input Routing", "Fx Send Routing", "Reverb Routing",
          "Exp. Pedal Min", "Exp. Pedal to Midi Out", "Hold Pedal Mode", "Rotary Pedal Mode",
          "Memphis Style"}},
    };
    for (const auto& c : cases)
    {
        show(c.page, c.view ? c.view(rig.probe) : nullptr);
        rig.probe.openButton().grabKeyboardFocus();
        ASSERT_EQ(focused(), &rig.probe.openButton());
        std::vector<juce::String> order;
        for (int k = 0; k < 200; ++k)
        {
            order.push_back(handlerOf(*focused()).getTitle());
            press(juce::KeyPress(juce::KeyPress::tabKey));
            if (focused() == &rig.probe.openButton())
                break;
        }
        auto expected = head;
        expected.insert(expected.end(), c.rest.begin(), c.rest.end());
        EXPECT_EQ(order, expected) << "page " << c.page;

        // Shift+Tab goes the same way back.
        std::vector<juce::String> back;
        for (size_t k = 0; k < order.size(); ++k)
        {
            press(juce::KeyPress(juce::KeyPress::tabKey, juce::ModifierKeys::shiftModifier, 0));
            back.insert(back.begin(), handlerOf(*focused()).getTitle());
        }
        EXPECT_EQ(back, order) << "page " << c.page;
    }
}

TEST(KeyboardStart, TabFromNowhereFocusesTheFirstStopAndShiftTabTheLast)
{
    SimulatedRig rig;
    rig.editor.addToDesktop(0);
    rig.editor.setVisible(true);
    for (const bool shift : {false, true})
    {
        rig.editor.unfocusAllComponents();
        ASSERT_EQ(juce::Component::getCurrentlyFocusedComponent(), nullptr);
        rig.editor.getPeer()->handleKeyPress(juce::KeyPress(
            juce::KeyPress::tabKey,
            shift ? juce::ModifierKeys::shiftModifier : juce::ModifierKeys::noModifiers, 0));
        auto* focused = juce::Component::getCurrentlyFocusedComponent();
        ASSERT_NE(focused, nullptr);
        // Not connected: page 0 MAIN, whose last stop is Tone Control Position.
        EXPECT_EQ(handlerOf(*focused).getTitle(), shift ? "Tone Control Position" : "OPEN");
    }
    rig.editor.removeFromDesktop();
}

TEST_F(Accessible, LoadTakesItsTabStopBesideTheTonewheelModelOnceItCanLoad)
{
    show(5);
    auto& model = *rig.probe.selector(tonewheelModelParameter);
    handlerOf(model).getValueInterface()->setValueAsString(model.getItemText(3)); // a free slot
    ASSERT_TRUE(rig.probe.loadTonewheelButton().isEnabled());
    model.grabKeyboardFocus();
    press(juce::KeyPress(juce::KeyPress::tabKey));
    EXPECT_EQ(handlerOf(*focused()).getTitle(), "LOAD...");
    press(juce::KeyPress(juce::KeyPress::tabKey));
    EXPECT_EQ(handlerOf(*focused()).getTitle(), "Gospel Set");
}

// ---- the focus ring ------------------------------------------------------------------------

TEST_F(Accessible, TheFocusRingShowsAfterKeyboardMovesAndGoesAtTheNextClick)
{
    const auto& ring = rig.editor.keyboardFocusRing();
    pumpFor(std::chrono::milliseconds(20));
    EXPECT_EQ(ring.surrounded(), nullptr); // the mouse user's window
    auto* start = focused();
    ASSERT_NE(start, nullptr);

    press(juce::KeyPress(juce::KeyPress::tabKey));
    pumpFor(std::chrono::milliseconds(20));
    ASSERT_NE(ring.surrounded(), nullptr);
    EXPECT_EQ(ring.surrounded(), focused());
    EXPECT_TRUE(ring.getBounds().contains(focused()->getBounds()));

    // A click on the background: gone, and the focus stays where it was.
    auto* peer = rig.editor.getPeer();
    const auto now = juce::Time::currentTimeMillis();
    peer->handleMouseEvent(juce::MouseInputSource::InputSourceType::mouse, {100.0f, 600.0f},
                           juce::ModifierKeys(juce::ModifierKeys::leftButtonModifier),
                           juce::MouseInputSource::defaultPressure, 0.0f, now);
    peer->handleMouseEvent(juce::MouseInputSource::InputSourceType::mouse, {100.0f, 600.0f},
                           juce::ModifierKeys(), juce::MouseInputSource::defaultPressure, 0.0f,
                           now + 10);
    pumpFor(std::chrono::milliseconds(20));
    EXPECT_EQ(ring.surrounded(), nullptr);

    // An arrow key on a slider brings it back.
    show(4);
    pumpFor(std::chrono::milliseconds(20));
    EXPECT_EQ(ring.surrounded(), nullptr);
    press(juce::KeyPress(juce::KeyPress::leftKey));
    pumpFor(std::chrono::milliseconds(20));
    EXPECT_EQ(ring.surrounded(), focused());
}

// ---- message boxes -------------------------------------------------------------------------

namespace
{
struct Boxes : ::testing::Test
{
    RecordingAnnouncer spoken;
    std::unique_ptr<JuceDialogs> dialogs = std::make_unique<JuceDialogs>();
    std::vector<int> answers;
    bool cancelled = false;

    Boxes() { dialogs->setAnnouncer(&spoken); }
    void TearDown() override
    {
        dialogs.reset();
        pumpFor(std::chrono::milliseconds(20));
    }

    void press(int keyCode, juce::ModifierKeys modifiers = {})
    {
        auto* box = dialogs->current();
        ASSERT_NE(box, nullptr);
        ASSERT_NE(box->getPeer(), nullptr);
        box->getPeer()->handleKeyPress(juce::KeyPress(keyCode, modifiers, 0));
    }
};
} // namespace

TEST_F(Boxes, EscapeAnswersNoOrCancelAndTabMovesBetweenTheButtons)
{
    const struct
    {
        const char* kind;
        std::function<std::unique_ptr<Dialogs::Progress>(Boxes&)> open;
        std::vector<int> answers; // after Escape
        bool cancelled;
        bool closes;
    } cases[] = {
        {"Yes/No",
         [](Boxes& t)
         {
             t.dialogs->ask(texts::resetQuestion, {texts::yes, texts::no}, 0,
                            [&t](int button) { t.answers.push_back(button); });
             return nullptr;
         },
         {1},
         false,
         true},
        {"Yes/No with No focused",
         [](Boxes& t)
         {
             t.dialogs->ask(texts::resetQuestion, {texts::yes, texts::no}, 1,
                            [&t](int button) { t.answers.push_back(button); });
             return nullptr;
         },
         {1},
         false,
         true},
        {"progress with Cancel",
         [](Boxes& t)
         { return t.dialogs->progress(texts::searching, [&t] { t.cancelled = true; }); },
         {},
         true,
         true},
        {"notice",
         [](Boxes& t)
         {
             t.dialogs->notice(texts::storeConfirmed, [&t] { t.answers.push_back(0); });
             return nullptr;
         },
         {},
         false,
         false},
        {"progress without a button",
         [](Boxes& t) { return t.dialogs->progress(texts::transmittingParameters, nullptr); },
         {},
         false,
         false},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.kind);
        answers.clear();
        cancelled = false;
        auto handle = c.open(*this);
        const juce::Component::SafePointer<CustomAlertWindow> box(dialogs->current());
        ASSERT_NE(box.getComponent(), nullptr);
        press(juce::KeyPress::escapeKey);
        pumpFor(std::chrono::milliseconds(30));
        EXPECT_EQ(answers, c.answers);
        EXPECT_EQ(cancelled, c.cancelled);
        EXPECT_EQ(dialogs->current() == nullptr, c.closes);
        dialogs->close();
        pumpFor(std::chrono::milliseconds(20));
    }

    // Tab and Shift+Tab between Yes and No; Return answers with the focused one.
    answers.clear();
    dialogs->ask(texts::resetQuestion, {texts::yes, texts::no}, 0,
                 [this](int button) { answers.push_back(button); });
    auto focusedText = []
    {
        auto* button = dynamic_cast<juce::Button*>(juce::Component::getCurrentlyFocusedComponent());
        return button != nullptr ? button->getButtonText() : juce::String("(none)");
    };
    EXPECT_EQ(focusedText(), texts::yes);
    pumpFor(std::chrono::milliseconds(20));
    ASSERT_NE(dialogs->currentFocusRing(), nullptr);
    EXPECT_EQ(dialogs->currentFocusRing()->surrounded(), nullptr); // none before a key
    press(juce::KeyPress::tabKey);
    EXPECT_EQ(focusedText(), texts::no);
    pumpFor(std::chrono::milliseconds(20));
    EXPECT_EQ(dialogs->currentFocusRing()->surrounded(),
              juce::Component::getCurrentlyFocusedComponent());
    press(juce::KeyPress::tabKey, juce::ModifierKeys::shiftModifier);
    EXPECT_EQ(focusedText(), texts::yes);
    press(juce::KeyPress::tabKey);
    press(juce::KeyPress::returnKey);
    ASSERT_TRUE(pumpUntil([&] { return !answers.empty(); }));
    EXPECT_EQ(answers, std::vector<int>{1});
}

TEST_F(Boxes, EveryBoxIsSpokenAsItOpensAndABarByQuarters)
{
    dialogs->notice(texts::connectionLost);
    dialogs->ask(texts::resetQuestion, {texts::yes, texts::no}, 1, [](int) {});
    auto bar = dialogs->progress(texts::transmittingTonewheel, [] {});
    for (double done : {0.0, 0.1, 0.25, 0.3, 0.49, 0.74, 0.9, 1.0, 1.0})
        bar->setProgress(done);
    const std::vector<juce::String> expected = {
        "Communication error! Device lost connection. Please, reconnect to the device.",
        "Warning! All data will be reset to the default values. Do you want to continue?",
        "Transmitting tonewheel file to the device...",
        "25 %",
        "50 %",
        "75 %",
        "100 %"};
    EXPECT_EQ(spoken.said, expected);

    // A bar that jumps says only where it got to; a new box counts again.
    spoken.said.clear();
    bar = dialogs->progress(texts::transmittingTonewheel, [] {});
    bar->setProgress(0.6);
    bar->setProgress(0.2);
    EXPECT_EQ(spoken.said,
              (std::vector<juce::String>{"Transmitting tonewheel file to the device...", "50 %"}));
}

// ---- spoken events -------------------------------------------------------------------------

TEST_F(Accessible, ConnectingStoringAndResettingAreSpoken)
{
    // Connecting (in SetUp): the search's box, the instrument, the dump.
    const std::vector<juce::String> connecting = {Announcer::spokenText(texts::searching),
                                                  EventAnnouncements::dumpFinished,
                                                  "Connected to Kestra, firmware rel 1.5"};
    EXPECT_EQ(spoken.said, connecting);

    spoken.said.clear();
    click(rig.probe.storeButton());
    ASSERT_TRUE(pumpUntil([&] { return isReleased(rig.probe.storeButton()); }));
    ASSERT_TRUE(boxes.settle());
    EXPECT_EQ(spoken.said, std::vector<juce::String>{Announcer::spokenText(texts::storeConfirmed)});

    spoken.said.clear();
    boxes.answer(texts::resetQuestion, texts::yes);
    click(rig.probe.resetButton());
    ASSERT_TRUE(pumpUntil([&] { return isReleased(rig.probe.resetButton()); }));
    ASSERT_TRUE(boxes.settle());
    EXPECT_EQ(spoken.said,
              (std::vector<juce::String>{Announcer::spokenText(texts::resetQuestion),
                                         Announcer::spokenText(texts::resetConfirmed)}));

    spoken.said.clear();
    click(rig.probe.connectButton()); // off
    ASSERT_TRUE(pumpUntil([&] { return rig.showsDisconnected(); }));
    EXPECT_EQ(spoken.said, std::vector<juce::String>{EventAnnouncements::disconnected});
}

TEST(SpokenEvents, ALostLinkIsSpoken)
{
    RecordingAnnouncer spoken;
    SimulatedRig rig{"model=1,firmware=2.3,heartbeat-stops-after=1"};
    BoxWatcher boxes;
    rig.editor.setAnnouncer(spoken);
    ASSERT_TRUE(rig.connect());
    EXPECT_TRUE(spoken.heard("Connected to Kestra Brio, firmware rel 2.3"));
    spoken.said.clear();
    // The heartbeat's request goes unanswered; at its next turn the link is lost.
    for (int turn = 0; turn < 3 && rig.probe.supervisor().isConnected(); ++turn)
    {
        rig.editor.core().timerExpired(HeartbeatTimer);
        pumpFor(std::chrono::milliseconds(50));
    }
    ASSERT_TRUE(pumpUntil([&] { return rig.showsDisconnected(); }));
    EXPECT_EQ(spoken.said,
              (std::vector<juce::String>{EventAnnouncements::disconnected,
                                         Announcer::spokenText(texts::connectionLost)}));
}

TEST(SpokenEvents, AnUploadIsSpokenByQuartersAndAtItsEnd)
{
    RecordingAnnouncer spoken;
    SimulatedRig rig{"ack-delay=5"}; // an upload slow enough to show its progress
    tonewheeltest::BoxAnswerer user(rig.probe);
    user.answer(texts::tonewheelWarningPrefix, texts::yes);
    rig.editor.setAnnouncer(spoken);
    ASSERT_TRUE(rig.connect());
    spoken.said.clear();

    juce::TemporaryFile file(".ktw");
    const auto image = tonewheeltest::tonewheelFileImage(Bytes(4000, 0x11), "Spoken");
    ASSERT_TRUE(file.getFile().replaceWithData(image.data(), image.size()));
    rig.editor.core().loadTonewheelFrom(file.getFile(), 4);
    ASSERT_TRUE(pumpUntil([&] { return spoken.heard(EventAnnouncements::uploadFinished); },
                          std::chrono::seconds(20)));
    std::vector<juce::String> quarters;
    for (const auto& text : spoken.said)
        if (text.endsWith(" %"))
            quarters.push_back(text);
    // The last packet's progress may come after the end: 100 % is not always said.
    ASSERT_GE(quarters.size(), 3u);
    EXPECT_LE(quarters.size(), 4u);
    EXPECT_EQ(std::vector<juce::String>(quarters.begin(), quarters.begin() + 3),
              (std::vector<juce::String>{"25 %", "50 %", "75 %"}));
    const auto at = [&](const juce::String& text)
    { return std::find(spoken.said.begin(), spoken.said.end(), text) - spoken.said.begin(); };
    EXPECT_EQ(at(Announcer::spokenText(texts::transmittingTonewheel)), 1); // after the question
    EXPECT_LT(at("75 %"), at(EventAnnouncements::uploadFinished));
}

// ---- the whole editor from the keyboard ----------------------------------------------------

TEST(KeyboardOnly, ConnectEveryPageAnEditOfEachKindUndoAndStore)
{
    using K = juce::KeyPress;
    SimulatedRig rig;
    BoxWatcher boxes;
    rig.editor.addToDesktop(0);
    rig.editor.setVisible(true);
    rig.editor.unfocusAllComponents();
    const auto press = [&](const K& key) { rig.editor.getPeer()->handleKeyPress(key); };
    const auto focusedTitle = [&]
    {
        auto* focused = juce::Component::getCurrentlyFocusedComponent();
        return focused != nullptr ? handlerOf(*focused).getTitle() : juce::String("(none)");
    };

    // Tab to CONNECT and press it.
    for (int k = 0; k < 3; ++k)
        press(K(K::tabKey));
    ASSERT_EQ(focusedTitle(), "CONNECT");
    press(K(K::returnKey));
    ASSERT_TRUE(pumpUntil([&] { return rig.isConnectedAndIdle(); }));

    // Every page; the last control of each takes the focus.
    const char* const lastControls[] = {"Tone Control Position", "Chorus Level", "Overdrive Model",
                                        "Drum Fall Time",        "Spring Damp",  "Memphis Style"};
    for (int page = 0; page < numPages; ++page)
    {
        press(K('1' + page, juce::ModifierKeys::commandModifier, 0));
        EXPECT_EQ(rig.probe.currentPage(), page);
        EXPECT_EQ(focusedTitle(), lastControls[page]);
    }

    // A slider (Spring Damp) and a selector (Memphis Style, page 5), then undo both.
    const auto shown = [&](const char* id)
    { return valueTextOf(rig.probe.get<juce::Component>(id)); };
    const auto memphisBefore = shown("98");
    press(K(K::downKey));
    EXPECT_NE(shown("98"), memphisBefore);
    press(K('5', juce::ModifierKeys::commandModifier, 0));
    const auto dampBefore = shown("27");
    press(K(K::pageUpKey));
    EXPECT_NE(shown("27"), dampBefore);
    press(K('z', juce::ModifierKeys::commandModifier, 0));
    EXPECT_EQ(shown("27"), dampBefore);
    press(K('z', juce::ModifierKeys::commandModifier, 0));
    EXPECT_EQ(shown("98"), memphisBefore);

    // STORE: into the window from nowhere, then along the toolbar.
    rig.editor.unfocusAllComponents();
    for (int k = 0; k < 4; ++k)
        press(K(K::tabKey));
    ASSERT_EQ(focusedTitle(), "STORE");
    press(K(K::spaceKey));
    ASSERT_TRUE(pumpUntil([&] { return boxes.saw(texts::storeConfirmed); }));
    ASSERT_TRUE(pumpUntil([&] { return rig.isConnectedAndIdle(); }));
    rig.editor.removeFromDesktop();
}
