#pragma once

// Reading the tonewheel upload off the wire, written apart from the editor's
// builders: a header and data-packet parser, a reference encoder and a
// reassembler that collects a whole upload the way an instrument would.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kestra::tonewheeltest
{

using Bytes = std::vector<uint8_t>;

inline const Bytes ack = {0xF0, 0x7E, 0x00, 0x7F, 0x00, 0xF7};
inline const Bytes eofPacket = {0xF0, 0x7E, 0x00, 0x7B, 0x00, 0xF7};
inline const Bytes cancel = {0xF0, 0x7E, 0x00, 0x7D, 0x00, 0xF7};

inline Bytes nak(uint8_t code)
{
    return {0xF0, 0x7E, 0x00, 0x7E, code, 0xF7};
}

inline Bytes cancelWithCode(uint8_t code)
{
    return {0xF0, 0x7E, 0x00, 0x7D, code, 0xF7};
}

inline bool isHeader(const Bytes& m)
{
    return m.size() == 47 && m[0] == 0xF0 && m[1] == 0x7E && m[3] == 0x07 && m[4] == 0x01;
}

inline bool isDataPacket(const Bytes& m)
{
    return m.size() >= 10 && m[0] == 0xF0 && m[1] == 0x7E && m[3] == 0x07 && m[4] == 0x02;
}

struct Header
{
    std::string type; // "AC1" ...
    uint8_t typeEnd = 0xFF;
    int32_t length = 0;
    Bytes name;
};

inline std::optional<Header> parseHeader(const Bytes& m)
{
    if (!isHeader(m) || m[2] != 0x00 || m[5] != 0x00 || m[46] != 0xF7)
        return std::nullopt;
    Header h;
    h.type = std::string(m.begin() + 6, m.begin() + 9);
    h.typeEnd = m[9];
    h.length = m[10] | m[11] << 7 | m[12] << 14 | m[13] << 21;
    h.name.assign(m.begin() + 14, m.begin() + 46);
    return h;
}

struct Packet
{
    uint8_t number = 0;
    Bytes data;
};

// Checks every byte of the frame: count, checksum, end; nullopt when one is wrong.
inline std::optional<Packet> parseDataPacket(const Bytes& m)
{
    if (!isDataPacket(m) || m[2] != 0x00 || m.back() != 0xF7)
        return std::nullopt;
    const size_t encoded = m.size() - 9;
    if (static_cast<size_t>(m[6]) + 1 != encoded)
        return std::nullopt;
    uint8_t sum = 0;
    for (size_t i = 1; i < m.size() - 2; ++i)
        sum ^= m[i];
    if (sum != m[m.size() - 2])
        return std::nullopt;

    Packet p;
    p.number = m[5];
    // Groups of eight encoded bytes: the top bits first, then up to seven bytes.
    for (size_t g = 7; g < 7 + encoded; g += 8)
    {
        const uint8_t top = m[g];
        for (size_t k = 1; k < 8 && g + k < 7 + encoded; ++k)
        {
            const bool high = (top & (0x40 >> (k - 1))) != 0;
            p.data.push_back(static_cast<uint8_t>(m[g + k] | (high ? 0x80 : 0x00)));
        }
    }
    return p;
}

// The data packet for these raw bytes, bit by bit.
inline Bytes referencePacket(uint8_t number, const Bytes& raw)
{
    Bytes m = {0xF0, 0x7E, 0x00, 0x07, 0x02, number, 0x00};
    for (size_t i = 0; i < raw.size(); i += 7)
    {
        uint8_t top = 0;
        Bytes low;
        for (size_t k = 0; k < 7 && i + k < raw.size(); ++k)
        {
            if (raw[i + k] & 0x80)
                top |= static_cast<uint8_t>(1u << (6 - k));
            low.push_back(raw[i + k] & 0x7F);
        }
        m.push_back(top);
        m.insert(m.end(), low.begin(), low.end());
    }
    m[6] = static_cast<uint8_t>(m.size() - 7 - 1);
    uint8_t sum = 0;
    for (size_t i = 1; i < m.size(); ++i)
        sum ^= m[i];
    m.push_back(sum);
    m.push_back(0xF7);
    return m;
}

// An instrument's view of an upload: the header, then packets in order (a
// resent packet carries the number of the one before it), then EOF.
struct Reassembly
{
    std::optional<Header> header;
    Bytes data;
    std::vector<uint8_t> numbers; // of every packet received, resends included
    int faults = 0;               // packets out of order, bad frames, anything after EOF
    bool complete = false;
    bool cancelled = false;
    int expectedNumber = 0;

    // Feeds one message the editor sent; returns true when it belongs to the upload.
    bool take(const Bytes& m)
    {
        if (isHeader(m))
        {
            *this = Reassembly{};
            header = parseHeader(m);
            if (!header)
                ++faults;
            return true;
        }
        if (isDataPacket(m))
        {
            const auto p = parseDataPacket(m);
            if (!p || !header || complete || cancelled)
            {
                ++faults;
                return true;
            }
            numbers.push_back(p->number);
            if (p->number == expectedNumber)
            {
                data.insert(data.end(), p->data.begin(), p->data.end());
                expectedNumber = (expectedNumber + 1) & 0x7F;
                lastLength = p->data.size();
                haveLast = true;
            }
            else if (haveLast && p->number == ((expectedNumber + 127) & 0x7F))
            {
                // The previous packet again: replace it.
                data.resize(data.size() - lastLength);
                data.insert(data.end(), p->data.begin(), p->data.end());
            }
            else
            {
                ++faults;
            }
            return true;
        }
        if (m == eofPacket)
        {
            if (!header || complete || cancelled)
                ++faults;
            complete = true;
            return true;
        }
        if (m == cancel)
        {
            cancelled = true;
            return true;
        }
        return false;
    }

private:
    size_t lastLength = 0;
    bool haveLast = false;
};

// Data of the given length with every byte value, the high ones included.
inline Bytes patternData(size_t length, uint32_t seed = 1)
{
    Bytes data(length);
    uint32_t x = seed * 2654435761u + 12345u;
    for (auto& byte : data)
    {
        x = x * 1664525u + 1013904223u;
        byte = static_cast<uint8_t>(x >> 24);
    }
    return data;
}

} // namespace kestra::tonewheeltest
