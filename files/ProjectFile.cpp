#include "files/ProjectFile.h"

#include <cctype>
#include <cmath>
#include <cstring>

namespace kestra::projectfile
{

namespace
{
// Field offsets in the file.
constexpr size_t magicOffset = 0;
constexpr size_t formatVersionOffset = 4;
constexpr size_t modelIndexOffset = 8;
constexpr size_t hardwareRevisionOffset = 12;
constexpr size_t valueCountOffset = 16;
constexpr size_t valuesOffset = 20;

static_assert(valuesOffset + 4 * numParameters == fileSize, "the values end the file");

void putWord(Image& image, size_t offset, uint32_t word)
{
    for (size_t i = 0; i < 4; ++i)
        image[offset + i] = static_cast<uint8_t>(word >> (8 * i));
}

// Bytes beyond the end count as zero.
uint32_t getWord(const uint8_t* bytes, size_t size, size_t offset)
{
    uint32_t word = 0;
    for (size_t i = 0; i < 4 && offset + i < size; ++i)
        word |= static_cast<uint32_t>(bytes[offset + i]) << (8 * i);
    return word;
}

uint32_t bitsOf(float value)
{
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

float floatOf(uint32_t bits)
{
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

int32_t signedOf(uint32_t word)
{
    int32_t value;
    std::memcpy(&value, &word, sizeof value);
    return value;
}

uint32_t unsignedOf(int32_t value)
{
    uint32_t word;
    std::memcpy(&word, &value, sizeof word);
    return word;
}
} // namespace

std::string extensionOf(const std::string& fileName)
{
    const auto dot = fileName.rfind('.');
    return dot == std::string::npos ? std::string() : fileName.substr(dot);
}

bool hasProjectExtension(const std::string& extension)
{
    const std::string wanted = fileExtension;
    if (extension.size() != wanted.size())
        return false;
    for (size_t i = 0; i < wanted.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(extension[i])) != wanted[i])
            return false;
    return true;
}

std::string withProjectExtension(const std::string& fileName)
{
    if (hasProjectExtension(extensionOf(fileName)))
        return fileName;
    if (!fileName.empty() && fileName.back() == '.')
        return fileName + (fileExtension + 1);
    return fileName + fileExtension;
}

Image toImage(const ProjectRecord& record)
{
    Image image{};
    putWord(image, magicOffset, record.magic);
    putWord(image, formatVersionOffset, record.formatVersion);
    putWord(image, modelIndexOffset, unsignedOf(record.modelIndex));
    putWord(image, hardwareRevisionOffset, unsignedOf(record.hardwareRevision));
    putWord(image, valueCountOffset, record.valueCount);
    for (size_t n = 0; n < numParameters; ++n)
        putWord(image, valuesOffset + 4 * n, bitsOf(record.parameterValues[n]));
    return image;
}

Contents parse(const uint8_t* bytes, size_t size)
{
    Contents contents;
    if (bytes == nullptr)
        size = 0;

    if (getWord(bytes, size, magicOffset) != projectMagic)
        return contents; // wrongMagic
    if (size < fileSize)
    {
        contents.fault = Fault::tooShort;
        return contents;
    }

    auto& record = contents.record;
    record.magic = getWord(bytes, size, magicOffset);
    record.formatVersion = getWord(bytes, size, formatVersionOffset);
    record.modelIndex = signedOf(getWord(bytes, size, modelIndexOffset));
    record.hardwareRevision = signedOf(getWord(bytes, size, hardwareRevisionOffset));
    record.valueCount = getWord(bytes, size, valueCountOffset);
    for (size_t n = 0; n < numParameters; ++n)
        record.parameterValues[n] = floatOf(getWord(bytes, size, valuesOffset + 4 * n));

    // The model and the revision index tables (model names, default rows) and
    // the values reach the conversions and the instrument: none of them may
    // come from a damaged file.
    if (!isValidModelIndex(record.modelIndex))
        contents.fault = Fault::unknownModel;
    else if (!isValidHardwareRevision(record.hardwareRevision))
        contents.fault = Fault::unknownRevision;
    else
    {
        contents.fault = Fault::none;
        for (float value : record.parameterValues)
            if (!isStorableValue(value))
                contents.fault = Fault::valueNotFinite;
    }
    return contents;
}

int valuesTaken(int fileModelIndex, int recordModelIndex)
{
    return fileModelIndex == 3 || recordModelIndex == 3 ? lastParameterOfModel3 + 1 : numParameters;
}

void takeProject(ProjectRecord& record, const ProjectRecord& file, bool connected)
{
    const int count = valuesTaken(file.modelIndex, record.modelIndex);
    for (size_t n = 0; n < static_cast<size_t>(count); ++n)
        record.parameterValues[n] = file.parameterValues[n];

    if (!connected)
    {
        record.modelIndex = file.modelIndex;
        record.hardwareRevision = file.hardwareRevision;
    }
}

} // namespace kestra::projectfile
