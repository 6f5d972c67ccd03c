#include "link/MessageRows.h"

#include "link/MessageDescription.h"
#include "link/Sysex.h"

#include <string>

namespace kestra
{

namespace
{
std::string counted(uint32_t count, const char* one, const char* many)
{
    return std::to_string(count) + " " + (count == 1 ? one : many);
}
} // namespace

bool MessageRows::isHeartbeat(const LoggedMessage& entry)
{
    if (entry.direction == MessageDirection::note || entry.isRun ||
        entry.size > LoggedMessage::maxBytes)
        return false;
    const auto kind = sysex::decode(entry.bytes.data(), entry.storedSize()).kind;
    return kind == sysex::Decoded::Kind::identityRequest ||
           kind == sysex::Decoded::Kind::identityReply;
}

void MessageRows::setHideHeartbeat(bool hideIt)
{
    if (hide == hideIt)
        return;
    hide = hideIt;
    remake = true;
}

bool MessageRows::follow(const MessageLog& log)
{
    const auto now = log.range();
    if (!remake && now.changes == seenChanges)
        return false;
    if (remake)
    {
        rows.clear();
        seenEnd = now.first;
        remake = false;
    }
    seenChanges = now.changes;

    // Rows whose last entry has left the ring go; a heartbeat line that has
    // lost only its first entries keeps its counts.
    while (!rows.empty() && rows.front().last < now.first)
        rows.pop_front();
    if (seenEnd < now.first)
        seenEnd = now.first; // gone before they were seen

    LoggedMessage entry;
    for (auto s = seenEnd; s < now.end; ++s)
    {
        if (!log.get(s, entry))
            continue; // overwritten meanwhile
        if (!hide || !isHeartbeat(entry))
        {
            Row row;
            row.first = row.last = s;
            rows.push_back(row);
            continue;
        }
        const bool extends = !rows.empty() && rows.back().heartbeat && rows.back().last + 1 == s;
        if (!extends)
        {
            Row row;
            row.first = s;
            row.heartbeat = true;
            row.startMicros = entry.timeMicros;
            rows.push_back(row);
        }
        auto& row = rows.back();
        row.last = s;
        row.endMicros = entry.timeMicros;
        if (sysex::decode(entry.bytes.data(), entry.storedSize()).kind ==
            sysex::Decoded::Kind::identityReply)
        {
            ++row.replies;
            row.lastReply = s;
        }
        else
        {
            ++row.requests;
        }
    }
    seenEnd = now.end;
    return true;
}

std::optional<MessageLine> MessageRows::line(size_t index, const MessageLog& log) const
{
    if (index >= rows.size())
        return std::nullopt;
    const auto& row = rows[index];
    LoggedMessage entry;
    if (!row.heartbeat)
    {
        if (!log.get(row.first, entry))
            return std::nullopt;
        return describeLoggedMessage(entry);
    }

    MessageLine line;
    line.time = formatLocalTime(row.startMicros);
    line.direction = "OUT/IN";
    line.meaning = "Heartbeat: " + counted(row.requests, "identity request", "identity requests") +
                   ", " + counted(row.replies, "reply", "replies") + ", until " +
                   formatLocalTime(row.endMicros);
    // The newest reply's own words, while the log still holds it.
    if (row.lastReply && log.get(*row.lastReply, entry))
    {
        line.hex = hexBytes(entry.bytes.data(), entry.storedSize());
        const std::string prefix = "Identity reply: ";
        auto said = describeMessage(entry.bytes.data(), entry.storedSize());
        if (said.compare(0, prefix.size(), prefix) == 0)
            said.erase(0, prefix.size());
        line.meaning += " (last reply: " + said + ")";
    }
    return line;
}

} // namespace kestra
