#pragma once

// MIDI File Dump messages of the tonewheel upload (universal non-real-time,
// sub-ID 0x07), as the editor sends them: the header, the data packets, EOF
// and CANCEL. Every builder writes into a caller's buffer and returns the
// number of bytes written; none allocates. Byte n of a message counts the
// leading 0xF0 as byte 0. Device ID 0x00 in byte 2 of every message.

#include <array>
#include <cstddef>
#include <cstdint>

namespace kestra::filedump
{

constexpr uint8_t deviceId = 0x00;
constexpr uint8_t headerPacketType = 0x01; // byte 4 of the header
constexpr uint8_t dataPacketType = 0x02;   // byte 4 of a data packet

constexpr int maxChunkLength = 104; // raw bytes in one data packet
constexpr size_t headerSize = 47;
constexpr size_t maxPacketSize = 128; // a full packet: 104 raw bytes, 119 encoded
constexpr size_t nameSize = 32;       // name bytes in the header
constexpr size_t typeSize = 4;        // "AC", slot digit, 0x00

using Type = std::array<uint8_t, typeSize>;
using Name = std::array<uint8_t, nameSize>;

// Encoded size of n raw bytes: one byte of top bits per group of seven.
constexpr int encodedLength(int rawLength)
{
    return rawLength + (rawLength + 6) / 7;
}

// Total size of a data packet that carries n raw bytes.
constexpr size_t packetSize(int rawLength)
{
    return static_cast<size_t>(encodedLength(rawLength)) + 9;
}

static_assert(packetSize(maxChunkLength) == maxPacketSize, "a full packet is 128 bytes");

// The file type of an alternative slot 3, 4 or 5: "AC1", "AC2", "AC3" and a zero byte.
constexpr Type typeForSlot(uint8_t slot)
{
    return {0x41, 0x43, static_cast<uint8_t>(slot + 0x2E), 0x00};
}

// F0 7E 00 07 01 00, the type unmasked, the length in four 7-bit groups (least
// significant first), the 32 name bytes with bit 7 cleared, F7: 47 bytes.
size_t buildHeader(const Type& type, int32_t length, const Name& name, uint8_t* out);

// F0 7E 00 07 02, the packet number, the byte count (encoded length - 1), the
// raw bytes packed seven by seven, the XOR checksum of bytes 1 ... 6 + e, F7.
// count must be 1 ... 104; out must hold packetSize(count) bytes.
size_t buildDataPacket(uint8_t packetNumber, const uint8_t* data, int count, uint8_t* out);

constexpr std::array<uint8_t, 6> eofMessage = {0xF0, 0x7E, deviceId, 0x7B, 0x00, 0xF7};
constexpr std::array<uint8_t, 6> cancelMessage = {0xF0, 0x7E, deviceId, 0x7D, 0x00, 0xF7};

} // namespace kestra::filedump
