#include "files/SnapshotDifference.h"

#include "model/Conversions.h"
#include "model/ParameterText.h"

#include <cstring>

namespace kestra
{

namespace
{
// Bit for bit: a value that only looks the same on screen still differs.
bool sameValue(float a, float b)
{
    return std::memcmp(&a, &b, sizeof(float)) == 0;
}

std::string withUnit(const controltext::ControlValue& shown)
{
    return shown.unit.empty() ? shown.value : shown.value + " " + shown.unit;
}
} // namespace

std::vector<int> differingParameters(const ParameterValues& a, const ParameterValues& b,
                                     int modelIndex)
{
    std::vector<int> numbers;
    for (int n = 0; n <= lastParameterForModel(modelIndex); ++n)
        if (!sameValue(a[static_cast<size_t>(n)], b[static_cast<size_t>(n)]))
            numbers.push_back(n);
    return numbers;
}

std::vector<DifferenceRow>
differenceRows(const ProjectRecord& snapshot, const ProjectRecord& current,
               const std::array<std::string, numTonewheelSlots>& slotNames)
{
    const auto differing =
        differingParameters(snapshot.parameterValues, current.parameterValues, current.modelIndex);
    const auto& defaults = defaultValues(current.hardwareRevision);
    std::vector<DifferenceRow> rows;
    for (const auto* control : controltext::controlsOfModel(current.modelIndex))
    {
        bool reads = false;
        for (int n : differing)
            reads = reads || controlReads(*control, n);
        if (!reads)
            continue;
        const auto then =
            controltext::showControl(*control, snapshot.parameterValues, defaults, slotNames);
        const auto now =
            controltext::showControl(*control, current.parameterValues, defaults, slotNames);
        rows.push_back(
            {controltext::pageName(control->place.page), now.name, withUnit(then), withUnit(now)});
    }
    return rows;
}

} // namespace kestra
