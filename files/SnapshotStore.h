#pragma once

// Snapshots of the instrument's sound: each one the 99 values as a project
// record (so that every snapshot file is also a project file OPEN takes), with
// the model and version it was taken from, its date and time, a label, and
// whether the editor took it by itself or the user asked for it.
//
// On disk, in one folder: one project file per snapshot ("snapshot-<id>.tkp")
// and an index ("index.xml") that names them, replaced whole (written beside
// and moved over) whenever it changes. Reading is forgiving: an index that is
// missing, truncated or damaged is rebuilt from the files that are there, and
// a file that OPEN would refuse is left out; load() says whether anything was
// left out or rebuilt, so that the editor can say so once.
//
// The newest `maxAutomatic` automatic snapshots are kept; the ones taken on
// demand are never pruned. Records are kept in memory: the files are read at
// load() only. No component; message thread only.

#include "model/ProjectRecord.h"

#include <juce_core/juce_core.h>

#include <optional>
#include <string>
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

class SnapshotStore
{
public:
    static constexpr int maxAutomatic = 200;

    explicit SnapshotStore(juce::File folder);

    const juce::File& folder() const { return directory; }

    // Reads the index and the snapshot files. True when something could not
    // be read: a damaged or missing index (rebuilt from the files), or a
    // snapshot file refused (left out). A folder that does not exist yet is
    // an empty store.
    bool load();

    // Newest first.
    std::vector<SnapshotInfo> list() const;
    std::optional<SnapshotInfo> info(int id) const;
    std::optional<ProjectRecord> record(int id) const;
    // The newest snapshot's id, or -1 for none.
    int newest() const;

    // Keeps a snapshot; returns its id, or -1 when it could not be written.
    // An automatic one may prune the oldest automatic ones.
    int add(const SnapshotInfo& info, const ProjectRecord& record);
    bool rename(int id, const std::string& label);
    bool remove(int id);
    // Writes the snapshot as a project file.
    bool exportTo(int id, const juce::File& file) const;

    // The snapshot file of an id (whether or not it exists).
    juce::File fileOf(int id) const;
    juce::File indexFile() const;

private:
    struct Entry
    {
        SnapshotInfo info;
        ProjectRecord record;
    };

    bool writeIndex() const;
    // Reads and checks one snapshot file as OPEN would.
    static std::optional<ProjectRecord> readRecord(const juce::File& file);
    // Adds the snapshot files that the index does not name; true if any was found.
    bool adoptFilesNotIndexed();
    void pruneAutomatic();

    juce::File directory;
    std::vector<Entry> entries; // oldest first
    int nextId = 1;
};

} // namespace kestra
