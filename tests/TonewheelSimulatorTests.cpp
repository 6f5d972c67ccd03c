// The tonewheel upload end to end: a tonewheel file from the disk into a slot
// of the simulated instrument, byte for byte, with the exact packets on the
// wire, the instrument's NAKs and CANCELs, the user's Cancel, and the new slot
// name after the handshake that follows every end.

#include "TonewheelGuiSupport.h"
#include "support/GuiTestSupport.h"

#include "sim/SimulatedInstrument.h"

KESTRA_JUCE_TEST_ENVIRONMENT;

using namespace kestra;
using namespace kestra::tonewheeltest;
using kestra::testing::pumpUntil;

namespace
{
struct TonewheelToSimulator : ::testing::Test
{
    VirtualMidiServices* midi = new VirtualMidiServices;
    MainContentComponent editor{std::unique_ptr<MidiServices>(midi)}; // owns the ports
    SimulatedInstrument instrument{*midi}; // goes first, while the ports are there
    EditorTestProbe probe{editor};
    BoxAnswerer boxes{probe};
    juce::File folder;

    void SetUp() override
    {
        folder = juce::File::getSpecialLocation(juce::File::tempDirectory)
                     .getNonexistentChildFile("kestra-tonewheel-sim", "");
        ASSERT_TRUE(folder.createDirectory());
        probe.openPorts(instrument.inputIndex(), instrument.outputIndex());
        probe.startHandshake();
        ASSERT_TRUE(pumpUntil([&] { return isConnectedAndIdle(); }));
        boxes.answer(texts::tonewheelWarningPrefix, texts::yes);
    }

    void TearDown() override { folder.deleteRecursively(); }

    bool isConnectedAndIdle() const
    {
        return probe.supervisor().isConnected() && probe.supervisor().state() == Idle &&
               probe.messageBox() == nullptr;
    }

    juce::File write(const juce::String& name, const Bytes& image)
    {
        auto file = folder.getChildFile(name);
        EXPECT_TRUE(file.replaceWithData(image.data(), image.size()));
        return file;
    }

    // The File Dump messages the instrument has received, from log entry `from` on.
    std::vector<Bytes> fileDumpReceived(size_t from = 0)
    {
        std::vector<Bytes> messages;
        const auto log = instrument.log();
        for (size_t i = from; i < log.size(); ++i)
            if (log[i].direction == SimulatedInstrument::Direction::in &&
                !isInstrumentMessage(log[i].bytes))
                messages.push_back(log[i].bytes);
        return messages;
    }

    // Loads the file into the slot and waits until the editor is connected again.
    void upload(const juce::File& file, uint8_t slot)
    {
        editor.core().loadTonewheelFrom(file, slot);
        ASSERT_TRUE(pumpUntil([&]
                              { return !instrument.uploadInProgress() && isConnectedAndIdle(); },
                              std::chrono::milliseconds(120000)));
    }
};
} // namespace

TEST_F(TonewheelToSimulator, EdgeLengthsArriveWholeInTheirPacketsAndTheSlotShowsItsNewName)
{
    struct Case
    {
        Bytes data;
        uint8_t slot;
        const char* name;
        Bytes headerStart; // bytes 0 ... 13
        std::vector<size_t> chunks;
    };
    const Bytes head = {0xF0, 0x7E, 0x00, 0x07, 0x01, 0x00, 0x41, 0x43};
    auto headerStart = [&](char digit, Bytes length)
    {
        Bytes h = head;
        h.push_back(static_cast<uint8_t>(digit));
        h.push_back(0x00);
        h.insert(h.end(), length.begin(), length.end());
        return h;
    };
    std::vector<size_t> largest(10081, 104);
    largest.push_back(88);
    const Case cases[] = {
        {{0x81}, 3, "One", headerStart('1', {0x01, 0x00, 0x00, 0x00}), {1}},
        {patternData(104, 2), 4, "Full", headerStart('2', {0x68, 0x00, 0x00, 0x00}), {104}},
        {patternData(105, 3),
         5,
         "Full and one",
         headerStart('3', {0x69, 0x00, 0x00, 0x00}),
         {104, 1}},
        {patternData(300, 4),
         3,
         "Three hundred",
         {0xF0, 0x7E, 0x00, 0x07, 0x01, 0x00, 0x41, 0x43, 0x31, 0x00, 0x2C, 0x02, 0x00, 0x00},
         {104, 104, 92}},
        {patternData(1048512, 5), 4, "Largest", headerStart('2', {0x40, 0x7F, 0x3F, 0x00}),
         largest},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        const auto logStart = instrument.log().size();
        const int completed = instrument.uploadsCompleted();
        upload(write(juce::String(c.name) + ".ktw", tonewheelFileImage(c.data, c.name)), c.slot);

        ASSERT_EQ(instrument.uploadsCompleted(), completed + 1);
        EXPECT_TRUE(instrument.tonewheelData(c.slot) == c.data);
        EXPECT_EQ(instrument.slotNames()[c.slot], c.name);
        EXPECT_EQ(probe.selector(97)->getItemText(c.slot),
                  juce::String(tonewheelSlotPrefixes[c.slot]) + c.name);

        // On the wire: the header, each packet exactly, numbers modulo 128, the EOF.
        const auto wire = fileDumpReceived(logStart);
        ASSERT_EQ(wire.size(), c.chunks.size() + 2);
        EXPECT_EQ(Bytes(wire[0].begin(), wire[0].begin() + 14), c.headerStart);
        size_t offset = 0;
        for (size_t i = 0; i < c.chunks.size(); ++i)
        {
            const Bytes raw(c.data.begin() + static_cast<long>(offset),
                            c.data.begin() + static_cast<long>(offset + c.chunks[i]));
            ASSERT_EQ(wire[1 + i], referencePacket(static_cast<uint8_t>(i % 128), raw)) << i;
            offset += c.chunks[i];
        }
        EXPECT_EQ(wire.back(), eofPacket);
    }
    const auto one = fileDumpReceived();
    EXPECT_EQ(one[1], (Bytes{0xF0, 0x7E, 0x00, 0x07, 0x02, 0x00, 0x01, 0x40, 0x01, 0x3B, 0xF7}));
    EXPECT_EQ(one[3].size(), 47u);  // the second upload's header
    EXPECT_EQ(one[4].size(), 128u); // one full packet
    EXPECT_EQ(one[4][6], 0x76);
}

TEST_F(TonewheelToSimulator, TheInstrumentsNaksAndCancelsEndAsTheyShould)
{
    struct Case
    {
        const char* what;
        SimulatorFaults faults;
        const char* error; // null: the upload succeeds
        int editorCancels;
    };
    auto faults = [](int nakPacket, int nakTimes, int cancelAt, int code)
    {
        SimulatorFaults f;
        f.nakPacket = nakPacket;
        f.nakTimes = nakTimes;
        f.cancelAtPacket = cancelAt;
        f.cancelCode = code;
        return f;
    };
    // A NAK carries the number of the packet the instrument expects, and the
    // editor shows the text of that code on the third.
    const Case cases[] = {
        {"two NAKs, then ACK", faults(1, 2, -1, 0), nullptr, 0},
        {"three NAKs on packet 2", faults(2, 3, -1, 0), "The size of the tonewheel is wrong!", 1},
        {"CANCEL 3 at packet 2", faults(-1, 0, 2, 3), "The dsp is not responding!", 0},
        {"CANCEL 4 at packet 0", faults(-1, 0, 0, 4), "The dsp can not erase flash!", 0},
        {"CANCEL 9", faults(-1, 0, 1, 9), texts::unknownTransferError, 0},
    };
    boxes.answer(texts::transmissionAborted, texts::ok);
    const auto data = patternData(1000, 8);
    const auto file = write("wheel.ktw", tonewheelFileImage(data, "Faulty"));

    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.what);
        instrument.setFaults(c.faults);
        const auto logStart = instrument.log().size();
        const int completed = instrument.uploadsCompleted();
        const int cancels = instrument.receivedCount(SimulatedInstrument::Received::fileDumpCancel);
        const int errorBoxes = boxes.presses(texts::transmissionAborted);

        upload(file, 5);

        const auto wire = fileDumpReceived(logStart);
        EXPECT_EQ(instrument.receivedCount(SimulatedInstrument::Received::fileDumpCancel) - cancels,
                  c.editorCancels);
        if (c.error == nullptr)
        {
            EXPECT_EQ(instrument.uploadsCompleted(), completed + 1);
            EXPECT_TRUE(instrument.tonewheelData(5) == data);
            EXPECT_EQ(std::count(wire.begin(), wire.end(), wire[2]), 3); // packet 1 three times
            EXPECT_EQ(boxes.presses(texts::transmissionAborted), errorBoxes);
        }
        else
        {
            EXPECT_EQ(instrument.uploadsCompleted(), completed);
            EXPECT_EQ(boxes.presses(texts::transmissionAborted), errorBoxes + 1);
            EXPECT_EQ(boxes.seen.back().message,
                      juce::String(texts::transmissionAborted) + c.error);
            EXPECT_NE(wire.back(), eofPacket);
            if (c.editorCancels == 1)
            {
                EXPECT_EQ(wire.back(), cancel);
            }
        }
        EXPECT_TRUE(probe.isTimerRunning(HeartbeatTimer));
    }
}

TEST_F(TonewheelToSimulator, TheUsersCancelAbandonsTheUploadAndTheHandshakeFollows)
{
    SimulatorFaults slow;
    slow.ackDelayMs = 20; // long enough for the user to find the button
    instrument.setFaults(slow);
    boxes.answer(texts::transmittingTonewheel, texts::cancel);
    boxes.answer(texts::transmissionAborted, texts::ok);
    const auto logStart = instrument.log().size();

    upload(write("wheel.ktw", tonewheelFileImage(patternData(100000, 9), "Cancelled")), 3);

    EXPECT_EQ(boxes.presses(texts::transmissionAborted), 1);
    EXPECT_EQ(boxes.seen.back().message,
              juce::String(texts::transmissionAborted) + texts::tonewheelDeleted);
    EXPECT_EQ(instrument.receivedCount(SimulatedInstrument::Received::fileDumpCancel), 1);
    EXPECT_EQ(instrument.uploadsCompleted(), 0);
    EXPECT_EQ(fileDumpReceived(logStart).back(), cancel);
    EXPECT_EQ(instrument.slotNames()[3], "TONEWHEEL BC_1936");
}
