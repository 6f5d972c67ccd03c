#pragma once

// A value typed into a slider's value box, read as the musician means it:
// "0,7" and "0.7" alike, the slider's own unit after the number with or
// without a blank ("2,5 sec", "-3,5dB"), and "3,5k" or "3.5 kHz" for 3500 on
// a slider in Hz. Text that cannot be read exactly ("abc", "1,2,3", "",
// another unit) is refused. Pure functions: no component, no locale.

#include "model/ParameterCatalogue.h"

#include <optional>
#include <string_view>

namespace kestra
{

// The number the text gives in the slider's unit (its suffix as the catalogue
// holds it, leading blank and all: " Hz", "" for none), or nothing when the
// text cannot be read exactly. The result is not clamped.
//
// Accepted: blanks around; a sign; digits with at most one decimal separator,
// point or comma; then, with or without a blank, the unit (any letter case).
// On a slider in Hz or kHz a "k" after the number stands for kHz, and a
// frequency may be given in either unit ("4000 Hz" on a kHz slider is 4).
std::optional<double> readTypedValue(std::string_view text, std::string_view suffix);

// The same for a parameter's slider, clamped into the slider's range as the
// slider clamps it. Nothing for a parameter that has no slider.
std::optional<double> readTypedValue(std::string_view text, const ParameterInfo& info);

} // namespace kestra
