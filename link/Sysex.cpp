#include "link/Sysex.h"

#include <cstring>

namespace kestra::sysex
{

uint8_t sysexChecksum(const uint8_t* message, size_t length)
{
    uint8_t sum = 0;
    for (size_t i = 1; i + 2 < length; ++i)
        sum = static_cast<uint8_t>(sum ^ message[i]);
    return sum;
}

void packSevenBit(const uint8_t* input, int count, uint8_t* output)
{
    uint8_t topBits = 0;
    for (int i = 0; i < count; ++i)
    {
        topBits = static_cast<uint8_t>(topBits | ((input[i] >> 7) << (6 - i)));
        output[1 + i] = static_cast<uint8_t>(input[i] & 0x7F);
    }
    output[0] = topBits;
}

void unpackSevenBit(const uint8_t* input, int count, uint8_t* output)
{
    for (int i = 0; i < count; ++i)
        output[i] =
            static_cast<uint8_t>((input[1 + i] & 0x7F) | (((input[0] >> (6 - i)) & 1) << 7));
}

std::array<uint8_t, 5> encodeFloatPattern(float value)
{
    uint32_t pattern = 0;
    std::memcpy(&pattern, &value, sizeof pattern);
    return {static_cast<uint8_t>(pattern & 0x7F), static_cast<uint8_t>((pattern >> 7) & 0x7F),
            static_cast<uint8_t>((pattern >> 14) & 0x7F),
            static_cast<uint8_t>((pattern >> 21) & 0x7F),
            static_cast<uint8_t>((pattern >> 28) & 0x0F)};
}

float decodeFloatPattern(const uint8_t* groups)
{
    const uint32_t pattern = uint32_t(groups[0] & 0x7F) | uint32_t(groups[1] & 0x7F) << 7 |
                             uint32_t(groups[2] & 0x7F) << 14 | uint32_t(groups[3] & 0x7F) << 21 |
                             uint32_t(groups[4]) << 28;
    float value = 0.0f;
    std::memcpy(&value, &pattern, sizeof value);
    return value;
}

namespace
{
Bytes frame(uint8_t command, std::initializer_list<uint8_t> data)
{
    Bytes message;
    message.reserve(5 + data.size());
    message.push_back(sysexStart);
    message.push_back(manufacturerId);
    message.push_back(deviceCode);
    message.push_back(command);
    for (uint8_t byte : data)
        message.push_back(byte);
    message.push_back(sysexEnd);
    return message;
}
} // namespace

Bytes parameterValueMessage(int number, float value)
{
    const auto g = encodeFloatPattern(value);
    return frame(parameterValueCommand,
                 {static_cast<uint8_t>(number & 0x7F), static_cast<uint8_t>((number >> 7) & 0x7F),
                  g[0], g[1], g[2], g[3], g[4]});
}

Bytes parameterByteMessage(int number, uint8_t value)
{
    return frame(parameterByteCommand,
                 {static_cast<uint8_t>((number - 85) & 0x7F), static_cast<uint8_t>(value & 0x7F)});
}

Bytes storeRequest()
{
    return frame(storeRequestCommand, {0x00});
}

Bytes dumpRequest(uint8_t section)
{
    return frame(dumpRequestCommand, {static_cast<uint8_t>(section & 0x7F)});
}

Bytes identityRequest()
{
    return frame(identityRequestCommand, {0x01});
}

Bytes resetRequest()
{
    return frame(resetRequestCommand, {0x00});
}

Bytes bulkModeMessage(uint8_t mode)
{
    return frame(bulkModeCommand, {static_cast<uint8_t>(mode & 0x7F)});
}

Bytes identityReply(const Identity& id)
{
    auto seven = [](int v) { return static_cast<uint8_t>(v & 0x7F); };
    return frame(identityReplyCommand,
                 {seven(id.protocol), seven(id.modelCode), seven(id.hardwareRevision),
                  seven(id.firmwareMajor), seven(id.firmwareMinorA), seven(id.firmwareMinorB)});
}

Bytes doneMessage()
{
    return frame(doneCommand, {});
}

Bytes tonewheelNameMessage(int slot, const std::string& name)
{
    Bytes message = frame(tonewheelNameCommand, {static_cast<uint8_t>(slot & 0x7F)});
    message.pop_back(); // the name goes before F7
    for (char c : name)
        message.push_back(static_cast<uint8_t>(c & 0x7F));
    message.push_back(0x00);
    message.push_back(sysexEnd);
    return message;
}

namespace
{
// Minimum total length (with F0 and F7) of each instrument command.
size_t minimumLength(uint8_t command)
{
    switch (command)
    {
    case parameterValueCommand:
        return 12;
    case parameterByteCommand:
        return 7;
    case storeRequestCommand:
    case dumpRequestCommand:
    case identityRequestCommand:
    case resetRequestCommand:
    case bulkModeCommand:
        return 6;
    case doneCommand:
        return 5;
    case identityReplyCommand:
        return 11;
    case tonewheelNameCommand:
        return 6;
    default:
        return 0; // unknown
    }
}

Decoded decodeInstrumentMessage(const uint8_t* m, size_t size)
{
    Decoded d;
    const uint8_t command = m[3];
    const size_t needed = minimumLength(command);
    if (needed == 0 || size < needed)
        return d;

    switch (command)
    {
    case parameterValueCommand:
        d.kind = Decoded::Kind::parameterValue;
        d.number = (m[4] & 0x7F) | (m[5] & 0x7F) << 7;
        d.value = decodeFloatPattern(m + 6);
        break;
    case parameterByteCommand:
        d.kind = Decoded::Kind::parameterByte;
        d.number = m[4] + 85;
        d.value = static_cast<float>(m[5]);
        break;
    case storeRequestCommand:
        d.kind = Decoded::Kind::storeRequest;
        break;
    case dumpRequestCommand:
        d.kind = Decoded::Kind::dumpRequest;
        d.number = m[4];
        break;
    case doneCommand:
        d.kind = Decoded::Kind::done;
        break;
    case identityRequestCommand:
        d.kind = Decoded::Kind::identityRequest;
        break;
    case identityReplyCommand:
        d.kind = Decoded::Kind::identityReply;
        d.identity = {m[4], m[5], m[6], m[7], m[8], m[9]};
        break;
    case resetRequestCommand:
        d.kind = Decoded::Kind::resetRequest;
        break;
    case tonewheelNameCommand:
    {
        // The name runs to the first 0x00, which must come before the F7: a
        // name without its end may be cut short, and is not taken at all.
        size_t end = 5;
        while (end + 1 < size && m[end] != 0x00)
            ++end;
        if (end + 1 >= size)
            break;
        d.kind = Decoded::Kind::tonewheelName;
        d.number = m[4];
        d.name.assign(reinterpret_cast<const char*>(m + 5), end - 5);
        break;
    }
    case bulkModeCommand:
        d.kind = Decoded::Kind::bulkMode;
        d.number = m[4];
        break;
    default:
        break;
    }
    return d;
}

Decoded decodeUniversalMessage(const uint8_t* m, size_t size)
{
    Decoded d;
    // Byte 2, the device ID, is not examined.
    switch (m[3])
    {
    case fileDumpSubId:
        if (size >= 6)
        {
            d.kind = Decoded::Kind::fileDump;
            d.number = m[4]; // 0x01 header, 0x02 data packet
        }
        break;
    case eofSubId:
        d.kind = Decoded::Kind::fileDumpEof;
        break;
    case cancelSubId:
        d.kind = Decoded::Kind::fileDumpCancel;
        break;
    case nakSubId:
        d.kind = Decoded::Kind::fileDumpNak;
        break;
    case ackSubId:
        d.kind = Decoded::Kind::fileDumpAck;
        break;
    default:
        break;
    }
    if (size >= 6)
        d.code = m[4];
    return d;
}
} // namespace

bool isWellFormed(const uint8_t* message, size_t size)
{
    if (message == nullptr || size < 5 || size > maxMessageSize)
        return false;
    if (message[0] != sysexStart || message[size - 1] != sysexEnd)
        return false;
    for (size_t i = 1; i + 1 < size; ++i)
        if ((message[i] & 0x80) != 0)
            return false;
    return true;
}

Decoded decodeFields(const uint8_t* bytes, size_t size)
{
    if (size < 5)
        return {};
    if (bytes[1] == manufacturerId)
    {
        if (bytes[2] != deviceCode)
            return {};
        return decodeInstrumentMessage(bytes, size);
    }
    if (bytes[1] == universalNonRealTime)
        return decodeUniversalMessage(bytes, size);
    return {};
}

Decoded decode(const uint8_t* message, size_t size)
{
    if (!isWellFormed(message, size))
        return {};
    return decodeFields(message, size);
}

} // namespace kestra::sysex
