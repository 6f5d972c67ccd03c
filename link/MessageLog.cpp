#include "link/MessageLog.h"

#include "link/FileDump.h"
#include "link/MessageDescription.h"
#include "link/Sysex.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <ctime>

namespace kestra
{

namespace
{
bool isDataPacket(const uint8_t* m, size_t size)
{
    return size >= 9 && m[0] == sysex::sysexStart && m[1] == sysex::universalNonRealTime &&
           m[3] == sysex::fileDumpSubId && m[4] == filedump::dataPacketType;
}

bool isAck(const uint8_t* m, size_t size)
{
    return size >= 5 && m[0] == sysex::sysexStart && m[1] == sysex::universalNonRealTime &&
           m[3] == sysex::ackSubId;
}

int rawBytesOfPacket(const uint8_t* m)
{
    const int encoded = m[6] + 1;
    return encoded - (encoded + 7) / 8;
}

std::string withThousands(uint64_t value)
{
    auto digits = std::to_string(value);
    for (int i = static_cast<int>(digits.size()) - 3; i > 0; i -= 3)
        digits.insert(static_cast<size_t>(i), ",");
    return digits;
}
} // namespace

int64_t MessageLog::systemClockMicros()
{
    using namespace std::chrono;
    return duration_cast<microseconds>(system_clock::now().time_since_epoch()).count();
}

std::string formatLocalTime(int64_t timeMicros)
{
    const auto seconds = static_cast<std::time_t>(timeMicros / 1000000);
    std::tm local{};
#ifdef _WIN32
    localtime_s(&local, &seconds);
#else
    localtime_r(&seconds, &local);
#endif
    char text[32];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d.%03d", local.tm_hour, local.tm_min,
                  local.tm_sec, static_cast<int>((timeMicros / 1000) % 1000));
    return text;
}

MessageLine describeLoggedMessage(const LoggedMessage& entry)
{
    MessageLine line;
    line.time = formatLocalTime(entry.timeMicros);
    const size_t stored = entry.storedSize();
    if (entry.direction == MessageDirection::note)
    {
        line.meaning.assign(reinterpret_cast<const char*>(entry.bytes.data()), stored);
        return line;
    }
    line.direction = entry.direction == MessageDirection::in ? "IN" : "OUT";
    line.hex = hexBytes(entry.bytes.data(), stored);
    if (entry.size > stored)
        line.hex += " ... (" + std::to_string(entry.size) + " bytes)";

    if (entry.isRun)
    {
        line.direction = "OUT/IN";
        const int firstPacket = entry.bytes[5];
        line.meaning =
            "File Dump packets " + std::to_string(firstPacket) + " ... " +
            std::to_string(entry.runLastPacket) + ": " + withThousands(entry.runPackets) +
            " packets out (" + withThousands(entry.runDataBytes) + " bytes), " +
            withThousands(entry.runAcks) + " ACKs in, until " + formatLocalTime(entry.runEndMicros);
        return line;
    }
    // The meaning is read from the bytes kept; a message cut short is described as such.
    line.meaning = entry.size > stored
                       ? "Message of " + std::to_string(entry.size) + " bytes (not shown whole)"
                       : describeMessage(entry.bytes.data(), stored);
    return line;
}

MessageLog::MessageLog(size_t capacity, Clock clockToUse)
    : clock(clockToUse), slots(std::max<size_t>(capacity, 1))
{
}

void MessageLog::append(MessageDirection direction, const uint8_t* data, size_t size)
{
    if (paused.load(std::memory_order_relaxed) || data == nullptr || size == 0)
        return;

    const int64_t now = clock();
    const bool packet = direction == MessageDirection::out && isDataPacket(data, size);
    const bool ack = direction == MessageDirection::in && isAck(data, size);

    const std::lock_guard<std::mutex> guard(lock);
    ++changes;
    if ((packet || ack) && lastIsOpenRun && end > first)
    {
        auto& run = slotFor(end - 1);
        if (packet)
        {
            ++run.runPackets;
            run.runDataBytes += static_cast<uint64_t>(rawBytesOfPacket(data));
            run.runLastPacket = data[5];
        }
        else
        {
            ++run.runAcks;
        }
        run.runEndMicros = now;
        return;
    }

    auto& entry = slotFor(end);
    entry.timeMicros = now;
    entry.direction = direction;
    entry.size = static_cast<uint32_t>(std::min<size_t>(size, UINT32_MAX));
    std::memcpy(entry.bytes.data(), data, entry.storedSize());
    entry.isRun = packet;
    entry.runPackets = packet ? 1 : 0;
    entry.runAcks = 0;
    entry.runDataBytes = packet ? static_cast<uint64_t>(rawBytesOfPacket(data)) : 0;
    entry.runLastPacket = packet ? data[5] : 0;
    entry.runEndMicros = now;
    lastIsOpenRun = packet;
    ++end;
    if (end - first > slots.size())
        first = end - slots.size();
}

void MessageLog::note(const char* text)
{
    const auto* bytes = reinterpret_cast<const uint8_t*>(text);
    const size_t size = std::min(std::strlen(text), LoggedMessage::maxBytes);
    const int64_t now = clock();
    const std::lock_guard<std::mutex> guard(lock);
    ++changes;
    auto& entry = slotFor(end);
    entry = LoggedMessage{};
    entry.timeMicros = now;
    entry.direction = MessageDirection::note;
    entry.size = static_cast<uint32_t>(size);
    std::memcpy(entry.bytes.data(), bytes, size);
    lastIsOpenRun = false;
    ++end;
    if (end - first > slots.size())
        first = end - slots.size();
}

void MessageLog::setPaused(bool shouldPause)
{
    if (paused.exchange(shouldPause) == shouldPause)
        return;
    note(shouldPause ? "Paused: messages are not recorded" : "Resumed");
}

void MessageLog::clear()
{
    const std::lock_guard<std::mutex> guard(lock);
    ++changes;
    first = end;
    lastIsOpenRun = false;
}

MessageLog::Range MessageLog::range() const
{
    const std::lock_guard<std::mutex> guard(lock);
    return {first, end, changes};
}

bool MessageLog::get(uint64_t sequence, LoggedMessage& out) const
{
    const std::lock_guard<std::mutex> guard(lock);
    if (sequence < first || sequence >= end)
        return false;
    out = slots[sequence % slots.size()];
    return true;
}

std::string MessageLog::toText() const
{
    const auto held = range();
    std::string text;
    LoggedMessage entry;
    for (auto s = held.first; s < held.end; ++s)
    {
        if (!get(s, entry))
            continue; // overwritten meanwhile
        const auto line = describeLoggedMessage(entry);
        text += line.time + "  " + line.direction;
        text.append(line.direction.size() < 7 ? 7 - line.direction.size() : 1, ' ');
        if (!line.hex.empty())
            text += line.hex + "  ";
        text += line.meaning + "\n";
    }
    return text;
}

} // namespace kestra
