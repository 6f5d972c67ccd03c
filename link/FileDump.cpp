#include "link/FileDump.h"

#include "link/Sysex.h"

namespace kestra::filedump
{

size_t buildHeader(const Type& type, int32_t length, const Name& name, uint8_t* out)
{
    size_t i = 0;
    out[i++] = sysex::sysexStart;
    out[i++] = sysex::universalNonRealTime;
    out[i++] = deviceId;
    out[i++] = sysex::fileDumpSubId;
    out[i++] = headerPacketType;
    out[i++] = deviceId; // the source
    for (uint8_t byte : type)
        out[i++] = byte; // "AC" and a digit: 7-bit already
    const auto bits = static_cast<uint32_t>(length);
    for (int shift = 0; shift < 28; shift += 7)
        out[i++] = static_cast<uint8_t>((bits >> shift) & 0x7F);
    for (uint8_t byte : name)
        out[i++] = static_cast<uint8_t>(byte & 0x7F);
    out[i++] = sysex::sysexEnd;
    return i;
}

size_t buildDataPacket(uint8_t packetNumber, const uint8_t* data, int count, uint8_t* out)
{
    out[0] = sysex::sysexStart;
    out[1] = sysex::universalNonRealTime;
    out[2] = deviceId;
    out[3] = sysex::fileDumpSubId;
    out[4] = dataPacketType;
    out[5] = static_cast<uint8_t>(packetNumber & 0x7F);
    out[6] = static_cast<uint8_t>(encodedLength(count) - 1);

    size_t i = 7;
    for (int done = 0; done < count; done += 7)
    {
        const int group = count - done < 7 ? count - done : 7;
        sysex::packSevenBit(data + done, group, out + i);
        i += static_cast<size_t>(group) + 1;
    }

    const size_t size = i + 2;
    out[i] = sysex::sysexChecksum(out, size);
    out[i + 1] = sysex::sysexEnd;
    return size;
}

} // namespace kestra::filedump
