#pragma once

// Snapshots of the instrument's sound: each one the 99 values as a project
// record (so that every snapshot file is also a project file OPEN takes), with
// the model and version it was taken from, its date and time, a label, and
// whether the editor took it by itself or the user asked for it.
//
// On disk, in one folder: one project file per snapshot ("snapshot-<id>.tkp")
// and an index ("index.xml", files/SnapshotIndex.h) that names them, replaced
// whole (written beside, flushed, moved over) whenever it changes.
//
// Several processes share the folder (the window, any number of kestra-cli
// runs), so nothing is decided from memory alone. Every change takes the
// folder's lock (an advisory lock on ".lock" in it), reads the index and the
// files as they are on disk, makes its change on that and writes the index
// before it lets go. A new snapshot's id is the next after every id in the
// folder, and its file is created exclusively: an id is never taken twice,
// even by a program that does not take the lock.
//
// Reading is forgiving, and nothing is lost without a word: an index that is
// missing, damaged or too deep to parse is rebuilt from the files (their
// labels are lost: "Recovered snapshot"), and a damaged index or a snapshot
// file that OPEN would refuse is moved into "Damaged" in the folder. Whatever
// is found that way is reported once (takeDamageFound()).
//
// The newest `maxAutomatic` automatic snapshots are kept; the ones taken on
// demand are never pruned. Records are kept in memory: a file is read when
// its id is first seen. No component; message thread only.

#include "files/SnapshotIndex.h"
#include "model/ProjectRecord.h"

#include <juce_core/juce_core.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace kestra
{

class SnapshotStore
{
public:
    static constexpr int maxAutomatic = 200;
    // How long a change waits for another process that holds the folder.
    static constexpr int lockTimeoutMs = 5000;
    // A refresh, which only reads, waits less.
    static constexpr int refreshTimeoutMs = 500;

    explicit SnapshotStore(juce::File folder);

    const juce::File& folder() const { return directory; }

    // Reads the index and the snapshot files. True when something could not
    // be read (rebuilt, moved aside or left out); false for a folder that does
    // not exist yet, which is an empty store.
    bool load();
    // Reads what other processes have changed since; true when the list changed.
    bool refresh();
    // True once after a read (load, refresh or a change) found damage.
    bool takeDamageFound() { return std::exchange(damageFound, false); }

    // Newest first.
    std::vector<SnapshotInfo> list() const;
    std::optional<SnapshotInfo> info(int id) const;
    std::optional<ProjectRecord> record(int id) const;
    // The newest snapshot's id, or -1 for none.
    int newest() const;

    // Keeps a snapshot; returns its id, or -1 when it could not be kept: the
    // folder cannot be made or written, another process held it too long, or
    // the record is one OPEN would refuse. An automatic one may prune the
    // oldest automatic ones.
    int add(const SnapshotInfo& info, const ProjectRecord& record);
    bool rename(int id, const std::string& label);
    bool remove(int id);
    // Writes the snapshot as a project file.
    bool exportTo(int id, const juce::File& file) const;
    // Whether a snapshot could be kept now: the folder can be made, locked and
    // written. Writes and removes a file of its own.
    bool canKeep() const;

    // The snapshot file of an id (whether or not it exists).
    juce::File fileOf(int id) const;
    juce::File indexFile() const;
    // Where a damaged index and refused snapshot files are moved.
    juce::File damagedFolder() const;

private:
    struct Entry
    {
        SnapshotInfo info;
        ProjectRecord record;
    };

    // Makes `entries` what the folder holds; damage is noted, and moved aside
    // when the folder is locked (mayChange). True when the index must be
    // written again (rebuilt, or files adopted).
    bool readFolder(bool mayChange = true);
    bool writeIndex() const;
    // Reads and checks one snapshot file as OPEN would.
    static std::optional<ProjectRecord> readRecord(const juce::File& file);
    void setAside(const juce::File& file, bool mayChange);
    // Creates the file of the next free id with the record's image; -1 when it cannot.
    int createNextFile(const ProjectRecord& record);
    // The oldest automatic ones beyond maxAutomatic, taken out of `entries`.
    std::vector<int> pruneAutomatic();
    const Entry* find(int id) const;

    juce::File directory;
    std::vector<Entry> entries; // oldest first
    bool damageFound = false;
};

} // namespace kestra
