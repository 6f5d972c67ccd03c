// The editor without its window, headless: the core against the simulated
// instrument on virtual ports, its questions answered from a table
// (FakeDialogs), its link timers on a clock the test moves and the project
// send paced without waiting. No component and no display.

#include "support/FakeDialogs.h"
#include "support/FakeLinkTimers.h"
#include "support/HeadlessEnvironment.h"
#include "support/MessageLoop.h"
#include "support/SimulatorConfigs.h"

#include "editor/Editor.h"
#include "editor/MessageTexts.h"
#include "files/ProjectFile.h"
#include "link/Sysex.h"
#include "link/VirtualMidiServices.h"
#include "model/Conversions.h"
#include "sim/SimulatedInstrument.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>

using namespace kestra;
using namespace kestra::testing;
using namespace std::chrono_literals;

KESTRA_HEADLESS_TEST_ENVIRONMENT;

namespace
{
// The send of an opened project, paced without waiting, on the time of the
// test's clock (which the test sets as it moves the timers).
struct InstantClock final : projectfile::PacingClock
{
    std::atomic<double> now{0.0};
    double nowMs() override { return now.load(); }
    void waitUntil(double, std::unique_lock<std::mutex>&, std::condition_variable&,
                   const bool&) override
    {
    }
};

// What the editor tells its faces, one line each.
struct Heard final : EditorListener
{
    std::vector<std::string> lines;
    void linkChanged() override { lines.push_back("link"); }
    void buttonReleased(EditorButton b) override
    {
        lines.push_back("released " + std::to_string(static_cast<int>(b)));
    }
    void valuesChanged(bool modelChanged) override
    {
        lines.push_back(modelChanged ? "values, model" : "values");
    }
    void parameterChanged(int number) override
    {
        lines.push_back("parameter " + std::to_string(number));
    }
    void projectSendEnded() override { lines.push_back("send ended"); }
    void tonewheelUploadEnded(bool finished) override
    {
        lines.push_back(finished ? "upload finished" : "upload failed");
    }
    bool heard(const std::string& line) const
    {
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    }
};

std::string released(EditorButton b)
{
    return "released " + std::to_string(static_cast<int>(b));
}

struct Core : ::testing::Test
{
    explicit Core(const std::string& options = "")
        : editor(std::unique_ptr<MidiServices>(midi), dialogs, &timers, &clock),
          instrument(*midi, configFrom(options))
    {
        timers.onExpiry = [this](int id) { editor.timerExpired(id); };
        editor.addListener(&heard);
        folder.createDirectory();
    }
    ~Core() override
    {
        editor.removeListener(&heard);
        folder.deleteRecursively();
    }

    // Moves the test's clock, letting the instrument's answers (the
    // heartbeat's among them) reach the message thread on the way.
    void advance(long long milliseconds)
    {
        while (milliseconds > 0)
        {
            const auto step = std::min<long long>(milliseconds, 500);
            clock.now = static_cast<double>(timers.time() + step);
            timers.advance(step);
            milliseconds -= step;
            pumpFor(10ms);
        }
    }

    bool isConnectedAndIdle() const
    {
        return editor.isConnected() && editor.linkSupervisor().state() == Idle && !dialogs.isOpen();
    }
    bool connect()
    {
        editor.connect(true);
        return pumpUntil([&] { return isConnectedAndIdle(); });
    }
    // Waits until the instrument holds value for parameter n.
    bool instrumentHas(int n, float value)
    {
        return pumpUntil([&] { return instrument.values()[static_cast<size_t>(n)] == value; });
    }
    juce::File write(const juce::String& name, const std::vector<uint8_t>& bytes)
    {
        const auto file = folder.getChildFile(name);
        file.replaceWithData(bytes.data(), bytes.size());
        return file;
    }
    static std::vector<uint8_t> tonewheelImage(const std::string& name, size_t dataSize)
    {
        std::vector<uint8_t> image(64 + dataSize, 0x4B);
        const uint32_t magic = 0x27071963;
        for (size_t i = 0; i < 4; ++i)
            image[i] = static_cast<uint8_t>(magic >> (8 * i));
        for (size_t i = 0; i < 32; ++i)
            image[32 + i] = i < name.size() ? static_cast<uint8_t>(name[i]) : 0;
        return image;
    }

    VirtualMidiServices* midi = new VirtualMidiServices;
    FakeLinkTimers timers;
    InstantClock clock;
    FakeDialogs dialogs;
    Heard heard;
    Editor editor; // before the instrument, which goes first
    SimulatedInstrument instrument;
    juce::File folder = juce::File::createTempFile("kestra-core");
};

struct SilentAfterStoreAndReset : Core
{
    SilentAfterStoreAndReset() : Core("silent-after-store,silent-after-reset") {}
};

struct HeartbeatStops : Core
{
    HeartbeatStops() : Core("heartbeat-stops-after=2") {}
};
} // namespace

// Connect, an edit of each kind, undo, open, upload, store and reset: the
// whole editor, driven through its core, on the wire as the window drives it.
TEST_F(Core, AWholeSessionThroughTheCoreAlone)
{
    ASSERT_TRUE(connect());
    EXPECT_EQ(dialogs.texts(), std::vector<std::string>{texts::searching});
    EXPECT_EQ(editor.deviceLink().parameterValues(), instrument.values());
    EXPECT_EQ(editor.deviceLink().versionText(), "rel 1.5");
    EXPECT_TRUE(heard.heard("link"));
    EXPECT_TRUE(heard.heard("values, model"));

    // A slider and a selector, each sent as the window's control sends it.
    editor.setValue(parameterInfo(4), -3.0);
    EXPECT_TRUE(instrumentHas(4, -3.0f));
    editor.setValue(parameterInfo(tonewheelModelParameter), 4);
    EXPECT_TRUE(instrumentHas(tonewheelModelParameter, 4.0f));
    ASSERT_TRUE(editor.undo());
    EXPECT_TRUE(instrumentHas(tonewheelModelParameter, 2.0f));

    // OPEN, through the file chooser: the whole project goes out.
    auto project = editor.deviceLink().record();
    project.parameterValues[6] = 3000.0f;
    const auto image = projectfile::toImage(project);
    dialogs.chooseWith(Dialogs::FileKind::openProject,
                       write("song.tkp", std::vector<uint8_t>(image.begin(), image.end())));
    editor.openProjectFile();
    EXPECT_EQ(dialogs.openText(), texts::transmittingParameters);
    advance(projectfile::transmissionDelayMs);
    ASSERT_TRUE(pumpUntil([&] { return heard.heard("send ended"); }));
    EXPECT_TRUE(instrumentHas(6, 3000.0f));
    EXPECT_FALSE(dialogs.isOpen());

    // TONEWHEEL into slot 4, the question answered Yes.
    dialogs.chooseWith(Dialogs::FileKind::tonewheel, write("w.ktw", tonewheelImage("CORE", 500)));
    dialogs.answer(texts::tonewheelWarningPrefix, 0);
    editor.loadTonewheelFile(4);
    ASSERT_TRUE(pumpUntil([&] { return heard.heard("upload finished"); }));
    ASSERT_TRUE(pumpUntil([&] { return isConnectedAndIdle(); }));
    EXPECT_EQ(instrument.uploadsCompleted(), 1);
    EXPECT_EQ(instrument.slotNames()[4], "CORE");
    EXPECT_EQ(editor.deviceLink().tonewheelName(4), "ALT2 -  CORE");

    // STORE and RESET, each with its confirmation.
    editor.store(true);
    ASSERT_TRUE(pumpUntil([&] { return heard.heard(released(EditorButton::store)); }));
    EXPECT_EQ(dialogs.texts().back(), texts::storeConfirmed);

    dialogs.answer(texts::resetQuestion, 0);
    editor.reset(true);
    ASSERT_TRUE(pumpUntil([&] { return heard.heard(released(EditorButton::reset)); }));
    EXPECT_EQ(dialogs.texts().back(), texts::resetConfirmed);
    EXPECT_EQ(editor.deviceLink().parameterValues(), instrument.values());
    EXPECT_EQ(instrument.values()[6], parameterInfo(6).defaults[0]);
}

// Every kind of control through the one command, by its catalogue entry and a
// value as shown: the instrument gets the very bytes that the window's
// controls sent before the command took a control and a value alone (the
// model's stores, given what each slider and selector showed).
TEST_F(Core, EveryKindOfControlThroughTheOneCommandSendsTheBytesAsBefore)
{
    ASSERT_TRUE(connect());
    const auto& D = defaultValues(editor.deviceLink().hardwareRevision());
    const auto& mix = parameterInfo(chorusMixParameter);

    // Off the sliders' steps, as an instrument or a file may have them: the
    // chorus pair then writes from the other slider as it shows (snapped).
    {
        auto v = editor.deviceLink().parameterValues();
        v[chorusMixParameter] = D[chorusMixParameter] + 0.054f;
        v[chorusSecondParameter] = D[chorusSecondParameter];
        editor.deviceLink().updateParameterValues(
            [&](ParameterValues& stored)
            {
                stored = v;
                return 0;
            });
    }
    ASSERT_FLOAT_EQ(toControlValue(chorusMixParameter, editor.deviceLink().parameterValues(), D),
                    100.3f);

    // What the window's control passed: the value moved, and for the chorus
    // pair both sliders as they showed (Chorus Mix 100, Chorus Level 0.1).
    struct Case
    {
        const char* what;
        const ParameterInfo& control;
        double shown;
        std::function<SendList(ParameterValues&)> asTheWindowSent;
    };
    const float mixShown = 100.0f;
    const auto levelShown = static_cast<float>(sliderShownValue(chorusLevelControl, 0.054));
    const std::vector<Case> cases = {
        {"direct", parameterInfo(23), 3.0,
         [&](ParameterValues& v) { return storeSliderChange(v, D, 23, 3.0f, 0, 0); }},
        {"level, two values", parameterInfo(0), -3.5,
         [&](ParameterValues& v) { return storeSliderChange(v, D, 0, -3.5f, 0, 0); }},
        {"offset, then V/C Depth", parameterInfo(30), 2.0,
         [&](ParameterValues& v) { return storeSliderChange(v, D, 30, 2.0f, 0, 0); }},
        {"fraction with its follower", parameterInfo(35), 40.0,
         [&](ParameterValues& v) { return storeSliderChange(v, D, 35, 40.0f, 0, 0); }},
        {"scaled group", parameterInfo(45), 120.0,
         [&](ParameterValues& v) { return storeSliderChange(v, D, 45, 120.0f, 0, 0); }},
        {"Chorus Level beside Chorus Mix as shown", chorusLevelControl, 2.0,
         [&](ParameterValues& v) { return storeSliderChange(v, D, 31, 2.0f, mixShown, 2.0f); }},
        {"Chorus Mix beside Chorus Level as shown", mix, 110.0,
         [&](ParameterValues& v) { return storeSliderChange(v, D, 31, 110.0f, 110.0f, 2.0f); }},
        {"overdrive model: a whole row", parameterInfo(rockOverdriveParameter), 4.0,
         [&](ParameterValues& v) { return storeSelectorChange(v, rockOverdriveParameter, 4); }},
        {"a setting's option", parameterInfo(86), 0.0,
         [&](ParameterValues& v) { return storeSelectorChange(v, 86, 0); }},
        {"the tonewheel model", parameterInfo(tonewheelModelParameter), 4.0,
         [&](ParameterValues& v) { return storeSelectorChange(v, tonewheelModelParameter, 4); }},
    };
    // The first chorus case starts from the values off the steps.
    ASSERT_FLOAT_EQ(shownSliderValue(chorusLevelControl, editor.deviceLink().parameterValues(), D),
                    levelShown);
    ASSERT_FLOAT_EQ(shownSliderValue(mix, editor.deviceLink().parameterValues(), D), mixShown);

    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.what);
        auto expected = editor.deviceLink().parameterValues();
        const auto sends = c.asTheWindowSent(expected);
        ASSERT_GT(sends.count, 0);
        std::vector<sysex::Bytes> bytes;
        for (int n : sends)
            bytes.push_back(
                isSettingParameter(n)
                    ? sysex::parameterByteMessage(n, static_cast<uint8_t>(settingByteFor(
                                                         n, expected[static_cast<size_t>(n)])))
                    : sysex::parameterValueMessage(n, expected[static_cast<size_t>(n)]));

        const auto mark = instrument.log().size();
        editor.setValue(c.control, c.shown);
        ASSERT_TRUE(pumpUntil(
            [&]
            {
                size_t in = 0;
                const auto log = instrument.log();
                for (size_t k = mark; k < log.size(); ++k)
                    in += log[k].direction == SimulatedInstrument::Direction::in ? 1 : 0;
                return in >= bytes.size();
            }));
        std::vector<sysex::Bytes> received;
        const auto log = instrument.log();
        for (size_t k = mark; k < log.size(); ++k)
            if (log[k].direction == SimulatedInstrument::Direction::in &&
                log[k].bytes != sysex::identityRequest())
                received.push_back(log[k].bytes);
        EXPECT_EQ(received, bytes);
        EXPECT_EQ(editor.deviceLink().parameterValues(), expected);
    }

    // Undo takes them back one by one, as the window's edits were.
    for (size_t k = 0; k < cases.size(); ++k)
        EXPECT_TRUE(editor.undo());
}

// A value that no control shows, and a parameter that has no control of its
// own, change nothing and send nothing.
TEST_F(Core, AValueTheControlCannotShowChangesNothing)
{
    ASSERT_TRUE(connect());
    const auto before = editor.deviceLink().parameterValues();
    const auto mark = instrument.log().size();
    const ParameterInfo copy = parameterInfo(23); // not the catalogue's own
    for (const auto& [control, shown] : std::vector<std::pair<const ParameterInfo*, double>>{
             {&parameterInfo(23), std::nan("")},
             {&parameterInfo(23), HUGE_VAL},
             {&parameterInfo(86), 2.5},
             {&parameterInfo(86), -1.0},
             {&parameterInfo(86), 99.0},
             {&parameterInfo(rockOverdriveParameter), 1.0e12},
             {&parameterInfo(20), 5.0}, // written with the ROCK model only
             {&copy, 3.0}})
        editor.setValue(*control, shown);
    pumpFor(50ms);
    EXPECT_EQ(editor.deviceLink().parameterValues(), before);
    EXPECT_EQ(instrument.log().size(), mark);
    EXPECT_FALSE(editor.undo());
}

// A question that destroys something starts on "No", and a question that
// goes without an answer (closed, replaced) counts as No.
TEST_F(Core, DestructiveQuestionsStartOnNoAndNoAnswerIsNo)
{
    ASSERT_TRUE(connect());
    dialogs.chooseWith(Dialogs::FileKind::tonewheel, write("w.ktw", tonewheelImage("NOPE", 200)));
    editor.loadTonewheelFile(3);
    editor.reset(true);

    const auto boxes = dialogs.boxes;
    ASSERT_EQ(boxes.size(), 3u);
    for (const auto& box : {boxes[1], boxes[2]})
    {
        SCOPED_TRACE(box.text);
        EXPECT_EQ(box.buttons, (std::vector<std::string>{texts::yes, texts::no}));
        EXPECT_EQ(box.focusedButton, 1);
    }
    EXPECT_EQ(boxes[2].text, texts::resetQuestion);
    pumpFor(200ms);
    EXPECT_EQ(instrument.uploadsCompleted(), 0);
    EXPECT_EQ(instrument.receivedCount(SimulatedInstrument::Received::resetRequest), 0);
    EXPECT_TRUE(heard.heard(released(EditorButton::reset)));
    EXPECT_EQ(editor.linkSupervisor().state(), Idle);
}

// The time-outs run on the test's clock: six seconds take no time.
TEST_F(SilentAfterStoreAndReset, StoreAndResetTimeOutOnTheTestsClock)
{
    ASSERT_TRUE(connect());
    dialogs.answer(texts::resetQuestion, 0);
    for (const auto& [press, timer, notConfirmed, button] :
         {std::tuple{+[](Editor& e) { e.store(true); }, StoreTimeoutTimer, texts::storeNotConfirmed,
                     EditorButton::store},
          std::tuple{+[](Editor& e) { e.reset(true); }, ResetTimeoutTimer, texts::resetNotConfirmed,
                     EditorButton::reset}})
    {
        SCOPED_TRACE(notConfirmed);
        heard.lines.clear();
        press(editor);
        EXPECT_EQ(timers.remaining(timer), 6000);
        advance(5999);
        EXPECT_FALSE(heard.heard(released(button)));
        advance(1);
        EXPECT_EQ(dialogs.texts().back(), notConfirmed);
        EXPECT_TRUE(heard.heard(released(button)));
        EXPECT_EQ(editor.linkSupervisor().state(), Idle);
        EXPECT_TRUE(editor.isConnected());
    }
}

// An instrument that stops answering the heartbeat: the link is lost after
// the period it went unanswered, and the faces hear of it.
TEST_F(HeartbeatStops, ALostLinkIsDroppedAndReported)
{
    ASSERT_TRUE(connect());
    heard.lines.clear();
    for (int beat = 0; beat < 3 && editor.isConnected(); ++beat)
    {
        pumpFor(100ms); // the reply, if any, reaches the message thread
        timers.advance(heartbeatPeriodMs);
    }
    EXPECT_FALSE(editor.isConnected());
    EXPECT_EQ(dialogs.texts().back(), texts::connectionLost);
    EXPECT_EQ(heard.lines, (std::vector<std::string>{"link", released(EditorButton::connect)}));
    EXPECT_FALSE(editor.midiPorts().isOpen());
    EXPECT_FALSE(timers.isRunning(HeartbeatTimer));
}

// What the instrument reports while idle reaches the faces at once; for the
// slider under the user's hand, when the gesture ends, unless the gesture
// sent a value of its own after it.
TEST_F(Core, ReportsReachTheFacesAtOnceOrAtTheGesturesEnd)
{
    ASSERT_TRUE(connect());
    heard.lines.clear();
    auto reported = [&](int n, float value)
    {
        ASSERT_TRUE(instrument.turnKnob(n, value));
        ASSERT_TRUE(pumpUntil([&] { return editor.deviceLink().parameterValue(n) == value; }));
        pumpFor(30ms);
    };

    reported(4, 1.0f);
    EXPECT_EQ(heard.lines, std::vector<std::string>{"parameter 4"});

    heard.lines.clear();
    editor.beginGesture(parameterInfo(4));
    reported(4, 2.0f);
    reported(6, 2000.0f); // another control: at once
    EXPECT_EQ(heard.lines, std::vector<std::string>{"parameter 6"});
    editor.endGesture(parameterInfo(4));
    EXPECT_EQ(heard.lines, (std::vector<std::string>{"parameter 6", "parameter 4"}));

    heard.lines.clear();
    editor.beginGesture(parameterInfo(4));
    reported(4, 3.0f);
    editor.setValue(parameterInfo(4), 5.0); // the gesture's own value goes out
    editor.endGesture(parameterInfo(4));
    EXPECT_TRUE(heard.lines.empty());
    EXPECT_TRUE(instrumentHas(4, 5.0f));
}
