// The MIDI monitor's record: what each message means, the bounded log, the
// summary of an upload, pause and clear, appends from several threads, and
// the monitor's rows with the heartbeat folded.

#include "link/FileDump.h"
#include "link/MessageDescription.h"
#include "link/MessageLog.h"
#include "link/MessageRows.h"
#include "link/Sysex.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

using namespace kestra;
using sysex::Bytes;

namespace
{
std::string describe(const Bytes& m)
{
    return describeMessage(m.data(), m.size());
}

Bytes dataPacket(uint8_t number, int count)
{
    std::vector<uint8_t> raw(static_cast<size_t>(count), 0x81);
    Bytes packet(filedump::maxPacketSize);
    packet.resize(filedump::buildDataPacket(number, raw.data(), count, packet.data()));
    return packet;
}

Bytes header(uint8_t slot, int32_t length, const std::string& name)
{
    filedump::Name nameBytes{};
    for (size_t i = 0; i < nameBytes.size(); ++i)
        nameBytes[i] = i < name.size() ? static_cast<uint8_t>(name[i]) : 0x20;
    Bytes m(filedump::headerSize);
    filedump::buildHeader(filedump::typeForSlot(slot), length, nameBytes, m.data());
    return m;
}

const Bytes ack12 = {0xF0, 0x7E, 0x00, 0x7F, 0x0C, 0xF7};

int64_t fixedClock()
{
    return 1000000; // one second after 1970
}
} // namespace

TEST(MessageDescription, EveryKindOfMessage)
{
    sysex::Identity brio;
    brio.protocol = 5;
    brio.modelCode = 4;
    brio.hardwareRevision = 1;
    brio.firmwareMajor = 1;
    brio.firmwareMinorA = 2;
    brio.firmwareMinorB = 3;

    struct Case
    {
        Bytes message;
        const char* meaning;
    };
    const Case cases[] = {
        {sysex::parameterValueMessage(23, 2.2f), "Parameter 23 Hall Time = 2.2 sec"},
        {sysex::parameterValueMessage(29, 6.8567f), "Parameter 29 V/C Frequency = 6.8567 Hz"},
        {sysex::parameterValueMessage(8, -0.0f), "Parameter 8 Click Eq Gain = 0.0 dB"},
        {sysex::parameterValueMessage(0, 100.0f), "Parameter 0 Click Level Manuals = 100"},
        {sysex::parameterValueMessage(10, 360.0f), "Parameter 10 = 360"},
        {sysex::parameterValueMessage(200, 1.0f), "Parameter 200 = 1"},
        {sysex::parameterByteMessage(90, 1), "Parameter 90 Exp. Pedal Min = 1 (NORMAL)"},
        {sysex::parameterByteMessage(97, 3),
         "Parameter 97 Tonewheel Model = 3 (TONEWHEEL BC_1936)"},
        {sysex::parameterByteMessage(98, 9), "Parameter 98 Memphis Style = 9"},
        {sysex::storeRequest(), "Store request"},
        {sysex::dumpRequest(0x7D), "Dump request, section 7D"},
        {sysex::doneMessage(), "Done"},
        {sysex::identityRequest(), "Identity request"},
        {sysex::identityReply(brio),
         "Identity reply: protocol 5, Kestra Brio, revision 1, rel 1.5"},
        {sysex::resetRequest(), "Reset request"},
        {sysex::tonewheelNameMessage(3, "Jazz"), "Tonewheel name, slot 3: \"Jazz\""},
        {sysex::bulkModeMessage(1), "Bulk mode on"},
        {sysex::bulkModeMessage(0), "Bulk mode off"},
        {header(3, 300, "Warm"), "File Dump header, type AC1, 300 bytes, \"Warm\""},
        {dataPacket(12, 104), "File Dump packet 12, 104 bytes"},
        {dataPacket(0, 1), "File Dump packet 0, 1 bytes"},
        {dataPacket(5, 8), "File Dump packet 5, 8 bytes"},
        {Bytes(filedump::eofMessage.begin(), filedump::eofMessage.end()), "EOF 0"},
        {Bytes(filedump::cancelMessage.begin(), filedump::cancelMessage.end()), "CANCEL 0"},
        {ack12, "ACK 12"},
        {{0xF0, 0x7E, 0x00, 0x7E, 0x03, 0xF7}, "NAK 3"},
        {{0xF0, 0x7E, 0x00, 0x7C, 0x01, 0xF7}, "WAIT 1"},
        {{0xF0, 0x7E, 0x00, 0x06, 0x01, 0xF7}, "Universal message, sub-ID 06"},
        {{0xF0, 0x7D, 0x1E, 0x0B, 0x00, 0xF7}, "Unknown command 0B"},
        {{0xF0, 0x7D, 0x1F, 0x01, 0x00, 0xF7}, "SysEx for another device (1F)"},
        {{0xF0, 0x41, 0x10, 0x42, 0x12, 0xF7}, "SysEx of another maker (41)"},
        {{0xF0, 0x7D, 0x1E, 0x01, 0x05, 0x80, 0xF7}, "Malformed SysEx"},
        {{0xF0, 0x7D, 0x1E, 0x01, 0x05}, "Malformed SysEx"},
        {{0x90, 0x3C, 0x64}, "Note on, channel 1: 60 100"},
        {{0xBF, 0x07, 0x7F}, "Control change, channel 16: 7 127"},
        {{0xF8}, "Clock"},
        {{0x3C}, "Not a MIDI message"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(describe(c.message), c.meaning) << hexBytes(c.message.data(), c.message.size());

    EXPECT_EQ(describeMessage(nullptr, 0), "Empty message");
    const Bytes tooLong(2000, 0x00);
    Bytes framed = tooLong;
    framed.front() = 0xF0;
    framed.back() = 0xF7;
    EXPECT_EQ(describe(framed), "SysEx too long (2000 bytes)");
}

TEST(MessageDescription, HexBytes)
{
    const Bytes m = {0xF0, 0x7D, 0x1E, 0x06, 0x01, 0xF7};
    EXPECT_EQ(hexBytes(m.data(), m.size()), "F0 7D 1E 06 01 F7");
    EXPECT_EQ(hexBytes(m.data(), 0), "");
}

TEST(MessageLog, KeepsTheNewestEntriesInOrder)
{
    MessageLog log(3, fixedClock);
    for (uint8_t n = 0; n < 5; ++n)
    {
        const auto m = sysex::parameterByteMessage(85 + n, 0);
        log.append(MessageDirection::out, m.data(), m.size());
    }
    const auto range = log.range();
    EXPECT_EQ(range.first, 2u);
    EXPECT_EQ(range.end, 5u);

    LoggedMessage entry;
    EXPECT_FALSE(log.get(1, entry));
    EXPECT_FALSE(log.get(5, entry));
    ASSERT_TRUE(log.get(2, entry));
    EXPECT_EQ(describeLoggedMessage(entry).meaning, "Parameter 87 Upper Layer Mode = 0 (OFF)");
    ASSERT_TRUE(log.get(4, entry));
    const auto line = describeLoggedMessage(entry);
    EXPECT_EQ(line.direction, "OUT");
    EXPECT_EQ(line.hex, "F0 7D 1E 02 04 00 F7");
    EXPECT_EQ(line.meaning, "Parameter 89 Pedals to Lower Mode = 0 (SPLIT)");
}

TEST(MessageLog, SummarisesAnUploadInOneLine)
{
    MessageLog log(100, fixedClock);
    auto add = [&](MessageDirection d, const Bytes& m) { log.append(d, m.data(), m.size()); };

    add(MessageDirection::out, header(4, 300, "Warm"));
    add(MessageDirection::in, ack12); // the header's ACK stays a line of its own
    add(MessageDirection::out, dataPacket(0, 104));
    add(MessageDirection::in, ack12);
    add(MessageDirection::out, dataPacket(1, 104));
    add(MessageDirection::in, ack12);
    add(MessageDirection::out, dataPacket(2, 92));
    add(MessageDirection::in, {0xF0, 0x7E, 0x00, 0x7E, 0x02, 0xF7}); // a NAK ends the run
    add(MessageDirection::out, dataPacket(2, 92));
    add(MessageDirection::in, ack12);
    add(MessageDirection::out, Bytes(filedump::eofMessage.begin(), filedump::eofMessage.end()));

    std::vector<std::string> meanings;
    LoggedMessage entry;
    for (auto s = log.range().first; s < log.range().end; ++s)
        if (log.get(s, entry))
            meanings.push_back(describeLoggedMessage(entry).meaning);

    const std::vector<std::string> expected = {
        "File Dump header, type AC2, 300 bytes, \"Warm\"",
        "ACK 12",
        "File Dump packets 0 ... 2: 3 packets out (300 bytes), 2 ACKs in, until 00:00:01.000",
        "NAK 2",
        "File Dump packets 2 ... 2: 1 packets out (92 bytes), 1 ACKs in, until 00:00:01.000",
        "EOF 0",
    };
    // Local time may not be UTC: compare the summaries without their time.
    ASSERT_EQ(meanings.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i)
        EXPECT_EQ(meanings[i].substr(0, meanings[i].find(", until")),
                  expected[i].substr(0, expected[i].find(", until")));
}

TEST(MessageLog, PauseClearAndText)
{
    MessageLog log(100, fixedClock);
    const auto m = sysex::identityRequest();
    log.append(MessageDirection::out, m.data(), m.size());
    log.setPaused(true);
    log.append(MessageDirection::out, m.data(), m.size()); // not recorded
    log.setPaused(false);
    log.append(MessageDirection::in, m.data(), m.size());

    const auto text = log.toText();
    const auto time = formatLocalTime(fixedClock());
    EXPECT_EQ(text, time + "  OUT    F0 7D 1E 06 01 F7  Identity request\n" + time +
                        "         Paused: messages are not recorded\n" + time +
                        "         Resumed\n" + time +
                        "  IN     F0 7D 1E 06 01 F7  Identity request\n");

    const auto before = log.range();
    log.clear();
    const auto after = log.range();
    EXPECT_EQ(after.size(), 0u);
    EXPECT_EQ(after.first, before.end);
    EXPECT_GT(after.changes, before.changes);
    EXPECT_EQ(log.toText(), "");
}

TEST(MessageLog, LongMessagesAreCut)
{
    MessageLog log(10, fixedClock);
    Bytes m(300, 0x01);
    m.front() = 0xF0;
    m.back() = 0xF7;
    log.append(MessageDirection::in, m.data(), m.size());
    LoggedMessage entry;
    ASSERT_TRUE(log.get(0, entry));
    const auto line = describeLoggedMessage(entry);
    EXPECT_EQ(line.meaning, "Message of 300 bytes (not shown whole)");
    EXPECT_NE(line.hex.find(" ... (300 bytes)"), std::string::npos);
}

// Run under ThreadSanitizer: the MIDI thread and the message thread append
// while the monitor reads.
TEST(MessageLog, AppendsFromSeveralThreadsWhileReading)
{
    MessageLog log(512);
    constexpr int perThread = 20000;
    auto writer = [&](MessageDirection d)
    {
        const auto packet = dataPacket(7, 104);
        const auto m = sysex::parameterValueMessage(23, 2.2f);
        for (int i = 0; i < perThread; ++i)
        {
            log.append(d, m.data(), m.size());
            if (i % 100 == 0)
                log.append(MessageDirection::out, packet.data(), packet.size());
            if (i % 5000 == 0)
                log.setPaused(i % 10000 == 0);
        }
    };
    std::atomic<int> running{2};
    auto run = [&](MessageDirection d)
    {
        writer(d);
        --running;
    };
    std::thread in(run, MessageDirection::in);
    std::thread out(run, MessageDirection::out);
    size_t lines = 0;
    for (int pass = 0; running.load() > 0 || pass < 3; ++pass)
    {
        const auto range = log.range();
        LoggedMessage entry;
        for (auto s = range.first; s < range.end; ++s)
            if (log.get(s, entry))
                lines += describeLoggedMessage(entry).meaning.empty() ? 0 : 1;
        if (pass % 7 == 3)
            log.clear();
    }
    in.join();
    out.join();
    log.setPaused(false);
    EXPECT_LE(log.range().size(), log.capacity());
}

// ---- the monitor's rows ------------------------------------------------------------------------

namespace
{
int64_t tickingClock()
{
    static int64_t now = 0;
    return now += 1000; // a millisecond per message
}

// Appends messages by letter: Q an identity request out, R its reply in,
// P a parameter out, I a parameter in, N a note of the monitor's own.
void appendAll(MessageLog& log, const std::string& letters)
{
    for (const char letter : letters)
    {
        if (letter == 'N')
        {
            log.note("Paused: messages are not recorded");
            continue;
        }
        const auto m = letter == 'Q'   ? sysex::identityRequest()
                       : letter == 'R' ? sysex::identityReply({})
                                       : sysex::parameterValueMessage(23, 2.5f);
        log.append(letter == 'P' || letter == 'Q' ? MessageDirection::out : MessageDirection::in,
                   m.data(), m.size());
    }
}

// The rows' meanings, each without its time (local time may not be UTC).
std::vector<std::string> meanings(const MessageRows& rows, const MessageLog& log)
{
    std::vector<std::string> all;
    for (size_t row = 0; row < rows.size(); ++row)
    {
        const auto line = rows.line(row, log);
        if (!line)
        {
            all.push_back("(gone)");
            continue;
        }
        auto meaning = line->meaning;
        if (const auto until = meaning.find(", until "); until != std::string::npos)
            meaning.erase(until, std::string(", until 00:00:00.000").size());
        all.push_back(meaning);
    }
    return all;
}

const std::string reply = "(last reply: protocol 5, Kestra, revision 0, rel 1.0)";
const std::string hallTime = "Parameter 23 Hall Time = 2.5 sec";
} // namespace

TEST(MessageRows, TheHeartbeatIsFoldedIntoCounterLines)
{
    struct Case
    {
        const char* messages;
        bool hide;
        std::vector<std::string> rows;
    };
    const auto beats = [](int requests, int replies)
    {
        return "Heartbeat: " + std::to_string(requests) +
               (requests == 1 ? " identity request, " : " identity requests, ") +
               std::to_string(replies) + (replies == 1 ? " reply" : " replies") +
               (replies > 0 ? " " + reply : "");
    };
    const Case cases[] = {
        {"QRQRQR", true, {beats(3, 3)}},
        {"QRPQR", true, {beats(1, 1), hallTime, beats(1, 1)}},
        {"QRNQRQ", true, {beats(1, 1), "Paused: messages are not recorded", beats(2, 1)}},
        {"QQQR", true, {beats(3, 1)}}, // a search's requests to every port, then one reply
        {"Q", true, {beats(1, 0)}},
        {"PIP", true, {hallTime, hallTime, hallTime}},
        {"", true, {}},
        {"QRP",
         false,
         {"Identity request", "Identity reply: protocol 5, Kestra, revision 0, rel 1.0", hallTime}},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(std::string(c.messages) + (c.hide ? " hidden" : " shown"));
        // Read once at the end, and followed message by message: the same rows.
        MessageLog log(100, tickingClock);
        MessageRows atOnce(c.hide), stepwise(c.hide);
        for (const char letter : std::string(c.messages))
        {
            appendAll(log, std::string(1, letter));
            stepwise.follow(log);
        }
        EXPECT_EQ(atOnce.follow(log), true);
        EXPECT_EQ(meanings(atOnce, log), c.rows);
        EXPECT_EQ(meanings(stepwise, log), c.rows);
        EXPECT_FALSE(atOnce.follow(log)) << "nothing new";
    }
}

TEST(MessageRows, AHeartbeatLineShowsItsSpanAndTheNewestReply)
{
    MessageLog log(100, tickingClock);
    appendAll(log, "QR");
    const auto firstTime = [&]
    {
        LoggedMessage entry;
        log.get(0, entry);
        return entry.timeMicros;
    }();
    appendAll(log, "QR");
    MessageRows rows;
    rows.follow(log);
    ASSERT_EQ(rows.size(), 1u);
    const auto line = rows.line(0, log);
    ASSERT_TRUE(line);
    EXPECT_EQ(line->time, formatLocalTime(firstTime));
    EXPECT_EQ(line->direction, "OUT/IN");
    const auto replyBytes = sysex::identityReply({});
    EXPECT_EQ(line->hex, hexBytes(replyBytes.data(), replyBytes.size()));
    EXPECT_EQ(line->meaning, "Heartbeat: 2 identity requests, 2 replies, until " +
                                 formatLocalTime(firstTime + 3000) + " " + reply);
}

TEST(MessageRows, SwitchingClearingAndTheRingRemakeTheRows)
{
    MessageLog log(6, tickingClock);
    MessageRows rows;
    appendAll(log, "QRQRP");
    rows.follow(log);
    EXPECT_EQ(rows.size(), 2u);

    // Shown again: every entry is a line; hidden again: folded again.
    rows.setHideHeartbeat(false);
    EXPECT_TRUE(rows.follow(log));
    EXPECT_EQ(rows.size(), 5u);
    rows.setHideHeartbeat(true);
    EXPECT_TRUE(rows.follow(log));
    EXPECT_EQ(
        meanings(rows, log),
        (std::vector<std::string>{"Heartbeat: 2 identity requests, 2 replies " + reply, hallTime}));

    // The ring keeps six: the heartbeat line loses its first entries but keeps
    // its counts, until its last entry has gone too.
    appendAll(log, "PP");
    rows.follow(log);
    EXPECT_EQ(rows.size(), 4u);
    EXPECT_EQ(rows[0].requests, 2u);
    appendAll(log, "PPP");
    rows.follow(log);
    EXPECT_EQ(meanings(rows, log), std::vector<std::string>(6, hallTime));

    log.clear();
    EXPECT_TRUE(rows.follow(log));
    EXPECT_EQ(rows.size(), 0u);
    appendAll(log, "QR");
    rows.follow(log);
    EXPECT_EQ(rows.size(), 1u);
}
