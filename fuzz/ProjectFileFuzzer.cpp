// The project-file reader fed arbitrary bytes as a file's contents. A file is
// refused or loaded, never more: the verdict must agree with the file's
// fields, an accepted file must read back into the same 416 bytes, and what
// an accepted file then goes through (taken into the record connected or
// not, under model 0 and model 3, shown by the controls' conversions and
// sent paced to the instrument) must stay inside its arrays and put only
// 7-bit data bytes on the wire. A broken rule aborts, so that libFuzzer keeps
// the input.

#include "files/ProjectFile.h"
#include "link/DeviceLink.h"
#include "model/Conversions.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace
{
using namespace kestra;

void require(bool holds, const char* what)
{
    if (!holds)
    {
        std::fprintf(stderr, "ProjectFileFuzzer: %s\n", what);
        std::abort();
    }
}

uint32_t wordAt(const uint8_t* bytes, size_t size, size_t offset)
{
    uint32_t word = 0;
    for (size_t i = 0; i < 4 && offset + i < size; ++i)
        word |= static_cast<uint32_t>(bytes[offset + i]) << (8 * i);
    return word;
}

// Checks every message the paced send puts out.
struct WireCheck final : LinkHost
{
    int messages = 0;

    // The harness's own loop needs no coverage: the fuzzer explores the editor.
    __attribute__((no_sanitize("coverage"))) void sendToInstrument(const uint8_t* data,
                                                                   size_t size) override
    {
        require(size >= 3 && data[0] == 0xF0 && data[size - 1] == 0xF7, "a message is framed");
        for (size_t i = 1; i + 1 < size; ++i)
            require(data[i] < 0x80, "every data byte of a message is 7-bit");
        ++messages;
    }
    void postInternalMessage(int, int) override {}
};

// What the controls make of the values (refreshControls): every conversion
// of every parameter, the selectors' option indices and the overdrive rows.
void showOnControls(const ProjectRecord& record)
{
    const auto& v = record.parameterValues;
    const auto& D = defaultValues(record.hardwareRevision);
    float sink = 0.0f;
    for (int n = 0; n < numParameters; ++n)
    {
        const auto& info = parameterInfo(n);
        sink += toControlValue(n, v, D);
        if (info.options != nullptr)
        {
            const int index = optionIndexFor(v[static_cast<size_t>(n)], info.options->count);
            require(index == -1 || info.options->isValidIndex(index), "an option index is valid");
        }
    }
    sink += chorusLevelControlValue(v, D, toControlValue(31, v, D));
    for (int blockStart : {9, 16})
    {
        const int row = overdriveModelFor(v, blockStart);
        require(row >= -1 && row < numOverdriveModels, "an overdrive row is in its table");
    }
    volatile float keep = sink; // the conversions must really run
    (void)keep;
}

// The full send of an opened project as it goes out, in its order (the pacing
// between the messages has tests of its own).
void sendAll(DeviceLink& link, int lastParameter)
{
    link.sendBulkModeMessage(1);
    for (int parameter = 0; parameter <= lastParameter; ++parameter)
        link.sendParameter(parameter);
    link.sendBulkModeMessage(0);
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const auto contents = projectfile::parse(data, size);

    // The verdict agrees with the file's fields, in the order of the checks.
    const bool magicRight = wordAt(data, size, 0) == projectMagic;
    if (!magicRight)
    {
        require(contents.fault == projectfile::Fault::wrongMagic, "a wrong magic is refused");
        return 0;
    }
    if (size < projectfile::fileSize)
    {
        require(contents.fault == projectfile::Fault::tooShort, "a short file is refused");
        return 0;
    }
    const auto& file = contents.record;
    require(contents.fault != projectfile::Fault::wrongMagic, "the right magic is not wrong");
    require(isValidModelIndex(file.modelIndex) ||
                contents.fault == projectfile::Fault::unknownModel,
            "an unknown model is refused");
    require(contents.fault == projectfile::Fault::unknownModel ||
                isValidHardwareRevision(file.hardwareRevision) ||
                contents.fault == projectfile::Fault::unknownRevision,
            "an unknown revision is refused");
    if (contents.fault != projectfile::Fault::none)
        return 0;

    // Accepted: its fields are all usable, and it reads back byte for byte.
    for (float value : file.parameterValues)
        require(std::isfinite(value), "an accepted value is finite");
    const auto image = projectfile::toImage(file);
    require(std::memcmp(image.data(), data, image.size()) == 0, "an accepted file reads back");

    // Opened into an editor of model 0 and of model 3, connected or not. One
    // link for every input: nothing of an earlier input is read (the record is
    // set anew, the senders keep no state).
    static WireCheck wire;
    static DeviceLink link(wire);
    for (int recordModel : {0, 3})
        for (bool connected : {false, true})
        {
            wire.messages = 0;
            auto record = ProjectRecord::initial();
            record.modelIndex = recordModel;
            const auto before = record;
            projectfile::takeProject(record, file, connected);

            const int taken = projectfile::valuesTaken(file.modelIndex, recordModel);
            for (int n = 0; n < numParameters; ++n)
            {
                const auto k = static_cast<size_t>(n);
                const float expected =
                    n < taken ? file.parameterValues[k] : before.parameterValues[k];
                require(std::memcmp(&record.parameterValues[k], &expected, sizeof expected) == 0,
                        "the record takes exactly the values it should");
            }
            require(record.modelIndex == (connected ? recordModel : file.modelIndex),
                    "the model is taken only while not connected");

            link.setRecord(record);
            showOnControls(link.record());
            if (connected)
            {
                const int last = lastParameterForModel(record.modelIndex);
                sendAll(link, last);
                require(wire.messages == last + 3, "bulk mode on, every parameter, bulk mode off");
            }
        }
    return 0;
}
