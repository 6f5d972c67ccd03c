#pragma once

// The tonewheel file, as far as the editor reads it: a little-endian magic
// at offset 0 (the project file's), 28 bytes it neither reads nor sends, the
// 32-byte name at offset 32 and the tonewheel data from offset 64 to the end.
// The whole file is at most 1 MiB. The data are opaque: the instrument checks
// them and reports its errors through the transfer.

#include "model/ProjectRecord.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace kestra::tonewheelfile
{

constexpr uint32_t magic = projectMagic;
constexpr size_t nameOffset = 32;
constexpr size_t nameSize = 32;
constexpr size_t dataOffset = 64;
constexpr size_t maxFileSize = 1048576;
// A complete name and at least one data byte: a transfer without data has
// nothing to send.
constexpr size_t minFileSize = dataOffset + 1;

enum class Verdict
{
    accepted,
    notValid,  // the extension is not ".ktw" in any letter case
    corrupted, // wrong magic, larger than 1 MiB, or shorter than 65 bytes
};

// The extension with its dot, as juce::File reports it.
Verdict checkExtension(const std::string& extension);

// The first four bytes as a little-endian number; missing bytes count as zero.
uint32_t readMagic(const uint8_t* bytes, size_t size);

// The whole file in memory, or, for a file larger than 1 MiB, any part of it
// from the start together with its real size: the magic first, then the
// size. Both faults read the same, so the user sees one message.
Verdict checkContents(const uint8_t* bytes, size_t available, uint64_t fileSize);

inline Verdict checkContents(const uint8_t* bytes, size_t size)
{
    return checkContents(bytes, size, size);
}

// Length of the data of an accepted file of the given size.
inline int32_t dataLength(size_t fileSize)
{
    return static_cast<int32_t>(fileSize - dataOffset);
}

} // namespace kestra::tonewheelfile
