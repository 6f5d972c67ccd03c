#include "model/ProjectRecord.h"

namespace kestra
{

const char* const modelNames[numModels] = {"Kestra", "Kestra Brio", "Kestra Mira", "Kestra Tavo"};
const char* const revisionSuffixes[numHardwareRevisions] = {"", "QMR"};

ProjectRecord ProjectRecord::initial()
{
    ProjectRecord record;
    record.parameterValues = defaultValues(0);
    return record;
}

const char* modelName(int modelIndex)
{
    return isValidModelIndex(modelIndex) ? modelNames[modelIndex] : "";
}

const char* revisionSuffix(int hardwareRevision)
{
    return isValidHardwareRevision(hardwareRevision) ? revisionSuffixes[hardwareRevision] : "";
}

} // namespace kestra
