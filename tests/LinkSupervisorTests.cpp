// The link supervision headless, on a clock the test advances: the search
// over port pairs, the identity check's decisions, the dump sections and
// their time-out, the heartbeat, store and reset with their confirmations
// and time-outs, and how the link ends a search, a handshake and an upload.
// The test plays the MIDI input thread (receive) and the message thread
// (deliver, and the timers' expiries).

#include "link/LinkSupervisor.h"
#include "support/FakeLinkTimers.h"

#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

using namespace kestra;
using kestra::testing::FakeLinkTimers;
using Bytes = sysex::Bytes;

namespace
{
const sysex::Identity brio{5, 4, 1, 1, 2, 3}; // model 1, revision 1, "rel 1.5"

Bytes fileDumpAck(uint8_t packet)
{
    return {0xF0, 0x7E, 0x00, 0x7F, packet, 0xF7};
}

// One line per thing the window was asked to do.
struct Rig : LinkHost, LinkSupervisor::Window, LinkSupervisor::Ports
{
    Rig()
    {
        timers.onExpiry = [this](int id) { supervisor.timerExpired(id); };
    }

    // ---- LinkHost ----
    void sendToInstrument(const uint8_t* data, size_t size) override
    {
        if (pair >= 0)
            sent.push_back({pair, Bytes(data, data + size)});
    }
    void postInternalMessage(int type, int value) override { posted.push_back({type, value}); }

    // ---- Window ----
    void showLinkNotice(LinkNotice notice) override
    {
        window.push_back("notice " + std::to_string(static_cast<int>(notice)));
        if (duringBox)
            std::exchange(duringBox, nullptr)();
    }
    void showSearchingBox() override { window.push_back("searching"); }
    void releaseLinkButton(LinkButton button) override
    {
        window.push_back("release " + std::to_string(static_cast<int>(button)));
    }
    void onIdentityRejected(int reason) override
    {
        window.push_back("rejected " + std::to_string(reason));
    }
    void askReset(std::function<void(bool yes)> onAnswer) override
    {
        window.push_back("question");
        if (duringBox)
            std::exchange(duringBox, nullptr)();
        onAnswer(resetAnswer);
    }
    void showLinkUp() override { window.push_back("up"); }
    void showLinkDown() override { window.push_back("down"); }
    void showInstrumentValues() override { window.push_back("values"); }
    void showResetValues() override { window.push_back("reset values"); }

    // ---- Ports: pairs numbered from the top; -1 none open ----
    bool openForSearch() override
    {
        if (busy)
            return false;
        pair = firstPair;
        return true;
    }
    bool openNextPair() override
    {
        ++pairsOpened;
        if (pair <= 0)
            return false;
        --pair;
        return true;
    }
    void close() override { pair = -1; }
    bool isOpen() const override { return pair >= 0; }
    void rememberPair() override { remembered = pair; }

    // ---- the two threads ----
    void receive(const Bytes& message) { link.handleIncoming(message.data(), message.size()); }
    // The message thread handles what has been posted, as the component does.
    void deliver()
    {
        while (!posted.empty())
        {
            const auto [type, value] = posted.front();
            posted.pop_front();
            if (type == IdentityReceived)
                supervisor.identityReceived();
            else if (type == DoneReceived)
                supervisor.doneReceived();
        }
    }

    std::vector<Bytes> sentTo(int toPair) const
    {
        std::vector<Bytes> messages;
        for (const auto& s : sent)
            if (s.first == toPair)
                messages.push_back(s.second);
        return messages;
    }
    std::vector<Bytes> takeSent()
    {
        std::vector<Bytes> messages;
        for (const auto& s : sent)
            messages.push_back(s.second);
        sent.clear();
        return messages;
    }

    // Connect, accept and load: the link is up.
    void connectAndLoad()
    {
        supervisor.connect(true);
        receive(sysex::identityReply(brio));
        deliver();
        for (int section = 0; section < 3; ++section)
        {
            receive(sysex::doneMessage());
            deliver();
        }
        ASSERT_TRUE(supervisor.isConnected());
        sent.clear();
        window.clear();
    }

    FakeLinkTimers timers;
    DeviceLink link{*this};
    LinkSupervisor supervisor{link, timers, *this, *this};

    std::vector<std::pair<int, Bytes>> sent; // the pair, the message
    std::deque<std::pair<int, int>> posted;
    std::vector<std::string> window;
    std::function<void()> duringBox; // runs inside the next box's modal loop
    bool resetAnswer = true;
    bool busy = false;
    int firstPair = 2;
    int pair = -1;
    int pairsOpened = 0;
    int remembered = -1;
};

using Lines = std::vector<std::string>;
const std::string notice(LinkNotice n)
{
    return "notice " + std::to_string(static_cast<int>(n));
}
const std::string release(LinkButton b)
{
    return "release " + std::to_string(static_cast<int>(b));
}
} // namespace

// ---- the handshake ---------------------------------------------------------------------------

TEST(LinkSupervisor, AnAcceptedReplyLoadsTheThreeSectionsInOrderThenConnects)
{
    Rig rig;
    rig.supervisor.connect(true);
    EXPECT_EQ(rig.window, Lines{"searching"});
    EXPECT_EQ(rig.takeSent(), std::vector<Bytes>{sysex::identityRequest()});
    EXPECT_EQ(rig.timers.remaining(PortScanTimer), 500);

    rig.receive(sysex::identityReply(brio));
    EXPECT_EQ(rig.supervisor.state(), Idle) << "nothing is decided on the MIDI input thread";
    EXPECT_TRUE(rig.sent.empty());
    rig.deliver();
    EXPECT_EQ(rig.supervisor.state(), AwaitingSection7D);
    EXPECT_FALSE(rig.timers.isRunning(PortScanTimer));
    EXPECT_EQ(rig.timers.remaining(DumpTimeoutTimer), 6000);
    EXPECT_EQ(rig.link.modelIndex(), 1);
    EXPECT_EQ(rig.link.hardwareRevision(), 1);
    EXPECT_EQ(rig.link.versionText(), "rel 1.5");

    const int states[] = {AwaitingSection7E, AwaitingSection7C, Idle};
    for (int state : states)
    {
        rig.timers.advance(1000);
        rig.receive(sysex::doneMessage());
        rig.deliver();
        EXPECT_EQ(rig.supervisor.state(), state);
    }
    EXPECT_EQ(rig.takeSent(),
              (std::vector<Bytes>{sysex::dumpRequest(0x7D), sysex::dumpRequest(0x7E),
                                  sysex::dumpRequest(0x7C), sysex::identityRequest()}));
    EXPECT_TRUE(rig.supervisor.isConnected());
    EXPECT_EQ(rig.window, (Lines{"searching", "values", "up"}));
    EXPECT_EQ(rig.remembered, 2);
    EXPECT_FALSE(rig.timers.isRunning(DumpTimeoutTimer));
    EXPECT_EQ(rig.timers.remaining(HeartbeatTimer), 3000);
}

TEST(LinkSupervisor, SectionsThatTakeSixSecondsTogetherEndInACommunicationError)
{
    Rig rig;
    rig.supervisor.connect(true);
    rig.receive(sysex::identityReply(brio));
    rig.deliver();
    rig.timers.advance(3000);
    rig.receive(sysex::doneMessage());
    rig.deliver();
    rig.timers.advance(2999);
    EXPECT_EQ(rig.supervisor.state(), AwaitingSection7E);
    rig.timers.advance(1);
    EXPECT_EQ(rig.supervisor.state(), Idle);
    EXPECT_EQ(rig.window, (Lines{"searching", "down", release(LinkButton::connect),
                                 notice(LinkNotice::dumpFailed)}));
    EXPECT_FALSE(rig.isOpen());

    // The sections still on their way change nothing.
    rig.receive(sysex::doneMessage());
    rig.deliver();
    EXPECT_FALSE(rig.supervisor.isConnected());
    EXPECT_EQ(rig.supervisor.state(), Idle);
}

TEST(LinkSupervisor, RefusedRepliesShowTheirReasonAndLeaveTheRecord)
{
    struct Case
    {
        sysex::Identity identity;
        int reason;
    };
    const Case cases[] = {
        {{4, 3, 0, 1, 0, 0}, FirmwareOutOfDate}, {{6, 3, 0, 1, 0, 0}, EditorOutOfDate},
        {{5, 7, 0, 1, 0, 0}, ModelNotSupported}, {{5, 3, 2, 1, 0, 0}, ModelNotSupported},
        {{5, 0, 0, 1, 0, 0}, ModelNotSupported}, {{5, 2, 1, 1, 0, 0}, ModelNotSupported},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.reason);
        Rig rig;
        rig.supervisor.connect(true);
        rig.takeSent();
        rig.receive(sysex::identityReply(c.identity));
        rig.deliver();
        EXPECT_EQ(rig.window, (Lines{"searching", "rejected " + std::to_string(c.reason)}));
        EXPECT_TRUE(rig.sent.empty()) << "no DumpRequest";
        EXPECT_FALSE(rig.supervisor.isConnected());
        EXPECT_FALSE(rig.timers.isRunning(PortScanTimer));
        EXPECT_FALSE(rig.timers.isRunning(DumpTimeoutTimer));
        EXPECT_EQ(rig.link.modelIndex(), 0);
        EXPECT_TRUE(rig.isOpen()) << "the ports stay open";
    }
}

TEST(LinkSupervisor, AReplyWhileConnectedOnlyAnswersTheHeartbeat)
{
    Rig rig;
    rig.connectAndLoad();
    rig.receive(sysex::identityReply({5, 6, 0, 9, 9, 9}));
    rig.receive(sysex::identityReply({4, 3, 0, 1, 5, 0}));
    rig.deliver();
    EXPECT_TRUE(rig.supervisor.isHeartbeatAnswered());
    EXPECT_EQ(rig.link.modelIndex(), 1);
    EXPECT_EQ(rig.link.versionText(), "rel 1.5");
    EXPECT_TRUE(rig.sent.empty());
    EXPECT_TRUE(rig.window.empty());
}

// ---- the search ------------------------------------------------------------------------------

TEST(LinkSupervisor, TheSearchTriesEachPairForHalfASecondThenReportsNoDevice)
{
    Rig rig;
    rig.supervisor.connect(true);
    rig.timers.advance(499);
    EXPECT_EQ(rig.pair, 2);
    rig.timers.advance(1);
    EXPECT_EQ(rig.pair, 1);
    rig.timers.advance(500);
    EXPECT_EQ(rig.pair, 0);
    EXPECT_EQ(rig.sentTo(2).size(), 1u);
    EXPECT_EQ(rig.sentTo(1).size(), 1u);
    EXPECT_EQ(rig.sentTo(0).size(), 1u);
    rig.timers.advance(500);
    EXPECT_EQ(rig.window, (Lines{"searching", notice(LinkNotice::deviceNotFound),
                                 release(LinkButton::connect)}));
    EXPECT_FALSE(rig.timers.isRunning(PortScanTimer));
    rig.timers.advance(10000);
    EXPECT_EQ(rig.pairsOpened, 3);
}

TEST(LinkSupervisor, ABusyPortEndsTheConnectAtOnce)
{
    Rig rig;
    rig.busy = true;
    rig.supervisor.connect(true);
    EXPECT_EQ(rig.window, (Lines{notice(LinkNotice::portBusy), release(LinkButton::connect)}));
    EXPECT_TRUE(rig.sent.empty());
    EXPECT_FALSE(rig.timers.isRunning(PortScanTimer));
}

TEST(LinkSupervisor, AReplyWaitingForTheMessageThreadKeepsItsPortPair)
{
    // The reply has arrived on pair 2 when the scan step falls due, before the
    // message thread has taken it: the step must not move to the next pair.
    Rig rig;
    rig.supervisor.connect(true);
    rig.timers.advance(400);
    rig.receive(sysex::identityReply(brio));
    rig.timers.advance(100);
    EXPECT_EQ(rig.pair, 2);
    rig.deliver();
    EXPECT_EQ(rig.supervisor.state(), AwaitingSection7D);
    EXPECT_EQ(rig.sentTo(2).back(), sysex::dumpRequest(0x7D));
    EXPECT_FALSE(rig.timers.isRunning(PortScanTimer));
    rig.timers.advance(1000);
    EXPECT_EQ(rig.pair, 2);
    EXPECT_EQ(rig.window, Lines{"searching"});
}

TEST(LinkSupervisor, AReplyFromAPairAlreadyClosedIsDropped)
{
    Rig rig;
    rig.supervisor.connect(true);
    rig.timers.advance(500); // on to pair 1
    rig.link.dropPendingIdentities();
    rig.supervisor.connect(false);
    rig.receive(sysex::identityReply(brio)); // arrived as the ports closed
    rig.supervisor.connect(false);
    rig.deliver();
    EXPECT_EQ(rig.supervisor.state(), Idle);
    EXPECT_TRUE(rig.sentTo(1).size() == 1u) << "only the IdentityRequest";
}

TEST(LinkSupervisor, ACancelledSearchNeverConnects)
{
    enum class End
    {
        cancel,
        notFound,
    };
    for (const auto end : {End::cancel, End::notFound})
    {
        SCOPED_TRACE(static_cast<int>(end));
        Rig rig;
        rig.firstPair = 0;
        rig.supervisor.connect(true);
        if (end == End::cancel)
            rig.supervisor.cancelSearch();
        else
            rig.timers.advance(500);
        EXPECT_FALSE(rig.timers.isRunning(PortScanTimer));
        rig.takeSent();

        // The instrument answers late, on the ports that stay open.
        rig.receive(sysex::identityReply(brio));
        rig.deliver();
        for (int section = 0; section < 3; ++section)
        {
            rig.receive(sysex::doneMessage());
            rig.deliver();
        }
        EXPECT_TRUE(rig.sent.empty()) << "no DumpRequest";
        EXPECT_FALSE(rig.supervisor.isConnected());
        EXPECT_EQ(rig.supervisor.state(), Idle);
        EXPECT_FALSE(rig.timers.isRunning(DumpTimeoutTimer));
        EXPECT_FALSE(rig.timers.isRunning(HeartbeatTimer));
        EXPECT_EQ(std::count(rig.window.begin(), rig.window.end(), "up"), 0);
    }
}

// ---- the heartbeat ---------------------------------------------------------------------------

TEST(LinkSupervisor, TheHeartbeatAsksEveryThreeSecondsAndEndsTheLinkWhenUnanswered)
{
    Rig rig;
    rig.connectAndLoad();
    for (int beat = 0; beat < 3; ++beat)
    {
        rig.receive(sysex::identityReply(brio));
        rig.deliver();
        rig.timers.advance(3000);
        EXPECT_EQ(rig.takeSent(), std::vector<Bytes>{sysex::identityRequest()});
        EXPECT_TRUE(rig.supervisor.isConnected());
    }
    rig.timers.advance(2999);
    EXPECT_TRUE(rig.supervisor.isConnected());
    rig.timers.advance(1);
    EXPECT_FALSE(rig.supervisor.isConnected());
    EXPECT_EQ(rig.window,
              (Lines{"down", release(LinkButton::connect), notice(LinkNotice::connectionLost)}));
    EXPECT_FALSE(rig.isOpen());
    EXPECT_FALSE(rig.timers.isRunning(HeartbeatTimer));
}

// ---- store and reset -------------------------------------------------------------------------

TEST(LinkSupervisor, StoreAndResetWaitSixSecondsForTheirConfirmation)
{
    struct Case
    {
        bool reset;
        bool confirmed;
        Lines window;
    };
    const Case cases[] = {
        {false, true, {notice(LinkNotice::storeConfirmed), release(LinkButton::store)}},
        {false, false, {notice(LinkNotice::storeNotConfirmed), release(LinkButton::store)}},
        {true,
         true,
         {"question", "reset values", notice(LinkNotice::resetConfirmed),
          release(LinkButton::reset)}},
        {true,
         false,
         {"question", notice(LinkNotice::resetNotConfirmed), release(LinkButton::reset)}},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(std::to_string(c.reset) + std::to_string(c.confirmed));
        Rig rig;
        rig.connectAndLoad();
        rig.timers.stop(HeartbeatTimer); // not this test's business
        if (c.reset)
            rig.supervisor.reset(true);
        else
            rig.supervisor.store(true);
        EXPECT_EQ(rig.supervisor.state(), c.reset ? ResetPending : StorePending);
        EXPECT_EQ(rig.takeSent(),
                  std::vector<Bytes>{c.reset ? sysex::resetRequest() : sysex::storeRequest()});
        rig.timers.advance(5999);
        if (c.confirmed)
        {
            rig.receive(sysex::doneMessage());
            rig.deliver();
        }
        rig.timers.advance(1);
        EXPECT_EQ(rig.supervisor.state(), Idle);
        EXPECT_EQ(rig.window, c.window);
        EXPECT_TRUE(rig.supervisor.isConnected());
    }
}

TEST(LinkSupervisor, ASecondClickStopsTheTimeOutButTheConfirmationIsStillWelcome)
{
    Rig rig;
    rig.connectAndLoad();
    rig.timers.stop(HeartbeatTimer);
    rig.supervisor.store(true);
    rig.supervisor.store(false);
    rig.timers.advance(10000);
    EXPECT_TRUE(rig.window.empty());
    rig.receive(sysex::doneMessage());
    rig.deliver();
    EXPECT_EQ(rig.window, (Lines{notice(LinkNotice::storeConfirmed), release(LinkButton::store)}));
}

TEST(LinkSupervisor, StoreAndResetWithoutALinkOnlyReleaseTheirButton)
{
    Rig rig;
    rig.supervisor.store(true);
    rig.supervisor.reset(true);
    EXPECT_EQ(rig.window, (Lines{release(LinkButton::store), release(LinkButton::reset)}));
    EXPECT_TRUE(rig.sent.empty());
}

TEST(LinkSupervisor, ResetAnsweredNoOrAfterTheLinkWasLostSendsNothing)
{
    Rig rig;
    rig.connectAndLoad();
    rig.resetAnswer = false;
    rig.supervisor.reset(true);
    EXPECT_EQ(rig.window, (Lines{"question", release(LinkButton::reset)}));

    // The heartbeat is lost while the question is open; then Yes.
    rig.window.clear();
    rig.resetAnswer = true;
    rig.duringBox = [&] { rig.timers.advance(3000); };
    rig.supervisor.reset(true);
    EXPECT_TRUE(rig.sent.empty());
    EXPECT_EQ(rig.supervisor.state(), Idle);
    EXPECT_FALSE(rig.timers.isRunning(ResetTimeoutTimer));
    EXPECT_EQ(rig.window.back(), release(LinkButton::reset));
}

// ---- the end of the link ends an upload --------------------------------------------------------

TEST(LinkSupervisor, AnyEndOfTheLinkEndsTheUpload)
{
    enum class End
    {
        heartbeatLost,
        disconnect,
    };
    for (const auto end : {End::heartbeatLost, End::disconnect})
    {
        SCOPED_TRACE(static_cast<int>(end));
        Rig rig;
        rig.connectAndLoad();

        struct Io final : TonewheelTransfer::Io
        {
            explicit Io(Rig& r) : rig(r) {}
            void sendToInstrument(const uint8_t* data, size_t size) override
            {
                rig.sendToInstrument(data, size);
            }
            void postTransferEvent(int value) override
            {
                rig.postInternalMessage(TransferEvent, value);
            }
            Rig& rig;
        } io(rig);
        const std::vector<uint8_t> data(1000, 0x11);
        const filedump::Name name{};
        rig.link.transfer.load(name.data(), data.data(), static_cast<int32_t>(data.size()));
        rig.link.transfer.start(3, static_cast<int32_t>(data.size()), io);
        rig.receive(fileDumpAck(0));
        ASSERT_EQ(rig.link.transfer.phase(), TonewheelTransfer::SendingData);

        if (end == End::heartbeatLost)
            rig.timers.advance(3000);
        else
        {
            rig.supervisor.setConnected(false);
            rig.supervisor.connect(false);
        }
        EXPECT_EQ(rig.link.transfer.phase(), TonewheelTransfer::Ended);

        // Connected again, a stray ACK of the old transfer sends nothing.
        rig.connectAndLoad();
        rig.receive(fileDumpAck(1));
        rig.receive(fileDumpAck(2));
        EXPECT_TRUE(rig.sent.empty());
    }
}

// ---- the timers belong to the message thread ---------------------------------------------------

TEST(LinkSupervisor, NothingOnTheMidiThreadStartsOrStopsATimer)
{
    Rig rig;
    rig.supervisor.connect(true);
    const auto scanLeft = rig.timers.remaining(PortScanTimer);
    rig.receive(sysex::identityReply(brio));
    rig.receive(sysex::doneMessage());
    rig.receive(sysex::parameterValueMessage(4, 3.0f));
    EXPECT_EQ(rig.timers.remaining(PortScanTimer), scanLeft);
    EXPECT_FALSE(rig.timers.isRunning(DumpTimeoutTimer));
    EXPECT_EQ(rig.supervisor.state(), Idle);
}
