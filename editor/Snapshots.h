#pragma once

// The snapshots: the store, the one selected, A/B compare, and when the
// editor takes one by itself. It decides the labels, what a compare switch
// plays, and when a compare ends; the editor it serves applies the records
// and tells the faces, through Host. It asks through Dialogs and never waits
// for an answer. Message thread only.

#include "editor/Dialogs.h"
#include "files/SnapshotDifference.h"
#include "files/SnapshotStore.h"

#include <juce_events/juce_events.h>

#include <array>
#include <functional>
#include <string>
#include <vector>

namespace kestra
{

class Snapshots final
{
public:
    // What the snapshots need of the editor.
    class Host
    {
    public:
        virtual ~Host() = default;
        virtual ProjectRecord currentRecord() const = 0;
        // The instrument's version text ("rel 1.23").
        virtual std::string instrumentVersion() const = 0;
        virtual std::array<std::string, numTonewheelSlots> slotNames() const = 0;
        virtual bool connected() const = 0;
        // Not while a box is open, a send runs or the link is busy.
        virtual bool canApply() const = 0;
        // The record takes the values as a recall does (a connected instrument
        // gets what differs, paced); with a step for the history or without.
        virtual void applyRecord(const ProjectRecord& target, bool asStep) = 0;
        // The snapshots, the one selected, or what Compare plays have changed.
        virtual void snapshotsChanged() = 0;
    };

    // The store reads `folder` with load(); Export... starts in `lastFolder`.
    Snapshots(Host& host, Dialogs& dialogs, const juce::File& folder, const juce::File& lastFolder);

    // Reads the folder; true when some snapshots were left out.
    bool load() { return snapshotStore.load(); }
    // Reads what other programs (kestra-cli) have kept or changed since;
    // true when the list changed.
    bool refresh();
    const SnapshotStore& store() const { return snapshotStore; }
    // Answers that arrive from now on do nothing: the editor is going.
    void dropAnswers() { masterReference.clear(); }

    // ---- what the editor tells: the automatic ones and the end of a compare -----------
    // The handshake's identity reply is starting a dump that replaces `before`:
    // the values changed while not connected are kept first.
    void dumpStarting(const ProjectRecord& before);
    // The instrument's values have all arrived, about to be shown.
    void instrumentValuesArrived();
    // Shown: the instrument as found.
    void instrumentFound(int modelIndex, int hardwareRevision);
    void storeConfirmed();
    // Yes to the reset question, before the reset is sent.
    void resetAccepted();
    // A project file is being opened; its name labels the snapshot taken before its send.
    void openingFile(const juce::String& fileName) { openingFileName = fileName; }
    // The opened project replaces `before` (kept while connected).
    void projectOpening(const ProjectRecord& before);
    // An edit of the user's: remembered while not connected, and the end of a compare.
    void userEdited();
    // The values a compare plays were replaced (a dump, a reset).
    void endCompare();

    // ---- the commands ---------------------------------------------------------------
    // On demand: asks for a label (Cancel takes none).
    void take();
    // On demand with its label; its id, or -1 when it could not be written.
    int take(const std::string& label);
    // The snapshot the window has selected: Compare's B. -1: none (Compare
    // then takes the newest).
    void select(int id);
    int selected() const { return selectedId; }
    // The current values become the snapshot's, as one undo step; a connected
    // instrument gets the parameters that differ, paced in bulk mode as after
    // an opening. Not while a box is open, a send runs or the link is busy.
    bool recall(int id);
    // Switches between A (the current edit) and B (the selected snapshot),
    // sending only what differs. The first switch to B keeps A as a snapshot
    // ("Before compare"); an edit while on B makes B the current edit.
    bool compare();
    bool isComparing() const { return comparing; }
    bool isPlayingB() const { return comparing && playingB; }
    // The snapshot B of the compare under way, and A kept as a snapshot.
    int compareB() const { return comparing ? compareBId : -1; }
    int compareA() const { return comparing ? compareAId : -1; }
    // Every control whose value differs between the snapshot and the current values.
    std::vector<DifferenceRow> differences(int id) const;
    bool rename(int id, const std::string& label);
    bool remove(int id);
    // Rename and Delete of the window: the new label asked for; the deletion
    // confirmed (the focus on "No").
    void askToRename(int id);
    void askToRemove(int id);
    // Export...: with the file chooser; a file already chosen.
    void exportAs(int id, std::function<void()> whenClosed = {});
    void exportTo(int id, const juce::File& file);

private:
    int keep(const std::string& label, const ProjectRecord& record, bool connected, bool automatic);
    // One the editor takes by itself, of the given record.
    void takeAutomatic(const std::string& label, const ProjectRecord& record, bool connected);
    // Damage found in the folder by a change is said once, after the change.
    void sayDamageOnce();
    // A callback that does nothing once the snapshots have gone.
    template <typename Function> auto whileAlive(Function function);

    Host& host;
    Dialogs& dialogs;
    const juce::File& lastFolder;
    SnapshotStore snapshotStore;
    int selectedId = -1;
    // Values the user changed or opened while not connected, which the next
    // handshake's dump would replace.
    bool offlineEdits = false;
    bool automaticNotSavedSaid = false;
    // The file being opened, for its snapshot's label.
    juce::String openingFileName;
    // Compare: A is the record kept as snapshot compareAId, B the snapshot compareBId.
    bool comparing = false;
    bool playingB = false;
    int compareAId = -1, compareBId = -1;
    ProjectRecord compareARecord;

    JUCE_DECLARE_WEAK_REFERENCEABLE(Snapshots)
    JUCE_DECLARE_NON_COPYABLE(Snapshots)
};

} // namespace kestra
