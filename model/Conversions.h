#pragma once

// Conversions between what a control shows and what the instrument stores,
// and the stores and send orders of a user's change. Pure functions over a
// value array: no component, no thread, no I/O.

#include "model/ParameterCatalogue.h"

#include <array>
#include <cstddef>

namespace kestra
{

// dB <-> percent of the click levels (parameters 0 ... 3).
float levelToDecibels(float percent);
float decibelsToLevel(float decibels);

// The value a control shows for parameter n (for 31: Chorus Mix). D is the
// default row of the current hardware revision.
float toControlValue(int n, const ParameterValues& v, const ParameterValues& D);

// Whether the value a control shows reads the stored value of parameter n.
bool controlReads(const ParameterInfo& control, int n);

// Chorus Level as shown, given the value that the Chorus Mix control shows.
float chorusLevelControlValue(const ParameterValues& v, const ParameterValues& D, float shownMix);

// The option a selector shows: its 0-based index, or -1 for no item (a value
// that is not a valid index, NaN included).
int optionIndexFor(float storedValue, int optionCount);

// The overdrive model whose values 1 and 7 equal v[b] and v[b + 6] exactly
// (b = 9 or 16), or -1 when no row matches.
int overdriveModelFor(const ParameterValues& v, int blockStart);

// The byte that a setting value travels as: the stored value truncated toward
// zero. A value whose truncation is not 0 ... 127 (negative, 128 and above, not
// finite) cannot be framed as a 7-bit data byte; it goes as the nearest end of
// the parameter's option range instead (NaN as 0).
int settingByteFor(int n, float storedValue);

// True when settingByteFor sends the stored value itself, truncated; false when
// it sends a mended one, which the store should then take over.
bool isFramableSetting(float storedValue);

// The parameter numbers that one change sends, in order.
struct SendList
{
    std::array<int, overdriveBlockSize> numbers{};
    int count = 0;

    void add(int n) { numbers[static_cast<size_t>(count++)] = n; }
    const int* begin() const { return numbers.data(); }
    const int* end() const { return numbers.data() + count; }
};

// A slider moved by the user: stores the converted value(s) of slider n with
// the new shown value x and returns what to send, in order. For 31 the two
// chorus sliders' current shown values are passed in (x is ignored).
SendList storeSliderChange(ParameterValues& v, const ParameterValues& D, int n, float x,
                           float chorusMix, float chorusLevel);

// A selector changed by the user to the 0-based option index: stores and
// returns what to send (seven values for an overdrive model).
SendList storeSelectorChange(ParameterValues& v, int n, int selectedIndex);

// Whether `control` is a control of the catalogue: a row of parameterCatalogue
// that has a control, or chorusLevelControl.
bool isCatalogueControl(const ParameterInfo& control);

// A slider's step as a clean decimal (0.1f is not 0.1): the interval its
// values snap to.
double sliderInterval(const ParameterInfo& control);

// The value a slider shows for `value`: a value without a position at the
// end it points to (NaN at the lowest), then snapped to the step within the
// range, as the slider itself snaps what it is given.
double sliderShownValue(const ParameterInfo& control, double value);

// The value a slider shows for the stored values; Chorus Level as it shows
// beside Chorus Mix as that shows.
float shownSliderValue(const ParameterInfo& control, const ParameterValues& v,
                       const ParameterValues& D);

// A user's change of a control to a value as shown (a slider's value in its
// unit, a selector's option index): stores what the control writes (both
// values of the chorus pair from the other slider as it shows, an overdrive
// model's whole row, a setting's option) and returns what to send, in order.
// Nothing for a value the control cannot show (not finite, not an option).
SendList storeControlChange(ParameterValues& v, const ParameterValues& D,
                            const ParameterInfo& control, double shown);

} // namespace kestra
