#pragma once

// The instrument's System Exclusive messages: framing F0 7D 1E command ... F7,
// the value encodings, the builders of every message in both directions and
// one decoder. Byte n of a message counts the leading 0xF0 as byte 0.
// Multi-byte numbers on the wire are 7-bit groups, least significant first.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace kestra::sysex
{

using Bytes = std::vector<uint8_t>;

constexpr uint8_t sysexStart = 0xF0;
constexpr uint8_t sysexEnd = 0xF7;
constexpr uint8_t manufacturerId = 0x7D;
constexpr uint8_t deviceCode = 0x1E; // the Kestra family
constexpr uint8_t universalNonRealTime = 0x7E;

// Commands of the instrument's own messages (byte 3).
enum Command : uint8_t
{
    parameterValueCommand = 0x01, // ParameterValueMessage, both directions
    parameterByteCommand = 0x02,  // ParameterByteMessage, both directions
    storeRequestCommand = 0x03,   // StoreRequest, to the instrument
    dumpRequestCommand = 0x04,    // DumpRequest, to the instrument
    doneCommand = 0x05,           // DoneMessage, from the instrument
    identityRequestCommand = 0x06,
    identityReplyCommand = 0x07,
    resetRequestCommand = 0x08,
    tonewheelNameCommand = 0x09,
    bulkModeCommand = 0x0A,
};

// Sections of the handshake dump, in the order they are requested.
constexpr std::array<uint8_t, 3> dumpSections = {0x7D, 0x7E, 0x7C};

// Universal non-real-time sub-IDs (byte 3) of the MIDI File Dump exchange.
enum UniversalSubId : uint8_t
{
    fileDumpSubId = 0x07,
    eofSubId = 0x7B,
    waitSubId = 0x7C,
    cancelSubId = 0x7D,
    nakSubId = 0x7E,
    ackSubId = 0x7F,
};

constexpr int protocolVersion = 5; // the protocol this editor speaks
constexpr int modelCodeOffset = 3; // model code = model index + 3
constexpr size_t receiveBufferSize = 1024;
constexpr size_t maxMessageSize = receiveBufferSize + 1; // with F0 and F7

// ---- byte-level routines shared with the File Dump --------------------------

// XOR of bytes 1 ... length - 3: every byte after F0 up to, not including, the
// checksum at byte length - 2.
uint8_t sysexChecksum(const uint8_t* message, size_t length);

// 8-bit to 7-bit packing of up to seven bytes: writes count + 1 bytes, the
// first collecting the top bits (bit 6 = bit 7 of input 0 ... bit 0 = input 6).
void packSevenBit(const uint8_t* input, int count, uint8_t* output);

// The inverse, for the receiving side: reads count + 1 bytes, writes count.
void unpackSevenBit(const uint8_t* input, int count, uint8_t* output);

// ---- values -----------------------------------------------------------------

// A float's 32-bit pattern as five 7-bit groups (the fifth carries 4 bits).
std::array<uint8_t, 5> encodeFloatPattern(float value);
float decodeFloatPattern(const uint8_t* groups);

// ---- builders: editor to instrument -----------------------------------------

Bytes parameterValueMessage(int number, float value);
Bytes parameterByteMessage(int number, uint8_t value); // the value must be 7-bit
Bytes storeRequest();
Bytes dumpRequest(uint8_t section);
Bytes identityRequest();
Bytes resetRequest();
Bytes bulkModeMessage(uint8_t mode);

// ---- builders: instrument to editor -----------------------------------------

struct Identity
{
    int protocol = protocolVersion;
    int modelCode = modelCodeOffset; // model index + 3
    int hardwareRevision = 0;
    int firmwareMajor = 1;
    int firmwareMinorA = 0; // the minor number is the sum of the two bytes
    int firmwareMinorB = 0;
};

Bytes identityReply(const Identity& identity);
Bytes doneMessage();
Bytes tonewheelNameMessage(int slot, const std::string& name);

// ---- the one decoder ---------------------------------------------------------

struct Decoded
{
    enum class Kind
    {
        ignored, // not ours, unknown, malformed or too long: dropped without trace
        parameterValue,
        parameterByte,
        storeRequest,
        dumpRequest,
        done,
        identityRequest,
        identityReply,
        resetRequest,
        tonewheelName,
        bulkMode,
        fileDump, // universal File Dump (header or data packet): byte 4 tells
        fileDumpEof,
        fileDumpCancel,
        fileDumpNak,
        fileDumpAck,
    };

    Kind kind = Kind::ignored;
    int number = 0;     // parameter number, dump section, bulk mode, tonewheel slot
    float value = 0.0f; // parameter value
    Identity identity;  // identityReply
    std::string name;   // tonewheelName: the bytes up to the first 0x00 or the end
    int code = -1;      // byte 4 of NAK / CANCEL (-1 when the message has none)
};

// True for a complete System Exclusive message that fits the receive buffer:
// F0, at least three bytes, F7, every byte between them 7-bit.
bool isWellFormed(const uint8_t* message, size_t size);

// Decodes the fields of a well-formed message of the given size from bytes
// 1 ... size - 2 of `bytes` (byte n at bytes[n]; bytes 0 and size - 1 are not
// read, so the receive buffer can be decoded in place). A message of another
// maker, family or an unknown command, or shorter than its command needs, is
// reported as ignored.
Decoded decodeFields(const uint8_t* bytes, size_t size);

// Both of the above: a message that is not well formed is ignored.
Decoded decode(const uint8_t* message, size_t size);

inline Decoded decode(const Bytes& message)
{
    return decode(message.data(), message.size());
}

} // namespace kestra::sysex
