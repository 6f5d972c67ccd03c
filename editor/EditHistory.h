#pragma once

// The user's edits, for undo and redo, kept by a juce::UndoManager. A step is
// one slider gesture (mouse down to mouse up, however many values it passed
// through), one keyboard or wheel change, one selector choice, one
// double-click back to the default, one opened project or one recalled
// snapshot. Values the
// instrument reports are never steps.
//
// A parameter step keeps the stored values of the parameters its change sent,
// before and after, in the order they were sent; undoing or redoing it puts
// those values back and hands the same list to the editor, which sends them
// as the change did. A project step keeps the record before and the file's
// record, which the editor takes as if the file were opened again.
//
// The history keeps the last `maxSteps` steps. Message thread only.

#include "model/Conversions.h"
#include "model/ParameterCatalogue.h"
#include "model/ProjectRecord.h"

#include <juce_data_structures/juce_data_structures.h>

#include <functional>

namespace kestra
{

class EditHistory
{
public:
    static constexpr int maxSteps = 100;

    struct Editor
    {
        // Stores values[n] for every n of the list, shows them, and sends them in
        // the list's order when connected.
        std::function<void(const SendList& numbers, const ParameterValues& values)>
            restoreParameters;
        // Takes the record as an opened project (the same checks, send and box).
        std::function<void(const ProjectRecord& record)> restoreProject;
        // Takes the record's values as a recalled snapshot (only what differs is sent).
        std::function<void(const ProjectRecord& record)> restoreRecall;
    };

    explicit EditHistory(Editor editor);

    // A slider's mouse gesture: every change in between is one step.
    void gestureStarted();
    void gestureEnded();

    // A user's change of `control` has stored `after` and sent `numbers`.
    void parameterChanged(const ParameterInfo* control, const SendList& numbers,
                          const ParameterValues& before, const ParameterValues& after);
    // A project was opened: the record before, and the record of the file.
    void projectOpened(const ProjectRecord& before, const ProjectRecord& opened);
    // A snapshot was recalled: the record before and after.
    void recalled(const ProjectRecord& before, const ProjectRecord& after);

    bool undo();
    bool redo();
    bool canUndo() const { return undoManager.canUndo(); }
    bool canRedo() const { return undoManager.canRedo(); }

    // The values the steps refer to no longer hold (a new connection, a reset).
    void clear();

private:
    class ParameterStep;
    class RecordStep;
    void add(juce::UndoableAction* step, bool newStep);

    Editor editor;
    juce::UndoManager undoManager{maxSteps, maxSteps};
    bool inGesture = false;
};

} // namespace kestra
