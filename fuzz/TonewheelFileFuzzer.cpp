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
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

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

struct Wire final : TonewheelTransfer::Io
{
    std::vector<std::vector<uint8_t>> sent;
    std::vector<int> events;

    void sendToInstrument(const uint8_t* data, size_t size) override
    {
        require(size >= 3 && data[0] == 0xF0 && data[size - 1] == 0xF7, "a message is framed");
        for (size_t i = 1; i + 1 < size; ++i)
            require(data[i] < 0x80, "every data byte of a message is 7-bit");
        sent.emplace_back(data, data + size);
    }
    void postTransferEvent(int value) override { events.push_back(value); }
};

// The raw bytes of one data packet, checked as the instrument checks them.
std::vector<uint8_t> unpackPacket(const std::vector<uint8_t>& packet, int expectedNumber)
{
    require(packet.size() >= 11 && packet[1] == 0x7E && packet[3] == 0x07 && packet[4] == 0x02,
            "a data packet");
    require(packet[5] == (expectedNumber & 0x7F), "packets are numbered in sequence");
    const size_t encoded = packet.size() - 9;
    require(packet[6] == encoded - 1, "the byte count matches the packet");
    require(packet[packet.size() - 2] == sysex::sysexChecksum(packet.data(), packet.size()),
            "the checksum matches");

    std::vector<uint8_t> raw;
    for (size_t at = 7; at < 7 + encoded;)
    {
        const size_t group = std::min<size_t>(8, 7 + encoded - at);
        require(group >= 2, "a group carries at least one byte");
        uint8_t out[7];
        sysex::unpackSevenBit(packet.data() + at, static_cast<int>(group - 1), out);
        raw.insert(raw.end(), out, out + (group - 1));
        at += group;
    }
    require(raw.size() <= static_cast<size_t>(filedump::maxChunkLength), "at most 104 bytes");
    return raw;
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

    require(wire.sent.size() == 1 && wire.sent[0].size() == filedump::headerSize, "one header");
    const auto& header = wire.sent[0];
    const auto type = filedump::typeForSlot(slot);
    require(std::equal(type.begin(), type.end(), header.begin() + 6), "the slot's type");
    uint32_t announced = 0;
    for (size_t i = 0; i < 4; ++i)
        announced |= static_cast<uint32_t>(header[10 + i]) << (7 * i);
    require(announced == static_cast<uint32_t>(length), "the header announces the length");
    for (size_t i = 0; i < nameSize; ++i)
        require(header[14 + i] == (data[nameOffset + i] & 0x7F), "the name, bit 7 cleared");

    // The instrument: ACK for the header; each packet taken at once, or
    // after one NAK when the data byte of its number says so.
    std::vector<uint8_t> received;
    size_t next = 1;
    int packet = 0;
    transfer.onFileDumpAck(wire);
    while (transfer.phase() == TonewheelTransfer::SendingData)
    {
        require(wire.sent.size() == next + 1, "one packet per answer");
        const auto raw = unpackPacket(wire.sent[next], packet);
        if (data[dataOffset + static_cast<size_t>(packet) % static_cast<size_t>(length)] % 5 == 0 &&
            transfer.nakCount() == 0)
        {
            transfer.onFileDumpNak(packet & 0x7F, wire);
            require(wire.sent.size() == next + 2 && wire.sent[next + 1] == wire.sent[next],
                    "a NAKed packet goes out again unchanged");
            ++next;
        }
        received.insert(received.end(), raw.begin(), raw.end());
        ++packet;
        ++next;
        transfer.onFileDumpAck(wire);
        require(received.size() <= static_cast<size_t>(length), "no more data than the file has");
    }

    require(transfer.phase() == TonewheelTransfer::Ended && transfer.bytesRemaining() == 0,
            "the transfer ends with nothing left");
    require(wire.sent.size() == next + 1 &&
                std::equal(filedump::eofMessage.begin(), filedump::eofMessage.end(),
                           wire.sent.back().begin(), wire.sent.back().end()),
            "EOF ends the upload");
    require(!wire.events.empty() && wire.events.back() == TransferFinished, "reported finished");
    require(received.size() == static_cast<size_t>(length) &&
                std::equal(received.begin(), received.end(), data + dataOffset),
            "the packets carry exactly the file's data");
    return 0;
}
