#pragma once

// The instrument's 99 numbered parameters: one row per parameter with its
// label, control, range, step, unit, conversion and the defaults of both
// hardware revisions. Everything else about a parameter is derived from here.

#include "model/OptionLists.h"

#include <array>
#include <cstddef>

namespace kestra
{

constexpr int numParameters = 99;
constexpr int firstSettingParameter = 85; // 85 ... 98 hold option indices
constexpr int lastParameterOfModel3 = 84; // the "Kestra Tavo" exchanges 0 ... 84 only
constexpr int numHardwareRevisions = 2;

// Parameters with a role of their own beyond their row.
constexpr int chorusMixParameter = 31;       // its row has a second slider, Chorus Level
constexpr int chorusSecondParameter = 34;    // written with 31 by the chorus pair
constexpr int classicOverdriveParameter = 9; // the CLASSIC overdrive block, 9 ... 15
constexpr int rockOverdriveParameter = 16;   // the ROCK overdrive block, 16 ... 22
constexpr int lowerLayerModeParameter = 88;  // "Layer Mode" for model 2
constexpr int tonewheelModelParameter = 97;  // names the slot LOAD... uploads into

using ParameterValues = std::array<float, numParameters>;

enum class ControlKind
{
    none,     // written by another control, by files and by the instrument only
    slider,   // a linear bar with range, step and suffix
    selector, // a drop-down list of options
};

enum class Conversion
{
    direct,     // shown = stored
    level,      // shown in dB, stored in percent
    offset,     // shown relative to the revision default
    fraction,   // shown in percent, stored as a fraction
    scaled,     // shown in percent of the revision default; writes a group
    chorusPair, // Chorus Mix and Chorus Level write 31 and 34 together
    amFollower, // 36 follows V/C AM
    index,      // option index
    model,      // an overdrive block of seven values chosen as one model
};

// The views of a page, as bits: page 0 shows MAIN or DRAWBAR, page 2 CLASSIC
// or ROCK, page 3 CLASSIC, ROCK or COMMON; the other pages have one view.
namespace views
{
constexpr unsigned classic = 1u << 0;
constexpr unsigned rock = 1u << 1;
constexpr unsigned common = 1u << 2;
constexpr unsigned main = 1u << 3;
constexpr unsigned drawbar = 1u << 4;
constexpr unsigned all = ~0u;
} // namespace views

constexpr int numPages = 6;

// The pages, top to bottom of the page buttons.
enum Page : int
{
    toneGeneratorPage = 0,
    vibratoChorusPage = 1,
    overdrivePage = 2,
    rotaryPage = 3,
    reverbPage = 4,
    settingsPage = 5, // Additional Functions
};

// The views of the pages that have several; a view's bit in views:: is 1 << view.
enum View : int
{
    classicView = 0, // pages 2 and 3
    rockView = 1,    // pages 2 and 3
    commonView = 2,  // page 3
    mainView = 3,    // page 0
    drawbarView = 4, // page 0
};

// Where a parameter's control sits: its page, the top of its row and the
// views that show it. Controls of one page and top share the row and its
// label (the two overdrive selectors, the two rotary banks).
struct PagePlace
{
    int page = -1; // -1: not on a page (no control of its own)
    int y = 0;
    unsigned views = views::all;
    bool wide = false;            // a wide selector (long option names)
    bool hiddenForModel2 = false; // row not shown for model 2 (Gospel Set, Upper Layer Mode)
};

struct ParameterInfo
{
    int number;
    const char* label; // empty when the parameter has no control of its own
    ControlKind control;
    float minimum;
    float maximum;
    float step;
    const char* suffix; // with its leading blank, e.g. " dB"
    Conversion conversion;
    const OptionList* options; // selectors only
    std::array<float, numHardwareRevisions> defaults;
    PagePlace place;
};

extern const std::array<ParameterInfo, numParameters> parameterCatalogue;

inline const ParameterInfo& parameterInfo(int number)
{
    return parameterCatalogue[static_cast<std::size_t>(number)];
}

inline bool isValidParameterNumber(int number)
{
    return number >= 0 && number < numParameters;
}

inline bool isSettingParameter(int number)
{
    return number >= firstSettingParameter && number < numParameters;
}

// The second control of parameter 31: Chorus Level (Chorus Mix is the row of 31).
extern const ParameterInfo chorusLevelControl;

// Default values of a hardware revision (0 or 1; anything else reads row 0).
const ParameterValues& defaultValues(int hardwareRevision);

// Number of decimals a slider shows for its step: 1 -> 0, 0.1 -> 1, 0.01 -> 2.
int decimalsForStep(float step);

// The parameters that a complete send covers for a model: 0 ... 84 for model 3, else all.
inline int lastParameterForModel(int modelIndex)
{
    return modelIndex == 3 ? lastParameterOfModel3 : numParameters - 1;
}

} // namespace kestra
