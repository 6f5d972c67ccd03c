#include "editor/EditHistory.h"

#include <algorithm>

namespace kestra
{

// A change already made when it is recorded: its first perform() does nothing.
class EditHistory::ParameterStep final : public juce::UndoableAction
{
public:
    ParameterStep(const Editor& editorToUse, const void* changedControl, const SendList& sent,
                  const ParameterValues& valuesBefore, const ParameterValues& valuesAfter,
                  bool alreadyDone)
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
    const void* control;
    SendList numbers;
    ParameterValues before, after;
    bool done;
};

class EditHistory::ProjectStep final : public juce::UndoableAction
{
public:
    ProjectStep(const Editor& editorToUse, const ProjectRecord& recordBefore,
                const ProjectRecord& recordOpened)
        : editor(editorToUse), before(recordBefore), opened(recordOpened)
    {
    }

    bool perform() override
    {
        if (!done)
            editor.restoreProject(opened);
        done = false;
        return true;
    }

    bool undo() override
    {
        editor.restoreProject(before);
        return true;
    }

    int getSizeInUnits() override { return 1; }

private:
    const Editor& editor;
    ProjectRecord before, opened;
    bool done = true;
};

// A recall's step: undone and redone as a recall of the values it replaced or brought.
class EditHistory::RecallStep final : public juce::UndoableAction
{
public:
    RecallStep(const Editor& editorToUse, const ProjectRecord& recordBefore,
               const ProjectRecord& recordAfter)
        : editor(editorToUse), before(recordBefore), after(recordAfter)
    {
    }

    bool perform() override
    {
        if (!done)
            editor.restoreRecall(after);
        done = false;
        return true;
    }

    bool undo() override
    {
        editor.restoreRecall(before);
        return true;
    }

    int getSizeInUnits() override { return 1; }

private:
    const Editor& editor;
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

void EditHistory::parameterChanged(const void* control, const SendList& numbers,
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
    add(new ProjectStep(editor, before, opened), true);
}

void EditHistory::recalled(const ProjectRecord& before, const ProjectRecord& after)
{
    if (undoManager.isPerformingUndoRedo())
        return;
    add(new RecallStep(editor, before, after), true);
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
