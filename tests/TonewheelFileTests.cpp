// The tonewheel file checks: extension, magic, size limits, in the order the
// user learns of them.

#include "files/TonewheelFile.h"

#include <gtest/gtest.h>

#include <vector>

using namespace kestra;
using namespace kestra::tonewheelfile;

namespace
{
std::vector<uint8_t> fileOf(size_t size, uint32_t magicValue = magic)
{
    std::vector<uint8_t> bytes(size, 0xA5);
    for (size_t i = 0; i < 4 && i < size; ++i)
        bytes[i] = static_cast<uint8_t>(magicValue >> (8 * i));
    return bytes;
}
} // namespace

TEST(TonewheelFile, OnlyTheKtwExtensionInAnyCaseIsValid)
{
    struct Case
    {
        const char* extension;
        Verdict verdict;
    };
    const Case cases[] = {
        {".ktw", Verdict::accepted}, {".KTW", Verdict::accepted},  {".kTw", Verdict::accepted},
        {"", Verdict::notValid},     {".", Verdict::notValid},     {".tkp", Verdict::notValid},
        {"ktw", Verdict::notValid},  {".ktw ", Verdict::notValid}, {".ktwx", Verdict::notValid},
        {".kt", Verdict::notValid},
    };
    for (const auto& c : cases)
        EXPECT_EQ(checkExtension(c.extension), c.verdict) << '"' << c.extension << '"';
}

TEST(TonewheelFile, TheMagicIsLittleEndianAndMissingBytesCountAsZero)
{
    const uint8_t bytes[] = {0x63, 0x19, 0x07, 0x27};
    EXPECT_EQ(readMagic(bytes, 4), 0x27071963u);
    EXPECT_EQ(readMagic(bytes, 2), 0x1963u);
    EXPECT_EQ(readMagic(bytes, 0), 0u);
}

TEST(TonewheelFile, SizesAndMagicDecide)
{
    struct Case
    {
        size_t size;
        uint32_t magicValue;
        Verdict verdict;
    };
    const Case cases[] = {
        {1048576, magic, Verdict::accepted},  // exactly 1 MiB: 1,048,512 data bytes
        {1048577, magic, Verdict::corrupted}, // one byte more
        {65, magic, Verdict::accepted},       // one data byte
        {64, magic, Verdict::corrupted},      // a name but no data
        {40, magic, Verdict::corrupted},      // not even a whole name
        {4, magic, Verdict::corrupted},
        {3, magic, Verdict::corrupted}, // the magic cut short
        {0, magic, Verdict::corrupted},
        {416, magic, Verdict::accepted},        // a project file under another name
        {1000, 0x63190727, Verdict::corrupted}, // the bytes the wrong way round
        {1000, magic + 1, Verdict::corrupted},
        {1048577, magic + 1, Verdict::corrupted}, // both faults: one verdict
    };
    for (const auto& c : cases)
    {
        const auto bytes = fileOf(c.size, c.magicValue);
        EXPECT_EQ(checkContents(bytes.data(), bytes.size()), c.verdict) << c.size;
    }
    EXPECT_EQ(dataLength(1048576), 1048512);
}

TEST(TonewheelFile, ALargeFileIsJudgedByItsSizeWithoutReadingIt)
{
    const auto start = fileOf(4);
    EXPECT_EQ(checkContents(start.data(), start.size(), 5000000000ull), Verdict::corrupted);
    EXPECT_EQ(checkContents(start.data(), start.size(), 1048577), Verdict::corrupted);
}
