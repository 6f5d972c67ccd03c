// The parameter catalogue, the option lists and the conversions.

#include "model/Conversions.h"
#include "model/ProjectRecord.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

using namespace kestra;

namespace
{
ParameterValues rev0()
{
    return defaultValues(0);
}

std::vector<int> toVector(const SendList& sends)
{
    return {sends.begin(), sends.end()};
}
} // namespace

TEST(Catalogue, NumbersMatchPositionsAndControlsHaveSaneRanges)
{
    for (int n = 0; n < numParameters; ++n)
    {
        const auto& info = parameterInfo(n);
        EXPECT_EQ(info.number, n);
        if (info.control == ControlKind::slider)
        {
            EXPECT_LT(info.minimum, info.maximum) << n;
            EXPECT_GT(info.step, 0.0f) << n;
            EXPECT_STRNE(info.label, "") << n;
        }
        if (info.control == ControlKind::selector)
        {
            ASSERT_NE(info.options, nullptr) << n;
        }
        EXPECT_EQ(isSettingParameter(n), info.conversion == Conversion::index) << n;
    }
}

TEST(Catalogue, DefaultsOfBothRevisionsFollowTheOverdriveRows)
{
    // Revision 0: rows 0 and 1; revision 1: rows 2 and 3.
    const std::pair<int, int> rows[] = {{0, 1}, {2, 3}};
    for (int revision = 0; revision < 2; ++revision)
    {
        const auto& D = defaultValues(revision);
        EXPECT_EQ(overdriveModelFor(D, 9), rows[revision].first);
        EXPECT_EQ(overdriveModelFor(D, 16), rows[revision].second);
        for (int i = 0; i < 7; ++i)
        {
            EXPECT_EQ(D[static_cast<size_t>(9 + i)],
                      overdriveModelTable[static_cast<size_t>(rows[revision].first)]
                          .values[static_cast<size_t>(i)]);
            EXPECT_EQ(D[static_cast<size_t>(16 + i)],
                      overdriveModelTable[static_cast<size_t>(rows[revision].second)]
                          .values[static_cast<size_t>(i)]);
        }
    }
    // A revision outside the table reads row 0 rather than past the end.
    EXPECT_EQ(&defaultValues(7), &defaultValues(0));
    EXPECT_EQ(&defaultValues(-1), &defaultValues(0));
}

TEST(Catalogue, OptionListsHaveTheirTexts)
{
    EXPECT_STREQ(options::overdriveModels[4], "CLASSIC 1.2");
    EXPECT_STREQ(options::tonewheelModels[3], "TONEWHEEL BC_1936");
    EXPECT_STREQ(parameterInfo(95).options->texts[0], "INT & EXT");
    EXPECT_EQ(parameterInfo(97).options->count, 6);
    EXPECT_STREQ(tonewheelSlotPrefixes[4], "ALT2 -  ");
}

TEST(Catalogue, DecimalsFollowTheStep)
{
    EXPECT_EQ(decimalsForStep(1.0f), 0);
    EXPECT_EQ(decimalsForStep(0.1f), 1);
    EXPECT_EQ(decimalsForStep(0.01f), 2);
}

TEST(Conversions, LevelRoundTripsAndZeroHasNoDecibels)
{
    for (float db : {-12.0f, -0.9f, 0.0f, 6.0f, 12.0f})
        EXPECT_NEAR(levelToDecibels(decibelsToLevel(db)), db, 1.0e-4f);
    EXPECT_FLOAT_EQ(decibelsToLevel(0.0f), 100.0f);
    EXPECT_TRUE(std::isinf(levelToDecibels(0.0f)));
}

TEST(Conversions, ShownValuesAtRevisionZeroDefaults)
{
    const auto D = rev0();
    struct Case
    {
        int n;
        float shown;
        float tolerance;
    };
    const Case cases[] = {
        {4, 6.0f, 0.0f},     {0, 0.0f, 1e-5f},    {2, -0.915f, 0.001f}, {3, -10.457f, 0.001f},
        {5, 100.0f, 0.0f},   {30, 0.0f, 0.0f},    {31, 100.0f, 1e-4f},  {35, 15.0f, 1e-4f},
        {39, 100.0f, 1e-4f}, {45, 100.0f, 1e-4f}, {57, 100.0f, 1e-4f},  {29, 6.8567f, 0.0f},
    };
    for (const auto& c : cases)
        EXPECT_NEAR(toControlValue(c.n, D, D), c.shown, c.tolerance) << "parameter " << c.n;
    EXPECT_NEAR(chorusLevelControlValue(D, D, 100.0f), 0.0f, 1e-5f);
}

TEST(Conversions, VibratoLevelIsShownAgainstTheRevisionDefault)
{
    auto v = rev0(); // v[30] = -4
    EXPECT_FLOAT_EQ(toControlValue(30, v, defaultValues(1)), -3.0f);
}

TEST(SliderChange, StoresAndSendOrders)
{
    struct Case
    {
        int n;
        float x;
        std::vector<int> sends;
    };
    const Case cases[] = {
        {0, 0.0f, {0, 1}},
        {2, -3.0f, {2}},
        {3, 1.0f, {3}},
        {30, 2.0f, {30, 39}},
        {35, 10.0f, {35, 36}},
        {39, 80.0f, {39, 40, 41}},
        {45, 50.0f, {47, 45, 44}},
        {49, 60.0f, {49, 48, 46}},
        {53, 70.0f, {55, 53, 52}},
        {57, 90.0f, {57, 56, 54}},
        {4, 3.5f, {4}},
        {84, -6.0f, {84}},
    };
    for (const auto& c : cases)
    {
        auto v = rev0();
        const auto sends = storeSliderChange(v, rev0(), c.n, c.x, 100.0f, 0.0f);
        EXPECT_EQ(toVector(sends), c.sends) << "slider " << c.n;
    }
}

TEST(SliderChange, ClickLevelManualsWritesBothParameters)
{
    auto v = rev0();
    v[0] = v[1] = 50.0f;
    storeSliderChange(v, rev0(), 0, 0.0f, 100.0f, 0.0f);
    EXPECT_FLOAT_EQ(v[0], 100.0f);
    EXPECT_FLOAT_EQ(v[1], 100.0f);
}

TEST(SliderChange, ChorusPair)
{
    struct Case
    {
        float mix, level, v31, v34;
    };
    for (const auto& c : {Case{100, 0, -12.5f, -5.5f}, Case{150, 1, -5.5f, -7.5f}})
    {
        auto v = rev0();
        const auto sends = storeSliderChange(v, rev0(), 31, 0.0f, c.mix, c.level);
        EXPECT_EQ(toVector(sends), (std::vector<int>{31, 34, 39}));
        EXPECT_NEAR(v[31], c.v31, 1e-5f);
        EXPECT_NEAR(v[34], c.v34, 1e-5f);
        // Shown back, the mix and the level are what was set.
        const float mix = toControlValue(31, v, rev0());
        EXPECT_NEAR(mix, c.mix, 1e-3f);
        EXPECT_NEAR(chorusLevelControlValue(v, rev0(), mix), c.level, 1e-3f);
    }
}

TEST(SliderChange, AmFollower)
{
    auto v = rev0();
    storeSliderChange(v, rev0(), 35, 10.0f, 100, 0);
    EXPECT_FLOAT_EQ(v[35], 0.1f);
    EXPECT_FLOAT_EQ(v[36], 0.22f * 10.0f / 15.0f);
    for (float atOrAbove : {15.0f, 16.0f, 100.0f})
    {
        storeSliderChange(v, rev0(), 35, atOrAbove, 100, 0);
        EXPECT_FLOAT_EQ(v[36], 0.22f) << atOrAbove;
    }
}

TEST(SliderChange, ScaledGroupStoresFractionsOfTheDefaults)
{
    auto v = rev0();
    storeSliderChange(v, rev0(), 45, 50.0f, 100, 0);
    EXPECT_FLOAT_EQ(v[44], 0.75f);
    EXPECT_FLOAT_EQ(v[45], 0.75f);
    EXPECT_FLOAT_EQ(v[47], 0.35f);
    EXPECT_FLOAT_EQ(toControlValue(45, v, rev0()), 50.0f);
}

TEST(SelectorChange, OverdriveModelWritesItsBlock)
{
    for (int block : {9, 16})
    {
        auto v = rev0();
        const auto sends = storeSelectorChange(v, block, 4); // "CLASSIC 1.2"
        EXPECT_EQ(toVector(sends), (std::vector<int>{block, block + 1, block + 2, block + 3,
                                                     block + 4, block + 5, block + 6}));
        const float expected[] = {-3, 1500, 0.3f, 3, 1, 3, 0.1f};
        for (int i = 0; i < 7; ++i)
            EXPECT_FLOAT_EQ(v[static_cast<size_t>(block + i)], expected[i]);
        EXPECT_EQ(overdriveModelFor(v, block), 4);
    }
}

TEST(SelectorChange, SettingsStoreTheIndexAndInvalidChoicesChangeNothing)
{
    auto v = rev0();
    EXPECT_EQ(toVector(storeSelectorChange(v, 97, 4)), std::vector<int>{97});
    EXPECT_EQ(v[97], 4.0f);
    EXPECT_EQ(storeSelectorChange(v, 97, 6).count, 0);
    EXPECT_EQ(storeSelectorChange(v, 97, -1).count, 0);
    EXPECT_EQ(v[97], 4.0f);
}

TEST(Conversions, ModelMatchUsesValuesOneAndSevenOnly)
{
    auto v = rev0();
    v[16] = -6.0f;
    v[22] = 0.8f; // CRUNCH, whatever 17 ... 21 hold
    EXPECT_EQ(overdriveModelFor(v, 16), 7);
    v[22] = 0.81f;
    EXPECT_EQ(overdriveModelFor(v, 16), -1);
}

TEST(Conversions, OptionIndexAndSettingByte)
{
    EXPECT_EQ(optionIndexFor(1.0f, 2), 1);
    EXPECT_EQ(optionIndexFor(1.9f, 2), 1);
    EXPECT_EQ(optionIndexFor(2.0f, 2), -1);
    EXPECT_EQ(optionIndexFor(-0.5f, 2), -1);
    EXPECT_EQ(optionIndexFor(std::nanf(""), 2), -1);

    // Truncated toward zero whenever that fits a 7-bit byte, option range or not;
    // only what cannot be framed goes to the nearest end of the option range.
    struct Case
    {
        int n;
        float stored;
        int byte;
        bool framable;
    };
    const Case cases[] = {
        {90, 3.7f, 3, true},      {97, 3.7f, 3, true},       {88, 127.0f, 127, true},
        {88, 127.9f, 127, true},  {97, 6.0f, 6, true},       {85, -0.5f, 0, true},
        {85, 200.0f, 1, false},   {97, 200.0f, 5, false},    {97, 128.0f, 5, false},
        {97, -1.0f, 0, false},    {97, -3.0f, 0, false},     {97, std::nanf(""), 0, false},
        {97, INFINITY, 5, false}, {97, -INFINITY, 0, false}, {86, 1.0e30f, 1, false},
        {98, -1.0e-30f, 0, true},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(::testing::Message() << c.n << " stored " << c.stored);
        EXPECT_EQ(settingByteFor(c.n, c.stored), c.byte);
        EXPECT_EQ(isFramableSetting(c.stored), c.framable);
    }
}

TEST(ProjectRecord, InitialRecordIsTheFileImageOfTheDefaults)
{
    const auto record = ProjectRecord::initial();
    EXPECT_EQ(record.magic, 0x27071963u);
    EXPECT_EQ(record.formatVersion, 1u);
    EXPECT_EQ(record.modelIndex, 0);
    EXPECT_EQ(record.hardwareRevision, 0);
    EXPECT_EQ(record.valueCount, 99u);
    EXPECT_EQ(record.parameterValues, defaultValues(0));
    EXPECT_STREQ(modelName(1), "Kestra Brio");
    EXPECT_STREQ(modelName(-1), "");
    EXPECT_STREQ(revisionSuffix(1), "QMR");
    EXPECT_STREQ(revisionSuffix(2), "");
}
