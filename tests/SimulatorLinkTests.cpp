// The editor's device link against the simulated instrument, over the virtual
// MIDI ports: the handshake loads what the instrument holds, refused
// identities, values the player changes, and tonewheel uploads that succeed,
// are given up after three NAKs, or are cancelled by the instrument. The test
// plays the message thread: it answers the posted messages as the content
// component would.

#include "link/DeviceLink.h"
#include "link/LinkSupervisor.h"
#include "sim/SimulatedInstrument.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <functional>
#include <mutex>

using namespace kestra;

namespace
{
constexpr auto deadline = std::chrono::seconds(20);

struct Posted
{
    int type;
    int value;
};

// The editor's side: the device link, its ports and the messages it posts.
class Editor final : public LinkHost, public juce::MidiInputCallback
{
public:
    explicit Editor(SimulatedInstrument& instrumentToTalkTo, VirtualMidiServices& midi)
        : instrument(instrumentToTalkTo)
    {
        output = midi.openOutputDevice(instrument.outputIndex());
        input = midi.openInputDevice(instrument.inputIndex(), this);
        if (input != nullptr)
            input->start();
    }

    ~Editor() override
    {
        input.reset(); // no more calls into the link
    }

    // LinkHost
    void sendToInstrument(const uint8_t* data, size_t size) override
    {
        if (output != nullptr)
            output->sendMessageNow(juce::MidiMessage(data, static_cast<int>(size)));
    }
    void postInternalMessage(int type, int value) override
    {
        const std::lock_guard<std::mutex> lock(mutex);
        posted.push_back({type, value});
        changed.notify_all();
    }

    // The MIDI input thread.
    void handleIncomingMidiMessage(juce::MidiInput*, const juce::MidiMessage& message) override
    {
        link.handleIncoming(message.getRawData(), static_cast<size_t>(message.getRawDataSize()));
    }

    // Waits until `count` messages of `type` have been posted; returns the value of the last.
    int waitForPosted(int type, int count = 1) { return waitFor(type, nullptr, count); }

    // Waits until `count` messages of `type` with `value` have been posted.
    void waitForEvent(int type, int value, int count = 1) { waitFor(type, &value, count); }

    int postedCount(int type, int value = -1)
    {
        const std::lock_guard<std::mutex> lock(mutex);
        int count = 0;
        for (const auto& message : posted)
            count += message.type == type && (value < 0 || message.value == value) ? 1 : 0;
        return count;
    }

    // IdentityRequest, the reply taken and accepted, then the three sections,
    // each after the DoneMessage of the one before, as the message thread runs them.
    void handshake()
    {
        const int repliesBefore = postedCount(IdentityReceived);
        const int donesBefore = postedCount(DoneReceived);
        link.sendIdentityRequest();
        waitForPosted(IdentityReceived, repliesBefore + 1);
        const auto identity = link.takeIdentity();
        ASSERT_TRUE(identity.has_value());
        ASSERT_EQ(LinkSupervisor::rejectionOf(*identity), 0);
        link.acceptIdentity(*identity);
        for (int section = 0; section < 3; ++section)
        {
            link.sendDumpRequest(sysex::dumpSections[static_cast<size_t>(section)]);
            waitForPosted(DoneReceived, donesBefore + section + 1);
        }
    }

    // The reason the message thread would refuse the next reply for; 0 for none.
    int identityRejection()
    {
        link.sendIdentityRequest();
        waitForPosted(IdentityReceived);
        const auto identity = link.takeIdentity();
        return identity.has_value() ? LinkSupervisor::rejectionOf(*identity) : -1;
    }

    // The header goes out as the message thread sends it; the rest runs on the
    // MIDI input thread inside the link.
    void startUpload(uint8_t slot, const std::string& name, const sysex::Bytes& data)
    {
        filedump::Name nameBytes{};
        std::memcpy(nameBytes.data(), name.data(), std::min(name.size(), nameBytes.size()));
        link.transfer.load(nameBytes.data(), data.data(), static_cast<int32_t>(data.size()));
        link.transfer.start(slot, static_cast<int32_t>(data.size()), io);
    }

    DeviceLink link{*this};

private:
    struct Io final : TonewheelTransfer::Io
    {
        explicit Io(LinkHost& linkHost) : host(linkHost) {}
        void sendToInstrument(const uint8_t* data, size_t size) override
        {
            host.sendToInstrument(data, size);
        }
        void postTransferEvent(int value) override
        {
            host.postInternalMessage(TransferEvent, value);
        }
        LinkHost& host;
    };

    int waitFor(int type, const int* value, int count)
    {
        std::unique_lock<std::mutex> lock(mutex);
        int last = -1;
        const bool arrived = changed.wait_for(
            lock, deadline,
            [&]
            {
                int seen = 0;
                for (const auto& message : posted)
                    if (message.type == type && (value == nullptr || message.value == *value) &&
                        ++seen == count)
                        last = message.value;
                return seen >= count;
            });
        EXPECT_TRUE(arrived) << "message type " << type << " value "
                             << (value != nullptr ? *value : -1) << " number " << count;
        return last;
    }

    SimulatedInstrument& instrument;
    Io io{*this};
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<Posted> posted;
    std::unique_ptr<MidiOutputPort> output;
    std::unique_ptr<MidiInputPort> input;
};

struct Rig
{
    explicit Rig(const SimulatorConfig& config = {}) : instrument(midi, config) {}
    VirtualMidiServices midi;
    SimulatedInstrument instrument;
    Editor editor{instrument, midi};
};

sysex::Bytes tonewheelBytes(size_t size)
{
    sysex::Bytes data(size);
    uint32_t seed = static_cast<uint32_t>(size);
    for (auto& byte : data)
    {
        seed = seed * 1103515245u + 12345u;
        byte = static_cast<uint8_t>(seed >> 16);
    }
    return data;
}

std::string slotText(int slot, const std::string& name)
{
    return std::string(tonewheelSlotPrefixes[static_cast<size_t>(slot)]) + name;
}
} // namespace

TEST(SimulatorWithTheEditorsLink, HandshakeLoadsWhatTheInstrumentHolds)
{
    struct Case
    {
        const char* what;
        sysex::Identity identity;
        int modelIndex;
        const char* version;
    };
    const Case cases[] = {
        {"a healthy Kestra", {5, 3, 0, 1, 5, 0}, 0, "rel 1.5"},
        {"a Kestra Brio QMR", {5, 4, 1, 1, 20, 11}, 1, "rel 1.3.1"},
        {"a Kestra Tavo", {5, 6, 0, 2, 25, 0}, 3, "rel 2.25"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.what);
        SimulatorConfig config;
        config.identity = c.identity;
        Rig setup(config);
        setup.instrument.turnKnob(5, 1.875f);
        setup.instrument.turnKnob(84, -2.5f);
        if (c.modelIndex != 3)
            setup.instrument.turnKnob(97, 4.0f);
        setup.instrument.renameSlot(4, "Mellow");
        setup.editor.waitForPosted(ParameterChanged, c.modelIndex != 3 ? 3 : 2);
        setup.editor.waitForPosted(TonewheelNameChanged);

        // What the instrument said before the handshake is no part of it: start clean.
        setup.editor.link.setRecord(ProjectRecord::initial());
        setup.editor.link.resetTonewheelNames();
        setup.editor.handshake();

        const auto& link = setup.editor.link;
        EXPECT_EQ(link.modelIndex(), c.modelIndex);
        EXPECT_EQ(link.hardwareRevision(), c.identity.hardwareRevision);
        EXPECT_EQ(link.versionText(), c.version);
        auto expected = setup.instrument.values();
        if (c.modelIndex == 3) // a Tavo reports no settings: the editor keeps its own
            for (int n = firstSettingParameter; n < numParameters; ++n)
                expected[static_cast<size_t>(n)] =
                    ProjectRecord::initial().parameterValues[static_cast<size_t>(n)];
        EXPECT_EQ(link.parameterValues(), expected);
        const auto names = setup.instrument.slotNames();
        for (int slot = 0; slot < numTonewheelSlots; ++slot)
            EXPECT_EQ(link.tonewheelName(slot), slotText(slot, names[static_cast<size_t>(slot)]));
        EXPECT_EQ(link.tonewheelName(4), slotText(4, "Mellow"));
        EXPECT_EQ(setup.instrument.receivedCount(SimulatedInstrument::Received::dumpRequest), 3);
    }
}

TEST(SimulatorWithTheEditorsLink, WrongIdentitiesAreRefusedWithTheirReason)
{
    const struct
    {
        sysex::Identity identity;
        int reason;
    } cases[] = {
        {{4, 3, 0, 1, 5, 0}, FirmwareOutOfDate},
        {{6, 3, 0, 1, 5, 0}, EditorOutOfDate},
        {{5, 7, 0, 1, 5, 0}, ModelNotSupported},
        {{5, 3, 2, 1, 5, 0}, ModelNotSupported},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.reason);
        SimulatorConfig config;
        config.identity = c.identity;
        Rig setup(config);
        EXPECT_EQ(setup.editor.identityRejection(), c.reason);
        ASSERT_TRUE(setup.instrument.waitUntilIdle(deadline));
        EXPECT_EQ(setup.instrument.receivedCount(SimulatedInstrument::Received::dumpRequest), 0);
    }
}

TEST(SimulatorWithTheEditorsLink, WhatThePlayerChangesIsShownWhileIdle)
{
    Rig setup;
    setup.editor.handshake();
    // The dump's own values were announced too (the window shows them at its end).
    const int values = setup.editor.postedCount(ParameterChanged);
    const int names = setup.editor.postedCount(TonewheelNameChanged);
    setup.instrument.turnKnob(5, 42.0f);
    EXPECT_EQ(setup.editor.waitForPosted(ParameterChanged, values + 1), 5);
    EXPECT_EQ(setup.editor.link.parameterValue(5), 42.0f);
    setup.instrument.renameSlot(2, "Bright");
    EXPECT_EQ(setup.editor.waitForPosted(TonewheelNameChanged, names + 1), 2);
    EXPECT_EQ(setup.editor.link.tonewheelName(2), slotText(2, "Bright"));
}

TEST(SimulatorWithTheEditorsLink, UploadsArriveAndTheNewNameComesWithTheNextHandshake)
{
    Rig setup;
    setup.editor.handshake();
    int uploads = 0;
    int progressEvents = 0;
    for (size_t size : {size_t{1}, size_t{105}, size_t{200 * 104 + 3}})
    {
        SCOPED_TRACE(size);
        const auto data = tonewheelBytes(size);
        const int slot = 3 + uploads % 3;
        const std::string name = "Upload " + std::to_string(size);
        setup.editor.startUpload(static_cast<uint8_t>(slot), name, data);
        setup.editor.waitForEvent(TransferEvent, TransferFinished, ++uploads);
        progressEvents += static_cast<int>((size + 103) / 104) - 1;
        EXPECT_EQ(setup.editor.postedCount(TransferEvent, TransferProgress), progressEvents);
        EXPECT_EQ(setup.editor.postedCount(TransferEvent, TransferFailed), 0);

        // After every transfer the editor runs the handshake again.
        setup.editor.handshake();
        EXPECT_EQ(setup.instrument.tonewheelData(slot), data);
        EXPECT_EQ(setup.editor.link.tonewheelName(slot), slotText(slot, name));
    }
    EXPECT_EQ(setup.instrument.uploadsCompleted(), 3);
}

TEST(SimulatorWithTheEditorsLink, TwoNaksArePutUpWithAndTheThirdEndsTheUpload)
{
    for (int naks : {2, 3})
    {
        SCOPED_TRACE(naks);
        SimulatorConfig config;
        config.faults.nakPacket = 1;
        config.faults.nakTimes = naks;
        Rig setup(config);
        setup.editor.handshake();
        const auto data = tonewheelBytes(300);
        setup.editor.startUpload(4, "Nakked", data);
        if (naks < 3)
        {
            setup.editor.waitForEvent(TransferEvent, TransferFinished);
            setup.editor.handshake();
            EXPECT_EQ(setup.instrument.tonewheelData(4), data);
            continue;
        }
        setup.editor.waitForEvent(TransferEvent, TransferFailed);
        EXPECT_EQ(setup.editor.link.transfer.errorCode(), 1); // the NAK carries the packet number
        setup.editor.handshake(); // the editor's CANCEL arrives before the identity request
        EXPECT_EQ(setup.instrument.receivedCount(SimulatedInstrument::Received::fileDumpCancel), 1);
        EXPECT_FALSE(setup.instrument.uploadInProgress());
        EXPECT_TRUE(setup.instrument.tonewheelData(4).empty());
        EXPECT_EQ(setup.editor.link.tonewheelName(4), slotText(4, options::tonewheelModels[4]));
    }
}

TEST(SimulatorWithTheEditorsLink, TheInstrumentsCancelShowsItsErrorText)
{
    SimulatorConfig config;
    config.faults.cancelAtPacket = 2;
    config.faults.cancelCode = 4;
    Rig setup(config);
    setup.editor.handshake();
    setup.editor.startUpload(5, "Doomed", tonewheelBytes(1000));
    setup.editor.waitForEvent(TransferEvent, TransferFailed);
    EXPECT_EQ(setup.editor.link.transfer.errorCode(), 4);
    EXPECT_STREQ(tonewheelErrorText(setup.editor.link.transfer.errorCode()),
                 "The dsp can not erase flash!");
    EXPECT_EQ(setup.editor.postedCount(TransferEvent, TransferProgress), 2);
    EXPECT_TRUE(setup.instrument.tonewheelData(5).empty());
}
