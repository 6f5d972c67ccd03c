// The full send after an opening, headless: the box, the 200 ms on
// BulkSendTimer (a timer that fires early waits for the rest), the heartbeat
// held while the pacer sends, the end of a send (complete, cut by the link,
// replaced by a newer opening, or the window closing) and a late word of a
// send already over. The pacer's clock jumps to each deadline at once; a test
// can hold it at one wait to look at the send halfway.

#include "files/ProjectFile.h"
#include "files/ProjectSendController.h"
#include "support/ControllerRig.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

using namespace kestra;
using kestra::testing::Bytes;
using kestra::testing::ControllerRig;
using kestra::testing::Lines;

namespace
{
// Jumps to every deadline at once; the wait numbered holdAt (from 0) blocks
// until the test releases it or the pacer is stopped.
struct FakePacingClock final : projectfile::PacingClock
{
    std::atomic<double> now{0.0};
    std::atomic<int> holdAt{-1};
    std::atomic<bool> holding{false};
    std::atomic<bool> released{false};
    int waits = 0; // the pacer's thread only

    double nowMs() override { return now.load(); }
    void waitUntil(double deadlineMs, std::unique_lock<std::mutex>& lock,
                   std::condition_variable& wake, const bool& stopping) override
    {
        if (waits++ == holdAt.load())
        {
            holding = true;
            while (!stopping && !released.load())
                wake.wait_for(lock, std::chrono::milliseconds(1));
            holding = false;
            if (stopping)
                return;
        }
        if (deadlineMs > now.load())
            now = deadlineMs;
    }
    void waitUntilHolding() const
    {
        while (!holding.load())
            std::this_thread::yield();
    }
};

struct SendRig : ControllerRig, ProjectSendController::View
{
    SendRig()
    {
        onTimer = [this](int id)
        {
            if (id != BulkSendTimer)
                return false;
            send.timerExpired();
            return true;
        };
        onLinkUp = [this](bool up) { send.setLinkUp(up); };
        connectAndLoad();
    }
    ~SendRig() override { send.shutDown(); }

    void showTransmissionBox() override { boxes.push_back("show"); }
    void closeTransmissionBox() override { boxes.push_back("close"); }

    // The timers and the pacer's clock move together.
    void advance(int ms)
    {
        clock.now = clock.now.load() + ms;
        timers.advance(ms);
    }

    FakePacingClock clock;
    ProjectSendController send{link, *this, supervisor, timers, *this, clock};
    Lines boxes;
};

const Bytes bulkOn = sysex::bulkModeMessage(1);
const Bytes bulkOff = sysex::bulkModeMessage(0);

// BulkModeMessage 1, the parameters 0 ... last as a device link with that
// record sends them, BulkModeMessage 0.
std::vector<Bytes> wholeSend(const ProjectRecord& record, int last)
{
    struct Recorder final : LinkHost
    {
        void sendToInstrument(const uint8_t* data, size_t size) override
        {
            messages.emplace_back(data, data + size);
        }
        void postInternalMessage(int, int) override {}
        std::vector<Bytes> messages;
    } recorder;
    DeviceLink reference(recorder);
    reference.setRecord(record);
    reference.sendBulkModeMessage(1);
    for (int n = 0; n <= last; ++n)
        reference.sendParameter(n);
    reference.sendBulkModeMessage(0);
    return recorder.messages;
}
} // namespace

TEST(ProjectSendController, TheSendWaitsTwoHundredMillisecondsThenGoesOutWholeWithoutTheHeartbeat)
{
    SendRig rig;
    rig.send.start(84);
    EXPECT_EQ(rig.boxes, Lines{"show"});
    EXPECT_EQ(rig.timers.remaining(BulkSendTimer), 200);
    EXPECT_TRUE(rig.send.isSending());

    rig.advance(199);
    EXPECT_TRUE(rig.takeSent().empty());

    rig.clock.holdAt = 1; // after BulkModeMessage 1 and parameter 0
    rig.advance(1);
    rig.clock.waitUntilHolding();
    EXPECT_FALSE(rig.timers.isRunning(HeartbeatTimer)) << "nothing between the bulk messages";
    rig.clock.released = true;

    const int send = rig.waitForPost(ProjectSendEnded);
    EXPECT_EQ(rig.boxes, Lines{"show"}) << "the box stays until the message thread has the word";
    rig.send.sendEnded(send);

    EXPECT_EQ(rig.takeSent(), wholeSend(rig.link.record(), 84));
    EXPECT_EQ(rig.boxes, (Lines{"show", "close"}));
    EXPECT_EQ(rig.timers.remaining(HeartbeatTimer), 3000);
    EXPECT_FALSE(rig.send.isSending());
}

TEST(ProjectSendController, ATimerThatFiresEarlyWaitsForTheRestOfItsTime)
{
    SendRig rig;
    rig.send.start(10);
    rig.clock.now = rig.clock.now.load() - 30.0; // the timer runs 30 ms ahead of the clock
    rig.advance(200);
    EXPECT_TRUE(rig.takeSent().empty());
    EXPECT_EQ(rig.timers.remaining(BulkSendTimer), 30);

    rig.advance(30);
    rig.send.sendEnded(rig.waitForPost(ProjectSendEnded));
    EXPECT_EQ(rig.takeSent(), wholeSend(rig.link.record(), 10));
}

TEST(ProjectSendController, ALinkLostBeforeTheSendTakesItWithNothingSent)
{
    SendRig rig;
    rig.send.start(84);
    rig.disconnect();
    rig.advance(200);
    EXPECT_TRUE(rig.takeSent().empty());
    EXPECT_EQ(rig.boxes, (Lines{"show", "close"}));
    EXPECT_FALSE(rig.timers.isRunning(HeartbeatTimer));
    EXPECT_FALSE(rig.send.isSending());
}

TEST(ProjectSendController, ALinkLostHalfwayEndsTheSendAndLeavesTheHeartbeatOff)
{
    SendRig rig;
    rig.send.start(84);
    rig.clock.holdAt = 5;
    rig.advance(200);
    rig.clock.waitUntilHolding();
    rig.disconnect(); // the link down: the pacer stops at its next message
    rig.clock.released = true;
    rig.send.sendEnded(rig.waitForPost(ProjectSendEnded));

    const auto sent = rig.takeSent();
    ASSERT_EQ(sent.size(), 6u); // BulkModeMessage 1, parameters 0 ... 4
    EXPECT_EQ(sent.front(), bulkOn);
    EXPECT_EQ(rig.boxes, (Lines{"show", "close"}));
    EXPECT_FALSE(rig.timers.isRunning(HeartbeatTimer));
    EXPECT_FALSE(rig.send.isSending());
}

TEST(ProjectSendController, ANewOpeningEndsTheSendBeforeWithBulkModeOffAndIgnoresItsLateWord)
{
    SendRig rig;
    rig.send.start(84);
    rig.clock.holdAt = 3;
    rig.advance(200);
    rig.clock.waitUntilHolding();

    rig.send.start(20);
    const auto cut = rig.takeSent();
    ASSERT_EQ(cut.size(), 5u); // BulkModeMessage 1, parameters 0 ... 2, then BulkModeMessage 0
    EXPECT_EQ(cut.back(), bulkOff);
    EXPECT_EQ(rig.boxes, (Lines{"show", "close", "show"}));
    EXPECT_EQ(rig.timers.remaining(HeartbeatTimer), 3000) << "resumed between the two sends";
    EXPECT_EQ(rig.timers.remaining(BulkSendTimer), 200);

    // A complete send, whose word is still on its way when the next opening comes.
    rig.advance(200);
    const int first = rig.waitForPost(ProjectSendEnded);
    rig.send.start(20);
    rig.send.sendEnded(first);
    EXPECT_EQ(rig.boxes, (Lines{"show", "close", "show", "close", "show"}));
    EXPECT_TRUE(rig.send.isSending());
    EXPECT_EQ(rig.takeSent(), wholeSend(rig.link.record(), 20));

    rig.advance(200);
    rig.send.sendEnded(rig.waitForPost(ProjectSendEnded));
    EXPECT_EQ(rig.takeSent(), wholeSend(rig.link.record(), 20));
    EXPECT_EQ(rig.boxes.back(), "close");
}

TEST(ProjectSendController, ClosingTheWindowHalfwayTakesTheInstrumentOutOfBulkMode)
{
    SendRig rig;
    rig.send.start(84);
    rig.clock.holdAt = 2;
    rig.advance(200);
    rig.clock.waitUntilHolding();
    rig.send.shutDown();

    const auto sent = rig.takeSent();
    ASSERT_EQ(sent.size(), 4u);
    EXPECT_EQ(sent.back(), bulkOff);
    EXPECT_EQ(rig.boxes, Lines{"show"}) << "nothing is shown as the window goes";
    EXPECT_FALSE(rig.send.isSending());
    EXPECT_FALSE(rig.timers.isRunning(BulkSendTimer));
}

TEST(ProjectSendController, AWordWithNoSendRunningChangesNothing)
{
    SendRig rig;
    rig.send.sendEnded(1);
    rig.send.timerExpired();
    EXPECT_TRUE(rig.boxes.empty());
    EXPECT_TRUE(rig.takeSent().empty());
    EXPECT_EQ(rig.timers.remaining(HeartbeatTimer), 3000);
}
