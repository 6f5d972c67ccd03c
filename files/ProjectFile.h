#pragma once

// The project file: a 416-byte little-endian image of the project record
// (magic, format version, model, hardware revision, value count, the 99
// values), named "*.tkp". This is the byte image, the checks a file must pass
// before anything of it is taken, what opening one does to the record, the
// naming rule, and the pacing of the send that follows an opening while
// connected. No JUCE, no component: the commands in ProjectFileCommands.cpp
// turn every verdict into a message box.

#include "model/ProjectRecord.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace kestra::projectfile
{

constexpr size_t fileSize = projectRecordSize;
constexpr const char* fileExtension = ".tkp";

using Image = std::array<uint8_t, fileSize>;

// ---- names ----------------------------------------------------------------------

// The extension of a file name with its dot, as juce::File reports it: from
// the last dot on ("song.tkp.bak" -> ".bak"), empty without a dot.
std::string extensionOf(const std::string& fileName);

// True for ".tkp" in any letter case.
bool hasProjectExtension(const std::string& extension);

// The name a project is saved under: unchanged when it already has the
// project extension in some letter case, otherwise with ".tkp" added
// ("song" -> "song.tkp", "song." -> "song.tkp", "song.bak" -> "song.bak.tkp"),
// so that the editor can open it again.
std::string withProjectExtension(const std::string& fileName);

// ---- the byte image ---------------------------------------------------------------

// The record as it goes into a file, every field little-endian whatever the host.
Image toImage(const ProjectRecord& record);

// Why a file that has the project extension is refused ("corrupted").
enum class Fault
{
    none,
    wrongMagic,      // the first four bytes are not 63 19 07 27 (missing bytes count as zero)
    tooShort,        // right magic, but fewer than 416 bytes
    unknownModel,    // modelIndex outside 0 ... 3
    unknownRevision, // hardwareRevision outside 0 ... 1
    valueNotFinite,  // one of the 99 values is NaN or infinite
};

struct Contents
{
    Fault fault = Fault::wrongMagic;
    ProjectRecord record; // the file's fields; meaningful when fault is none
};

// Reads and checks a file's first bytes; bytes beyond 416 are ignored. The
// checks run in the order above, so a file with a wrong magic is reported as
// such whatever its length. formatVersion and valueCount are not checked.
Contents parse(const uint8_t* bytes, size_t size);

// ---- opening ----------------------------------------------------------------------------

// How many values an opened file gives: 85 (parameters 0 ... 84) when the
// file or the record is of model 3, otherwise all 99.
int valuesTaken(int fileModelIndex, int recordModelIndex);

// What opening an accepted file does to the record: its first valuesTaken()
// values, and, only while not connected, its model and hardware revision
// (while connected the record keeps the instrument's). Values beyond the
// count, the magic, formatVersion and valueCount keep what they held.
void takeProject(ProjectRecord& record, const ProjectRecord& file, bool connected);

} // namespace kestra::projectfile
