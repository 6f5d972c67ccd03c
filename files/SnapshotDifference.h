#pragma once

// What differs between a snapshot and the current values, as the snapshots'
// window lists it: one row per control whose shown value reads a parameter
// that differs, in the order of the pages, with both values as the control
// shows them. And the parameters a recall sends: those that differ among the
// ones the instrument exchanges. Pure functions: no JUCE, no component.

#include "model/ProjectRecord.h"

#include <array>
#include <string>
#include <vector>

namespace kestra
{

struct DifferenceRow
{
    std::string page;     // "Overdrive"
    std::string name;     // the control's name ("Classic Drive")
    std::string snapshot; // the snapshot's value as the control shows it, with its unit
    std::string current;  // the current value, the same way
};

// The rows for the current model's controls. Both values are shown with the
// current hardware revision's defaults: a recall keeps the connected revision.
std::vector<DifferenceRow>
differenceRows(const ProjectRecord& snapshot, const ProjectRecord& current,
               const std::array<std::string, numTonewheelSlots>& slotNames);

// The parameters whose stored values differ, in increasing number, among
// 0 ... lastParameterForModel(modelIndex).
std::vector<int> differingParameters(const ParameterValues& a, const ParameterValues& b,
                                     int modelIndex);

} // namespace kestra
