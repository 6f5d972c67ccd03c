// The tonewheel upload on the wire: the header and packet bytes, stop and
// wait, NAK and CANCEL from the instrument, the user's Cancel, and what the
// message thread is told. Replies go through the device link's receive path;
// no component, no display.

#include "TonewheelTestSupport.h"

#include "link/DeviceLink.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <cstring>
#include <mutex>
#include <thread>

using namespace kestra;
using namespace kestra::tonewheeltest;

namespace
{
// Records what the editor sends and which transfer events it posts, with the
// bytes remaining at the moment of each event. Safe from two threads.
struct Wire final : LinkHost, TonewheelTransfer::Io
{
    explicit Wire(const TonewheelTransfer* transferToWatch = nullptr) : watched(transferToWatch) {}

    void sendToInstrument(const uint8_t* data, size_t size) override
    {
        const std::lock_guard<std::mutex> lock(mutex);
        sent.emplace_back(data, data + size);
        changed.notify_all();
    }
    void postTransferEvent(int value) override { postInternalMessage(TransferEvent, value); }
    void startLinkTimer(int, int) override {}
    void stopLinkTimer(int) override {}
    void postInternalMessage(int type, int value) override
    {
        const std::lock_guard<std::mutex> lock(mutex);
        if (type != TransferEvent)
            return;
        events.push_back(value);
        remainingAtEvent.push_back(watched != nullptr ? watched->bytesRemaining() : -1);
    }

    std::vector<Bytes> take()
    {
        const std::lock_guard<std::mutex> lock(mutex);
        return std::exchange(sent, {});
    }
    std::vector<int> takeEvents()
    {
        const std::lock_guard<std::mutex> lock(mutex);
        remainingAtEvent.clear();
        return std::exchange(events, {});
    }
    // Waits until at least count messages have been sent since the last take.
    void waitForSent(size_t count)
    {
        std::unique_lock<std::mutex> lock(mutex);
        changed.wait(lock, [&] { return sent.size() >= count; });
    }

    const TonewheelTransfer* watched;
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<Bytes> sent;
    std::vector<int> events;
    std::vector<int32_t> remainingAtEvent;
};

filedump::Name nameOf(const std::string& text)
{
    filedump::Name name{};
    std::memcpy(name.data(), text.data(), std::min(text.size(), name.size()));
    return name;
}

struct TonewheelWire : ::testing::Test
{
    Wire wire;
    DeviceLink link{wire};
    TonewheelTransfer& transfer = link.transfer;
    Bytes data;

    TonewheelWire() { wire.watched = &link.transfer; }

    void receive(const Bytes& message) { link.handleIncoming(message.data(), message.size()); }

    // Loads the data with the given name and sends the header.
    Bytes start(uint8_t slot, Bytes newData, const filedump::Name& name = nameOf("Test wheel"))
    {
        data = std::move(newData);
        transfer.load(name.data(), data.data(), static_cast<int32_t>(data.size()));
        transfer.start(slot, static_cast<int32_t>(data.size()), wire);
        auto sent = wire.take();
        EXPECT_EQ(sent.size(), 1u);
        return sent.empty() ? Bytes{} : sent.front();
    }

    // One ACK; returns the one message it made the editor send (empty for none).
    Bytes ackOne()
    {
        receive(ack);
        auto sent = wire.take();
        EXPECT_LE(sent.size(), 1u);
        return sent.empty() ? Bytes{} : sent.front();
    }
};

Bytes slice(const Bytes& data, size_t from, size_t count)
{
    return {data.begin() + static_cast<long>(from), data.begin() + static_cast<long>(from + count)};
}
} // namespace

TEST_F(TonewheelWire, OneByteGoesOutAsOnePacketAndTheEofWithoutProgress)
{
    const auto header = start(3, {0x81});
    EXPECT_EQ(slice(header, 10, 4), (Bytes{0x01, 0x00, 0x00, 0x00}));
    EXPECT_EQ(ackOne(), (Bytes{0xF0, 0x7E, 0x00, 0x07, 0x02, 0x00, 0x01, 0x40, 0x01, 0x3B, 0xF7}));
    EXPECT_TRUE(wire.takeEvents().empty());
    EXPECT_EQ(ackOne(), (Bytes{0xF0, 0x7E, 0x00, 0x7B, 0x00, 0xF7}));
    EXPECT_EQ(wire.takeEvents(), (std::vector<int>{TransferFinished}));
    EXPECT_EQ(transfer.phase(), TonewheelTransfer::Ended);
    EXPECT_EQ(transfer.bytesRemaining(), 0);
}

TEST_F(TonewheelWire, EveryLengthGoesOutInFullPacketsThenTheRest)
{
    struct Case
    {
        size_t length;
        std::vector<size_t> chunks;
    };
    const Case cases[] = {
        {1, {1}},
        {6, {6}},
        {7, {7}},
        {8, {8}},
        {103, {103}},
        {104, {104}},
        {105, {104, 1}},
        {208, {104, 104}},
        {209, {104, 104, 1}},
        {300, {104, 104, 92}},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.length);
        start(4, patternData(c.length, static_cast<uint32_t>(c.length)));
        size_t offset = 0;
        for (size_t i = 0; i < c.chunks.size(); ++i)
        {
            const auto packet = ackOne();
            const auto expected =
                referencePacket(static_cast<uint8_t>(i), slice(data, offset, c.chunks[i]));
            EXPECT_EQ(packet, expected) << "packet " << i;
            offset += c.chunks[i];
            // Every ACK but the header's reports progress, with the bytes still unacknowledged.
            const auto events = wire.events;
            const auto remaining = wire.remainingAtEvent;
            if (i == 0)
            {
                EXPECT_TRUE(events.empty());
            }
            else
            {
                EXPECT_EQ(events, (std::vector<int>{TransferProgress}));
                EXPECT_EQ(remaining, (std::vector<int32_t>{
                                         static_cast<int32_t>(c.length - offset + c.chunks[i])}));
            }
            wire.takeEvents();
        }
        EXPECT_EQ(ackOne(), eofPacket);
        EXPECT_EQ(wire.takeEvents(), (std::vector<int>{TransferFinished}));
    }
}

TEST_F(TonewheelWire, AFullPacketIs128BytesWithByteCount118)
{
    start(3, patternData(104));
    const auto packet = ackOne();
    ASSERT_EQ(packet.size(), 128u);
    EXPECT_EQ(packet[6], 0x76);
    EXPECT_EQ(parseDataPacket(packet)->data, data);
}

TEST_F(TonewheelWire, TheLargestTonewheelArrivesWholeWithNumbersWrappingAt127)
{
    const size_t length = 1048512;
    const auto header = start(5, patternData(length, 7));
    EXPECT_EQ(slice(header, 10, 4), (Bytes{0x40, 0x7F, 0x3F, 0x00}));

    Reassembly instrument;
    instrument.take(header);
    size_t packets = 0;
    size_t progressEvents = 0;
    for (;;)
    {
        const auto message = ackOne();
        ASSERT_FALSE(message.empty());
        instrument.take(message);
        progressEvents += wire.takeEvents().size();
        if (message == eofPacket)
            break;
        EXPECT_EQ(message[5], packets % 128) << packets;
        ++packets;
    }
    EXPECT_EQ(packets, (length + 103) / 104); // 10,082: 10,081 full and one of 88 bytes
    EXPECT_EQ(progressEvents, packets);       // packets - 1 progress events and the finish
    EXPECT_EQ(instrument.faults, 0);
    EXPECT_TRUE(instrument.complete);
    EXPECT_EQ(instrument.header->length, static_cast<int32_t>(length));
    EXPECT_TRUE(instrument.data == data);
}

TEST_F(TonewheelWire, TheHeaderNamesTypeSlotLengthAndName)
{
    // bit 7 of every name byte is cleared; the rest are sent as they are.
    auto name = nameOf("Tonewheel B3 \x81\xFF");
    const auto header = start(3, patternData(300), name);
    ASSERT_EQ(header.size(), 47u);
    EXPECT_EQ(slice(header, 0, 14), (Bytes{0xF0, 0x7E, 0x00, 0x07, 0x01, 0x00, 0x41, 0x43, 0x31,
                                           0x00, 0x2C, 0x02, 0x00, 0x00}));
    for (size_t i = 0; i < 32; ++i)
        EXPECT_EQ(header[14 + i], name[i] & 0x7F) << i;
    EXPECT_EQ(header[46], 0xF7);

    struct Case
    {
        uint8_t slot;
        const char* type;
    };
    for (const auto& c : {Case{3, "AC1"}, Case{4, "AC2"}, Case{5, "AC3"}})
    {
        const auto parsed = parseHeader(start(c.slot, patternData(10)));
        ASSERT_TRUE(parsed);
        EXPECT_EQ(parsed->type, c.type);
        EXPECT_EQ(parsed->typeEnd, 0x00);
        EXPECT_EQ(parsed->length, 10);
    }
}

TEST_F(TonewheelWire, TwoNaksResendThePacketAndEachPacketCountsItsOwn)
{
    start(3, patternData(300));
    const auto packet0 = ackOne();
    receive(nak(0));
    receive(nak(0));
    EXPECT_EQ(wire.take(), (std::vector<Bytes>{packet0, packet0}));
    EXPECT_EQ(transfer.nakCount(), 2);

    const auto packet1 = ackOne();
    EXPECT_EQ(packet1, referencePacket(1, slice(data, 104, 104)));
    EXPECT_EQ(transfer.nakCount(), 0);
    receive(nak(0));
    receive(nak(0));
    EXPECT_EQ(wire.take(), (std::vector<Bytes>{packet1, packet1}));
    EXPECT_EQ(ackOne(), referencePacket(2, slice(data, 208, 92)));
    EXPECT_EQ(ackOne(), eofPacket);
    EXPECT_EQ(wire.takeEvents(),
              (std::vector<int>{TransferProgress, TransferProgress, TransferFinished}));
}

TEST_F(TonewheelWire, TheThirdNakEndsTheTransferWithCancel)
{
    struct Case
    {
        const char* outstanding;
        int acksBefore;
    };
    for (const auto& c : {Case{"header", 0}, Case{"packet 0", 1}, Case{"packet 1", 2}})
    {
        SCOPED_TRACE(c.outstanding);
        const auto header = start(3, patternData(300));
        Bytes outstanding = header;
        for (int i = 0; i < c.acksBefore; ++i)
            outstanding = ackOne();
        wire.takeEvents();

        receive(nak(4));
        receive(nak(4));
        receive(nak(4));
        EXPECT_EQ(wire.take(), (std::vector<Bytes>{outstanding, outstanding, cancel}));
        EXPECT_EQ(wire.takeEvents(), (std::vector<int>{TransferFailed}));
        EXPECT_EQ(transfer.errorCode(), 4);
        EXPECT_STREQ(tonewheelErrorText(transfer.errorCode()), "The dsp can not erase flash!");
        EXPECT_EQ(transfer.phase(), TonewheelTransfer::Ended);

        // Over: nothing more goes out and nothing more is reported.
        receive(ack);
        receive(nak(4));
        receive(cancelWithCode(1));
        EXPECT_TRUE(wire.take().empty());
        EXPECT_TRUE(wire.takeEvents().empty());
        EXPECT_FALSE(transfer.cancel(wire));
        EXPECT_TRUE(wire.take().empty());
    }
}

TEST_F(TonewheelWire, TheInstrumentsCancelEndsTheTransferWithItsCode)
{
    struct Case
    {
        Bytes message;
        int code;
        const char* text; // null: no row of the table
    };
    const Case cases[] = {
        {cancelWithCode(3), 3, "The dsp is not responding!"},
        {cancelWithCode(0), 0, "The size of the header is wrong!"},
        {cancelWithCode(1), 1, "The tonewheel number is wrong!"},
        {cancelWithCode(2), 2, "The size of the tonewheel is wrong!"},
        {cancelWithCode(5), 5, "The dsp can not write flash!"},
        {cancelWithCode(6), 6, nullptr},
        {cancelWithCode(0x7F), 0x7F, nullptr},
        {{0xF0, 0x7E, 0x00, 0x7D, 0xF7}, -1, nullptr}, // without a code byte
        {{0xF0, 0x7E, 0x10, 0x7D, 0x03, 0x00, 0xF7},
         3,
         "The dsp is not responding!"}, // any device ID
    };
    for (int acksBefore : {0, 2})
        for (const auto& c : cases)
        {
            SCOPED_TRACE(::testing::Message() << "code " << c.code << ", acks " << acksBefore);
            start(4, patternData(300));
            for (int i = 0; i < acksBefore; ++i)
                ackOne();
            wire.takeEvents();

            receive(c.message);
            EXPECT_TRUE(wire.take().empty()); // no CANCEL back
            EXPECT_EQ(wire.takeEvents(), (std::vector<int>{TransferFailed}));
            EXPECT_EQ(transfer.errorCode(), c.code);
            if (c.text != nullptr)
                EXPECT_STREQ(tonewheelErrorText(c.code), c.text);
            else
                EXPECT_EQ(tonewheelErrorText(c.code), nullptr);

            receive(ack);
            EXPECT_TRUE(wire.take().empty());
            EXPECT_TRUE(wire.takeEvents().empty());
        }
}

TEST_F(TonewheelWire, AThirdNakWithoutCodeReportsNoRowOfTheTable)
{
    start(3, patternData(20));
    ackOne();
    const Bytes bareNak = {0xF0, 0x7E, 0x00, 0x7E, 0xF7};
    receive(bareNak);
    receive(bareNak);
    receive(bareNak);
    EXPECT_EQ(wire.take().back(), cancel);
    EXPECT_EQ(transfer.errorCode(), -1);
    EXPECT_EQ(tonewheelErrorText(transfer.errorCode()), nullptr);
}

TEST_F(TonewheelWire, AfterTheEofOnlyTheInstrumentsRefusalIsReported)
{
    start(3, patternData(5));
    ackOne();
    EXPECT_EQ(ackOne(), eofPacket);
    wire.takeEvents();
    for (const auto& reply : {ack, nak(2), ack})
        receive(reply);
    EXPECT_TRUE(wire.take().empty());
    EXPECT_TRUE(wire.takeEvents().empty());
    EXPECT_EQ(transfer.errorCode(), -1);
    EXPECT_FALSE(transfer.cancel(wire)); // the finish is already on its way
    EXPECT_TRUE(wire.take().empty());

    // The instrument refuses the whole tonewheel: reported once, nothing sent back.
    receive(cancelWithCode(5));
    receive(cancelWithCode(4));
    EXPECT_TRUE(wire.take().empty());
    EXPECT_EQ(wire.takeEvents(), (std::vector<int>{TransferFailed}));
    EXPECT_EQ(transfer.errorCode(), 5);
}

TEST_F(TonewheelWire, ACancelWithoutATransferIsIgnored)
{
    receive(cancelWithCode(3));
    receive(ack);
    receive(nak(0));
    EXPECT_TRUE(wire.take().empty());
    EXPECT_TRUE(wire.takeEvents().empty());
}

TEST_F(TonewheelWire, TheUsersCancelSendsCancelOnceAndEndsTheTransfer)
{
    for (int acksBefore : {0, 1, 2})
    {
        SCOPED_TRACE(acksBefore);
        start(5, patternData(300));
        for (int i = 0; i < acksBefore; ++i)
            ackOne();
        wire.takeEvents();

        EXPECT_TRUE(transfer.cancel(wire));
        EXPECT_EQ(wire.take(), (std::vector<Bytes>{cancel}));
        EXPECT_EQ(transfer.phase(), TonewheelTransfer::Ended);

        receive(ack);
        receive(nak(1));
        receive(cancelWithCode(2)); // the instrument's answer to ours
        EXPECT_TRUE(wire.take().empty());
        EXPECT_TRUE(wire.takeEvents().empty());
        EXPECT_FALSE(transfer.cancel(wire));
        EXPECT_TRUE(wire.take().empty());
    }
}

TEST_F(TonewheelWire, TheErrorTableHasSixRowsOf64Bytes)
{
    EXPECT_EQ(sizeof tonewheelErrorTexts, 6u * 64u);
    for (const auto& row : tonewheelErrorTexts)
        EXPECT_EQ(row[63], '\0');
    EXPECT_EQ(tonewheelErrorText(-2), nullptr);
    EXPECT_EQ(tonewheelErrorText(6), nullptr);
}

TEST_F(TonewheelWire, LoadingANewTonewheelEndsAnOldTransferWithoutAWord)
{
    start(3, patternData(300));
    ackOne();
    const auto newData = patternData(50, 9);
    const auto name = nameOf("New");
    transfer.load(name.data(), newData.data(), 50);
    EXPECT_EQ(transfer.phase(), TonewheelTransfer::Ended);
    receive(ack); // a late reply to the old transfer
    EXPECT_TRUE(wire.take().empty());
    EXPECT_EQ(transfer.bufferContents(50), newData);
    EXPECT_EQ(transfer.dumpName(), name);
}

TEST_F(TonewheelWire, AnEmptyTonewheelSendsTheEofAtTheFirstAck)
{
    start(3, {});
    EXPECT_EQ(ackOne(), eofPacket);
    EXPECT_EQ(wire.takeEvents(), (std::vector<int>{TransferFinished}));
}

// The user's Cancel on the message thread while ACKs stream in on the MIDI
// thread: once cancel() has returned, nothing of the transfer follows the CANCEL.
TEST_F(TonewheelWire, NothingFollowsTheCancelWhileAcksArriveOnAnotherThread)
{
    for (int round = 0; round < 20; ++round)
    {
        SCOPED_TRACE(round);
        start(3, patternData(1048512, static_cast<uint32_t>(round)));
        std::atomic<bool> stop{false};
        std::thread midi(
            [&]
            {
                while (!stop.load())
                    receive(ack);
            });
        wire.waitForSent(static_cast<size_t>(5 + round * 3));
        const bool cancelled = transfer.cancel(wire);
        stop = true;
        midi.join();

        auto sent = wire.take();
        wire.takeEvents();
        if (!cancelled)
        {
            // The whole tonewheel went out first (unlikely, but not wrong).
            EXPECT_EQ(sent.back(), eofPacket);
            continue;
        }
        const auto at = std::find(sent.begin(), sent.end(), cancel);
        ASSERT_NE(at, sent.end());
        EXPECT_EQ(at + 1, sent.end()) << "messages after the CANCEL";
        for (auto it = sent.begin(); it != at; ++it)
            EXPECT_TRUE(isDataPacket(*it));
    }
}
