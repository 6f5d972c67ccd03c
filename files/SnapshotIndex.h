#pragma once

// The snapshots' index ("index.xml"): what each snapshot file is, as XML
//
//   <snapshots>
//     <snapshot id="3" taken="1765432100000" label="Stored" model="Kestra Brio"
//               version="1.5" automatic="1"/>
//   </snapshots>
//
// `taken` is in milliseconds since 1970. Written as XML any parser reads: no
// character XML forbids reaches the file (model/SafeText.h escapes them).
// Read without trusting it (link/SafeXml.h): an index that is too large, too
// deep, not UTF-8 where it should be or not an index at all is damaged.
// juce_core only; any thread.

#include <juce_core/juce_core.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kestra
{

struct SnapshotInfo
{
    int id = 0; // unique in its folder; a newer snapshot has a greater id
    juce::Time taken;
    std::string label;
    std::string model;   // "Kestra Brio"; empty when taken while not connected
    std::string version; // "1.5"; empty when taken while not connected
    bool automatic = true;
};

namespace snapshotindex
{

// Larger than any index the editor writes (some 150 bytes a snapshot).
constexpr size_t maxSize = 16 * 1024 * 1024;

// The entries of an index file's bytes, in the file's order, or nothing when
// the bytes are not an index. Entries without a positive id are left out.
// Their texts are made safe for XML as they are read, so that what is kept
// in memory is what the next write puts into the file.
std::optional<std::vector<SnapshotInfo>> parse(std::string_view bytes);

// The index of these snapshots, as UTF-8 bytes.
std::string write(const std::vector<SnapshotInfo>& snapshots);

// A label, model or version text as the index keeps it.
std::string keptText(const std::string& text);

} // namespace snapshotindex
} // namespace kestra
