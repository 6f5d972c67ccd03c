// The real editor against the simulated instrument under load and under every
// fault the instrument can be given:
//  - a player at the organ turns knobs and renames slots as fast as the
//    virtual ports carry the reports, while the user moves sliders and
//    selectors, a project is opened and sent, a tonewheel is uploaded, the
//    heartbeat goes unanswered and the user connects again; at the end the
//    editor holds exactly what the instrument last said;
//  - every fault ends in its box, and CONNECT afterwards brings back a link
//    on which the failed command works;
//  - an editor closed in the middle of a project send or an upload leaves
//    the instrument out of bulk mode and the upload cancelled.
// Run under ThreadSanitizer (scripts/sanitize.sh thread) this is also the
// check that the MIDI threads and the message thread share nothing unguarded.

#include "support/EditorTestProbe.h"
#include "support/GuiTestSupport.h"

#include "editor/MessageTexts.h"
#include "files/ProjectFile.h"
#include "sim/SimulatorOptions.h"

#include <atomic>
#include <cstring>
#include <functional>
#include <random>
#include <thread>

KESTRA_JUCE_TEST_ENVIRONMENT;

using namespace kestra;
using namespace std::chrono_literals;
using kestra::testing::pumpFor;
using kestra::testing::pumpUntil;
using Bytes = std::vector<uint8_t>;

namespace
{
using kestra::testing::buttonTextsOf;
using kestra::testing::click;
using kestra::testing::isReleased;
using kestra::testing::messageOf;

// A user who reads every box: says "Yes" to the questions, presses "OK"
// where there is one, and leaves the boxes without buttons (and the searching
// and transfer boxes) to the editor. Remembers every notice, that is every
// box but those.
class BoxUser final : private juce::Timer
{
public:
    BoxUser() { startTimer(2); }
    ~BoxUser() override { stopTimer(); }

    std::vector<juce::String> notices;

    bool saw(const juce::String& message) const
    {
        return std::find(notices.begin(), notices.end(), message) != notices.end();
    }

private:
    void timerCallback() override
    {
        auto* box = dynamic_cast<juce::AlertWindow*>(juce::Component::getCurrentlyModalComponent());
        if (box == nullptr || box == lastSeen.getComponent())
            return;
        lastSeen = box;
        const auto message = messageOf(*box);
        if (message.startsWith(texts::tonewheelWarningPrefix) || message == texts::resetQuestion)
        {
            box->triggerButtonClick(texts::yes);
            return;
        }
        if (message == texts::searching || message.startsWith(texts::transmittingTonewheel) ||
            message == texts::transmittingParameters)
            return;
        notices.push_back(message);
        if (buttonTextsOf(*box).contains(texts::ok))
            box->triggerButtonClick(texts::ok);
    }

    juce::Component::SafePointer<juce::Component> lastSeen;
};

uint32_t bitsOf(float value)
{
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

// Parameters whose stored values differ between the two, by number.
std::vector<int> differingValues(const ParameterValues& a, const ParameterValues& b)
{
    std::vector<int> differing;
    for (int n = 0; n < numParameters; ++n)
        if (bitsOf(a[static_cast<size_t>(n)]) != bitsOf(b[static_cast<size_t>(n)]))
            differing.push_back(n);
    return differing;
}

// The editor with a simulated instrument on its MIDI services, as
// KESTRA_EDITOR_SIMULATOR gives it; the editor owns the services.
struct Rig
{
    explicit Rig(const SimulatorConfig& config = {})
    {
        auto services = std::make_unique<SimulatedMidiServices>(config);
        instrument = &services->instrument();
        editor = std::make_unique<MainContentComponent>(std::move(services));
        probe = std::make_unique<EditorTestProbe>(*editor);
    }

    bool connectedAndIdle() const
    {
        return probe->supervisor().isConnected() && probe->supervisor().state() == Idle &&
               probe->messageBox() == nullptr && probe->connectButton().getToggleState();
    }

    // What the editor holds is what the instrument holds: the values bit for
    // bit and the six slot names behind their prefixes.
    bool editorHoldsWhatTheInstrumentHolds() const
    {
        if (!differingValues(probe->link().parameterValues(), instrument->values()).empty())
            return false;
        const auto names = instrument->slotNames();
        const auto shown = probe->link().tonewheelNames();
        for (size_t s = 0; s < names.size(); ++s)
            if (shown[s] != std::string(tonewheelSlotPrefixes[s]) + names[s])
                return false;
        return true;
    }

    SimulatedInstrument* instrument = nullptr;
    std::unique_ptr<MainContentComponent> editor;
    std::unique_ptr<EditorTestProbe> probe;
    BoxUser user;
};

// A folder of this test program's own for the files it opens, removed at its end.
juce::File testFolder()
{
    static const juce::File folder = []
    {
        auto f = juce::File::getSpecialLocation(juce::File::tempDirectory)
                     .getNonexistentChildFile("kestra-stress", "");
        f.createDirectory();
        return f;
    }();
    return folder;
}

struct TestFolderRemoval final : ::testing::Environment
{
    void TearDown() override { testFolder().deleteRecursively(); }
};
::testing::Environment* const testFolderRemoval =
    ::testing::AddGlobalTestEnvironment(new TestFolderRemoval);

juce::File writeFile(const juce::String& name, const void* data, size_t size)
{
    auto file = testFolder().getChildFile(name);
    EXPECT_TRUE(file.replaceWithData(data, size));
    return file;
}

Bytes tonewheelData(size_t size, unsigned seed)
{
    Bytes data(size);
    std::mt19937 random(seed);
    for (auto& b : data)
        b = static_cast<uint8_t>(random());
    return data;
}

juce::File writeTonewheelFile(const juce::String& name, const Bytes& data)
{
    Bytes image(64, 0x00);
    const uint32_t magic = projectMagic;
    for (size_t i = 0; i < 4; ++i)
        image[i] = static_cast<uint8_t>(magic >> (8 * i));
    const std::string tonewheelName = "STRESS WHEEL";
    std::copy(tonewheelName.begin(), tonewheelName.end(), image.begin() + 32);
    image.insert(image.end(), data.begin(), data.end());
    return writeFile(name, image.data(), image.size());
}

// A value the organ may really hold for parameter n: a few steps away from
// its default, or a valid option index for a setting.
float valueFor(int n, std::mt19937& random)
{
    if (isSettingParameter(n))
        return static_cast<float>(random() % 2);
    const float base = defaultValues(0)[static_cast<size_t>(n)];
    return base + static_cast<float>(static_cast<int>(random() % 21) - 10) * 0.5f;
}

// A player at the organ on a thread of its own: turns the given knobs and
// renames slots in batches of sixteen, each batch as soon as the editor has
// taken the one before: the instrument has sent it, the editor's MIDI thread
// has stored it and the message thread has handled what that posted. (The
// virtual ports have no baud rate: a player who did not wait would only fill
// the editor's message queue.) While the editor's ports are closed, a batch
// waits a little and goes on.
class Player
{
public:
    Player(SimulatedInstrument& organ, DeviceLink& editorLink, std::vector<int> knobsToTurn)
        : instrument(organ), link(editorLink), knobs(std::move(knobsToTurn)),
          thread([this] { play(); })
    {
    }
    ~Player() { stop(); }

    void stop()
    {
        stopping = true;
        if (thread.joinable())
            thread.join();
    }

    int turns() const { return turned.load(); }

private:
    void play()
    {
        std::mt19937 random(20240611);
        for (int batch = 0; !stopping; ++batch)
        {
            int last = 0;
            float lastValue = 0.0f;
            for (int i = 0; i < 16; ++i)
            {
                last = knobs[random() % knobs.size()];
                lastValue = valueFor(last, random);
                instrument.turnKnob(last, lastValue);
                ++turned;
            }
            if (batch % 4 == 0)
                instrument.renameSlot(static_cast<int>(random() % numTonewheelSlots),
                                      "PLAYED " + std::to_string(batch));
            instrument.waitUntilIdle(10s);
            waitFor([&] { return bitsOf(link.parameterValue(last)) == bitsOf(lastValue); });
            auto handled = std::make_shared<std::atomic<bool>>(false);
            juce::MessageManager::callAsync([handled] { *handled = true; });
            waitFor([&] { return handled->load(); });
        }
    }

    // Waits a while for the condition, or until the player is stopped.
    template <typename Condition> void waitFor(Condition condition)
    {
        const auto end = std::chrono::steady_clock::now() + 200ms;
        while (!condition() && !stopping && std::chrono::steady_clock::now() < end)
            std::this_thread::sleep_for(50us);
    }

    SimulatedInstrument& instrument;
    DeviceLink& link;
    const std::vector<int> knobs;
    std::atomic<bool> stopping{false};
    std::atomic<int> turned{0};
    std::thread thread;
};
} // namespace

// ---- the storm ----------------------------------------------------------------------------------

TEST(Stress, UnderAStormOfReportsEverythingWorksAndTheEditorEndsHoldingWhatTheInstrumentSaid)
{
    Rig rig;
    auto& probe = *rig.probe;
    auto& instrument = *rig.instrument;

    click(probe.connectButton());
    ASSERT_TRUE(pumpUntil([&] { return rig.connectedAndIdle(); }, 20s));

    // The user's controls send only their own parameter; the player turns
    // every other knob, so that the last word on each parameter is clear.
    const std::vector<int> userSliders = {4, 5, 6, 8};
    const std::vector<int> userSelectors = {86, 90};
    std::vector<int> playerKnobs;
    for (int n = 0; n < numParameters; ++n)
        if (std::find(userSliders.begin(), userSliders.end(), n) == userSliders.end() &&
            std::find(userSelectors.begin(), userSelectors.end(), n) == userSelectors.end())
            playerKnobs.push_back(n);
    Player player(instrument, probe.link(), playerKnobs);

    // The user moves sliders and selectors meanwhile, on the message thread.
    std::mt19937 random(7);
    for (int move = 0; move < 300; ++move)
    {
        if (move % 5 == 4)
        {
            auto* selector = probe.selector(userSelectors[random() % userSelectors.size()]);
            ASSERT_NE(selector, nullptr);
            selector->setSelectedItemIndex(static_cast<int>(random() % 2),
                                           juce::sendNotificationSync);
        }
        else
        {
            auto* slider = probe.slider(userSliders[random() % userSliders.size()]);
            ASSERT_NE(slider, nullptr);
            const double share = static_cast<double>(random() % 1001) / 1000.0;
            slider->setValue(slider->getMinimum() +
                                 share * (slider->getMaximum() - slider->getMinimum()),
                             juce::sendNotificationSync);
        }
        pumpFor(2ms);
    }
    const int turnsWhileMoving = player.turns();

    // A project opened and sent while the reports go on.
    auto project = ProjectRecord::initial();
    for (int n = 0; n < numParameters; ++n)
        project.parameterValues[static_cast<size_t>(n)] = valueFor(n, random);
    const auto image = projectfile::toImage(project);
    rig.editor->core().openProjectFrom(writeFile("storm.tkp", image.data(), image.size()));
    ASSERT_TRUE(pumpUntil(
        [&] { return !probe.isTimerRunning(BulkSendTimer) && rig.connectedAndIdle(); }, 30s));
    ASSERT_TRUE(instrument.waitUntilIdle(10s));
    EXPECT_FALSE(instrument.bulkMode());

    // A tonewheel upload, and the handshake after it, while they go on.
    const auto wheel = tonewheelData(20000, 3);
    const int uploadsBefore = instrument.uploadsCompleted();
    rig.editor->core().loadTonewheelFrom(writeTonewheelFile("storm.ktw", wheel), 4);
    ASSERT_TRUE(pumpUntil(
        [&]
        { return instrument.uploadsCompleted() == uploadsBefore + 1 && rig.connectedAndIdle(); },
        60s));
    EXPECT_EQ(instrument.tonewheelData(4), wheel);

    // The heartbeat goes unanswered while the reports go on: the link is
    // given up and its ports closed under the delivery.
    auto faults = instrument.faults();
    faults.heartbeatStopsAfter =
        instrument.receivedCount(SimulatedInstrument::Received::identityRequest);
    instrument.setFaults(faults);
    ASSERT_TRUE(pumpUntil([&] { return rig.user.saw(texts::connectionLost); }, 20s));
    ASSERT_TRUE(pumpUntil([&] { return isReleased(probe.connectButton()); }));
    EXPECT_FALSE(probe.hasInput());
    EXPECT_FALSE(probe.hasOutput());

    // The user connects again, the reports still going on.
    instrument.setFaults({});
    click(probe.connectButton());
    ASSERT_TRUE(pumpUntil([&] { return rig.connectedAndIdle(); }, 20s));
    pumpFor(100ms);

    // Once the player stops, the editor holds exactly what the instrument last said.
    player.stop();
    ASSERT_TRUE(instrument.waitUntilIdle(10s));
    EXPECT_TRUE(pumpUntil([&] { return rig.editorHoldsWhatTheInstrumentHolds(); }, 10s))
        << ::testing::PrintToString(
               differingValues(probe.link().parameterValues(), instrument.values()));
    EXPECT_TRUE(rig.connectedAndIdle());
    EXPECT_EQ(rig.user.notices, std::vector<juce::String>{texts::connectionLost});
    EXPECT_GT(turnsWhileMoving, 0);
    std::cout << "[ stress   ] " << player.turns() << " knob turns, " << turnsWhileMoving
              << " of them while the user moved the controls\n";
}

TEST(Stress, TheUsersMovesAndThePlayersReportsBothArriveWhole)
{
    // The same storm without the rest: at its end, before any new handshake,
    // every user change has reached the instrument and every report the editor.
    Rig rig;
    auto& probe = *rig.probe;
    click(probe.connectButton());
    ASSERT_TRUE(pumpUntil([&] { return rig.connectedAndIdle(); }, 20s));

    std::vector<int> playerKnobs;
    for (int n = 10; n < numParameters; ++n)
        playerKnobs.push_back(n);
    Player player(*rig.instrument, probe.link(), playerKnobs);
    std::mt19937 random(11);
    for (int move = 0; move < 200; ++move)
    {
        auto* slider = probe.slider(4 + static_cast<int>(random() % 5)); // 4 ... 8
        ASSERT_NE(slider, nullptr);
        slider->setValue(slider->getMinimum() + (slider->getMaximum() - slider->getMinimum()) *
                                                    static_cast<double>(random() % 101) / 100.0,
                         juce::sendNotificationSync);
        pumpFor(2ms);
    }
    player.stop();
    ASSERT_TRUE(rig.instrument->waitUntilIdle(10s));
    EXPECT_TRUE(pumpUntil([&] { return rig.editorHoldsWhatTheInstrumentHolds(); }, 10s))
        << ::testing::PrintToString(
               differingValues(probe.link().parameterValues(), rig.instrument->values()));
    EXPECT_TRUE(rig.user.notices.empty());
}

// ---- every fault
// ----------------------------------------------------------------------------------

namespace
{
enum class Command
{
    none, // the connect alone
    store,
    reset,
    upload,
};

struct FaultCase
{
    const char* name;
    const char* options; // as in KESTRA_EDITOR_SIMULATOR
    Command command;     // run once connected (the fault may stop the connect first)
    std::string notice;  // the one box it ends in; empty: none, the command succeeds
    bool connectedAfter; // the link is up once the box has been read
};

// Names the row in the test's name.
void PrintTo(const FaultCase& c, std::ostream* os)
{
    *os << c.name;
}

std::string aborted(const char* text)
{
    return std::string(texts::transmissionAborted) + text;
}

const FaultCase faultCases[] = {
    {"Silent", "silent", Command::none, texts::deviceNotFound, false},
    {"PortBusy", "busy", Command::none, texts::portBusy, false},
    {"ProtocolTooOld", "protocol=4", Command::none, texts::firmwareOutOfDate, false},
    {"ProtocolTooNew", "protocol=6", Command::none, texts::editorOutOfDate, false},
    {"ModelUnknown", "model=4", Command::none, texts::modelNotSupported, false},
    {"RevisionUnknown", "revision=2", Command::none, texts::modelNotSupported, false},
    {"DumpTooSlow", "dump-delay=2500", Command::none, texts::dumpFailed, false},
    {"StoreUnconfirmed", "silent-after-store", Command::store, texts::storeNotConfirmed, true},
    {"ResetUnconfirmed", "silent-after-reset", Command::reset, texts::resetNotConfirmed, true},
    // A NAK carries the expected packet number, which the editor shows as an error code.
    {"ThirdNak", "nak-packet=2x3", Command::upload, aborted(tonewheelErrorText(2)), true},
    {"TwoNaks", "nak-packet=2x2", Command::upload, "", true},
    {"InstrumentCancels", "cancel-at-packet=3:4", Command::upload, aborted(tonewheelErrorText(4)),
     true},
    {"InstrumentCancelsUnknownCode", "cancel-at-packet=0:9", Command::upload,
     aborted(texts::unknownTransferError), true},
    {"SlowAcks", "ack-delay=30", Command::upload, "", true},
};

class EveryFault : public ::testing::TestWithParam<FaultCase>
{
};

// Starts a command on a connected editor; its end shows in the boxes and the instrument.
void run(Rig& rig, Command command, int attempt)
{
    auto& probe = *rig.probe;
    switch (command)
    {
    case Command::none:
        return;
    case Command::store:
        click(probe.storeButton());
        return;
    case Command::reset:
        click(probe.resetButton());
        return;
    case Command::upload:
        rig.editor->core().loadTonewheelFrom(
            writeTonewheelFile("fault" + juce::String(attempt) + ".ktw", tonewheelData(600, 9)), 5);
        return;
    }
}
} // namespace

TEST_P(EveryFault, EndsInItsBoxAndConnectWorksAgain)
{
    const auto& c = GetParam();
    SimulatorConfig config;
    std::string error;
    ASSERT_TRUE(parseSimulatorOptions(c.options, config, &error)) << error;
    // Faults that strike after the connect are switched on once it is made.
    const bool afterConnect = c.command != Command::none;
    SimulatorConfig atStart = config;
    if (afterConnect)
        atStart.faults = {};
    Rig rig(atStart);
    auto& probe = *rig.probe;
    auto& instrument = *rig.instrument;

    // Read before the command: an upload may be over before run() returns.
    const int uploadsBefore = instrument.uploadsCompleted();
    click(probe.connectButton());
    if (afterConnect)
    {
        ASSERT_TRUE(pumpUntil([&] { return rig.connectedAndIdle(); }, 20s));
        instrument.setFaults(config.faults);
        run(rig, c.command, 1);
    }

    if (c.notice.empty())
    {
        ASSERT_TRUE(pumpUntil(
            [&] {
                return instrument.uploadsCompleted() == uploadsBefore + 1 && rig.connectedAndIdle();
            },
            30s));
    }
    else
    {
        ASSERT_TRUE(pumpUntil([&] { return !rig.user.notices.empty(); }, 20s));
        EXPECT_EQ(rig.user.notices, std::vector<juce::String>{juce::String(c.notice)});
        ASSERT_TRUE(pumpUntil(
            [&]
            {
                return probe.messageBox() == nullptr &&
                       probe.supervisor().isConnected() == c.connectedAfter &&
                       probe.supervisor().state() == Idle;
            },
            20s));
        EXPECT_TRUE(isReleased(probe.storeButton()));
        EXPECT_TRUE(isReleased(probe.resetButton()));
        EXPECT_EQ(probe.connectButton().getToggleState(), c.connectedAfter);
    }

    // The fault gone, CONNECT brings the link back (a lit button disconnects
    // first), and the command that failed now works.
    instrument.setFaults({});
    instrument.setIdentity(SimulatorConfig{}.identity);
    instrument.setBusy(false);
    rig.user.notices.clear();
    if (probe.connectButton().getToggleState())
        click(probe.connectButton());
    click(probe.connectButton());
    ASSERT_TRUE(pumpUntil([&] { return rig.connectedAndIdle(); }, 20s));
    EXPECT_TRUE(rig.editorHoldsWhatTheInstrumentHolds());

    const int uploadsNow = instrument.uploadsCompleted();
    run(rig, c.command, 2);
    switch (c.command)
    {
    case Command::none:
        break;
    case Command::store:
        ASSERT_TRUE(pumpUntil([&] { return rig.user.saw(texts::storeConfirmed); }, 10s));
        break;
    case Command::reset:
        ASSERT_TRUE(pumpUntil([&] { return rig.user.saw(texts::resetConfirmed); }, 10s));
        break;
    case Command::upload:
        ASSERT_TRUE(pumpUntil(
            [&]
            { return instrument.uploadsCompleted() == uploadsNow + 1 && rig.connectedAndIdle(); },
            30s));
        break;
    }
    ASSERT_TRUE(pumpUntil([&] { return rig.connectedAndIdle(); }, 10s));
    EXPECT_TRUE(isReleased(probe.storeButton()));
    EXPECT_TRUE(isReleased(probe.resetButton()));
    EXPECT_EQ(rig.user.notices.size(),
              c.command == Command::store || c.command == Command::reset ? 1u : 0u);
}

INSTANTIATE_TEST_SUITE_P(Simulator, EveryFault, ::testing::ValuesIn(faultCases),
                         [](const auto& row) { return std::string(row.param.name); });

// ---- closing the editor
// ---------------------------------------------------------------------------

namespace
{
// Hands the editor services it does not own, so that the instrument outlives it.
class BorrowedServices final : public MidiServices
{
public:
    explicit BorrowedServices(MidiServices& services) : inner(services) {}
    juce::StringArray getInputDeviceNames() override { return inner.getInputDeviceNames(); }
    juce::StringArray getOutputDeviceNames() override { return inner.getOutputDeviceNames(); }
    std::unique_ptr<MidiInputPort> openInputDevice(int index,
                                                   juce::MidiInputCallback* callback) override
    {
        return inner.openInputDevice(index, callback);
    }
    std::unique_ptr<MidiOutputPort> openOutputDevice(int index) override
    {
        return inner.openOutputDevice(index);
    }

private:
    MidiServices& inner;
};
} // namespace

namespace
{
// Runs an action once, from a timer on the message loop, when the condition holds.
class CloseWhen final : private juce::Timer
{
public:
    CloseWhen(std::function<bool()> conditionToWaitFor, std::function<void()> actionToRun)
        : condition(std::move(conditionToWaitFor)), action(std::move(actionToRun))
    {
        startTimer(1);
    }
    ~CloseWhen() override { stopTimer(); }

private:
    void timerCallback() override
    {
        if (!condition())
            return;
        stopTimer();
        action();
    }

    std::function<bool()> condition;
    std::function<void()> action;
};
} // namespace

TEST(Closing, AnEditorClosedMidSendLeavesTheInstrumentOutOfBulkMode)
{
    SimulatedMidiServices services(SimulatorConfig{});
    auto& instrument = services.instrument();
    auto editor =
        std::make_unique<MainContentComponent>(std::make_unique<BorrowedServices>(services));
    EditorTestProbe probe(*editor);
    BoxUser user;

    click(probe.connectButton());
    ASSERT_TRUE(pumpUntil(
        [&] { return probe.supervisor().isConnected() && probe.messageBox() == nullptr; }, 20s));

    const auto image = projectfile::toImage(ProjectRecord::initial());
    editor->core().openProjectFrom(writeFile("closing.tkp", image.data(), image.size()));
    ASSERT_TRUE(pumpUntil(
        [&]
        { return instrument.receivedCount(SimulatedInstrument::Received::parameterValue) >= 5; },
        10s));
    ASSERT_TRUE(instrument.bulkMode());

    editor.reset();
    ASSERT_TRUE(instrument.waitUntilIdle(5s));
    EXPECT_FALSE(instrument.bulkMode());
    EXPECT_EQ(instrument.receivedCount(SimulatedInstrument::Received::bulkMode), 2);
    pumpFor(100ms); // nothing of the closed editor may still be due
}

TEST(Closing, AnEditorClosedMidUploadCancelsItAndTheSlotKeepsWhatItHad)
{
    SimulatorConfig config;
    config.faults.ackDelayMs = 40; // an upload of some seconds (194 packets), closed early
    SimulatedMidiServices services(config);
    auto& instrument = services.instrument();
    auto editor =
        std::make_unique<MainContentComponent>(std::make_unique<BorrowedServices>(services));
    EditorTestProbe probe(*editor);
    BoxUser user;

    click(probe.connectButton());
    ASSERT_TRUE(pumpUntil(
        [&] { return probe.supervisor().isConnected() && probe.messageBox() == nullptr; }, 20s));

    // The user closes the window from the message loop once two packets are
    // through: a busy loop (each packet repaints the box) may run long between
    // two looks of the test's own.
    bool closedMidUpload = false;
    CloseWhen closer(
        [&]
        { return instrument.receivedCount(SimulatedInstrument::Received::fileDumpPacket) >= 2; },
        [&]
        {
            closedMidUpload = instrument.uploadInProgress();
            editor.reset();
        });
    editor->core().loadTonewheelFrom(writeTonewheelFile("closing.ktw", tonewheelData(20000, 5)), 3);
    ASSERT_TRUE(pumpUntil([&] { return editor == nullptr; }, 20s));
    ASSERT_TRUE(closedMidUpload);

    ASSERT_TRUE(instrument.waitUntilIdle(5s));
    EXPECT_FALSE(instrument.uploadInProgress());
    EXPECT_EQ(instrument.receivedCount(SimulatedInstrument::Received::fileDumpCancel), 1);
    EXPECT_TRUE(instrument.tonewheelData(3).empty());
    EXPECT_EQ(instrument.uploadsCompleted(), 0);
}
