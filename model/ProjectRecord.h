#pragma once

// The project record: the 416-byte block that a project file copies byte for
// byte. Its last field is the editor's parameter store itself.

#include "model/ParameterCatalogue.h"

#include <cmath>
#include <cstdint>

namespace kestra
{

constexpr uint32_t projectMagic = 0x27071963;
constexpr uint32_t projectFormatVersion = 1;
constexpr int projectRecordSize = 416;

struct ProjectRecord
{
    uint32_t magic = projectMagic;
    uint32_t formatVersion = projectFormatVersion;
    int32_t modelIndex = 0;
    int32_t hardwareRevision = 0;
    uint32_t valueCount = numParameters;
    ParameterValues parameterValues{};

    // The state at start-up: model 0, revision 0 and the revision-0 defaults.
    static ProjectRecord initial();
};

static_assert(sizeof(ProjectRecord) == projectRecordSize, "the record is the file image");

constexpr int numModels = 4;
extern const char* const modelNames[numModels];                  // "Kestra" ... "Kestra Tavo"
extern const char* const revisionSuffixes[numHardwareRevisions]; // "", "QMR"

// Whether a value may enter the record: every value the record holds must
// reach a project file that OPEN reads back, and OPEN refuses a value that is
// not a finite number. A value the instrument reports that is not is refused
// where it arrives (link/DeviceLink.cpp), and the MIDI Monitor says so.
inline bool isStorableValue(float value)
{
    return std::isfinite(value);
}

inline bool isValidModelIndex(int modelIndex)
{
    return modelIndex >= 0 && modelIndex < numModels;
}

inline bool isValidHardwareRevision(int revision)
{
    return revision >= 0 && revision < numHardwareRevisions;
}

// "Kestra Brio QMR", or the name and a trailing blank for revision 0; empty
// for a model or revision outside the tables.
const char* modelName(int modelIndex);
const char* revisionSuffix(int hardwareRevision);

} // namespace kestra
