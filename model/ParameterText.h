#pragma once

// The controls of the window as text, as the command line and the snapshots'
// table of differences name and show them: every control that has a row on a page, by its label
// (with its page or view before it where two rows share a label: "Classic Horn Level", "Rock Horn
// Level"), its value as the control shows it, and typed values read as the
// window's value boxes read them. Pure functions over the catalogue: no
// JUCE, no component.

#include "model/ParameterCatalogue.h"

#include <array>
#include <optional>
#include <string>
#include <vector>

namespace kestra::controltext
{

struct ControlValue
{
    const ParameterInfo* control = nullptr;
    std::string name;  // unique among the controls
    std::string value; // as the control shows it: "2.5", "ON"; "" for no item
    std::string unit;  // "sec", "dB"; empty for selectors and unitless sliders
    double number = 0; // the slider's shown value, or the option index (-1: none)
};

// Every control of a model's pages, in the catalogue's order (the Chorus
// Level slider after Chorus Mix). Rows that a model does not show are left out.
std::vector<const ParameterInfo*> controlsOfModel(int modelIndex);

// A control's unique name.
std::string controlName(const ParameterInfo& control);

// A page's name ("Tone Generator"); empty for a number that is not a page's.
std::string pageName(int page);

// What the control shows for the stored values; `slotNames` are the
// tonewheel slots' names as the instrument reported them.
ControlValue showControl(const ParameterInfo& control, const ParameterValues& v,
                         const ParameterValues& defaults,
                         const std::array<std::string, numTonewheelSlots>& slotNames);

// The control a name or number on the command line means: its unique name
// or its label, without regard to letter case and blanks, optionally with
// its page's name before it ("Reverb Hall Time"); a number names its row's
// first control. Null, with `error` set, for none or several.
const ParameterInfo* findControl(const std::string& nameOrNumber, int modelIndex,
                                 std::string& error);

// A typed value for the control, checked: a slider's value in its unit and
// within its range, snapped to its step as the slider snaps it; a selector's
// option by its text or its index. Nothing, with `error` set, otherwise.
std::optional<double> readControlValue(const ParameterInfo& control, const std::string& text,
                                       const std::array<std::string, numTonewheelSlots>& slotNames,
                                       std::string& error);

} // namespace kestra::controltext
