#pragma once

// The Snapshots window: beside the editor and not modal, like the MIDI
// monitor. The list of snapshots, newest first; for the one selected, every
// control whose value differs from the current values (page, name, the
// snapshot's value, the current value); Recall, Compare, Export..., Rename
// and Delete; and, while a compare is under way, which of A and B plays.
// It only shows: every decision is the core's (editor/Editor.h).

#include "editor/Editor.h"
#include "ui/ToolWindow.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <functional>

namespace kestra
{

class SnapshotsComponent final : public juce::Component,
                                 private EditorListener,
                                 private juce::ListBoxModel
{
public:
    explicit SnapshotsComponent(Editor& editor);
    ~SnapshotsComponent() override;

    void resized() override;
    void paint(juce::Graphics& g) override;

    // The list and the table from the core, now.
    void update();

    int numSnapshotsShown() const { return static_cast<int>(shown.size()); }
    juce::String snapshotText(int row) const;
    int numDifferencesShown() const { return static_cast<int>(differences.size()); }
    juce::String differenceText(int row) const; // "page | name | snapshot | current"
    juce::String playingText() const { return playing.getText(); }
    void selectRow(int row);

    juce::TextButton& recallButton() { return recall; }
    juce::TextButton& compareButton() { return compare; }
    juce::TextButton& exportButton() { return exportAs; }
    juce::TextButton& renameButton() { return rename; }
    juce::TextButton& deleteButton() { return remove; }

private:
    // EditorListener
    void snapshotsChanged() override { update(); }
    void valuesChanged(bool) override { updateDifferences(); }
    void parameterChanged(int) override { updateDifferences(); }
    void linkChanged() override { update(); }

    // juce::ListBoxModel: the snapshots
    int getNumRows() override;
    void paintListBoxItem(int row, juce::Graphics& g, int width, int height,
                          bool selected) override;
    void selectedRowsChanged(int lastRowSelected) override;

    // The table of differences
    void paintRowBackground(juce::Graphics& g, int row, int width, int height, bool selected);
    void paintCell(juce::Graphics& g, int row, int column, int width, int height, bool selected);

    void updateDifferences();
    void updatePlaying();
    int selectedId() const;

    // The table's model: the list's getNumRows and the table's share a name.
    struct TableRows final : juce::TableListBoxModel
    {
        explicit TableRows(SnapshotsComponent& c) : owner(c) {}
        int getNumRows() override { return owner.numDifferencesShown(); }
        void paintRowBackground(juce::Graphics& g, int row, int width, int height,
                                bool selected) override
        {
            owner.paintRowBackground(g, row, width, height, selected);
        }
        void paintCell(juce::Graphics& g, int row, int column, int width, int height,
                       bool selected) override
        {
            owner.paintCell(g, row, column, width, height, selected);
        }
        SnapshotsComponent& owner;
    };

    Editor& editor;
    std::vector<SnapshotInfo> shown;
    std::vector<DifferenceRow> differences;
    TableRows tableRows{*this};
    juce::ListBox list{"Snapshots", this};
    juce::TableListBox table{"Differences", &tableRows};
    juce::Label playing, differenceCount;
    juce::TextButton recall{"Recall"}, compare{"Compare"}, exportAs{"Export..."}, rename{"Rename"},
        remove{"Delete"};
};

class SnapshotsWindow final : public ToolWindow
{
public:
    // keyHandler gets every key the window does not use itself (Ctrl+H hides
    // the window through it, Ctrl+B compares, as in the editor).
    SnapshotsWindow(Editor& editor, std::function<bool(const juce::KeyPress&)> keyHandler);

    SnapshotsComponent& snapshots() { return *content; }

    static constexpr const char* title = "Snapshots";

private:
    SnapshotsComponent* content;
};

} // namespace kestra
