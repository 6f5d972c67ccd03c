// The conversation with the simulated instrument in the real editor: the
// accepted identity and what it shows, the refused identities, a reply while
// connected, the dump sections and their shared time-out, values that arrive
// during a section, the heartbeat and a lost link, and store and reset with
// their confirmations, time-outs and second clicks.

#include "ConnectTestSupport.h"

#include "model/ParameterCatalogue.h"

KESTRA_JUCE_TEST_ENVIRONMENT;

using namespace kestra;
using namespace kestra::connecttest;
using kestra::testing::pumpFor;
using kestra::testing::pumpUntil;
using Received = SimulatedInstrument::Received;

namespace
{
const Bytes identityRequest = sysex::identityRequest();

// The timers are real, and under load one may fire up to a message dispatch
// early: lower bounds on waits allow for that much.
constexpr double timerSlackMs = 300.0;

SimulatorConfig withIdentity(const sysex::Identity& identity)
{
    SimulatorConfig config;
    config.identity = identity;
    return config;
}

juce::String tonewheelItemText(EditorTestProbe& probe, int slot)
{
    auto* box = probe.selector(97);
    return box->getItemText(box->indexOfItemId(slot + 1));
}

// The milliseconds of the instrument's log at which it received each DumpRequest.
std::vector<long long> dumpRequestTimes(SimulatedInstrument& instrument)
{
    std::vector<long long> times;
    for (const auto& entry : instrument.log())
        if (entry.direction == SimulatedInstrument::Direction::in &&
            sysex::decode(entry.bytes).kind == sysex::Decoded::Kind::dumpRequest)
            times.push_back(entry.milliseconds);
    return times;
}
} // namespace

// ---- the identity ------------------------------------------------------------------------------

TEST(Identity, AnAcceptedReplyLoadsTheInstrumentAndShowsItConnected)
{
    struct Case
    {
        sysex::Identity identity;
        const char* device;
        const char* firmware;
    };
    const Case cases[] = {
        {{5, 4, 1, 1, 2, 3}, "Kestra Brio QMR", "rel 1.5"},
        {{5, 4, 0, 1, 5, 0}, "Kestra Brio ", "rel 1.5"},
        {{5, 3, 0, 1, 25, 0}, "Kestra ", "rel 1.25"},
        {{5, 5, 1, 1, 26, 0}, "Kestra Mira QMR", "rel 1.2.6"},
        {{5, 6, 0, 2, 20, 11}, "Kestra Tavo ", "rel 2.3.1"},
        {{5, 3, 1, 0, 0, 0}, "Kestra QMR", "rel 0.0"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.device);
        SimulatedRig rig(withIdentity(c.identity));
        BoxWatcher boxes;
        rig.instrument().turnKnob(5, 42.0f); // nobody listens yet
        rig.instrument().renameSlot(4, "Mellow");
        ASSERT_FALSE(rig.probe.slider(5)->getValue() == 42.0);
        EXPECT_TRUE(rig.showsDisconnected());

        ASSERT_TRUE(rig.connect());

        EXPECT_TRUE(rig.showsConnected());
        EXPECT_EQ(rig.probe.deviceLabel().getText(), c.device);
        EXPECT_EQ(rig.probe.firmwareLabel().getText(), c.firmware);
        EXPECT_EQ(rig.probe.link().modelIndex(), c.identity.modelCode - 3);
        EXPECT_EQ(rig.probe.link().hardwareRevision(), c.identity.hardwareRevision);
        EXPECT_EQ(rig.probe.link().versionText(), c.firmware);
        EXPECT_TRUE(rig.probe.isTimerRunning(HeartbeatTimer));
        EXPECT_FALSE(rig.probe.isTimerRunning(PortScanTimer));
        EXPECT_FALSE(rig.probe.isTimerRunning(DumpTimeoutTimer));
        EXPECT_TRUE(boxes.notices().empty());
        EXPECT_EQ(readSettings(), storedPair(0, 0));

        // What the instrument holds is on the screen.
        EXPECT_EQ(rig.probe.slider(5)->getValue(), 42.0);
        EXPECT_EQ(tonewheelItemText(rig.probe, 4), "ALT2 -  Mellow");

        // The identity, the three sections in order, then the first heartbeat.
        ASSERT_TRUE(rig.instrument().waitUntilIdle(5000ms));
        EXPECT_EQ(
            rig.receivedMessages(),
            (std::vector<Bytes>{identityRequest, sysex::dumpRequest(0x7D), sysex::dumpRequest(0x7E),
                                sysex::dumpRequest(0x7C), identityRequest}));
    }
}

TEST(Identity, RefusedRepliesShowTheirReasonAndLeaveEverythingAsItWas)
{
    struct Case
    {
        const char* what;
        sysex::Identity identity;
        const char* text;
    };
    const Case cases[] = {
        {"protocol 4", {4, 3, 0, 1, 5, 0}, texts::firmwareOutOfDate},
        {"protocol 0", {0, 3, 0, 1, 5, 0}, texts::firmwareOutOfDate},
        {"protocol 6", {6, 3, 0, 1, 5, 0}, texts::editorOutOfDate},
        {"model code 7", {5, 7, 0, 1, 5, 0}, texts::modelNotSupported},
        {"hardware revision 2", {5, 3, 2, 1, 5, 0}, texts::modelNotSupported},
        {"model code 0", {5, 0, 0, 1, 5, 0}, texts::modelNotSupported},
        {"model code 1", {5, 1, 1, 1, 5, 0}, texts::modelNotSupported},
        {"model code 2", {5, 2, 0, 1, 5, 0}, texts::modelNotSupported},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.what);
        SimulatedRig rig(withIdentity(c.identity));
        BoxWatcher boxes;
        rig.probe.link().setIdentity(2, 1); // as a project file opened before would leave it
        const auto versionBefore = rig.probe.link().versionText();

        click(rig.probe.connectButton());
        EXPECT_EQ(rig.boxText(), texts::searching);
        ASSERT_TRUE(pumpUntil([&] { return boxes.saw(c.text); }));
        ASSERT_TRUE(pumpUntil([&] { return isReleased(rig.probe.connectButton()); }));

        EXPECT_EQ(boxes.notices(), std::vector<juce::String>{c.text});
        EXPECT_EQ(boxes.seen.back().buttons, juce::StringArray(texts::ok));
        EXPECT_EQ(rig.probe.messageBox(), nullptr);
        EXPECT_TRUE(rig.showsDisconnected());
        EXPECT_EQ(rig.probe.supervisor().state(), Idle);
        EXPECT_EQ(rig.probe.link().modelIndex(), 2);
        EXPECT_EQ(rig.probe.link().hardwareRevision(), 1);
        EXPECT_EQ(rig.probe.link().versionText(), versionBefore);
        EXPECT_FALSE(rig.probe.isTimerRunning(PortScanTimer));
        EXPECT_FALSE(rig.probe.isTimerRunning(DumpTimeoutTimer));
        EXPECT_TRUE(rig.probe.hasInput()) << "the ports stay open";
        EXPECT_TRUE(rig.probe.hasOutput());
        EXPECT_FALSE(settingsFile().exists());
        ASSERT_TRUE(rig.instrument().waitUntilIdle(5000ms));
        EXPECT_EQ(rig.receivedMessages(), std::vector<Bytes>{identityRequest}) << "no DumpRequest";
    }
}

TEST(Identity, AReplyWhileConnectedOnlyAnswersTheHeartbeat)
{
    // The instrument answers the connect only; the heartbeat depends on the replies sent here.
    SimulatedRig rig("model=1,revision=1,heartbeat-stops-after=1");
    BoxWatcher boxes;
    ASSERT_TRUE(rig.connect());
    ASSERT_TRUE(rig.instrument().waitUntilIdle(5000ms));
    ASSERT_FALSE(rig.probe.supervisor().isHeartbeatAnswered());
    const auto dumpRequests = rig.received(Received::dumpRequest);
    const auto values = rig.probe.link().parameterValues();

    const sysex::Identity replies[] = {
        {5, 6, 0, 9, 9, 9}, // another model, revision and firmware
        {4, 3, 0, 1, 5, 0}, // would be refused
        {5, 0, 0, 1, 5, 0}, // would be refused
    };
    for (const auto& reply : replies)
    {
        rig.sendToEditor(sysex::identityReply(reply));
        ASSERT_TRUE(pumpUntil([&] { return rig.probe.supervisor().isHeartbeatAnswered(); }));
        pumpFor(50ms);
        EXPECT_EQ(rig.probe.deviceLabel().getText(), "Kestra Brio QMR");
        EXPECT_EQ(rig.probe.firmwareLabel().getText(), "rel 1.5");
        EXPECT_EQ(rig.probe.link().versionText(), "rel 1.5");
        EXPECT_EQ(rig.probe.link().modelIndex(), 1);
        EXPECT_EQ(rig.probe.link().hardwareRevision(), 1);
        EXPECT_EQ(rig.probe.supervisor().state(), Idle);
        EXPECT_EQ(rig.probe.link().parameterValues(), values);
        EXPECT_FALSE(rig.probe.isTimerRunning(DumpTimeoutTimer));
        EXPECT_TRUE(rig.showsConnected());
    }
    EXPECT_EQ(rig.received(Received::dumpRequest), dumpRequests);

    // The heartbeat takes the reply as its answer and asks again.
    ASSERT_TRUE(pumpUntil([&] { return rig.received(Received::identityRequest) == 3; }, 8000ms));
    EXPECT_TRUE(rig.probe.supervisor().isConnected());
    EXPECT_TRUE(boxes.notices().empty());
}

// ---- the dump sections -------------------------------------------------------------------------

TEST(Dump, SectionsThatTakeLongerThanSixSecondsTogetherEndInACommunicationError)
{
    // 2500 ms a section: the third would end 7500 ms after the first request.
    SimulatedRig rig("dump-delay=2500");
    BoxWatcher boxes;
    const auto start = Clock::now();
    click(rig.probe.connectButton());
    ASSERT_TRUE(pumpUntil([&] { return boxes.saw(texts::dumpFailed); }, 15000ms));
    ASSERT_TRUE(pumpUntil([&] { return isReleased(rig.probe.connectButton()); }));

    const double failedAfter = millisecondsBetween(start, boxes.when(texts::dumpFailed));
    EXPECT_GE(failedAfter, 6000.0 - timerSlackMs);
    EXPECT_LE(failedAfter, 9000.0);
    EXPECT_EQ(boxes.messages(), (std::vector<juce::String>{texts::searching, texts::dumpFailed}));
    EXPECT_TRUE(rig.showsDisconnected());
    EXPECT_EQ(rig.probe.supervisor().state(), Idle);
    EXPECT_FALSE(rig.probe.hasInput()) << "the ports are closed";
    EXPECT_FALSE(rig.probe.hasOutput());
    EXPECT_FALSE(rig.probe.isTimerRunning(DumpTimeoutTimer));
    EXPECT_FALSE(settingsFile().exists());

    // Each section was asked for when the one before had ended, and the
    // time-out was not restarted between them. (The third request goes out
    // about 5000 ms after the first; on a busy machine the time-out may come first.)
    const auto sections = dumpRequestTimes(rig.instrument());
    ASSERT_GE(sections.size(), 2u);
    ASSERT_LE(sections.size(), 3u);
    for (size_t k = 1; k < sections.size(); ++k)
        EXPECT_GE(sections[k] - sections[k - 1], 2500);

    // The last DoneMessage comes to closed ports.
    pumpFor(std::chrono::milliseconds(8500) -
            std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start));
    EXPECT_EQ(boxes.seen.size(), 2u);
    EXPECT_TRUE(rig.showsDisconnected());
    EXPECT_EQ(rig.probe.supervisor().state(), Idle);
    EXPECT_EQ(rig.received(Received::dumpRequest), static_cast<int>(sections.size()));
}

TEST(Dump, AValueReportedDuringASectionReachesItsControlAtTheEndOfTheHandshake)
{
    SimulatedRig rig("dump-delay=800");
    BoxWatcher boxes;
    auto& slider = *rig.probe.slider(5);
    const double shownBefore = slider.getValue();
    const auto nameBefore = tonewheelItemText(rig.probe, 2);
    ASSERT_NE(shownBefore, 42.0);

    click(rig.probe.connectButton());
    ASSERT_TRUE(pumpUntil([&] { return rig.probe.supervisor().state() == AwaitingSection7E; }));
    rig.instrument().turnKnob(5, 42.0f);
    rig.instrument().renameSlot(2, "Bright");
    ASSERT_TRUE(pumpUntil([&] { return rig.probe.link().tonewheelName(2) == "FAC3 -  Bright"; }));
    EXPECT_EQ(rig.probe.link().parameterValue(5), 42.0f);
    pumpFor(200ms);
    ASSERT_NE(rig.probe.supervisor().state(), Idle) << "the dump took less time than planned";
    EXPECT_EQ(slider.getValue(), shownBefore);
    EXPECT_EQ(tonewheelItemText(rig.probe, 2), nameBefore);

    ASSERT_TRUE(pumpUntil([&] { return rig.isConnectedAndIdle(); }));
    EXPECT_EQ(slider.getValue(), 42.0);
    EXPECT_EQ(tonewheelItemText(rig.probe, 2), "FAC3 -  Bright");

    // While connected and idle a value reaches its control at once.
    rig.instrument().turnKnob(5, 17.0f);
    EXPECT_TRUE(pumpUntil([&] { return slider.getValue() == 17.0; }));

    // A DoneMessage outside a dump, a store or a reset changes nothing.
    const int dumpRequests = rig.received(Received::dumpRequest);
    rig.sendToEditor(sysex::doneMessage());
    pumpFor(200ms);
    EXPECT_TRUE(rig.isConnectedAndIdle());
    EXPECT_EQ(rig.received(Received::dumpRequest), dumpRequests);
    EXPECT_TRUE(boxes.notices().empty());
}

// ---- the heartbeat -----------------------------------------------------------------------------

namespace
{
struct HeartbeatCase
{
    const char* name;
    int answered; // IdentityRequests the instrument answers, the connect's included
    double lostAfterAtLeast;
};

void PrintTo(const HeartbeatCase& c, std::ostream* os)
{
    *os << c.name;
}

struct Heartbeat : ::testing::TestWithParam<HeartbeatCase>
{
};

const HeartbeatCase heartbeatCases[] = {
    {"SilentAfterTheConnect", 1, 3000.0},
    {"SilentAfterTheFirstHeartbeat", 2, 6000.0},
};
} // namespace

TEST_P(Heartbeat, ASilentInstrumentIsNoticedAndTheLinkClosedThenConnectWorksAgain)
{
    const auto& c = GetParam();
    SimulatedRig rig("heartbeat-stops-after=" + std::to_string(c.answered));
    BoxWatcher boxes;
    ASSERT_TRUE(rig.connect());
    const auto connectedAt = Clock::now();

    ASSERT_TRUE(pumpUntil([&] { return boxes.saw(texts::connectionLost); }, 15000ms));
    ASSERT_TRUE(pumpUntil([&] { return isReleased(rig.probe.connectButton()); }));

    // Noticed 3000 to 6000 ms after the last answer, which came right at the connect.
    const double lostAfter = millisecondsBetween(connectedAt, boxes.when(texts::connectionLost));
    EXPECT_GE(lostAfter, c.lostAfterAtLeast - timerSlackMs);
    EXPECT_LE(lostAfter, 6000.0 + 3000.0);
    EXPECT_EQ(boxes.notices(), std::vector<juce::String>{texts::connectionLost});
    EXPECT_TRUE(rig.showsDisconnected());
    EXPECT_FALSE(rig.probe.hasInput());
    EXPECT_FALSE(rig.probe.hasOutput());
    EXPECT_EQ(rig.received(Received::identityRequest), c.answered + 1);

    // The instrument is back: CONNECT works as before.
    rig.instrument().setFaults({});
    ASSERT_TRUE(rig.connect());
    EXPECT_TRUE(rig.showsConnected());
    EXPECT_EQ(rig.probe.deviceLabel().getText(), "Kestra ");
}

INSTANTIATE_TEST_SUITE_P(Cases, Heartbeat, ::testing::ValuesIn(heartbeatCases),
                         [](const ::testing::TestParamInfo<HeartbeatCase>& p)
                         { return std::string(p.param.name); });

// ---- store and reset ---------------------------------------------------------------------------

namespace
{
enum class Flow
{
    confirmed,
    declined, // the reset question answered "No"
    timedOut,
    secondClick,  // clicked again while waiting, then confirmed late
    disconnected, // a disconnect while waiting
    notConnected,
};

struct CommandCase
{
    const char* name;
    bool reset;
    Flow flow;
    const char* options;
};

const CommandCase commandCases[] = {
    {"StoreConfirmed", false, Flow::confirmed, ""},
    {"ResetConfirmed", true, Flow::confirmed, ""},
    {"ResetDeclined", true, Flow::declined, ""},
    {"StoreTimedOut", false, Flow::timedOut, "silent-after-store"},
    {"ResetTimedOut", true, Flow::timedOut, "silent-after-reset"},
    {"StoreClickedTwice", false, Flow::secondClick, "silent-after-store"},
    {"ResetClickedTwice", true, Flow::secondClick, "silent-after-reset"},
    {"StorePendingAcrossADisconnect", false, Flow::disconnected, "silent-after-store"},
    {"StoreWhileNotConnected", false, Flow::notConnected, ""},
    {"ResetWhileNotConnected", true, Flow::notConnected, ""},
};

void PrintTo(const CommandCase& c, std::ostream* os)
{
    *os << c.name;
}

struct StoreAndReset : ::testing::TestWithParam<CommandCase>
{
};
} // namespace

TEST_P(StoreAndReset, EndsWithItsConfirmationOrItsTimeOut)
{
    const auto& c = GetParam();
    SimulatedRig rig(c.options);
    BoxWatcher boxes;
    boxes.answer(texts::resetQuestion, c.flow == Flow::declined ? texts::no : texts::yes);

    auto& button = c.reset ? rig.probe.resetButton() : rig.probe.storeButton();
    const auto kind = c.reset ? Received::resetRequest : Received::storeRequest;
    const int timer = c.reset ? ResetTimeoutTimer : StoreTimeoutTimer;
    const int pending = c.reset ? ResetPending : StorePending;
    const char* confirmed = c.reset ? texts::resetConfirmed : texts::storeConfirmed;
    const char* notConfirmed = c.reset ? texts::resetNotConfirmed : texts::storeNotConfirmed;
    std::vector<juce::String> expectedBoxes;

    if (c.flow == Flow::notConnected)
    {
        click(button);
        EXPECT_TRUE(isReleased(button));
        EXPECT_FALSE(rig.probe.isTimerRunning(timer));
        EXPECT_EQ(rig.probe.supervisor().state(), Idle);
        pumpFor(100ms);
        EXPECT_TRUE(boxes.seen.empty());
        EXPECT_FALSE(rig.probe.hasOutput());
        EXPECT_EQ(rig.received(kind), 0);
        return;
    }

    rig.instrument().turnKnob(5, 42.0f);
    ASSERT_TRUE(rig.connect());
    ASSERT_EQ(rig.probe.slider(5)->getValue(), 42.0);
    if (c.reset)
        expectedBoxes.push_back(texts::resetQuestion);

    const auto start = Clock::now();
    click(button);
    if (c.reset)
    {
        ASSERT_TRUE(boxes.settle()); // the question, answered
    }

    if (c.flow == Flow::declined)
    {
        EXPECT_TRUE(isReleased(button));
        EXPECT_FALSE(rig.probe.isTimerRunning(timer));
        EXPECT_EQ(rig.probe.supervisor().state(), Idle);
        pumpFor(200ms);
        EXPECT_EQ(rig.received(kind), 0);
        EXPECT_EQ(boxes.notices(), expectedBoxes);
        return;
    }

    // (A reset's question is answered from the message loop, by which time
    // an instrument that confirms at once may have confirmed.)
    if (!(c.reset && c.flow == Flow::confirmed))
    {
        EXPECT_EQ(rig.probe.supervisor().state(), pending);
    }

    switch (c.flow)
    {
    case Flow::confirmed:
        ASSERT_TRUE(pumpUntil([&] { return isReleased(button); }));
        expectedBoxes.push_back(confirmed);
        EXPECT_FALSE(rig.probe.isTimerRunning(timer));
        // A reset brings the instrument's defaults, which the refresh shows.
        EXPECT_EQ(rig.probe.slider(5)->getValue(), c.reset ? parameterInfo(5).defaults[0] : 42.0);
        break;

    case Flow::timedOut:
    case Flow::disconnected:
    {
        EXPECT_TRUE(rig.probe.isTimerRunning(timer));
        if (c.flow == Flow::disconnected)
        {
            click(rig.probe.connectButton());
            ASSERT_TRUE(rig.showsDisconnected());
            expectedBoxes.push_back(notConfirmed);
        }
        else
        {
            expectedBoxes.push_back(notConfirmed);
        }
        ASSERT_TRUE(pumpUntil([&] { return boxes.saw(notConfirmed); }, 12000ms));
        ASSERT_TRUE(pumpUntil([&] { return isReleased(button); }));
        const double after = millisecondsBetween(start, boxes.when(notConfirmed));
        EXPECT_GE(after, 6000.0 - timerSlackMs);
        EXPECT_LE(after, 9000.0);
        // The link itself is as it was.
        EXPECT_EQ(rig.probe.supervisor().isConnected(), c.flow == Flow::timedOut);
        EXPECT_EQ(rig.probe.isTimerRunning(HeartbeatTimer), c.flow == Flow::timedOut);
        break;
    }

    case Flow::secondClick:
        click(button);
        EXPECT_FALSE(button.getToggleState());
        EXPECT_FALSE(rig.probe.isTimerRunning(timer));
        EXPECT_EQ(rig.probe.supervisor().state(), pending);
        pumpFor(6500ms);
        EXPECT_EQ(boxes.notices(), expectedBoxes) << "no missing-confirmation box";
        // The confirmation, late, is still welcome.
        rig.sendToEditor(sysex::doneMessage());
        ASSERT_TRUE(pumpUntil([&] { return boxes.saw(confirmed); }));
        expectedBoxes.push_back(confirmed);
        ASSERT_TRUE(pumpUntil([&] { return rig.probe.messageBox() == nullptr; }));
        EXPECT_TRUE(isReleased(button));
        break;

    default:
        break;
    }

    EXPECT_EQ(rig.probe.supervisor().state(), Idle);
    EXPECT_EQ(boxes.notices(), expectedBoxes);
    ASSERT_TRUE(rig.instrument().waitUntilIdle(5000ms));
    EXPECT_EQ(rig.received(kind), 1);
    if (c.flow != Flow::disconnected)
    {
        EXPECT_TRUE(rig.showsConnected());
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, StoreAndReset, ::testing::ValuesIn(commandCases),
                         [](const ::testing::TestParamInfo<CommandCase>& p)
                         { return std::string(p.param.name); });
