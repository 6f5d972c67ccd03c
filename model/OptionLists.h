#pragma once

// The fixed option lists of the selectors: twelve two-option lists, the eight
// overdrive models (each standing for seven parameter values) and the six
// tonewheel slots, whose texts the instrument renames.

#include <array>

namespace kestra
{

struct OptionList
{
    const char* const* texts;
    int count;

    const char* operator[](int index) const { return texts[index]; }
    bool isValidIndex(int index) const { return index >= 0 && index < count; }
};

namespace options
{
extern const OptionList offOn;              // "OFF", "ON"
extern const OptionList usbMidiMode;        // "EXPANDER", "SEQUENCER"
extern const OptionList pedalsToLowerMode;  // "SPLIT", "LAYER"
extern const OptionList expPedalMin;        // "MUTE", "NORMAL"
extern const OptionList analogInputRouting; // "PRE EFX", "POST EFX"
extern const OptionList fxSendRouting;      // "WHOLE ORGAN", "UPPER MANUAL"
extern const OptionList reverbRouting;      // "POST ROTARY", "PRE ROTARY"
extern const OptionList holdPedalMode;      // "INT & EXT", "EXTERNAL"
extern const OptionList rotaryPedalMode;    // "TOGGLE", "MOMENTARY"
extern const OptionList overdriveModels;    // the names of overdriveModelTable
extern const OptionList tonewheelModels;    // the built-in names of the six slots
} // namespace options

constexpr int numOverdriveModels = 8;
constexpr int overdriveBlockSize = 7;

struct OverdriveModel
{
    const char* name;
    std::array<float, overdriveBlockSize> values; // values 1 ... 7 of the row
};

extern const std::array<OverdriveModel, numOverdriveModels> overdriveModelTable;

constexpr int numTonewheelSlots = 6;
constexpr int firstAlternativeSlot = 3;

// "FAC1 -  " ... "ALT3 -  ": four characters, a blank, a hyphen and two blanks.
extern const std::array<const char*, numTonewheelSlots> tonewheelSlotPrefixes;

} // namespace kestra
