#include "editor/EditHistory.h"

#include <algorithm>

namespace kestra
{

// A change already made when it is recorded: its first perform() does nothing.
class EditHistory::ParameterStep final : public juce::UndoableAction
{
public:
    ParameterStep(const Editor& editorToUse, const ParameterInfo* changedControl,
                  const SendList& sent, const ParameterValues& valuesBefore,
                  const ParameterValues& valuesAfter, bool alreadyDone)
        : editor(editorToUse), control(changedControl), numbers(sent), before(valuesBefore),
          after(valuesAfter), done(alreadyDone)
    {
    }

    bool perform() override
    {
        if (!done)
            editor.restoreParameters(numbers, after);
        done = false;
        return true;
    }

    bool undo() override
    {
        editor.restoreParameters(numbers, before);
        return true;
    }

    int getSizeInUnits() override { return 1; }

    // The changes of one gesture become one step: from the first one's values
    // before to the last one's values after.
    juce::UndoableAction* createCoalescedAction(juce::UndoableAction* next) override
    {
        auto* later = dynamic_cast<ParameterStep*>(next);
        if (later == nullptr || later->control != control)
            return nullptr;
        SendList all = numbers;
        for (int n : later->numbers)
            if (std::find(all.begin(), all.end(), n) == all.end() &&
                all.count < static_cast<int>(all.numbers.size()))
                all.add(n);
        return new ParameterStep(editor, control, all, before, later->after, false);
    }

private:
    const Editor& editor;
    const ParameterInfo* control;
    SendList numbers;
    ParameterValues before, after;
    bool done;
};

// An opened project or a recalled snapshot: the record before and after,
// undone and redone as the same kind of change (an opening sends everything,
// a recall what differs).
class EditHistory::RecordStep final : public juce::UndoableAction
{
public:
    using Restore = std::function<void(const ProjectRecord&)> Editor::*;

    RecordStep(const Editor& editorToUse, Restore restoreWith, const ProjectRecord& recordBefore,
               const ProjectRecord& recordAfter)
        : editor(editorToUse), restore(restoreWith), before(recordBefore), after(recordAfter)
    {
    }

    bool perform() override
    {
        if (!done)
            (editor.*restore)(after);
        done = false;
        return true;
    }

    bool undo() override
    {
        (editor.*restore)(before);
        return true;
    }

    int getSizeInUnits() override { return 1; }

private:
    const Editor& editor;
    const Restore restore;
    ProjectRecord before, after;
    bool done = true;
};

EditHistory::EditHistory(Editor editorToUse) : editor(std::move(editorToUse)) {}

void EditHistory::gestureStarted()
{
    inGesture = true;
    undoManager.beginNewTransaction();
}

void EditHistory::gestureEnded()
{
    inGesture = false;
    undoManager.beginNewTransaction();
}

void EditHistory::add(juce::UndoableAction* step, bool newStep)
{
    if (newStep)
        undoManager.beginNewTransaction();
    undoManager.perform(step);
}

void EditHistory::parameterChanged(const ParameterInfo* control, const SendList& numbers,
                                   const ParameterValues& before, const ParameterValues& after)
{
    if (undoManager.isPerformingUndoRedo() || numbers.count == 0)
        return;
    add(new ParameterStep(editor, control, numbers, before, after, true), !inGesture);
}

void EditHistory::projectOpened(const ProjectRecord& before, const ProjectRecord& opened)
{
    if (undoManager.isPerformingUndoRedo())
        return;
    add(new RecordStep(editor, &Editor::restoreProject, before, opened), true);
}

void EditHistory::recalled(const ProjectRecord& before, const ProjectRecord& after)
{
    if (undoManager.isPerformingUndoRedo())
        return;
    add(new RecordStep(editor, &Editor::restoreRecall, before, after), true);
}

bool EditHistory::undo()
{
    inGesture = false;
    return undoManager.undo();
}

bool EditHistory::redo()
{
    inGesture = false;
    return undoManager.redo();
}

void EditHistory::clear()
{
    undoManager.clearUndoHistory();
}

} // namespace kestra
