// The instrument's message codec: builders, decoder, checksum and packing.

#include "link/Sysex.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace kestra;
using namespace kestra::sysex;
using Kind = Decoded::Kind;

namespace
{
float fromPattern(uint32_t pattern)
{
    float value;
    std::memcpy(&value, &pattern, sizeof value);
    return value;
}
} // namespace

TEST(SysexBuilders, ExactBytes)
{
    struct Case
    {
        const char* what;
        Bytes built;
        Bytes expected;
    };
    const Case cases[] = {
        {"parameter 5 = 1.0",
         parameterValueMessage(5, 1.0f),
         {0xF0, 0x7D, 0x1E, 0x01, 0x05, 0x00, 0x00, 0x00, 0x00, 0x7C, 0x03, 0xF7}},
        {"parameter 200 = -6",
         parameterValueMessage(200, -6.0f),
         {0xF0, 0x7D, 0x1E, 0x01, 0x48, 0x01, 0x00, 0x00, 0x00, 0x06, 0x0C, 0xF7}},
        {"parameter 90 byte 3",
         parameterByteMessage(90, 3),
         {0xF0, 0x7D, 0x1E, 0x02, 0x05, 0x03, 0xF7}},
        {"store", storeRequest(), {0xF0, 0x7D, 0x1E, 0x03, 0x00, 0xF7}},
        {"dump 7E", dumpRequest(0x7E), {0xF0, 0x7D, 0x1E, 0x04, 0x7E, 0xF7}},
        {"identity", identityRequest(), {0xF0, 0x7D, 0x1E, 0x06, 0x01, 0xF7}},
        {"reset", resetRequest(), {0xF0, 0x7D, 0x1E, 0x08, 0x00, 0xF7}},
        {"bulk on", bulkModeMessage(1), {0xF0, 0x7D, 0x1E, 0x0A, 0x01, 0xF7}},
        {"bulk off", bulkModeMessage(0), {0xF0, 0x7D, 0x1E, 0x0A, 0x00, 0xF7}},
        {"done", doneMessage(), {0xF0, 0x7D, 0x1E, 0x05, 0xF7}},
        {"identity reply",
         identityReply({5, 4, 1, 1, 2, 3}),
         {0xF0, 0x7D, 0x1E, 0x07, 0x05, 0x04, 0x01, 0x01, 0x02, 0x03, 0xF7}},
        {"name",
         tonewheelNameMessage(0, "Jazz"),
         {0xF0, 0x7D, 0x1E, 0x09, 0x00, 0x4A, 0x61, 0x7A, 0x7A, 0x00, 0xF7}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.built, c.expected) << c.what;
}

TEST(SysexBuilders, EveryDataByteIsSevenBit)
{
    for (float value : {-1.0e30f, -0.0f, 1.875f, 3.4e38f, fromPattern(0xFFFFFFFF)})
    {
        const auto message = parameterValueMessage(16383, value);
        ASSERT_TRUE(isWellFormed(message.data(), message.size()));
        const float back = decode(message).value;
        EXPECT_EQ(std::memcmp(&back, &value, sizeof value), 0); // the same bit pattern
    }
    // A value byte with bit 7 set cannot break the frame.
    const auto byteMessage = parameterByteMessage(98, 0xC8);
    EXPECT_TRUE(isWellFormed(byteMessage.data(), byteMessage.size()));
}

TEST(SysexDecoder, InstrumentMessages)
{
    const Bytes value = {0xF0, 0x7D, 0x1E, 0x01, 0x05, 0x00, 0x00, 0x00, 0x40, 0x7F, 0x03, 0xF7};
    auto d = decode(value);
    EXPECT_EQ(d.kind, Kind::parameterValue);
    EXPECT_EQ(d.number, 5);
    EXPECT_EQ(d.value, 1.875f); // pattern 0x3FF00000

    d = decode(Bytes{0xF0, 0x7D, 0x1E, 0x02, 0x05, 0x40, 0xF7});
    EXPECT_EQ(d.kind, Kind::parameterByte);
    EXPECT_EQ(d.number, 90);
    EXPECT_EQ(d.value, 64.0f);

    d = decode(Bytes{0xF0, 0x7D, 0x1E, 0x07, 0x05, 0x04, 0x01, 0x01, 0x02, 0x03, 0xF7});
    EXPECT_EQ(d.kind, Kind::identityReply);
    EXPECT_EQ(d.identity.protocol, 5);
    EXPECT_EQ(d.identity.modelCode, 4);
    EXPECT_EQ(d.identity.hardwareRevision, 1);
    EXPECT_EQ(d.identity.firmwareMajor, 1);
    EXPECT_EQ(d.identity.firmwareMinorA + d.identity.firmwareMinorB, 5);

    // A DoneMessage may carry data; it is not read.
    EXPECT_EQ(decode(Bytes{0xF0, 0x7D, 0x1E, 0x05, 0x11, 0x22, 0xF7}).kind, Kind::done);

    d = decode(Bytes{0xF0, 0x7D, 0x1E, 0x09, 0x00, 0x4A, 0x61, 0x7A, 0x7A, 0x00, 0xF7});
    EXPECT_EQ(d.kind, Kind::tonewheelName);
    EXPECT_EQ(d.number, 0);
    EXPECT_EQ(d.name, "Jazz");
}

TEST(SysexDecoder, NameWithoutTerminatorIsNotTaken)
{
    // Possibly cut short: dropped rather than taken as far as it goes.
    EXPECT_EQ(decode(Bytes{0xF0, 0x7D, 0x1E, 0x09, 0x03, 0x41, 0x42, 0xF7}).kind, Kind::ignored);
    EXPECT_EQ(decode(Bytes{0xF0, 0x7D, 0x1E, 0x09, 0x03, 0xF7}).kind, Kind::ignored);
    // The terminator right after the slot: an empty name.
    const auto d = decode(Bytes{0xF0, 0x7D, 0x1E, 0x09, 0x03, 0x00, 0xF7});
    EXPECT_EQ(d.kind, Kind::tonewheelName);
    EXPECT_EQ(d.name, "");
    // Whatever follows the terminator is not part of the name.
    EXPECT_EQ(decode(Bytes{0xF0, 0x7D, 0x1E, 0x09, 0x03, 0x41, 0x00, 0x42, 0xF7}).name, "A");
}

TEST(SysexDecoder, UniversalFileDumpReplies)
{
    struct Case
    {
        Bytes message;
        Kind kind;
        int code;
    };
    const Case cases[] = {
        {{0xF0, 0x7E, 0x00, 0x7F, 0x00, 0xF7}, Kind::fileDumpAck, 0},
        {{0xF0, 0x7E, 0x55, 0x7F, 0x12, 0xF7}, Kind::fileDumpAck, 0x12}, // any device ID
        {{0xF0, 0x7E, 0x00, 0x7E, 0x03, 0xF7}, Kind::fileDumpNak, 3},
        {{0xF0, 0x7E, 0x00, 0x7D, 0x04, 0xF7}, Kind::fileDumpCancel, 4},
        {{0xF0, 0x7E, 0x00, 0x7D, 0xF7}, Kind::fileDumpCancel, -1}, // no code byte
        {{0xF0, 0x7E, 0x00, 0x7C, 0x00, 0xF7}, Kind::ignored, 0},   // WAIT
    };
    for (const auto& c : cases)
    {
        const auto d = decode(c.message);
        EXPECT_EQ(d.kind, c.kind);
        if (c.kind != Kind::ignored)
        {
            EXPECT_EQ(d.code, c.code);
        }
    }
}

TEST(SysexDecoder, DropsWhatIsNotOursOrMalformed)
{
    const Bytes dropped[] = {
        {0x90, 0x40, 0x7F},                                           // a note
        {0xF0, 0x7D, 0x1F, 0x01, 0x05, 0, 0, 0, 0, 0x7C, 0x03, 0xF7}, // other device code
        {0xF0, 0x41, 0x1E, 0x05, 0xF7},                               // other maker
        {0xF0, 0x7D, 0x1E, 0x01, 0x05, 0x00, 0x00, 0xF7},             // value message cut short
        {0xF0, 0x7D, 0x1E, 0x02, 0x05, 0xF7},                         // byte message cut short
        {0xF0, 0x7D, 0x1E, 0x07, 0x05, 0x04, 0xF7},                   // identity cut short
        {0xF0, 0x7D, 0x1E, 0x0B, 0x00, 0xF7},                         // unknown command
        {0xF0, 0x7D, 0x1E, 0x05},                                     // no F7
        {0xF0, 0x7D, 0x1E, 0x02, 0x05, 0x80, 0xF7},                   // data byte with bit 7
        {},
    };
    for (const auto& message : dropped)
        EXPECT_EQ(decode(message).kind, Kind::ignored);

    Bytes tooLong(maxMessageSize + 1, 0x00);
    tooLong.front() = 0xF0;
    tooLong[1] = 0x7D;
    tooLong[2] = 0x1E;
    tooLong[3] = 0x05;
    tooLong.back() = 0xF7;
    EXPECT_EQ(decode(tooLong).kind, Kind::ignored);
    tooLong.erase(tooLong.begin() + 4);
    EXPECT_EQ(decode(tooLong).kind, Kind::done); // exactly the largest that fits
}

TEST(SysexRoutines, PackSevenBit)
{
    const uint8_t two[] = {0x80, 0x01};
    uint8_t out[8] = {};
    packSevenBit(two, 2, out);
    EXPECT_EQ(out[0], 0x40);
    EXPECT_EQ(out[1], 0x00);
    EXPECT_EQ(out[2], 0x01);

    const uint8_t seven[] = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
    packSevenBit(seven, 7, out);
    for (uint8_t byte : out)
        EXPECT_EQ(byte, 0x7F);

    packSevenBit(seven, 0, out);
    EXPECT_EQ(out[0], 0x00);

    // Every group of every size comes back unchanged.
    for (int count = 1; count <= 7; ++count)
    {
        const uint8_t input[] = {0x00, 0x81, 0xFE, 0x7F, 0x80, 0x33, 0xC4};
        uint8_t packed[8], unpacked[7];
        packSevenBit(input, count, packed);
        unpackSevenBit(packed, count, unpacked);
        for (int i = 0; i < count; ++i)
            EXPECT_EQ(unpacked[i], input[i]);
    }
}

TEST(SysexRoutines, Checksum)
{
    const uint8_t packet[] = {0xF0, 0x7E, 0x00, 0x07, 0x02, 0x00, 0x00, 0x40, 0x00, 0xF7};
    EXPECT_EQ(sysexChecksum(packet, sizeof packet), 0x3B);
}
