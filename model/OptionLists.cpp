#include "model/OptionLists.h"

namespace kestra
{

namespace
{
constexpr const char* offOnTexts[] = {"OFF", "ON"};
constexpr const char* usbMidiModeTexts[] = {"EXPANDER", "SEQUENCER"};
constexpr const char* pedalsToLowerTexts[] = {"SPLIT", "LAYER"};
constexpr const char* expPedalMinTexts[] = {"MUTE", "NORMAL"};
constexpr const char* analogInputTexts[] = {"PRE EFX", "POST EFX"};
constexpr const char* fxSendTexts[] = {"WHOLE ORGAN", "UPPER MANUAL"};
constexpr const char* reverbRoutingTexts[] = {"POST ROTARY", "PRE ROTARY"};
constexpr const char* holdPedalTexts[] = {"INT & EXT", "EXTERNAL"};
constexpr const char* rotaryPedalTexts[] = {"TOGGLE", "MOMENTARY"};
constexpr const char* overdriveModelTexts[] = {"STANDARD CLASSIC", "STANDARD ROCK", "QMR CLASSIC",
                                               "QMR ROCK",         "CLASSIC 1.2",   "ROCK 1.2",
                                               "ANALOG",           "CRUNCH"};
constexpr const char* tonewheelModelTexts[] = {"TONEWHEEL '30",     "TONEWHEEL '50",
                                               "TONEWHEEL '70",     "TONEWHEEL BC_1936",
                                               "TONEWHEEL B3_1956", "TONEWHEEL A100_1961"};

template <int N> constexpr OptionList listOf(const char* const (&texts)[N])
{
    return {texts, N};
}
} // namespace

namespace options
{
const OptionList offOn = listOf(offOnTexts);
const OptionList usbMidiMode = listOf(usbMidiModeTexts);
const OptionList pedalsToLowerMode = listOf(pedalsToLowerTexts);
const OptionList expPedalMin = listOf(expPedalMinTexts);
const OptionList analogInputRouting = listOf(analogInputTexts);
const OptionList fxSendRouting = listOf(fxSendTexts);
const OptionList reverbRouting = listOf(reverbRoutingTexts);
const OptionList holdPedalMode = listOf(holdPedalTexts);
const OptionList rotaryPedalMode = listOf(rotaryPedalTexts);
const OptionList overdriveModels = listOf(overdriveModelTexts);
const OptionList tonewheelModels = listOf(tonewheelModelTexts);
} // namespace options

// Values 1 and 7 of the eight rows form eight different pairs: that is what
// lets a stored block be matched back to its row.
const std::array<OverdriveModel, numOverdriveModels> overdriveModelTable = {{
    {overdriveModelTexts[0], {-6.0f, 360.0f, 1.0f, 0.0f, 1.0f, 1.6f, 0.3f}},
    {overdriveModelTexts[1], {-2.0f, 360.0f, 1.0f, 5.0f, 1.0f, 3.0f, 2.0f}},
    {overdriveModelTexts[2], {-6.0f, 360.0f, 0.3f, 5.0f, 1.0f, 3.0f, 3.0f}},
    {overdriveModelTexts[3], {6.0f, 430.0f, 1.0f, 12.0f, 0.15f, 1.6f, 1.0f}},
    {overdriveModelTexts[4], {-3.0f, 1500.0f, 0.3f, 3.0f, 1.0f, 3.0f, 0.1f}},
    {overdriveModelTexts[5], {-3.0f, 360.0f, 0.3f, 5.0f, 1.0f, 3.0f, 3.0f}},
    {overdriveModelTexts[6], {-5.0f, 360.0f, 1.0f, 6.0f, 0.85f, 2.7f, 2.6f}},
    {overdriveModelTexts[7], {-6.0f, 430.0f, 1.0f, 12.0f, 0.15f, 2.3f, 0.8f}},
}};

const std::array<const char*, numTonewheelSlots> tonewheelSlotPrefixes = {
    "FAC1 -  ", "FAC2 -  ", "FAC3 -  ", "ALT1 -  ", "ALT2 -  ", "ALT3 -  "};

} // namespace kestra
