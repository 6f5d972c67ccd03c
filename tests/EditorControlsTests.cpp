// The real content component's controls: what a user's change stores and
// sends on the wire, what a refresh and a reported value do to the controls.

#include "support/EditorTestProbe.h"
#include "support/GuiTestSupport.h"

#include "model/Conversions.h"
#include "model/PageLayout.h"

#include <cmath>

KESTRA_JUCE_TEST_ENVIRONMENT;

using namespace kestra;
using Bytes = std::vector<uint8_t>;

namespace
{
struct EditorControls : ::testing::Test
{
    VirtualMidiServices* midi = new VirtualMidiServices;
    RecordingDevice device{*midi};
    MainContentComponent editor{std::unique_ptr<MidiServices>(midi)};
    EditorTestProbe probe{editor};

    void SetUp() override
    {
        probe.openPorts(device.input, device.output);
        device.take();
    }

    // The parameter numbers of what the editor sent, in order.
    std::vector<int> sentNumbers()
    {
        std::vector<int> numbers;
        for (const auto& message : device.take())
        {
            const auto d = sysex::decode(message.data(), message.size());
            numbers.push_back(d.number);
        }
        return numbers;
    }
};
} // namespace

TEST_F(EditorControls, EveryControlCarriesItsParameterNumberRangeAndSuffix)
{
    for (int n = 0; n < numParameters; ++n)
    {
        const auto& info = parameterInfo(n);
        if (info.control == ControlKind::slider)
        {
            auto* slider = probe.slider(n);
            ASSERT_NE(slider, nullptr) << n;
            EXPECT_EQ(slider->getComponentID(), juce::String(n));
            EXPECT_DOUBLE_EQ(slider->getMinimum(), info.minimum);
            EXPECT_DOUBLE_EQ(slider->getMaximum(), info.maximum);
            EXPECT_EQ(slider->getTextValueSuffix(), juce::String(info.suffix));
            EXPECT_EQ(slider->getNumDecimalPlacesToDisplay(), decimalsForStep(info.step)) << n;
        }
        else if (info.control == ControlKind::selector)
        {
            auto* selector = probe.selector(n);
            ASSERT_NE(selector, nullptr) << n;
            EXPECT_EQ(selector->getComponentID(), juce::String(n));
            ASSERT_EQ(selector->getNumItems(), info.options->count);
            EXPECT_EQ(selector->getItemId(0), 1);
        }
        else
        {
            EXPECT_EQ(probe.slider(n), nullptr);
            EXPECT_EQ(probe.selector(n), nullptr);
        }
    }
    EXPECT_EQ(probe.chorusLevelSlider()->getComponentID(), "chorus-level");
}

// What the core takes a slider to show (when it writes the chorus pair from
// the other slider) is what the window's slider shows: for values on and off
// the steps, beyond the ranges and without a position, for both revisions.
TEST_F(EditorControls, TheCoresShownValueOfEverySliderIsTheSlidersOwn)
{
    juce::Random random(31);
    for (int round = 0; round < 40; ++round)
    {
        SCOPED_TRACE(round);
        auto record = probe.link().record();
        record.hardwareRevision = round % 2;
        const auto& D = defaultValues(record.hardwareRevision);
        for (size_t n = 0; n < record.parameterValues.size(); ++n)
        {
            const float spread = 1.0f + std::abs(D[n]);
            record.parameterValues[n] = D[n] + (random.nextFloat() - 0.5f) * 4.0f * spread;
        }
        if (round == 7)
            record.parameterValues[chorusMixParameter] = std::nanf("");
        if (round == 8)
            record.parameterValues[23] = HUGE_VALF;
        probe.link().setRecord(record);
        editor.refreshControls();

        const auto v = probe.link().parameterValues();
        for (const auto* info : placedControls())
            if (info->control == ControlKind::slider)
            {
                const auto* slider = info == &chorusLevelControl ? probe.chorusLevelSlider()
                                                                 : probe.slider(info->number);
                EXPECT_EQ(static_cast<float>(slider->getValue()), shownSliderValue(*info, v, D))
                    << info->label;
            }
    }
}

TEST_F(EditorControls, StartUpShowsTheRevisionZeroDefaults)
{
    struct Shown
    {
        int n;
        const char* text;
    };
    for (const auto& s : {Shown{4, "6.0 dB"}, Shown{0, "0.0 dB"}, Shown{2, "-0.9 dB"},
                          Shown{3, "-10.5 dB"}, Shown{6, "2500 Hz"}, Shown{8, "0.0 dB"},
                          Shown{5, "100 %"}, Shown{23, "2.2 sec"}, Shown{29, "6.86 Hz"}})
        EXPECT_EQ(probe.slider(s.n)->getTextFromValue(probe.slider(s.n)->getValue()),
                  juce::String(s.text))
            << s.n;
    EXPECT_EQ(probe.selector(9)->getText(), "STANDARD CLASSIC");
    EXPECT_EQ(probe.selector(16)->getText(), "STANDARD ROCK");
    EXPECT_EQ(probe.selector(97)->getText(), "FAC3 -  TONEWHEEL '70");
    EXPECT_EQ(probe.selector(97)->getItemText(3), "ALT1 -  TONEWHEEL BC_1936");
}

TEST_F(EditorControls, SliderMovesSendTheirParametersInOrder)
{
    struct Case
    {
        int n;
        double x;
        std::vector<int> sent;
    };
    const Case cases[] = {
        {0, 3.0, {0, 1}},          {2, -3.0, {2}},           {30, 1.0, {30, 39}},
        {35, 10.0, {35, 36}},      {39, 80.0, {39, 40, 41}}, {45, 50.0, {47, 45, 44}},
        {49, 60.0, {49, 48, 46}},  {53, 70.0, {55, 53, 52}}, {57, 90.0, {57, 56, 54}},
        {31, 120.0, {31, 34, 39}}, {67, -6.0, {67}},         {7, 1.5, {7}},
    };
    for (const auto& c : cases)
    {
        probe.slider(c.n)->setValue(c.x, juce::sendNotificationSync);
        EXPECT_EQ(sentNumbers(), c.sent) << "slider " << c.n;
    }
    probe.chorusLevelSlider()->setValue(1.0, juce::sendNotificationSync);
    EXPECT_EQ(sentNumbers(), (std::vector<int>{31, 34, 39}));
}

TEST_F(EditorControls, ClickLevelManualsSendsBothValuesOnTheWire)
{
    probe.slider(0)->setValue(-6.0, juce::sendNotificationSync);
    probe.slider(0)->setValue(0.0, juce::sendNotificationSync);
    const auto sent = device.take();
    ASSERT_EQ(sent.size(), 4u);
    EXPECT_EQ(sent[2], sysex::parameterValueMessage(0, 100.0f));
    EXPECT_EQ(sent[3], sysex::parameterValueMessage(1, 100.0f));
    EXPECT_EQ(probe.link().parameterValue(1), 100.0f);
}

TEST_F(EditorControls, ChorusSlidersWriteThePair)
{
    probe.slider(31)->setValue(150.0, juce::sendNotificationSync);
    probe.chorusLevelSlider()->setValue(1.0, juce::sendNotificationSync);
    EXPECT_NEAR(probe.link().parameterValue(31), -5.5f, 1e-5f);
    EXPECT_NEAR(probe.link().parameterValue(34), -7.5f, 1e-5f);
}

TEST_F(EditorControls, SelectorsSendTheirValues)
{
    probe.selector(9)->setSelectedItemIndex(4, juce::sendNotificationSync);
    const auto sent = device.take();
    ASSERT_EQ(sent.size(), 7u);
    const float row[] = {-3, 1500, 0.3f, 3, 1, 3, 0.1f};
    for (int i = 0; i < 7; ++i)
        EXPECT_EQ(sent[static_cast<size_t>(i)], sysex::parameterValueMessage(9 + i, row[i]));

    probe.selector(90)->setSelectedItemIndex(0, juce::sendNotificationSync);
    EXPECT_EQ(device.take(), std::vector<Bytes>{sysex::parameterByteMessage(90, 0)});
}

TEST_F(EditorControls, TonewheelModelEnablesLoad)
{
    for (int index : {0, 1, 2, 3, 4, 5})
    {
        probe.selector(97)->setSelectedItemIndex(index, juce::sendNotificationSync);
        EXPECT_EQ(probe.loadTonewheelButton().isEnabled(), index >= 3) << index;
    }
}

TEST_F(EditorControls, RefreshSendsNothing)
{
    probe.link().setParameterValue(4, -3.0f);
    probe.link().setParameterValue(97, 4.0f);
    editor.refreshControls();
    kestra::testing::dispatchMessagesFor(20);
    EXPECT_EQ(device.count(), 0u);
    EXPECT_DOUBLE_EQ(probe.slider(4)->getValue(), -3.0);
    EXPECT_EQ(probe.selector(97)->getSelectedItemIndex(), 4);
}

// What the instrument reports while the link is idle is shown at once, on
// every control that shows it, as a full refresh would show it; nothing is
// sent back.
TEST_F(EditorControls, ReportedValuesAreShownAtOnceWithoutSendingBack)
{
    const auto& D = defaultValues(0);
    const auto& rock = overdriveModelTable[2].values;
    const struct
    {
        const char* what;
        std::vector<std::pair<int, float>> reported;
        std::function<void()> check;
    } cases[] = {
        {"a plain slider, Pedals Level",
         {{4, -2.0f}},
         [&] { EXPECT_DOUBLE_EQ(probe.slider(4)->getValue(), -2.0); }},
        {"Tone Control Position",
         {{5, 40.0f}},
         [&] { EXPECT_DOUBLE_EQ(probe.slider(5)->getValue(), 40.0); }},
        {"a scaled slider, Horn Rise Time",
         {{45, 0.75f}},
         [&] { EXPECT_DOUBLE_EQ(probe.slider(45)->getValue(), 50.0); }},
        {"the chorus pair",
         {{31, D[31] + 1.2f}, {34, D[34] - 0.6f}},
         [&]
         {
             const auto v = probe.link().parameterValues();
             const auto mix = toControlValue(31, v, D);
             EXPECT_NEAR(probe.slider(31)->getValue(), mix, 0.05);
             EXPECT_NEAR(
                 probe.chorusLevelSlider()->getValue(),
                 chorusLevelControlValue(v, D, static_cast<float>(probe.slider(31)->getValue())),
                 0.05);
         }},
        {"an overdrive block",
         {{16, rock[0]},
          {17, rock[1]},
          {18, rock[2]},
          {19, rock[3]},
          {20, rock[4]},
          {21, rock[5]},
          {22, rock[6]}},
         [&] { EXPECT_EQ(probe.selector(16)->getSelectedItemIndex(), 2); }},
        {"a setting, Tonewheel Model",
         {{97, 4.0f}},
         [&]
         {
             EXPECT_EQ(probe.selector(97)->getSelectedItemIndex(), 4);
             EXPECT_TRUE(probe.loadTonewheelButton().isEnabled());
         }},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.what);
        for (const auto& [n, value] : c.reported)
            device.send(isSettingParameter(n)
                            ? sysex::parameterByteMessage(n, static_cast<uint8_t>(value))
                            : sysex::parameterValueMessage(n, value));
        const auto [last, lastValue] = c.reported.back();
        ASSERT_TRUE(kestra::testing::pumpUntil([&, n = last, v = lastValue]
                                               { return probe.link().parameterValue(n) == v; }));
        kestra::testing::pumpFor(std::chrono::milliseconds(30));
        c.check();
    }
    EXPECT_EQ(device.count(), 0u); // nothing is sent back
}

// A slider under the user's hand keeps the gesture; what the instrument
// reported for it meanwhile is shown when the gesture ends, unless the
// gesture has sent a value of its own since.
TEST_F(EditorControls, AReportDuringADragWaitsForTheDragsEnd)
{
    auto& slider = *probe.slider(4);
    auto report = [&](float value)
    {
        device.send(sysex::parameterValueMessage(4, value));
        ASSERT_TRUE(
            kestra::testing::pumpUntil([&] { return probe.link().parameterValue(4) == value; }));
        kestra::testing::pumpFor(std::chrono::milliseconds(30));
    };

    slider.onDragStart();
    report(-2.0f);
    EXPECT_DOUBLE_EQ(slider.getValue(), 6.0) << "the user's gesture keeps the slider";
    slider.onDragEnd();
    EXPECT_DOUBLE_EQ(slider.getValue(), -2.0) << "shown once the gesture ends";

    slider.onDragStart();
    report(1.0f);
    slider.setValue(3.0, juce::sendNotificationSync); // the gesture's own value goes out
    slider.onDragEnd();
    EXPECT_DOUBLE_EQ(slider.getValue(), 3.0);
    EXPECT_EQ(probe.link().parameterValue(4), 3.0f);
    EXPECT_EQ(sentNumbers(), std::vector<int>{4});
}

TEST_F(EditorControls, OutOfRangeAndNonNumbersShowAtTheEdges)
{
    probe.link().setParameterValue(0, 0.0f);  // a level of 0 has no dB value
    probe.link().setParameterValue(4, 99.0f); // above the range
    probe.link().setParameterValue(6, std::nanf(""));
    probe.link().setParameterValue(85, 7.0f); // not an option index
    editor.refreshControls();
    EXPECT_DOUBLE_EQ(probe.slider(0)->getValue(), -12.0);
    EXPECT_DOUBLE_EQ(probe.slider(4)->getValue(), 12.0);
    EXPECT_DOUBLE_EQ(probe.slider(6)->getValue(), 500.0);
    EXPECT_EQ(probe.selector(85)->getSelectedId(), 0);
    EXPECT_EQ(probe.link().parameterValue(4), 99.0f); // the store keeps its value
}

TEST_F(EditorControls, DoubleClickReturnsToTheShownDefault)
{
    EXPECT_DOUBLE_EQ(probe.slider(45)->getDoubleClickReturnValue(), 100.0);
    EXPECT_NEAR(probe.slider(3)->getDoubleClickReturnValue(), -10.457, 0.001);
    EXPECT_DOUBLE_EQ(probe.chorusLevelSlider()->getDoubleClickReturnValue(), 0.0);
}
