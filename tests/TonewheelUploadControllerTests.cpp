// The tonewheel upload as the message thread runs it, headless: the transfer
// box and its progress, the end (finished, failed, cancelled by the user)
// with the handshake again, a box that another has replaced, and a link that
// ends first or during a box. The instrument's replies go in as the MIDI
// input thread hands them over; the transfer's events come back through the
// posts, which the test hands to the controller as the message thread does.

#include "link/TonewheelUploadController.h"
#include "support/ControllerRig.h"

#include <gtest/gtest.h>

#include <vector>

using namespace kestra;
using kestra::testing::Bytes;
using kestra::testing::ControllerRig;
using kestra::testing::Lines;

namespace
{
const Bytes ack = {0xF0, 0x7E, 0x00, 0x7F, 0x00, 0xF7};
const Bytes cancelMessage = {0xF0, 0x7E, 0x00, 0x7D, 0x00, 0xF7};
const Bytes eofMessage = {0xF0, 0x7E, 0x00, 0x7B, 0x00, 0xF7};
Bytes instrumentCancel(uint8_t code)
{
    return {0xF0, 0x7E, 0x00, 0x7D, code, 0xF7};
}

bool isHeader(const Bytes& m)
{
    return m.size() == 47 && m[3] == 0x07 && m[4] == 0x01;
}
bool isDataPacket(const Bytes& m)
{
    return m.size() >= 10 && m[3] == 0x07 && m[4] == 0x02;
}

struct UploadRig : ControllerRig, TonewheelUploadController::View
{
    UploadRig()
    {
        connectAndLoad();
        const std::vector<uint8_t> name(32, 'A');
        std::vector<uint8_t> data(300);
        for (size_t k = 0; k < data.size(); ++k)
            data[k] = static_cast<uint8_t>(k);
        link.transfer.load(name.data(), data.data(), static_cast<int32_t>(data.size()));
    }

    // ---- View ----
    void showTransferBox() override
    {
        view.push_back("box");
        boxShown = true;
    }
    bool isTransferBoxShown() const override { return boxShown; }
    void showBytesRemaining(int32_t remaining) override
    {
        view.push_back("remaining " + std::to_string(remaining));
    }
    void showProgress(double done) override { view.push_back("done " + std::to_string(done)); }
    void closeTransferBox() override
    {
        view.push_back("close");
        boxShown = false;
    }
    // The user reads the box and presses OK at once, unless duringBox runs first.
    void showTransferErrorBox(int errorCode, std::function<void()> then) override
    {
        view.push_back("error " + std::to_string(errorCode));
        boxShown = false;
        if (duringBox)
            std::exchange(duringBox, nullptr)();
        then();
    }
    void showTransferCancelled() override
    {
        view.push_back("cancelled");
        boxShown = false;
    }

    // The instrument's reply, then the transfer's events on the message thread.
    void reply(const Bytes& message)
    {
        receive(message);
        for (const auto& [type, value] : takePosted())
            if (type == TransferEvent)
                upload.handleEvent(value);
    }

    TonewheelUploadController upload{link, *this, supervisor, *this, *this};
    Lines view;
    bool boxShown = false;
    std::function<void()> duringBox; // runs inside the next error box
};
} // namespace

TEST(TonewheelUploadController, TheBoxOpensAndShowsWhatIsLeftAsTheInstrumentAcknowledges)
{
    UploadRig rig;
    rig.upload.start(3, 300);
    EXPECT_EQ(rig.view, Lines{"box"});
    const auto header = rig.takeSent();
    ASSERT_EQ(header.size(), 1u);
    EXPECT_TRUE(isHeader(header[0]));

    rig.reply(ack); // the header's: the first packet, no event yet
    rig.reply(ack); // the first packet's: the second goes out
    EXPECT_EQ(rig.view, (Lines{"box", "remaining 196", "done " + std::to_string(104.0 / 300.0)}));
    for (const auto& m : rig.takeSent())
        EXPECT_TRUE(isDataPacket(m));
    EXPECT_EQ(rig.timers.remaining(HeartbeatTimer), 3000) << "the heartbeat runs on meanwhile";
}

TEST(TonewheelUploadController, ProgressIsShownOnlyInItsOwnBoxAndOnlyWhileTheTransferRuns)
{
    UploadRig rig;
    rig.upload.start(3, 300);
    rig.reply(ack);
    rig.boxShown = false; // another box has taken its place
    rig.reply(ack);
    EXPECT_EQ(rig.view, Lines{"box"});

    rig.boxShown = true;
    rig.link.endTransfer();
    rig.upload.showProgress();
    EXPECT_EQ(rig.view, Lines{"box"});
}

TEST(TonewheelUploadController, AFinishedUploadClosesItsBoxAndRunsTheHandshakeAgain)
{
    struct Case
    {
        bool boxStillShown;
        Lines view;
    };
    const Case cases[] = {
        {true,
         {"box", "remaining 196", "done " + std::to_string(104.0 / 300.0), "remaining 92",
          "done " + std::to_string(208.0 / 300.0), "close"}},
        {false, {"box"}}, // a box that replaced it stays
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.boxStillShown);
        UploadRig rig;
        rig.upload.start(3, 300);
        rig.boxShown = c.boxStillShown;
        for (int k = 0; k < 4; ++k)
            rig.reply(ack);
        EXPECT_EQ(rig.view, c.view);
        const auto sent = rig.takeSent();
        ASSERT_GE(sent.size(), 2u);
        EXPECT_EQ(sent[sent.size() - 2], eofMessage);
        EXPECT_EQ(sent.back(), sysex::identityRequest());
        EXPECT_FALSE(rig.timers.isRunning(HeartbeatTimer));
        EXPECT_EQ(rig.timers.remaining(DumpTimeoutTimer), 6000);
        EXPECT_TRUE(rig.supervisor.isAwaitingIdentity());
        EXPECT_FALSE(rig.supervisor.isConnected()) << "until the handshake decides";
    }
}

TEST(TonewheelUploadController, ARefusedUploadShowsTheInstrumentsErrorThenRunsTheHandshakeAgain)
{
    UploadRig rig;
    rig.upload.start(3, 300);
    rig.reply(ack);
    rig.takeSent();
    rig.reply(instrumentCancel(5));
    EXPECT_EQ(rig.view, (Lines{"box", "error 5"}));
    EXPECT_EQ(rig.takeSent(), std::vector<Bytes>{sysex::identityRequest()});
    EXPECT_EQ(rig.timers.remaining(DumpTimeoutTimer), 6000);
    EXPECT_TRUE(rig.supervisor.isAwaitingIdentity());
}

TEST(TonewheelUploadController, ALinkThatEndsFirstOrDuringTheErrorBoxEndsItWithoutAHandshake)
{
    {
        SCOPED_TRACE("during the error box");
        UploadRig rig;
        rig.upload.start(3, 300);
        rig.reply(ack);
        rig.takeSent();
        rig.duringBox = [&] { rig.disconnect(); };
        rig.reply(instrumentCancel(2));
        EXPECT_EQ(rig.view, (Lines{"box", "error 2"}));
        EXPECT_TRUE(rig.takeSent().empty());
        EXPECT_FALSE(rig.timers.isRunning(DumpTimeoutTimer));
        EXPECT_FALSE(rig.supervisor.isAwaitingIdentity());
    }
    {
        SCOPED_TRACE("first");
        UploadRig rig;
        rig.upload.start(3, 300);
        rig.disconnect();
        rig.takeSent(); // the CANCEL that the link's end sends
        const int events[] = {TransferProgress, TransferFinished, TransferFailed};
        for (int event : events)
            rig.upload.handleEvent(event);
        EXPECT_EQ(rig.view, Lines{"box"});
        EXPECT_TRUE(rig.takeSent().empty());
        EXPECT_FALSE(rig.supervisor.isAwaitingIdentity());
    }
}

TEST(TonewheelUploadController, TheUsersCancelSendsCancelAndRunsTheHandshakeWithoutATimeOut)
{
    UploadRig rig;
    rig.upload.start(3, 300);
    rig.reply(ack);
    rig.takeSent();
    rig.upload.cancel();
    EXPECT_EQ(rig.view, (Lines{"box", "cancelled"}));
    EXPECT_EQ(rig.takeSent(), (std::vector<Bytes>{cancelMessage, sysex::identityRequest()}));
    EXPECT_FALSE(rig.timers.isRunning(HeartbeatTimer));
    EXPECT_FALSE(rig.timers.isRunning(DumpTimeoutTimer));
    EXPECT_TRUE(rig.supervisor.isAwaitingIdentity());

    // A cancel after the end, on its own or the user's, does nothing.
    rig.upload.cancel();
    rig.reply(ack);
    EXPECT_EQ(rig.view, (Lines{"box", "cancelled"}));
    EXPECT_TRUE(rig.takeSent().empty());
}
