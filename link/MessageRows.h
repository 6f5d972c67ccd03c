#pragma once

// The lines the MIDI monitor shows for the message log. Every entry is a line
// of its own, except that while the heartbeat is hidden (the default) the
// identity requests and replies that the link exchanges every few seconds
// are folded: a run of them with no other entry between is one counter line,
// "Heartbeat: 12 identity requests, 12 replies, until 14:05:13.002 (...)".
//
// The rows follow the log on the message thread: each call looks only at the
// entries appended since the last, and rows whose entries have left the ring
// (or were cleared) go. No component: tests run it headless.

#include "link/MessageLog.h"

#include <cstdint>
#include <deque>
#include <optional>

namespace kestra
{

class MessageRows
{
public:
    struct Row
    {
        uint64_t first = 0; // the entry; for a heartbeat line its first entry
        uint64_t last = 0;  // the last entry folded into it (first for a plain line)
        bool heartbeat = false;
        uint32_t requests = 0;
        uint32_t replies = 0;
        int64_t startMicros = 0;
        int64_t endMicros = 0;
        std::optional<uint64_t> lastReply; // its newest identity reply
    };

    explicit MessageRows(bool hideHeartbeat = true) : hide(hideHeartbeat) {}

    // The rows are made again from the whole log at the next follow().
    void setHideHeartbeat(bool hideIt);
    bool hidesHeartbeat() const { return hide; }

    // Takes in what the log changed since the last call. True when anything
    // changed, a summary line that grew included.
    bool follow(const MessageLog& log);

    size_t size() const { return rows.size(); }
    const Row& operator[](size_t row) const { return rows[row]; }

    // A row's line; nothing when its entry has left the log meanwhile.
    std::optional<MessageLine> line(size_t row, const MessageLog& log) const;

    // True for an identity request or reply: what the heartbeat exchanges.
    static bool isHeartbeat(const LoggedMessage& entry);

private:
    std::deque<Row> rows;
    uint64_t seenEnd = 0;
    uint64_t seenChanges = 0;
    bool hide;
    bool remake = true;
};

} // namespace kestra
