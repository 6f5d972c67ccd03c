// The tonewheel-file reader fed arbitrary bytes as a file's contents. A file
// is refused or loaded, never more: the verdict must agree with the magic and
// the size, and an accepted file is uploaded whole through the File Dump to an
// instrument that answers every header and packet (some packets with a NAK
// first, chosen by the file's own bytes): the header must carry the slot's
// type, the length and the name with bit 7 cleared, and the packets, read
// back, must give exactly the file's data. A broken rule aborts, so that
// libFuzzer keeps the input.

#include "files/TonewheelFile.h"
#include "link/LinkTypes.h"
#include "link/Sysex.h"
#include "link/TonewheelTransfer.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace
{
using namespace kestra;

void require(bool holds, const char* what)
{
    if (!holds)
    {
        std::fprintf(stderr, "TonewheelFileFuzzer: %s\n", what);
        std::abort();
    }
}

// The checks themselves need no coverage: it is the editor's code that the
// fuzzer explores, and counting the harness's loops byte by byte would cost
// more than the upload it checks.
#define KESTRA_UNCOVERED __attribute__((no_sanitize("coverage")))

// Keeps only the last message sent and the last event, so that an input costs
// no allocation: the checks below look at each message as it goes out.
struct Wire final : TonewheelTransfer::Io
{
    using Message = std::array<uint8_t, std::max(filedump::headerSize, filedump::maxPacketSize)>;
    Message last{};
    size_t lastSize = 0;
    size_t sent = 0;
    size_t events = 0;
    int lastEvent = -1;

    KESTRA_UNCOVERED void sendToInstrument(const uint8_t* data, size_t size) override
    {
        require(size >= 3 && data[0] == 0xF0 && data[size - 1] == 0xF7, "a message is framed");
        require(size <= last.size(), "no message beyond the largest the protocol has");
        for (size_t i = 1; i + 1 < size; ++i)
            require(data[i] < 0x80, "every data byte of a message is 7-bit");
        std::copy(data, data + size, last.begin());
        lastSize = size;
        ++sent;
    }
    void postTransferEvent(int value) override
    {
        ++events;
        lastEvent = value;
    }
    KESTRA_UNCOVERED bool lastIs(const uint8_t* message, size_t size) const
    {
        return lastSize == size && std::equal(message, message + size, last.begin());
    }
};

// Unpacks the last message, a data packet checked as the instrument checks
// it, into raw; returns its number of raw bytes.
KESTRA_UNCOVERED size_t unpackPacket(const Wire& wire, int expectedNumber, uint8_t* raw)
{
    const uint8_t* packet = wire.last.data();
    const size_t size = wire.lastSize;
    require(size >= 11 && packet[1] == 0x7E && packet[3] == 0x07 && packet[4] == 0x02,
            "a data packet");
    require(packet[5] == (expectedNumber & 0x7F), "packets are numbered in sequence");
    const size_t encoded = size - 9;
    require(packet[6] == encoded - 1, "the byte count matches the packet");
    require(packet[size - 2] == sysex::sysexChecksum(packet, size), "the checksum matches");

    size_t count = 0;
    for (size_t at = 7; at < 7 + encoded;)
    {
        const size_t group = std::min<size_t>(8, 7 + encoded - at);
        require(group >= 2, "a group carries at least one byte");
        require(count + (group - 1) <= static_cast<size_t>(filedump::maxChunkLength),
                "at most 104 bytes");
        sysex::unpackSevenBit(packet + at, static_cast<int>(group - 1), raw + count);
        count += group - 1;
        at += group;
    }
    return count;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace tonewheelfile;

    const bool magicRight = readMagic(data, size) == magic;
    const auto verdict = checkContents(data, size);
    require((verdict == Verdict::accepted) ==
                (magicRight && size >= minFileSize && size <= maxFileSize),
            "accepted exactly with the magic and a size of 65 bytes ... 1 MiB");
    // The same head of a file beyond 1 MiB, of which only the first bytes are read.
    require(checkContents(data, std::min<size_t>(size, 4), uint64_t{maxFileSize} + 1 + size) ==
                Verdict::corrupted,
            "a file beyond 1 MiB is refused");
    if (verdict != Verdict::accepted)
        return 0;

    // Loaded and sent into slot 3, 4 or 5.
    const int32_t length = dataLength(size);
    require(length >= 1 && static_cast<size_t>(length) == size - dataOffset, "the data length");
    const auto slot = static_cast<uint8_t>(firstAlternativeSlot + data[size - 1] % 3);
    // One transfer for every input (its buffer is 1 MiB): loading and starting
    // set everything a transfer reads.
    static TonewheelTransfer transfer;
    Wire wire;
    transfer.load(data + nameOffset, data + dataOffset, length);
    transfer.start(slot, length, wire);

    require(wire.sent == 1 && wire.lastSize == filedump::headerSize, "one header");
    const auto& header = wire.last;
    const auto type = filedump::typeForSlot(slot);
    require(std::equal(type.begin(), type.end(), header.begin() + 6), "the slot's type");
    uint32_t announced = 0;
    for (size_t i = 0; i < 4; ++i)
        announced |= static_cast<uint32_t>(header[10 + i]) << (7 * i);
    require(announced == static_cast<uint32_t>(length), "the header announces the length");
    for (size_t i = 0; i < nameSize; ++i)
        require(header[14 + i] == (data[nameOffset + i] & 0x7F), "the name, bit 7 cleared");

    // The instrument: ACK for the header; each packet taken at once, or
    // after one NAK when the data byte of its number says so. Each packet
    // must carry the next bytes of the file.
    size_t received = 0;
    size_t next = 1;
    int packet = 0;
    transfer.onFileDumpAck(wire);
    while (transfer.phase() == TonewheelTransfer::SendingData)
    {
        require(wire.sent == next + 1, "one packet per answer");
        uint8_t raw[filedump::maxChunkLength];
        const size_t count = unpackPacket(wire, packet, raw);
        require(received + count <= static_cast<size_t>(length), "no more data than the file has");
        require(std::equal(raw, raw + count, data + dataOffset + received),
                "the packets carry exactly the file's data");
        if (data[dataOffset + static_cast<size_t>(packet) % static_cast<size_t>(length)] % 5 == 0 &&
            transfer.nakCount() == 0)
        {
            const auto sentBefore = wire.last;
            const size_t sizeBefore = wire.lastSize;
            transfer.onFileDumpNak(packet & 0x7F, wire);
            require(wire.sent == next + 2 && wire.lastIs(sentBefore.data(), sizeBefore),
                    "a NAKed packet goes out again unchanged");
            ++next;
        }
        received += count;
        ++packet;
        ++next;
        transfer.onFileDumpAck(wire);
    }

    require(transfer.phase() == TonewheelTransfer::Ended && transfer.bytesRemaining() == 0,
            "the transfer ends with nothing left");
    require(wire.sent == next + 1 &&
                wire.lastIs(filedump::eofMessage.data(), filedump::eofMessage.size()),
            "EOF ends the upload");
    require(wire.events > 0 && wire.lastEvent == TransferFinished, "reported finished");
    require(received == static_cast<size_t>(length), "the packets carry all of the file's data");
    return 0;
}
