// Values typed into a slider's value box, read against the real parameters'
// units and ranges: decimal commas, units after the number, "k" for kHz, and
// the texts that are refused.

#include "model/ValueText.h"

#include <gtest/gtest.h>

#include <cmath>
#include <optional>

using namespace kestra;

namespace
{
constexpr int clickEqFrequency = 6; // 500 ... 7000 Hz
constexpr int clickEqQ = 7;         // 0.3 ... 2, no unit
constexpr int clickEqGain = 8;      // -12 ... 12 dB
constexpr int hallTime = 23;        // 0.5 ... 4 sec
constexpr int hallDamp = 24;        // 1 ... 8 kHz
constexpr int hallSize = 25;        // 0 ... 100, no unit
constexpr int chorusMix = 31;       // 50 ... 150 %
} // namespace

TEST(ValueText, TypedValuesAreReadAsMeantOrRefused)
{
    struct Case
    {
        const char* text;
        int parameter;
        std::optional<double> value; // empty: refused
    };
    const Case cases[] = {
        // A decimal comma or point.
        {"0,7", clickEqQ, 0.7},
        {"0.7", clickEqQ, 0.7},
        {",5", clickEqQ, 0.5},
        {"1.", clickEqQ, 1.0},
        // "k" multiplies by 1000 on a slider in Hz, with or without "Hz" and blanks.
        {"3,5k", clickEqFrequency, 3500.0},
        {"3.5 kHz", clickEqFrequency, 3500.0},
        {"3,5 k Hz", clickEqFrequency, 3500.0},
        {"3500 Hz", clickEqFrequency, 3500.0},
        {"3500hz", clickEqFrequency, 3500.0},
        {"3500", clickEqFrequency, 3500.0},
        // On a slider in kHz the number is in kHz unless "Hz" says otherwise.
        {"5,5", hallDamp, 5.5},
        {"5,5 kHz", hallDamp, 5.5},
        {"5.5k", hallDamp, 5.5},
        {"5500 Hz", hallDamp, 5.5},
        // The slider's own unit, with or without a blank, any letter case.
        {"2,5 sec", hallTime, 2.5},
        {"2,5sec", hallTime, 2.5},
        {"-3,5 dB", clickEqGain, -3.5},
        {"-3,5db", clickEqGain, -3.5},
        {"+4 dB", clickEqGain, 4.0},
        {"\xE2\x88\x92"
         "2 dB",
         clickEqGain, -2.0},
        {"120 %", chorusMix, 120.0},
        {"120%", chorusMix, 120.0},
        // Blanks around are ignored.
        {" 7 ", hallSize, 7.0},
        {"\t42\t", hallSize, 42.0},
        // Out of range: clamped, as the slider does.
        {" 7 ", clickEqQ, 2.0},
        {"20k", clickEqFrequency, 7000.0},
        {"-40 dB", clickEqGain, -12.0},
        {"100 Hz", clickEqFrequency, 500.0},
        // Refused: not a number, two separators, nothing, another unit, junk after it.
        {"abc", clickEqQ, std::nullopt},
        {"1,2,3", clickEqQ, std::nullopt},
        {"1.2.3", clickEqGain, std::nullopt},
        {"", clickEqQ, std::nullopt},
        {"   ", clickEqQ, std::nullopt},
        {"-", clickEqGain, std::nullopt},
        {",", clickEqQ, std::nullopt},
        {"3,5k", clickEqQ, std::nullopt},    // no Hz: "k" means nothing here
        {"3,5k", clickEqGain, std::nullopt}, // nor here
        {"2,5 dB", hallTime, std::nullopt},  // another unit
        {"7 sec", hallSize, std::nullopt},   // a unit where there is none
        {"3 kHz x", clickEqFrequency, std::nullopt},
        {"3 kk", clickEqFrequency, std::nullopt},
        {"1 2", hallSize, std::nullopt},
        {"1e3", clickEqFrequency, std::nullopt}, // no exponents
        {"0x10", hallSize, std::nullopt},
        {"--3", clickEqGain, std::nullopt},
        {"3 - dB", clickEqGain, std::nullopt},
        {"dB 3", clickEqGain, std::nullopt},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(std::string("\"") + c.text + "\" into " + parameterInfo(c.parameter).label);
        const auto read = readTypedValue(c.text, parameterInfo(c.parameter));
        ASSERT_EQ(read.has_value(), c.value.has_value());
        if (read)
        {
            EXPECT_NEAR(*read, *c.value, 1e-9);
        }
    }
}

TEST(ValueText, TheUnitComesFromTheSuffixAndNothingIsClampedWithoutARange)
{
    EXPECT_EQ(readTypedValue("2,5 sec", " sec"), 2.5);
    EXPECT_EQ(readTypedValue("9000 Hz", " Hz"), 9000.0);
    EXPECT_EQ(readTypedValue("12 deg", " deg"), 12.0);
    EXPECT_EQ(readTypedValue("400rpm", " RPM"), 400.0);
    EXPECT_EQ(readTypedValue("-2 x", " x"), -2.0);
    // Hundreds of digits are still a number; more than a double holds is not.
    EXPECT_EQ(readTypedValue(std::string(300, '9'), ""), std::stod(std::string(300, '9')));
    EXPECT_FALSE(readTypedValue(std::string(400, '9'), "").has_value());
}

TEST(ValueText, OnlySlidersTakeTypedValues)
{
    EXPECT_FALSE(readTypedValue("1", parameterInfo(firstSettingParameter)).has_value());
    EXPECT_EQ(readTypedValue("-3,5", chorusLevelControl), -3.5);
}
