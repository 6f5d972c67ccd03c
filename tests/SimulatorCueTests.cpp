// The real editor against a simulated instrument that is told, through its
// options, to act on its own: a port pair under another name, knobs turned
// after the handshake, and malformed bytes, each of which must change nothing
// and leave the link alive.

#include "ConnectTestSupport.h"

#include "model/Conversions.h"

#include <cstring>

KESTRA_JUCE_TEST_ENVIRONMENT;

using namespace kestra;
using namespace kestra::connecttest;
using kestra::testing::pumpFor;
using kestra::testing::pumpUntil;

namespace
{
uint32_t bitsOf(float value)
{
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

// The editor's store and names hold exactly what the instrument holds.
void expectEditorHoldsTheInstrumentsState(SimulatedRig& rig)
{
    const auto editor = rig.probe.link().parameterValues();
    const auto instrument = rig.instrument().values();
    for (int n = 0; n < numParameters; ++n)
        EXPECT_EQ(bitsOf(editor[static_cast<size_t>(n)]),
                  bitsOf(instrument[static_cast<size_t>(n)]))
            << "parameter " << n;
    const auto names = rig.instrument().slotNames();
    for (int slot = 0; slot < numTonewheelSlots; ++slot)
        EXPECT_EQ(rig.probe.link().tonewheelName(slot),
                  tonewheelSlotPrefixes[static_cast<size_t>(slot)] +
                      names[static_cast<size_t>(slot)]);
}

// A heartbeat on demand: the editor asks, and the answer must come back.
bool heartbeatIsAnswered(SimulatedRig& rig)
{
    const int before = rig.received(SimulatedInstrument::Received::identityRequest);
    if (!pumpUntil([&] { return rig.probe.supervisor().isHeartbeatAnswered(); }))
        return false;
    rig.editor.core().timerExpired(HeartbeatTimer);
    return pumpUntil(
        [&]
        {
            return rig.received(SimulatedInstrument::Received::identityRequest) > before &&
                   rig.probe.supervisor().isHeartbeatAnswered();
        });
}
} // namespace

TEST(SimulatorCues, TheInstrumentTurnsKnobsOnItsOwnAfterTheHandshake)
{
    SimulatedRig rig("play=5:42@100;97:4@150;4:-3.5@200;85:1@250");
    BoxWatcher boxes;
    ASSERT_TRUE(rig.connect());
    EXPECT_EQ(rig.probe.link().parameterValue(5), 100.0f); // nothing before its time

    // The last one stored and shown: the store changes on the MIDI thread, the
    // controls once the message thread has heard of it.
    ASSERT_TRUE(pumpUntil([&] { return rig.probe.selector(85)->getSelectedItemIndex() == 1; }));
    // Shown at once where the editor shows reported values; stored everywhere.
    EXPECT_DOUBLE_EQ(rig.probe.slider(5)->getValue(), 42.0);
    EXPECT_EQ(rig.probe.selector(97)->getSelectedItemIndex(), 4);
    EXPECT_TRUE(rig.probe.loadTonewheelButton().isEnabled());
    EXPECT_EQ(rig.probe.selector(85)->getSelectedItemIndex(), 1);
    EXPECT_EQ(rig.probe.link().parameterValue(4), -3.5f);
    EXPECT_EQ(rig.instrument().values()[4], -3.5f); // the instrument keeps what it played
    expectEditorHoldsTheInstrumentsState(rig);
    EXPECT_TRUE(boxes.notices().empty());

    // On the wire as each kind travels.
    std::vector<Bytes> played;
    for (const auto& entry : rig.instrument().log())
        if (entry.direction == SimulatedInstrument::Direction::out)
            played.push_back(entry.bytes);
    ASSERT_GE(played.size(), 4u);
    EXPECT_EQ(std::vector<Bytes>(played.end() - 4, played.end()),
              (std::vector<Bytes>{
                  sysex::parameterValueMessage(5, 42.0f), sysex::parameterByteMessage(97, 4),
                  sysex::parameterValueMessage(4, -3.5f), sysex::parameterByteMessage(85, 1)}));
}

TEST(SimulatorCues, MalformedInputChangesNothingAndTheLinkLivesOn)
{
    struct Case
    {
        const char* what;
        const char* bytes;
    };
    const Case cases[] = {
        {"another maker's ID", "F0 41 10 42 12 40 00 7F 00 41 F7"},
        {"our maker, another device code", "F0 7D 1F 02 00 01 F7"},
        {"a value message for parameter 99", "F0 7D 1E 01 63 00 00 00 00 7C 03 F7"},
        {"a value message for parameter 16383", "F0 7D 1E 01 7F 7F 00 00 00 7C 03 F7"},
        {"a byte message for parameter 99", "F0 7D 1E 02 0E 01 F7"},
        {"a byte message for parameter 212", "F0 7D 1E 02 7F 01 F7"},
        {"a name without its 0x00", "F0 7D 1E 09 00 4A 61 7A 7A F7"},
        {"a name for slot 6", "F0 7D 1E 09 06 41 00 F7"},
        {"a name longer than the receive buffer", "F0 7D 1E 09 00 41*1100 00 F7"},
        {"a byte message padded past the receive buffer", "F0 7D 1E 02 00 01 00*1100 F7"},
        {"a lone F7", "F7"},
        {"a lone F0", "F0"},
        {"bytes between messages, alone", "55 66 77"},
        {"bytes between two messages in one delivery",
         "F0 7D 1E 02 00 01 F7 55 66 F0 7D 1E 02 00 01 F7"},
        {"a message cut short", "F0 7D 1E 02 00"},
        {"a value message cut short", "F0 7D 1E 01 06 00 00 F7"},
        {"a status byte inside the message", "F0 7D 1E 02 00 81 F7"},
        {"the editor's own commands", "F0 7D 1E 03 00 F7"},
        {"a DoneMessage outside a dump", "F0 7D 1E 05 F7"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.what);
        // The bad bytes first, then a valid report from a knob.
        SimulatedRig rig(std::string("send=") + c.bytes + "@50,play=97:4@300");
        BoxWatcher boxes;
        ASSERT_TRUE(rig.connect());
        const auto logged = rig.instrument().log().size();

        ASSERT_TRUE(pumpUntil([&] { return rig.probe.selector(97)->getSelectedItemIndex() == 4; }));
        EXPECT_EQ(rig.probe.link().parameterValue(97), 4.0f);
        expectEditorHoldsTheInstrumentsState(rig);
        EXPECT_TRUE(heartbeatIsAnswered(rig));
        EXPECT_TRUE(rig.isConnectedAndIdle());
        EXPECT_TRUE(rig.showsConnected());
        EXPECT_TRUE(boxes.notices().empty());
        // Nothing went back but the heartbeat's questions.
        for (const auto& message : rig.receivedMessages(logged))
            EXPECT_EQ(message, sysex::identityRequest());
    }
}

TEST(SimulatorCues, APortPairUnderAnotherNameIsFoundThroughTheStoredPairOrTheScan)
{
    struct Case
    {
        const char* what;
        bool stored; // the settings remember the instrument's pair
    };
    const Case cases[] = {
        {"no stored pair: every pair is tried", false},
        {"the stored pair", true},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.what);
        removeSettings();
        if (c.stored)
            writeSettings(1, 0); // one dummy input before the instrument's
        SimulatedRig rig("port-name=Organ In/Out,extra-inputs=1", true);
        RecordingDevice other(rig.midi(), "Another Device");
        BoxWatcher boxes;

        const auto inputs = rig.midi().getInputDeviceNames();
        EXPECT_EQ(inputs[rig.instrument().inputIndex()], "Organ In/Out");
        EXPECT_FALSE(inputs.contains(portName));
        EXPECT_EQ(rig.instrument().inputIndex(), 1);
        EXPECT_EQ(rig.instrument().outputIndex(), 0);

        click(rig.probe.connectButton());
        // The name is not found: the stored pair is asked at once, if there is
        // one; the scan starts half a second later, with the last pair.
        const auto asked = rig.receivedMessages(); // logged as each arrives
        EXPECT_EQ(std::count(asked.begin(), asked.end(), sysex::identityRequest()),
                  c.stored ? 1 : 0);
        ASSERT_TRUE(pumpUntil([&] { return rig.isConnectedAndIdle(); }, 20s));
        EXPECT_TRUE(rig.showsConnected());
        EXPECT_EQ(rig.probe.inputIndex(), 1);
        EXPECT_EQ(rig.probe.outputIndex(), 0);
        if (!c.stored)
        {
            EXPECT_FALSE(other.take().empty()); // the scan asked it first
        }
        EXPECT_EQ(readSettings(), storedPair(1, 0)); // remembered for the next time
        EXPECT_EQ(boxes.notices(), std::vector<juce::String>{});
    }
}
