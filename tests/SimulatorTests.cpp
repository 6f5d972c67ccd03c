// The simulated instrument, driven over the virtual MIDI ports as the editor
// drives it: the named port pair opened by index, requests sent on the output,
// answers collected on the input's delivery thread. Exact answers for every
// request, the File Dump receive with its NAK and CANCEL cases, the faults,
// the ports, the options and the log.

#include "link/FileDump.h"
#include "sim/SimulatedInstrument.h"
#include "sim/SimulatorOptions.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <mutex>
#include <regex>
#include <thread>
#include <unistd.h>

using namespace kestra;
using Bytes = sysex::Bytes;
using Received = SimulatedInstrument::Received;

namespace
{
constexpr auto deadline = std::chrono::seconds(20); // generous: waits end on a condition

// ---- the editor's side of the wire ---------------------------------------------------

// Collects what arrives on the input, from the delivery thread, and lets the
// test wait for it.
class Collector final : public juce::MidiInputCallback
{
public:
    void handleIncomingMidiMessage(juce::MidiInput*, const juce::MidiMessage& message) override
    {
        const std::lock_guard<std::mutex> lock(mutex);
        received.emplace_back(message.getRawData(),
                              message.getRawData() + message.getRawDataSize());
        changed.notify_all();
    }

    bool waitForCount(size_t count)
    {
        std::unique_lock<std::mutex> lock(mutex);
        return changed.wait_for(lock, deadline, [&] { return received.size() >= count; });
    }

    std::vector<Bytes> messages()
    {
        const std::lock_guard<std::mutex> lock(mutex);
        return received;
    }

    size_t size()
    {
        const std::lock_guard<std::mutex> lock(mutex);
        return received.size();
    }

private:
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<Bytes> received;
};

size_t sentByInstrument(const SimulatedInstrument& instrument)
{
    size_t count = 0;
    for (const auto& entry : instrument.log())
        count += entry.direction == SimulatedInstrument::Direction::out ? 1 : 0;
    return count;
}

// An instrument with the editor's ports open on its named pair.
struct Bench
{
    explicit Bench(const SimulatorConfig& config = {})
        : instrument(std::make_unique<SimulatedInstrument>(midi, config))
    {
        input = midi.openInputDevice(instrument->inputIndex(), &collector);
        output = midi.openOutputDevice(instrument->outputIndex());
        if (input != nullptr)
            input->start();
    }

    void send(const Bytes& message)
    {
        output->sendMessageNow(juce::MidiMessage(message.data(), static_cast<int>(message.size())));
    }

    // Everything the instrument sends in answer: waits until it has handled the
    // request and sent what was due (delayed answers included), then until all
    // of it has arrived.
    std::vector<Bytes> answersTo(const Bytes& request)
    {
        const size_t before = collector.size();
        send(request);
        EXPECT_TRUE(instrument->waitUntilIdle(deadline));
        const size_t total = sentByInstrument(*instrument);
        EXPECT_TRUE(collector.waitForCount(total));
        auto all = collector.messages();
        return {all.begin() + static_cast<std::ptrdiff_t>(std::min(before, all.size())), all.end()};
    }

    // The next message not yet taken, waiting for it; empty after the deadline.
    Bytes next()
    {
        if (!collector.waitForCount(taken + 1))
            return {};
        return collector.messages()[taken++];
    }

    VirtualMidiServices midi;
    std::unique_ptr<SimulatedInstrument> instrument;
    Collector collector;
    std::unique_ptr<MidiInputPort> input;
    std::unique_ptr<MidiOutputPort> output;
    size_t taken = 0;
};

SimulatorConfig withIdentity(int modelCode, int revision, int protocol = 5)
{
    SimulatorConfig config;
    config.identity.modelCode = modelCode;
    config.identity.hardwareRevision = revision;
    config.identity.protocol = protocol;
    return config;
}

SimulatorConfig withFaults(const SimulatorFaults& faults)
{
    SimulatorConfig config;
    config.faults = faults;
    return config;
}

std::vector<std::string> namesOf(const juce::StringArray& names)
{
    std::vector<std::string> result;
    for (const auto& name : names)
        result.push_back(name.toStdString());
    return result;
}

uint32_t bitsOf(float value)
{
    uint32_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

// ---- expected answers -------------------------------------------------------------------

std::vector<Bytes> valueMessages(const ParameterValues& values)
{
    std::vector<Bytes> messages;
    for (int n = 0; n < firstSettingParameter; ++n)
        messages.push_back(sysex::parameterValueMessage(n, values[static_cast<size_t>(n)]));
    return messages;
}

std::vector<Bytes> byteMessages(const ParameterValues& values)
{
    std::vector<Bytes> messages;
    for (int n = firstSettingParameter; n < numParameters; ++n)
        messages.push_back(
            sysex::parameterByteMessage(n, static_cast<uint8_t>(values[static_cast<size_t>(n)])));
    return messages;
}

std::vector<Bytes> builtInNameMessages()
{
    std::vector<Bytes> messages;
    for (int slot = 0; slot < numTonewheelSlots; ++slot)
        messages.push_back(sysex::tonewheelNameMessage(slot, options::tonewheelModels[slot]));
    return messages;
}

std::vector<Bytes> concat(std::initializer_list<std::vector<Bytes>> parts)
{
    std::vector<Bytes> all;
    for (const auto& part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

const Bytes done = {0xF0, 0x7D, 0x1E, 0x05, 0xF7};

// ---- File Dump packets as the editor builds them --------------------------------------

Bytes header(int slot, int length, const std::string& name)
{
    Bytes message = {
        0xF0, 0x7E, 0x00, 0x07, 0x01, 0x00, 'A', 'C', static_cast<uint8_t>('1' + slot - 3), 0x00};
    for (int shift = 0; shift < 28; shift += 7)
        message.push_back(static_cast<uint8_t>((length >> shift) & 0x7F));
    for (size_t i = 0; i < 32; ++i)
        message.push_back(i < name.size() ? static_cast<uint8_t>(name[i] & 0x7F) : 0x00);
    message.push_back(0xF7);
    return message;
}

Bytes dataPacket(int number, const uint8_t* data, int count)
{
    Bytes message = {0xF0, 0x7E, 0x00, 0x07, 0x02, static_cast<uint8_t>(number & 0x7F), 0x00};
    for (int i = 0; i < count; i += 7)
    {
        const int n = std::min(7, count - i);
        uint8_t group[8];
        sysex::packSevenBit(data + i, n, group);
        message.insert(message.end(), group, group + n + 1);
    }
    message[6] = static_cast<uint8_t>(message.size() - 8); // encoded bytes - 1
    message.push_back(0x00);
    message.push_back(0xF7);
    message[message.size() - 2] = sysex::sysexChecksum(message.data(), message.size());
    return message;
}

Bytes universal(uint8_t subId, uint8_t value)
{
    return {0xF0, 0x7E, 0x00, subId, value, 0xF7};
}
Bytes ack(int number)
{
    return universal(0x7F, static_cast<uint8_t>(number));
}
Bytes nak(int number)
{
    return universal(0x7E, static_cast<uint8_t>(number));
}
Bytes cancelWith(int code)
{
    return universal(0x7D, static_cast<uint8_t>(code));
}
const Bytes eofPacket = {0xF0, 0x7E, 0x00, 0x7B, 0x00, 0xF7};
const Bytes editorCancel = {0xF0, 0x7E, 0x00, 0x7D, 0x00, 0xF7};

// Every byte value, in an order that is not sequential.
Bytes tonewheelBytes(size_t size, uint32_t seed = 1)
{
    Bytes data(size);
    for (auto& byte : data)
    {
        seed = seed * 1664525u + 1013904223u;
        byte = static_cast<uint8_t>(seed >> 24);
    }
    return data;
}

// A whole upload, one packet per ACK, checking every answer on the way.
void upload(Bench& bench, int slot, const Bytes& data, const std::string& name)
{
    ASSERT_EQ(bench.answersTo(header(slot, static_cast<int>(data.size()), name)),
              std::vector<Bytes>{ack(0)});
    int number = 0;
    for (size_t at = 0; at < data.size(); at += 104, ++number)
    {
        const int count = static_cast<int>(std::min<size_t>(104, data.size() - at));
        ASSERT_EQ(bench.answersTo(dataPacket(number, data.data() + at, count)),
                  std::vector<Bytes>{ack(number & 0x7F)})
            << "packet " << number;
    }
}

} // namespace

// ---- a table of exchanges ------------------------------------------------------------------

namespace
{
struct Exchange
{
    const char* what;
    SimulatorConfig config;
    std::vector<Bytes> before; // sent first; their answers are not checked
    Bytes request;
    std::vector<Bytes> expected;
};

std::vector<Exchange> exchanges()
{
    const auto& rev0 = defaultValues(0);
    const auto& rev1 = defaultValues(1);
    ParameterValues edited = rev0;
    edited[5] = 1.875f;
    edited[84] = -3.5f;
    edited[90] = 1.0f;
    edited[97] = 4.0f;

    SimulatorFaults silentStore;
    silentStore.silentAfterStore = true;
    SimulatorFaults silentReset;
    silentReset.silentAfterReset = true;

    static const uint8_t oneByte[] = {0x81};
    // A healthy Kestra is a named copy rather than {} in each entry: with the
    // aggregates made in place, g++ 12 at -O3 warns that the log path of a
    // SimulatorConfig may be used uninitialised.
    const SimulatorConfig healthy;
    return {
        {"identity of a healthy Kestra",
         healthy,
         {},
         sysex::identityRequest(),
         {{0xF0, 0x7D, 0x1E, 0x07, 0x05, 0x03, 0x00, 0x01, 0x05, 0x00, 0xF7}}},
        {"identity as configured",
         withIdentity(4, 1, 4),
         {},
         sysex::identityRequest(),
         {{0xF0, 0x7D, 0x1E, 0x07, 0x04, 0x04, 0x01, 0x01, 0x05, 0x00, 0xF7}}},
        {"section 7D: parameters 0 ... 84, revision 0",
         healthy,
         {},
         sysex::dumpRequest(0x7D),
         concat({valueMessages(rev0), {done}})},
        {"section 7D: the defaults of revision 1",
         withIdentity(3, 1),
         {},
         sysex::dumpRequest(0x7D),
         concat({valueMessages(rev1), {done}})},
        {"section 7E: parameters 85 ... 98",
         healthy,
         {},
         sysex::dumpRequest(0x7E),
         concat({byteMessages(rev0), {done}})},
        {"section 7E of a Kestra Tavo: nothing but the end",
         withIdentity(6, 0),
         {},
         sysex::dumpRequest(0x7E),
         {done}},
        {"section 7C: the six slot names",
         healthy,
         {},
         sysex::dumpRequest(0x7C),
         concat({builtInNameMessages(), {done}})},
        {"a section it does not know: the end alone",
         healthy,
         {},
         sysex::dumpRequest(0x11),
         {done}},
        {"values the editor sent come back in section 7D",
         healthy,
         {sysex::parameterValueMessage(5, 1.875f), sysex::parameterValueMessage(84, -3.5f),
          sysex::parameterByteMessage(90, 1), sysex::parameterByteMessage(97, 4)},
         sysex::dumpRequest(0x7D),
         concat({valueMessages(edited), {done}})},
        {"settings the editor sent come back in section 7E",
         healthy,
         {sysex::parameterByteMessage(90, 1), sysex::parameterByteMessage(97, 4)},
         sysex::dumpRequest(0x7E),
         concat({byteMessages(edited), {done}})},
        {"a Kestra Tavo takes no settings",
         withIdentity(6, 0),
         {sysex::parameterByteMessage(90, 1)},
         sysex::dumpRequest(0x7D),
         concat({valueMessages(rev0), {done}})},
        {"parameter values: no answer", healthy, {}, sysex::parameterValueMessage(3, 2.0f), {}},
        {"parameter bytes: no answer", healthy, {}, sysex::parameterByteMessage(98, 1), {}},
        {"bulk mode: no answer", healthy, {}, sysex::bulkModeMessage(1), {}},
        {"store: the end",
         healthy,
         {sysex::parameterValueMessage(5, 1.875f)},
         sysex::storeRequest(),
         {done}},
        {"reset: every default value and name, then the end",
         withIdentity(3, 1),
         {sysex::parameterValueMessage(5, 1.875f), sysex::parameterByteMessage(97, 4),
          header(3, 1, "X"), dataPacket(0, oneByte, 1), eofPacket},
         sysex::resetRequest(),
         concat({valueMessages(rev1), byteMessages(rev1), builtInNameMessages(), {done}})},
        {"reset of a Kestra Tavo: parameters 0 ... 84 only",
         withIdentity(6, 0),
         {},
         sysex::resetRequest(),
         concat({valueMessages(rev0), builtInNameMessages(), {done}})},
        {"silent after store: no confirmation",
         withFaults(silentStore),
         {},
         sysex::storeRequest(),
         {}},
        {"silent after reset: nothing at all",
         withFaults(silentReset),
         {},
         sysex::resetRequest(),
         {}},
        {"another maker's message: nothing", healthy, {}, {0xF0, 0x41, 0x10, 0x42, 0x12, 0xF7}, {}},
        {"another family's identity request: nothing",
         healthy,
         {},
         {0xF0, 0x7D, 0x1F, 0x06, 0x01, 0xF7},
         {}},
        {"a note on: nothing", healthy, {}, {0x90, 0x40, 0x7F}, {}},
        {"the instrument's own reply sent to it: nothing", healthy, {}, sysex::doneMessage(), {}},
    };
}
} // namespace

TEST(SimulatorExchanges, EveryRequestGetsExactlyItsAnswer)
{
    for (const auto& exchange : exchanges())
    {
        SCOPED_TRACE(exchange.what);
        Bench bench(exchange.config);
        ASSERT_NE(bench.input, nullptr);
        ASSERT_NE(bench.output, nullptr);
        for (const auto& message : exchange.before)
            bench.answersTo(message);
        EXPECT_EQ(bench.answersTo(exchange.request), exchange.expected);
    }
}

TEST(SimulatorExchanges, LiteralBytesOfTheFirstMessageOfEachSection)
{
    Bench bench;
    // 100.0f is 0x42C80000: groups 00 00 20 16 04.
    EXPECT_EQ(bench.answersTo(sysex::dumpRequest(0x7D)).front(),
              (Bytes{0xF0, 0x7D, 0x1E, 0x01, 0x00, 0x00, 0x00, 0x00, 0x20, 0x16, 0x04, 0xF7}));
    // Parameter 85 (Gospel Set) is 0, sent as its number less 85.
    EXPECT_EQ(bench.answersTo(sysex::dumpRequest(0x7E)).front(),
              (Bytes{0xF0, 0x7D, 0x1E, 0x02, 0x00, 0x00, 0xF7}));
    // "TONEWHEEL '30" in slot 0, then a zero byte.
    const Bytes slot0 = {0xF0, 0x7D, 0x1E, 0x09, 0x00, 'T',  'O', 'N', 'E',  'W',
                         'H',  'E',  'E',  'L',  ' ',  '\'', '3', '0', 0x00, 0xF7};
    EXPECT_EQ(bench.answersTo(sysex::dumpRequest(0x7C)).front(), slot0);
}

TEST(SimulatorExchanges, KeepsEveryValueTheEditorSendsWithItsExactBits)
{
    Bench bench;
    ParameterValues sent{};
    for (int n = 0; n < numParameters; ++n)
    {
        if (isSettingParameter(n))
        {
            sent[static_cast<size_t>(n)] = static_cast<float>((n * 7) % 128);
            bench.send(sysex::parameterByteMessage(n, static_cast<uint8_t>((n * 7) % 128)));
        }
        else
        {
            sent[static_cast<size_t>(n)] = -1.0e-3f * static_cast<float>(n * n) + 0.1f;
            bench.send(sysex::parameterValueMessage(n, sent[static_cast<size_t>(n)]));
        }
    }
    ASSERT_TRUE(bench.instrument->waitUntilIdle(deadline));
    const auto values = bench.instrument->values();
    for (int n = 0; n < numParameters; ++n)
        EXPECT_EQ(bitsOf(values[static_cast<size_t>(n)]), bitsOf(sent[static_cast<size_t>(n)]))
            << "parameter " << n;

    // What the sections report decodes back to the same values.
    auto reported = concat(
        {bench.answersTo(sysex::dumpRequest(0x7D)), bench.answersTo(sysex::dumpRequest(0x7E))});
    int seen = 0;
    for (const auto& message : reported)
    {
        const auto decoded = sysex::decode(message);
        if (decoded.kind == sysex::Decoded::Kind::done)
            continue;
        ASSERT_TRUE(isValidParameterNumber(decoded.number));
        EXPECT_EQ(bitsOf(decoded.value), bitsOf(sent[static_cast<size_t>(decoded.number)]));
        ++seen;
    }
    EXPECT_EQ(seen, numParameters);
    EXPECT_EQ(bench.instrument->receivedCount(Received::parameterValue), 85);
    EXPECT_EQ(bench.instrument->receivedCount(Received::parameterByte), 14);
    EXPECT_EQ(bench.instrument->receivedCount(Received::other), 0);
}

TEST(SimulatorExchanges, TakesParametersOnlyInTheirOwnMessage)
{
    SimulatorConfig tavo = withIdentity(6, 0);
    Bench bench(tavo);
    bench.send(sysex::parameterValueMessage(90, 1.0f)); // a setting as a value: not taken
    bench.send(sysex::parameterValueMessage(99, 1.0f)); // no such parameter
    bench.send(sysex::parameterByteMessage(90, 1));     // a Tavo has no settings
    bench.send(sysex::parameterValueMessage(84, 2.0f)); // taken
    ASSERT_TRUE(bench.instrument->waitUntilIdle(deadline));
    auto expected = defaultValues(0);
    expected[84] = 2.0f;
    EXPECT_EQ(bench.instrument->values(), expected);
    EXPECT_EQ(bench.instrument->receivedCount(Received::other), 3);
    EXPECT_EQ(bench.instrument->receivedCount(Received::parameterValue), 1);
}

TEST(SimulatorExchanges, ResetBringsBackDefaultsNamesAndDropsUploads)
{
    Bench bench(withIdentity(3, 1));
    bench.send(sysex::parameterValueMessage(30, 5.0f));
    bench.send(sysex::parameterByteMessage(97, 5));
    upload(bench, 5, tonewheelBytes(10), "Mine");
    bench.answersTo(eofPacket);
    ASSERT_TRUE(bench.instrument->renameSlot(1, "Other"));
    ASSERT_EQ(bench.instrument->slotNames()[5], "Mine");

    bench.answersTo(sysex::resetRequest());
    EXPECT_EQ(bench.instrument->values(), defaultValues(1));
    for (int slot = 0; slot < numTonewheelSlots; ++slot)
        EXPECT_EQ(bench.instrument->slotNames()[static_cast<size_t>(slot)],
                  options::tonewheelModels[slot]);
    EXPECT_TRUE(bench.instrument->tonewheelData(5).empty());
    EXPECT_EQ(bench.instrument->receivedCount(Received::resetRequest), 1);
}

TEST(SimulatorExchanges, SilentAfterResetStillResets)
{
    SimulatorFaults faults;
    faults.silentAfterReset = true;
    Bench bench(withFaults(faults));
    bench.send(sysex::parameterValueMessage(30, 5.0f));
    EXPECT_TRUE(bench.answersTo(sysex::resetRequest()).empty());
    EXPECT_EQ(bench.instrument->values(), defaultValues(0));
    // Everything else is still answered.
    EXPECT_EQ(bench.answersTo(sysex::storeRequest()), std::vector<Bytes>{done});
}

TEST(SimulatorExchanges, BulkModeIsTracked)
{
    Bench bench;
    EXPECT_FALSE(bench.instrument->bulkMode());
    bench.answersTo(sysex::bulkModeMessage(1));
    EXPECT_TRUE(bench.instrument->bulkMode());
    bench.answersTo(sysex::bulkModeMessage(0));
    EXPECT_FALSE(bench.instrument->bulkMode());
    EXPECT_EQ(bench.instrument->receivedCount(Received::bulkMode), 2);
}

TEST(SimulatorExchanges, CountsEachKindOfRequest)
{
    Bench bench;
    bench.answersTo(sysex::identityRequest());
    bench.answersTo(sysex::identityRequest());
    for (uint8_t section : sysex::dumpSections)
        bench.answersTo(sysex::dumpRequest(section));
    bench.answersTo(sysex::storeRequest());
    bench.answersTo(eofPacket); // no upload going on: counted, not answered
    const auto& instrument = *bench.instrument;
    EXPECT_EQ(instrument.receivedCount(Received::identityRequest), 2);
    EXPECT_EQ(instrument.receivedCount(Received::dumpRequest), 3);
    EXPECT_EQ(instrument.receivedCount(Received::storeRequest), 1);
    EXPECT_EQ(instrument.receivedCount(Received::fileDumpEof), 1);
    EXPECT_EQ(instrument.receivedCount(Received::resetRequest), 0);
    EXPECT_EQ(instrument.receivedCount(Received::fileDumpHeader), 0);
}

// ---- the player at the organ -----------------------------------------------------------

TEST(SimulatorPlayer, TurningAKnobAndRenamingASlotReachTheEditor)
{
    Bench bench;
    ASSERT_TRUE(bench.instrument->turnKnob(5, 1.0f));
    EXPECT_EQ(bench.next(),
              (Bytes{0xF0, 0x7D, 0x1E, 0x01, 0x05, 0x00, 0x00, 0x00, 0x00, 0x7C, 0x03, 0xF7}));
    ASSERT_TRUE(bench.instrument->turnKnob(90, 3.7f)); // a setting goes as its truncated byte
    EXPECT_EQ(bench.next(), (Bytes{0xF0, 0x7D, 0x1E, 0x02, 0x05, 0x03, 0xF7}));
    ASSERT_TRUE(bench.instrument->renameSlot(4, "Jazz"));
    EXPECT_EQ(bench.next(), (Bytes{0xF0, 0x7D, 0x1E, 0x09, 0x04, 'J', 'a', 'z', 'z', 0x00, 0xF7}));

    EXPECT_EQ(bench.instrument->values()[5], 1.0f);
    EXPECT_EQ(bench.instrument->values()[90], 3.7f);
    EXPECT_EQ(bench.instrument->slotNames()[4], "Jazz");
    // The new values are part of the next dump.
    EXPECT_EQ(bench.answersTo(sysex::dumpRequest(0x7C))[4], sysex::tonewheelNameMessage(4, "Jazz"));
}

TEST(SimulatorPlayer, RefusesWhatTheOrganDoesNotHave)
{
    Bench tavo(withIdentity(6, 0));
    EXPECT_FALSE(tavo.instrument->turnKnob(-1, 1.0f));
    EXPECT_FALSE(tavo.instrument->turnKnob(99, 1.0f));
    EXPECT_FALSE(tavo.instrument->turnKnob(85, 1.0f)); // no settings on a Tavo
    EXPECT_FALSE(tavo.instrument->renameSlot(6, "x"));
    EXPECT_FALSE(tavo.instrument->renameSlot(-1, "x"));
    ASSERT_TRUE(tavo.instrument->waitUntilIdle(deadline));
    EXPECT_EQ(sentByInstrument(*tavo.instrument), 0u);
    EXPECT_EQ(tavo.instrument->values(), defaultValues(0));
}

// ---- MIDI File Dump -------------------------------------------------------------------------

TEST(SimulatorFileDump, ReassemblesUploadsOfEverySizeAndReportsTheNameAfterEof)
{
    struct Case
    {
        int slot;
        size_t size;
        const char* name;
    };
    // 1 byte; a single group; a group and one byte; a full packet; one byte more;
    // 130 packets, so that the packet numbers wrap after 127.
    const Case cases[] = {{3, 1, "One"},    {4, 7, "Seven"},  {5, 8, "Eight"},
                          {3, 104, "Full"}, {4, 105, "More"}, {5, 130 * 104 + 5, "Long"}};
    Bench bench;
    int completed = 0;
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        const Bytes data = tonewheelBytes(c.size, static_cast<uint32_t>(c.size));
        upload(bench, c.slot, data, c.name);
        EXPECT_TRUE(bench.instrument->uploadInProgress());
        EXPECT_NE(bench.instrument->slotNames()[static_cast<size_t>(c.slot)], c.name)
            << "named before EOF";
        EXPECT_EQ(bench.answersTo(eofPacket),
                  std::vector<Bytes>{sysex::tonewheelNameMessage(c.slot, c.name)});
        EXPECT_EQ(bench.instrument->tonewheelData(c.slot), data);
        EXPECT_EQ(bench.instrument->slotNames()[static_cast<size_t>(c.slot)], c.name);
        EXPECT_FALSE(bench.instrument->uploadInProgress());
        EXPECT_EQ(bench.instrument->uploadsCompleted(), ++completed);
    }
    // The new names are what section 7C reports.
    const auto names = bench.answersTo(sysex::dumpRequest(0x7C));
    ASSERT_EQ(names.size(), 7u);
    EXPECT_EQ(names[3], sysex::tonewheelNameMessage(3, "Full"));
    EXPECT_EQ(names[5], sysex::tonewheelNameMessage(5, "Long"));
}

TEST(SimulatorFileDump, TheEditorsOwnPacketsAreTaken)
{
    // The builders of the editor's upload, against the instrument's receive.
    Bench bench;
    const Bytes data = tonewheelBytes(300);
    filedump::Name name{};
    std::memcpy(name.data(), "Built by the editor", 19);
    uint8_t buffer[filedump::maxPacketSize];
    const size_t headerSize = filedump::buildHeader(filedump::typeForSlot(4), 300, name, buffer);
    ASSERT_EQ(bench.answersTo(Bytes(buffer, buffer + headerSize)), std::vector<Bytes>{ack(0)});
    for (uint8_t number = 0; number < 3; ++number)
    {
        const int count = std::min(104, 300 - number * 104);
        const size_t size =
            filedump::buildDataPacket(number, data.data() + number * 104, count, buffer);
        ASSERT_EQ(bench.answersTo(Bytes(buffer, buffer + size)), std::vector<Bytes>{ack(number)});
    }
    const Bytes editorEof(filedump::eofMessage.begin(), filedump::eofMessage.end());
    EXPECT_EQ(bench.answersTo(editorEof),
              std::vector<Bytes>{sysex::tonewheelNameMessage(4, "Built by the editor")});
    EXPECT_EQ(bench.instrument->tonewheelData(4), data);
}

TEST(SimulatorFileDump, NameComesFromTheHeaderUpToItsFirstZeroTrimmed)
{
    const std::string thirtyTwo = "ABCDEFGHIJKLMNOPQRSTUVWXYZ012345";
    const struct
    {
        std::string field;
        std::string reported;
    } cases[] = {
        {"  Padded Name   ", "Padded Name"},
        {std::string("Cut\0here", 8), "Cut"},
        {thirtyTwo, thirtyTwo},
        {"", ""},
        {"      ", ""},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.field);
        Bench bench;
        upload(bench, 3, {0x42}, c.field);
        EXPECT_EQ(bench.answersTo(eofPacket),
                  std::vector<Bytes>{sysex::tonewheelNameMessage(3, c.reported)});
    }
}

TEST(SimulatorFileDump, DamagedPacketsAreAskedForAgain)
{
    const Bytes data = tonewheelBytes(208);
    const Bytes good0 = dataPacket(0, data.data(), 104);
    const Bytes good1 = dataPacket(1, data.data() + 104, 104);

    Bytes badChecksum = good1;
    badChecksum[badChecksum.size() - 2] ^= 0x01;
    Bytes badData = good1; // a flipped data bit: the checksum no longer fits
    badData[20] ^= 0x10;
    Bytes badCount = good1;
    badCount[6] = 0x75;
    Bytes shortened = good1; // one byte less: the count and the encoding no longer fit
    shortened.erase(shortened.end() - 3);
    shortened[shortened.size() - 2] = sysex::sysexChecksum(shortened.data(), shortened.size());
    const Bytes wrongNumber = dataPacket(2, data.data() + 104, 104);
    const Bytes repeated = good0;
    const Bytes tooShort = {0xF0, 0x7E, 0x00, 0x07, 0x02, 0x01, 0x00, 0xF7};

    const struct
    {
        const char* what;
        Bytes packet;
    } cases[] = {{"checksum", badChecksum},     {"data", badData},
                 {"byte count", badCount},      {"encoding", shortened},
                 {"number ahead", wrongNumber}, {"number behind", repeated},
                 {"no data at all", tooShort}};
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.what);
        Bench bench;
        ASSERT_EQ(bench.answersTo(header(3, 208, "N")), std::vector<Bytes>{ack(0)});
        ASSERT_EQ(bench.answersTo(good0), std::vector<Bytes>{ack(0)});
        EXPECT_EQ(bench.answersTo(c.packet), std::vector<Bytes>{nak(1)});
        EXPECT_EQ(bench.answersTo(good1), std::vector<Bytes>{ack(1)});
        EXPECT_EQ(bench.answersTo(eofPacket).size(), 1u);
        EXPECT_EQ(bench.instrument->tonewheelData(3), data);
    }
}

TEST(SimulatorFileDump, NakFaultAnswersAPacketWithNakTheGivenNumberOfTimes)
{
    for (int times : {1, 2, 3})
    {
        SCOPED_TRACE(times);
        SimulatorFaults faults;
        faults.nakPacket = 1;
        faults.nakTimes = times;
        Bench bench(withFaults(faults));
        const Bytes data = tonewheelBytes(250);
        ASSERT_EQ(bench.answersTo(header(4, 250, "N")), std::vector<Bytes>{ack(0)});
        ASSERT_EQ(bench.answersTo(dataPacket(0, data.data(), 104)), std::vector<Bytes>{ack(0)});
        const Bytes packet1 = dataPacket(1, data.data() + 104, 104);
        for (int i = 0; i < times; ++i)
            EXPECT_EQ(bench.answersTo(packet1), std::vector<Bytes>{nak(1)}) << "NAK " << i + 1;
        EXPECT_EQ(bench.answersTo(packet1), std::vector<Bytes>{ack(1)});
        EXPECT_EQ(bench.answersTo(dataPacket(2, data.data() + 208, 42)),
                  std::vector<Bytes>{ack(2)});
        bench.answersTo(eofPacket);
        EXPECT_EQ(bench.instrument->tonewheelData(4), data);
    }
}

TEST(SimulatorFileDump, NakFaultHitsEveryUpload)
{
    SimulatorFaults faults;
    faults.nakPacket = 0;
    faults.nakTimes = 1;
    Bench bench(withFaults(faults));
    for (int round = 0; round < 2; ++round)
    {
        ASSERT_EQ(bench.answersTo(header(3, 3, "N")), std::vector<Bytes>{ack(0)});
        const Bytes packet = dataPacket(0, tonewheelBytes(3).data(), 3);
        EXPECT_EQ(bench.answersTo(packet), std::vector<Bytes>{nak(0)});
        EXPECT_EQ(bench.answersTo(packet), std::vector<Bytes>{ack(0)});
        bench.answersTo(eofPacket);
    }
    EXPECT_EQ(bench.instrument->uploadsCompleted(), 2);
}

TEST(SimulatorFileDump, CancelFaultEndsTheUploadWithItsCode)
{
    for (int code = 0; code <= 5; ++code)
    {
        SCOPED_TRACE(code);
        SimulatorFaults faults;
        faults.cancelAtPacket = 2;
        faults.cancelCode = code;
        Bench bench(withFaults(faults));
        const Bytes data = tonewheelBytes(400);
        ASSERT_EQ(bench.answersTo(header(5, 400, "Lost")), std::vector<Bytes>{ack(0)});
        ASSERT_EQ(bench.answersTo(dataPacket(0, data.data(), 104)), std::vector<Bytes>{ack(0)});
        ASSERT_EQ(bench.answersTo(dataPacket(1, data.data() + 104, 104)),
                  std::vector<Bytes>{ack(1)});
        EXPECT_EQ(bench.answersTo(dataPacket(2, data.data() + 208, 104)),
                  std::vector<Bytes>{cancelWith(code)});
        EXPECT_FALSE(bench.instrument->uploadInProgress());
        // What follows belongs to no upload: no answer, nothing stored, no new name.
        EXPECT_TRUE(bench.answersTo(dataPacket(3, data.data() + 312, 88)).empty());
        EXPECT_TRUE(bench.answersTo(eofPacket).empty());
        EXPECT_TRUE(bench.instrument->tonewheelData(5).empty());
        EXPECT_EQ(bench.instrument->slotNames()[5], options::tonewheelModels[5]);
    }
}

TEST(SimulatorFileDump, InvalidHeadersAreCancelledWithTheFittingCode)
{
    auto withByte = [](size_t at, uint8_t value)
    {
        Bytes message = header(3, 100, "N");
        message[at] = value;
        return message;
    };
    Bytes shortHeader = header(3, 100, "N");
    shortHeader.erase(shortHeader.begin() + 20);
    Bytes longHeader = header(3, 100, "N");
    longHeader.insert(longHeader.begin() + 20, 0x20);

    const struct
    {
        const char* what;
        Bytes header;
        Bytes answer;
    } cases[] = {
        {"one byte short", shortHeader, cancelWith(headerSizeWrong)},
        {"one byte long", longHeader, cancelWith(headerSizeWrong)},
        {"nothing after the packet type",
         {0xF0, 0x7E, 0x00, 0x07, 0x01, 0xF7},
         cancelWith(headerSizeWrong)},
        {"slot digit 0", withByte(8, '0'), cancelWith(tonewheelNumberWrong)},
        {"slot digit 4", withByte(8, '4'), cancelWith(tonewheelNumberWrong)},
        {"type not AC", withByte(7, 'D'), cancelWith(tonewheelNumberWrong)},
        {"type without its zero byte", withByte(9, 'X'), cancelWith(tonewheelNumberWrong)},
        {"length 0", header(3, 0, "N"), cancelWith(tonewheelSizeWrong)},
        {"one byte more than a slot holds", header(4, maxTonewheelBytes + 1, "N"),
         cancelWith(tonewheelSizeWrong)},
        {"the most a slot holds", header(4, maxTonewheelBytes, "N"), ack(0)},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.what);
        Bench bench;
        EXPECT_EQ(bench.answersTo(c.header), std::vector<Bytes>{c.answer});
        EXPECT_EQ(bench.instrument->uploadInProgress(), c.answer == ack(0));
    }
}

TEST(SimulatorFileDump, MoreOrLessDataThanAnnouncedIsRefused)
{
    const Bytes data = tonewheelBytes(20);
    {
        Bench bench;
        ASSERT_EQ(bench.answersTo(header(3, 10, "N")), std::vector<Bytes>{ack(0)});
        EXPECT_EQ(bench.answersTo(dataPacket(0, data.data(), 20)),
                  std::vector<Bytes>{cancelWith(tonewheelSizeWrong)});
        EXPECT_FALSE(bench.instrument->uploadInProgress());
    }
    {
        Bench bench;
        ASSERT_EQ(bench.answersTo(header(3, 30, "N")), std::vector<Bytes>{ack(0)});
        ASSERT_EQ(bench.answersTo(dataPacket(0, data.data(), 20)), std::vector<Bytes>{ack(0)});
        EXPECT_EQ(bench.answersTo(eofPacket), std::vector<Bytes>{cancelWith(tonewheelSizeWrong)});
        EXPECT_TRUE(bench.instrument->tonewheelData(3).empty());
        EXPECT_EQ(bench.instrument->uploadsCompleted(), 0);
    }
}

TEST(SimulatorFileDump, CancelFromTheEditorAbandonsTheUpload)
{
    Bench bench;
    const Bytes data = tonewheelBytes(300);
    ASSERT_EQ(bench.answersTo(header(3, 300, "N")), std::vector<Bytes>{ack(0)});
    ASSERT_EQ(bench.answersTo(dataPacket(0, data.data(), 104)), std::vector<Bytes>{ack(0)});
    EXPECT_TRUE(bench.answersTo(editorCancel).empty());
    EXPECT_FALSE(bench.instrument->uploadInProgress());
    EXPECT_TRUE(bench.answersTo(dataPacket(1, data.data() + 104, 104)).empty());
    EXPECT_TRUE(bench.answersTo(eofPacket).empty());
    EXPECT_TRUE(bench.instrument->tonewheelData(3).empty());
    EXPECT_EQ(bench.instrument->receivedCount(Received::fileDumpCancel), 1);

    // A fresh upload afterwards starts again at packet 0.
    upload(bench, 3, data, "Again");
    EXPECT_EQ(bench.answersTo(eofPacket).size(), 1u);
    EXPECT_EQ(bench.instrument->tonewheelData(3), data);
}

TEST(SimulatorFileDump, PacketsWithoutAHeaderAreNotAnswered)
{
    Bench bench;
    const Bytes data = tonewheelBytes(5);
    EXPECT_TRUE(bench.answersTo(dataPacket(0, data.data(), 5)).empty());
    EXPECT_EQ(bench.instrument->receivedCount(Received::fileDumpPacket), 1);
}

TEST(SimulatorFileDump, AcksWaitForTheConfiguredDelay)
{
    SimulatorFaults faults;
    faults.ackDelayMs = 150;
    Bench bench(withFaults(faults));
    const Bytes data = tonewheelBytes(5);
    for (const Bytes& message : {header(3, 5, "N"), dataPacket(0, data.data(), 5)})
    {
        const auto sent = std::chrono::steady_clock::now();
        bench.send(message);
        EXPECT_EQ(bench.next(), ack(0));
        EXPECT_GE(std::chrono::steady_clock::now() - sent, std::chrono::milliseconds(150));
    }
}

// ---- faults --------------------------------------------------------------------------------

TEST(SimulatorFaults, SilentSendsNothingButKeepsValues)
{
    SimulatorFaults faults;
    faults.silent = true;
    Bench bench(withFaults(faults));
    EXPECT_TRUE(bench.answersTo(sysex::identityRequest()).empty());
    EXPECT_TRUE(bench.answersTo(sysex::dumpRequest(0x7D)).empty());
    EXPECT_TRUE(bench.answersTo(sysex::parameterValueMessage(4, 2.0f)).empty());
    bench.instrument->turnKnob(6, 1000.0f);
    ASSERT_TRUE(bench.instrument->waitUntilIdle(deadline));
    EXPECT_EQ(sentByInstrument(*bench.instrument), 0u);
    EXPECT_EQ(bench.instrument->values()[4], 2.0f);

    // Switched off at run time, it answers again; nothing was held back.
    faults.silent = false;
    bench.instrument->setFaults(faults);
    EXPECT_EQ(bench.answersTo(sysex::identityRequest()),
              std::vector<Bytes>{sysex::identityReply(bench.instrument->identity())});
    EXPECT_EQ(bench.collector.size(), 1u);
}

TEST(SimulatorFaults, SilentSwitchedOnAtRunTime)
{
    Bench bench;
    EXPECT_EQ(bench.answersTo(sysex::identityRequest()).size(), 1u);
    SimulatorFaults faults;
    faults.silent = true;
    bench.instrument->setFaults(faults);
    EXPECT_TRUE(bench.answersTo(sysex::identityRequest()).empty());
    EXPECT_TRUE(bench.answersTo(sysex::storeRequest()).empty());
}

TEST(SimulatorFaults, HeartbeatStopsAfterTheGivenNumberOfReplies)
{
    for (int replies : {0, 1, 3})
    {
        SCOPED_TRACE(replies);
        SimulatorFaults faults;
        faults.heartbeatStopsAfter = replies;
        Bench bench(withFaults(faults));
        for (int i = 0; i < 5; ++i)
            EXPECT_EQ(bench.answersTo(sysex::identityRequest()).size(), i < replies ? 1u : 0u)
                << "request " << i + 1;
        // Everything else is still answered.
        EXPECT_EQ(bench.answersTo(sysex::storeRequest()), std::vector<Bytes>{done});
        EXPECT_EQ(bench.instrument->receivedCount(Received::identityRequest), 5);
    }
}

TEST(SimulatorFaults, IdentityAndHeartbeatLimitChangeAtRunTime)
{
    Bench bench;
    sysex::Identity wrong = bench.instrument->identity();
    wrong.protocol = 6;
    wrong.modelCode = 7;
    wrong.hardwareRevision = 2;
    bench.instrument->setIdentity(wrong);
    const Bytes reply = {0xF0, 0x7D, 0x1E, 0x07, 0x06, 0x07, 0x02, 0x01, 0x05, 0x00, 0xF7};
    EXPECT_EQ(bench.answersTo(sysex::identityRequest()), std::vector<Bytes>{reply});

    SimulatorFaults faults;
    faults.heartbeatStopsAfter = 2; // counts the replies since the start: one more
    bench.instrument->setFaults(faults);
    EXPECT_EQ(bench.answersTo(sysex::identityRequest()).size(), 1u);
    EXPECT_TRUE(bench.answersTo(sysex::identityRequest()).empty());
    EXPECT_EQ(bench.instrument->faults().heartbeatStopsAfter, 2);
}

TEST(SimulatorFaults, DumpSectionsComeAfterTheDelay)
{
    SimulatorFaults faults;
    faults.dumpDelayMs = 200;
    Bench bench(withFaults(faults));
    for (uint8_t section : sysex::dumpSections)
    {
        SCOPED_TRACE(static_cast<int>(section));
        const auto sent = std::chrono::steady_clock::now();
        const auto answers = bench.answersTo(sysex::dumpRequest(section));
        EXPECT_GE(std::chrono::steady_clock::now() - sent, std::chrono::milliseconds(200));
        ASSERT_FALSE(answers.empty());
        EXPECT_EQ(answers.back(), done);
    }
    // The delay is only for dump sections.
    EXPECT_EQ(bench.answersTo(sysex::identityRequest()).size(), 1u);
}

TEST(SimulatorFaults, HeartbeatGoesOnWhileASectionIsDelayed)
{
    // The section keeps the order of its own messages.
    SimulatorFaults faults;
    faults.dumpDelayMs = 300;
    Bench bench(withFaults(faults));
    bench.send(sysex::dumpRequest(0x7C));
    bench.send(sysex::identityRequest());
    EXPECT_EQ(bench.next(), sysex::identityReply(bench.instrument->identity()));
    for (int slot = 0; slot < numTonewheelSlots; ++slot)
        EXPECT_EQ(bench.next(), sysex::tonewheelNameMessage(slot, options::tonewheelModels[slot]));
    EXPECT_EQ(bench.next(), done);
}

// ---- ports ---------------------------------------------------------------------------------

TEST(SimulatorPorts, ExtraPortsSurroundTheNamedPair)
{
    SimulatorConfig config;
    config.ports.extraInputsBefore = 2;
    config.ports.extraInputsAfter = 1;
    config.ports.extraOutputsBefore = 1;
    config.ports.extraOutputsAfter = 2;
    VirtualMidiServices midi;
    SimulatedInstrument instrument(midi, config);
    EXPECT_EQ(namesOf(midi.getInputDeviceNames()),
              (std::vector<std::string>{"Midi Through Port-0", "USB MIDI Interface 1",
                                        "Tollmark Kestra MIDI Port", "USB MIDI Interface 2"}));
    EXPECT_EQ(namesOf(midi.getOutputDeviceNames()),
              (std::vector<std::string>{"Midi Through Port-0", "Tollmark Kestra MIDI Port",
                                        "USB MIDI Interface 1", "USB MIDI Interface 2"}));
    EXPECT_EQ(instrument.inputIndex(), 2);
    EXPECT_EQ(instrument.outputIndex(), 1);

    // The dummies open, take what is sent and never answer.
    Collector collector;
    auto dummyIn = midi.openInputDevice(0, &collector);
    ASSERT_NE(dummyIn, nullptr);
    dummyIn->start();
    auto dummyOut = midi.openOutputDevice(0);
    ASSERT_NE(dummyOut, nullptr);
    const Bytes request = sysex::identityRequest();
    dummyOut->sendMessageNow(juce::MidiMessage(request.data(), static_cast<int>(request.size())));
    ASSERT_TRUE(instrument.waitUntilIdle(deadline));
    EXPECT_TRUE(instrument.log().empty());
    EXPECT_EQ(collector.size(), 0u);
}

TEST(SimulatorPorts, BusyPairCannotBeOpenedUntilReleased)
{
    SimulatorConfig config;
    config.ports.busy = true;
    config.ports.extraInputsBefore = 1;
    config.ports.extraOutputsBefore = 1;
    VirtualMidiServices midi;
    SimulatedInstrument instrument(midi, config);
    Collector collector;
    EXPECT_EQ(midi.openInputDevice(instrument.inputIndex(), &collector), nullptr);
    EXPECT_EQ(midi.openOutputDevice(instrument.outputIndex()), nullptr);
    EXPECT_NE(midi.openInputDevice(0, &collector), nullptr); // the dummies are free
    EXPECT_NE(midi.openOutputDevice(0), nullptr);

    instrument.setBusy(false);
    auto input = midi.openInputDevice(instrument.inputIndex(), &collector);
    auto output = midi.openOutputDevice(instrument.outputIndex());
    ASSERT_NE(input, nullptr);
    ASSERT_NE(output, nullptr);
    input->start();
    const Bytes request = sysex::identityRequest();
    output->sendMessageNow(juce::MidiMessage(request.data(), static_cast<int>(request.size())));
    ASSERT_TRUE(collector.waitForCount(1));
    EXPECT_EQ(collector.messages()[0], sysex::identityReply(instrument.identity()));
}

// ---- options -------------------------------------------------------------------------------

TEST(SimulatorOptions, ValidStrings)
{
    const SimulatorConfig healthy;
    const struct
    {
        const char* options;
        std::function<void(SimulatorConfig&)> change;
    } cases[] = {
        {"", [](SimulatorConfig&) {}},
        {" , ,", [](SimulatorConfig&) {}},
        {"model=1", [](SimulatorConfig& c) { c.identity.modelCode = 4; }},
        {"model=3,revision=1",
         [](SimulatorConfig& c)
         {
             c.identity.modelCode = 6;
             c.identity.hardwareRevision = 1;
         }},
        {"model-code=9", [](SimulatorConfig& c) { c.identity.modelCode = 9; }},
        {"protocol=4", [](SimulatorConfig& c) { c.identity.protocol = 4; }},
        {"firmware=1.25",
         [](SimulatorConfig& c)
         {
             c.identity.firmwareMajor = 1;
             c.identity.firmwareMinorA = 25;
             c.identity.firmwareMinorB = 0;
         }},
        {"firmware=2.1.3",
         [](SimulatorConfig& c)
         {
             c.identity.firmwareMajor = 2;
             c.identity.firmwareMinorA = 13;
         }},
        {"firmware=3.200",
         [](SimulatorConfig& c)
         {
             c.identity.firmwareMajor = 3;
             c.identity.firmwareMinorA = 127;
             c.identity.firmwareMinorB = 73;
         }},
        {"silent", [](SimulatorConfig& c) { c.faults.silent = true; }},
        {"heartbeat-stops-after=3", [](SimulatorConfig& c) { c.faults.heartbeatStopsAfter = 3; }},
        {"dump-delay=2500", [](SimulatorConfig& c) { c.faults.dumpDelayMs = 2500; }},
        {"silent-after-store", [](SimulatorConfig& c) { c.faults.silentAfterStore = true; }},
        {"silent-after-reset", [](SimulatorConfig& c) { c.faults.silentAfterReset = true; }},
        {"nak-packet=5x2",
         [](SimulatorConfig& c)
         {
             c.faults.nakPacket = 5;
             c.faults.nakTimes = 2;
         }},
        {"nak-packet=7",
         [](SimulatorConfig& c)
         {
             c.faults.nakPacket = 7;
             c.faults.nakTimes = 1;
         }},
        {"cancel-at-packet=3:4",
         [](SimulatorConfig& c)
         {
             c.faults.cancelAtPacket = 3;
             c.faults.cancelCode = 4;
         }},
        {"ack-delay=10", [](SimulatorConfig& c) { c.faults.ackDelayMs = 10; }},
        {"extra-inputs=2,extra-outputs=3,extra-inputs-after=1,extra-outputs-after=4",
         [](SimulatorConfig& c)
         {
             c.ports.extraInputsBefore = 2;
             c.ports.extraOutputsBefore = 3;
             c.ports.extraInputsAfter = 1;
             c.ports.extraOutputsAfter = 4;
         }},
        {"busy", [](SimulatorConfig& c) { c.ports.busy = true; }},
        {"log=/tmp/a=b.log", [](SimulatorConfig& c) { c.logPath = "/tmp/a=b.log"; }},
        {"port-name= Organ In/Out ", [](SimulatorConfig& c) { c.portName = "Organ In/Out"; }},
        {"play=5:42@100;97:4@0",
         [](SimulatorConfig& c)
         {
             c.cues.push_back({100, 5, 42.0f, {}});
             c.cues.push_back({0, 97, 4.0f, {}});
         }},
        {"play=4:-3.5@7,play=88:127@1", // two options add up, in order
         [](SimulatorConfig& c)
         {
             c.cues.push_back({7, 4, -3.5f, {}});
             c.cues.push_back({1, 88, 127.0f, {}});
         }},
        {"send=F7@500;f0 7d1E 05 f7@600",
         [](SimulatorConfig& c)
         {
             c.cues.push_back({500, -1, 0.0f, {0xF7}});
             c.cues.push_back({600, -1, 0.0f, {0xF0, 0x7D, 0x1E, 0x05, 0xF7}});
         }},
        {"send=F0 41*3 F7@0",
         [](SimulatorConfig& c) {
             c.cues.push_back({0, -1, 0.0f, {0xF0, 0x41, 0x41, 0x41, 0xF7}});
         }},
        {" model = 2 , silent ",
         [](SimulatorConfig& c)
         {
             c.identity.modelCode = 5;
             c.faults.silent = true;
         }},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.options);
        SimulatorConfig expected = healthy;
        c.change(expected);
        SimulatorConfig parsed;
        std::string error = "untouched";
        ASSERT_TRUE(parseSimulatorOptions(c.options, parsed, &error));
        EXPECT_EQ(error, "untouched");
        EXPECT_EQ(std::memcmp(&parsed.identity, &expected.identity, sizeof expected.identity), 0);
        EXPECT_EQ(parsed.faults.silent, expected.faults.silent);
        EXPECT_EQ(parsed.faults.heartbeatStopsAfter, expected.faults.heartbeatStopsAfter);
        EXPECT_EQ(parsed.faults.dumpDelayMs, expected.faults.dumpDelayMs);
        EXPECT_EQ(parsed.faults.silentAfterStore, expected.faults.silentAfterStore);
        EXPECT_EQ(parsed.faults.silentAfterReset, expected.faults.silentAfterReset);
        EXPECT_EQ(parsed.faults.nakPacket, expected.faults.nakPacket);
        EXPECT_EQ(parsed.faults.nakTimes, expected.faults.nakTimes);
        EXPECT_EQ(parsed.faults.cancelAtPacket, expected.faults.cancelAtPacket);
        EXPECT_EQ(parsed.faults.cancelCode, expected.faults.cancelCode);
        EXPECT_EQ(parsed.faults.ackDelayMs, expected.faults.ackDelayMs);
        EXPECT_EQ(parsed.ports.extraInputsBefore, expected.ports.extraInputsBefore);
        EXPECT_EQ(parsed.ports.extraInputsAfter, expected.ports.extraInputsAfter);
        EXPECT_EQ(parsed.ports.extraOutputsBefore, expected.ports.extraOutputsBefore);
        EXPECT_EQ(parsed.ports.extraOutputsAfter, expected.ports.extraOutputsAfter);
        EXPECT_EQ(parsed.ports.busy, expected.ports.busy);
        EXPECT_EQ(parsed.logPath, expected.logPath);
        EXPECT_EQ(parsed.portName, expected.portName);
        ASSERT_EQ(parsed.cues.size(), expected.cues.size());
        for (size_t i = 0; i < expected.cues.size(); ++i)
        {
            EXPECT_EQ(parsed.cues[i].afterMs, expected.cues[i].afterMs) << i;
            EXPECT_EQ(parsed.cues[i].number, expected.cues[i].number) << i;
            EXPECT_EQ(parsed.cues[i].value, expected.cues[i].value) << i;
            EXPECT_EQ(parsed.cues[i].bytes, expected.cues[i].bytes) << i;
        }
    }
}

TEST(SimulatorOptions, InvalidStringsAreReportedAndChangeNothing)
{
    const struct
    {
        const char* options;
        const char* mentions;
    } cases[] = {
        {"modle=1", "unknown option 'modle'"},
        {"silent,frobnicate", "unknown option 'frobnicate'"},
        {"model", "option 'model' needs a value"},
        {"model=", "option 'model'"},
        {"model=x", "option 'model'"},
        {"model=125", "option 'model'"},
        {"model=-1", "option 'model'"},
        {"protocol=128", "option 'protocol'"},
        {"firmware=1", "option 'firmware'"},
        {"firmware=1.255", "option 'firmware'"},
        {"firmware=1.2.10", "option 'firmware'"},
        {"silent=yes", "option 'silent' takes no value"},
        {"busy=1", "option 'busy' takes no value"},
        {"dump-delay=2.5", "option 'dump-delay'"},
        {"dump-delay=99999999999", "option 'dump-delay'"},
        {"nak-packet=5x0", "option 'nak-packet'"},
        {"nak-packet=x2", "option 'nak-packet'"},
        {"cancel-at-packet=3", "option 'cancel-at-packet'"},
        {"cancel-at-packet=3:128", "option 'cancel-at-packet'"},
        {"extra-inputs=65", "option 'extra-inputs'"},
        {"log=", "option 'log'"},
        {"port-name=", "option 'port-name'"},
        {"play=5:42", "option 'play'"},
        {"play=99:1@0", "option 'play'"},
        {"play=5@10", "option 'play'"},
        {"play=5:x@10", "option 'play'"},
        {"play=5:nan@10", "option 'play'"},
        {"play=5:1@600001", "option 'play'"},
        {"play=97:1.5@10", "option 'play'"},
        {"play=97:128@10", "option 'play'"},
        {"play=85:-1@10", "option 'play'"},
        {"play=5:1@10;", "option 'play'"},
        {"send=@10", "option 'send'"},
        {"send=F@10", "option 'send'"},
        {"send=FG@10", "option 'send'"},
        {"send=F7*0@10", "option 'send'"},
        {"send=00*65537@10", "option 'send'"},
        {"send=F7", "option 'send'"},
        {"=5", "unknown option ''"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.options);
        SimulatorConfig config;
        config.faults.dumpDelayMs = 77; // must survive a failed parse
        std::string error;
        EXPECT_FALSE(parseSimulatorOptions(std::string(c.options) + ",model=2", config, &error));
        EXPECT_NE(error.find(c.mentions), std::string::npos) << error;
        EXPECT_EQ(config.faults.dumpDelayMs, 77);
        EXPECT_EQ(config.identity.modelCode, 3);
        EXPECT_EQ(createSimulatedMidiServices(c.options, nullptr), nullptr);
    }

    std::string both;
    SimulatorConfig config;
    EXPECT_FALSE(parseSimulatorOptions("one,two", config, &both));
    EXPECT_NE(both.find("'one'"), std::string::npos);
    EXPECT_NE(both.find("'two'"), std::string::npos);
}

TEST(SimulatorCues, PlayedOnceAfterTheFirstHandshakeInTimeOrder)
{
    SimulatorConfig config;
    ASSERT_TRUE(
        parseSimulatorOptions("port-name=Organ,send=F7@60;55 66@0,play=97:5@30;4:-2.5@30", config));
    Bench bench(config);
    EXPECT_EQ(namesOf(bench.midi.getInputDeviceNames()), std::vector<std::string>{"Organ"});

    // Nothing of them before the handshake has ended, however long it takes.
    const auto dumps = concat(
        {bench.answersTo(sysex::dumpRequest(0x7D)), bench.answersTo(sysex::dumpRequest(0x7E))});
    EXPECT_EQ(dumps.size(), static_cast<size_t>(numParameters + 2));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(bench.collector.size(), dumps.size());

    // The last section ends it: its answers first, then the cues by time, the
    // ones of the same time in the order given.
    const auto names = bench.answersTo(sysex::dumpRequest(0x7C));
    const auto cues = std::vector<Bytes>(names.end() - 4, names.end());
    EXPECT_EQ(cues, (std::vector<Bytes>{{0x55, 0x66},
                                        sysex::parameterByteMessage(97, 5),
                                        sysex::parameterValueMessage(4, -2.5f),
                                        {0xF7}}));
    EXPECT_EQ(std::vector<Bytes>(names.begin(), names.end() - 4),
              concat({builtInNameMessages(), {done}}));
    EXPECT_EQ(bench.instrument->values()[97], 5.0f);
    EXPECT_EQ(bench.instrument->values()[4], -2.5f);

    // A second handshake plays nothing again.
    EXPECT_EQ(bench.answersTo(sysex::dumpRequest(0x7C)), concat({builtInNameMessages(), {done}}));
}

TEST(SimulatorOptions, CreatedServicesAreTheInstrumentOnVirtualPorts)
{
    std::string error;
    auto services =
        createSimulatedMidiServices("model=1,revision=1,firmware=1.26,extra-inputs=1", &error);
    ASSERT_NE(services, nullptr) << error;
    EXPECT_TRUE(error.empty());
    EXPECT_EQ(namesOf(services->getInputDeviceNames()),
              (std::vector<std::string>{"Midi Through Port-0", "Tollmark Kestra MIDI Port"}));
    EXPECT_EQ(namesOf(services->getOutputDeviceNames()),
              std::vector<std::string>{"Tollmark Kestra MIDI Port"});

    Collector collector;
    auto input = services->openInputDevice(1, &collector);
    auto output = services->openOutputDevice(0);
    ASSERT_NE(input, nullptr);
    ASSERT_NE(output, nullptr);
    input->start();
    const Bytes request = sysex::identityRequest();
    output->sendMessageNow(juce::MidiMessage(request.data(), static_cast<int>(request.size())));
    ASSERT_TRUE(collector.waitForCount(1));
    EXPECT_EQ(collector.messages()[0],
              (Bytes{0xF0, 0x7D, 0x1E, 0x07, 0x05, 0x04, 0x01, 0x01, 0x1A, 0x00, 0xF7}));

    auto* simulated = dynamic_cast<SimulatedMidiServices*>(services.get());
    ASSERT_NE(simulated, nullptr);
    EXPECT_EQ(simulated->instrument().receivedCount(Received::identityRequest), 1);

    // The editor may still hold its ports when the services go away.
    services.reset();
    output->sendMessageNow(juce::MidiMessage(request.data(), static_cast<int>(request.size())));
}

TEST(SimulatorOptions, BusyOptionAndUnwritableLog)
{
    auto busy = createSimulatedMidiServices("busy");
    ASSERT_NE(busy, nullptr);
    Collector collector;
    EXPECT_EQ(busy->openInputDevice(0, &collector), nullptr);
    EXPECT_EQ(busy->openOutputDevice(0), nullptr);

    std::string error;
    EXPECT_EQ(createSimulatedMidiServices("log=/nonexistent-folder/x/kestra.log", &error), nullptr);
    EXPECT_NE(error.find("/nonexistent-folder/x/kestra.log"), std::string::npos) << error;
}

// ---- the log -------------------------------------------------------------------------------

TEST(SimulatorLog, EveryMessageInAndOutOneLineEach)
{
    char path[] = "/tmp/kestra-simulator-log-XXXXXX";
    const int fd = mkstemp(path);
    ASSERT_GE(fd, 0);
    close(fd);
    {
        std::ofstream earlier(path);
        earlier << "earlier line\n";
    }

    std::vector<SimulatedInstrument::LogEntry> inMemory;
    {
        std::string error;
        auto services = createSimulatedMidiServices(std::string("log=") + path, &error);
        ASSERT_NE(services, nullptr) << error;
        auto& instrument = dynamic_cast<SimulatedMidiServices&>(*services).instrument();
        Collector collector;
        auto input = services->openInputDevice(0, &collector);
        auto output = services->openOutputDevice(0);
        input->start();
        size_t answers = 0;
        for (const Bytes& request : {sysex::identityRequest(), sysex::storeRequest()})
        {
            output->sendMessageNow(
                juce::MidiMessage(request.data(), static_cast<int>(request.size())));
            ASSERT_TRUE(collector.waitForCount(++answers));
        }
        ASSERT_TRUE(instrument.waitUntilIdle(deadline));
        inMemory = instrument.log();
    }

    std::ifstream file(path);
    std::vector<std::string> lines;
    for (std::string line; std::getline(file, line);)
        lines.push_back(line);
    std::remove(path);

    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[0], "earlier line"); // appended, not overwritten
    const std::regex format(R"(^(\d+) (in|out)( [0-9A-F]{2})+$)");
    long long previous = 0;
    for (size_t i = 1; i < lines.size(); ++i)
    {
        std::smatch match;
        ASSERT_TRUE(std::regex_match(lines[i], match, format)) << lines[i];
        const long long ms = std::stoll(match[1]);
        EXPECT_GE(ms, previous);
        previous = ms;
    }
    auto tail = [](const std::string& line) { return line.substr(line.find(' ') + 1); };
    EXPECT_EQ(tail(lines[1]), "in F0 7D 1E 06 01 F7");
    EXPECT_EQ(tail(lines[2]), "out F0 7D 1E 07 05 03 00 01 05 00 F7");
    EXPECT_EQ(tail(lines[3]), "in F0 7D 1E 03 00 F7");
    EXPECT_EQ(tail(lines[4]), "out F0 7D 1E 05 F7");

    ASSERT_EQ(inMemory.size(), 4u);
    for (size_t i = 0; i < inMemory.size(); ++i)
        EXPECT_EQ(SimulatedInstrument::formatLogLine(inMemory[i]), lines[i + 1]);
}

TEST(SimulatorLog, FormatOfOneLine)
{
    const SimulatedInstrument::LogEntry entry{
        1532, SimulatedInstrument::Direction::out, {0xF0, 0x7E, 0x00, 0x7F, 0x0A, 0xF7}};
    EXPECT_EQ(SimulatedInstrument::formatLogLine(entry), "1532 out F0 7E 00 7F 0A F7");
}

// ---- threads -------------------------------------------------------------------------------

TEST(SimulatorThreads, AnswersOnItsOwnThreadWhileManyThreadsTalkToIt)
{
    Bench bench;
    const Bytes request = sysex::identityRequest();
    std::atomic<bool> go{false};
    std::vector<std::thread> editors;
    constexpr int threads = 4;
    constexpr int perThread = 50;
    for (int t = 0; t < threads; ++t)
        editors.emplace_back(
            [&, t]
            {
                while (!go)
                    std::this_thread::yield();
                for (int i = 0; i < perThread; ++i)
                {
                    bench.send(request);
                    bench.send(sysex::parameterValueMessage(t, static_cast<float>(i)));
                    (void)bench.instrument->values();
                    (void)bench.instrument->log();
                }
            });
    std::thread player(
        [&]
        {
            while (!go)
                std::this_thread::yield();
            for (int i = 0; i < perThread; ++i)
                bench.instrument->turnKnob(50, static_cast<float>(i));
        });
    go = true;
    for (auto& thread : editors)
        thread.join();
    player.join();

    ASSERT_TRUE(bench.instrument->waitUntilIdle(deadline));
    ASSERT_TRUE(bench.collector.waitForCount(threads * perThread + perThread));
    int replies = 0;
    for (const auto& message : bench.collector.messages())
        replies += message == sysex::identityReply(bench.instrument->identity()) ? 1 : 0;
    EXPECT_EQ(replies, threads * perThread);
    for (int t = 0; t < threads; ++t)
        EXPECT_EQ(bench.instrument->values()[static_cast<size_t>(t)],
                  static_cast<float>(perThread - 1));
    EXPECT_EQ(bench.instrument->values()[50], static_cast<float>(perThread - 1));
}

TEST(SimulatorThreads, GoesAwayWhileAnswersAreStillDue)
{
    SimulatorFaults faults;
    faults.dumpDelayMs = 60000;
    Bench bench(withFaults(faults));
    bench.send(sysex::dumpRequest(0x7D));
    bench.instrument.reset(); // does not wait for the delayed section
    // The editor's port outlives the instrument: what it sends now goes nowhere.
    bench.send(sysex::identityRequest());
    EXPECT_EQ(bench.collector.size(), 0u);
}
