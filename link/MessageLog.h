#pragma once

// The record of every message in and out, for the MIDI monitor. Any thread
// appends (the MIDI input thread its messages and its File Dump replies, the
// message thread its sends); the monitor reads on the message thread.
//
// Appending must never slow the link: it takes one lock for as long as it
// takes to copy at most 128 bytes into a slot of a ring allocated up front,
// and allocates nothing. Readers hold the same lock only to copy one entry.
// The ring keeps the newest `capacity` entries; older ones are overwritten.
//
// A tonewheel upload is thousands of data packets, each answered by an ACK:
// consecutive data packets out and ACKs in are summarised in one entry that
// counts them, so that an upload does not push everything else out.

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

namespace kestra
{

enum class MessageDirection : uint8_t
{
    in,   // from the instrument
    out,  // to the instrument
    note, // the monitor's own line (paused, resumed)
};

struct LoggedMessage
{
    static constexpr size_t maxBytes = 128; // a full File Dump data packet

    int64_t timeMicros = 0; // microseconds since 1970 (system clock)
    MessageDirection direction = MessageDirection::in;
    uint32_t size = 0;                     // the message's whole size
    std::array<uint8_t, maxBytes> bytes{}; // its first min(size, maxBytes) bytes

    // A run of File Dump data packets and their ACKs (bytes: its first packet).
    bool isRun = false;
    uint32_t runPackets = 0;
    uint32_t runAcks = 0;
    uint64_t runDataBytes = 0;
    int runLastPacket = 0;
    int64_t runEndMicros = 0;

    size_t storedSize() const { return size < maxBytes ? size : maxBytes; }
};

// One line of the monitor and of a saved log: time, direction, hex, meaning.
struct MessageLine
{
    std::string time;      // "14:02:37.125" (local time)
    std::string direction; // "IN", "OUT" or ""
    std::string hex;       // "F0 7D 1E 06 01 F7"; "F0 ... (1030 bytes)" when cut
    std::string meaning;   // describeMessage's text, or the run's summary
};

MessageLine describeLoggedMessage(const LoggedMessage& entry);
std::string formatLocalTime(int64_t timeMicros);

class MessageLog
{
public:
    using Clock = int64_t (*)(); // microseconds since 1970
    static int64_t systemClockMicros();

    static constexpr size_t defaultCapacity = 10000;

    explicit MessageLog(size_t capacity = defaultCapacity, Clock clock = systemClockMicros);

    // Any thread. Nothing is recorded while paused.
    void append(MessageDirection direction, const uint8_t* data, size_t size);

    // A line of the monitor's own ("Paused"), recorded even while paused.
    void note(const char* text);

    void setPaused(bool paused);
    bool isPaused() const { return paused.load(std::memory_order_relaxed); }

    // Forgets every entry; sequence numbers go on from where they were.
    void clear();

    // Entries are numbered from 0 in the order they were appended; the ring
    // holds [first, end). `changes` counts appends, run updates and clears,
    // so a reader knows when to look again.
    struct Range
    {
        uint64_t first = 0;
        uint64_t end = 0;
        uint64_t changes = 0;
        uint64_t size() const { return end - first; }
    };
    Range range() const;

    // Copies entry `sequence`; false when it is no longer (or not yet) held.
    bool get(uint64_t sequence, LoggedMessage& out) const;

    // Every held entry as text, one line each: what Save writes.
    std::string toText() const;

    size_t capacity() const { return slots.size(); }

private:
    LoggedMessage& slotFor(uint64_t sequence) { return slots[sequence % slots.size()]; }

    const Clock clock;
    std::atomic<bool> paused{false};
    mutable std::mutex lock;
    std::vector<LoggedMessage> slots; // allocated once
    uint64_t first = 0;
    uint64_t end = 0;
    uint64_t changes = 0;
    bool lastIsOpenRun = false; // the newest entry is a run that may grow
};

} // namespace kestra
