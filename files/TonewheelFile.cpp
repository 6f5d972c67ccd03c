#include "files/TonewheelFile.h"

#include <cctype>

namespace kestra::tonewheelfile
{

Verdict checkExtension(const std::string& extension)
{
    std::string upper;
    for (char c : extension)
        upper.push_back(static_cast<char>(std::toupper(static_cast<unsigned char>(c))));
    return upper == ".KTW" ? Verdict::accepted : Verdict::notValid;
}

uint32_t readMagic(const uint8_t* bytes, size_t size)
{
    uint32_t value = 0;
    for (size_t i = 0; i < 4 && i < size; ++i)
        value |= static_cast<uint32_t>(bytes[i]) << (8 * i);
    return value;
}

Verdict checkContents(const uint8_t* bytes, size_t available, uint64_t fileSize)
{
    if (readMagic(bytes, available) != magic)
        return Verdict::corrupted;
    if (fileSize > maxFileSize || fileSize < minFileSize)
        return Verdict::corrupted;
    return Verdict::accepted;
}

} // namespace kestra::tonewheelfile
