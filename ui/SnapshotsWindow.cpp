#include "ui/SnapshotsWindow.h"

namespace kestra
{

namespace
{
juce::String fromUtf8(const std::string& text)
{
    return juce::String::fromUTF8(text.data(), static_cast<int>(text.size()));
}

enum Column
{
    pageColumn = 1,
    nameColumn,
    snapshotColumn,
    currentColumn,
};

const juce::Colour playingA(0xFF2E7D32), playingB(0xFFC62828);
} // namespace

SnapshotsComponent::SnapshotsComponent(Editor& editorToShow) : editor(editorToShow)
{
    list.setRowHeight(24);
    list.setComponentID("snapshotList");
    list.setColour(juce::ListBox::backgroundColourId, juce::Colours::white);
    list.setColour(juce::ListBox::outlineColourId, juce::Colours::grey);
    list.setOutlineThickness(1);
    table.setColour(juce::ListBox::backgroundColourId, juce::Colours::white);
    table.setColour(juce::ListBox::outlineColourId, juce::Colours::grey);
    table.setOutlineThickness(1);
    addAndMakeVisible(list);

    auto& header = table.getHeader();
    header.addColumn("Page", pageColumn, 130);
    header.addColumn("Parameter", nameColumn, 170);
    header.addColumn("Snapshot", snapshotColumn, 100);
    header.addColumn("Current", currentColumn, 100);
    header.setStretchToFitActive(true);
    table.setComponentID("snapshotDifferences");
    table.setRowHeight(22);
    addAndMakeVisible(table);

    playing.setComponentID("snapshotPlaying");
    playing.setJustificationType(juce::Justification::centred);
    playing.setFont(juce::Font(18.0f, juce::Font::bold));
    playing.setColour(juce::Label::textColourId, juce::Colours::white);
    addAndMakeVisible(playing);
    differenceCount.setComponentID("snapshotDifferenceCount");
    differenceCount.setColour(juce::Label::textColourId, juce::Colours::black);
    addAndMakeVisible(differenceCount);

    const std::pair<juce::TextButton*, const char*> buttons[] = {{&recall, "snapshotRecall"},
                                                                 {&compare, "snapshotCompare"},
                                                                 {&exportAs, "snapshotExport"},
                                                                 {&rename, "snapshotRename"},
                                                                 {&remove, "snapshotDelete"}};
    for (const auto& [button, id] : buttons)
    {
        button->setComponentID(id);
        addAndMakeVisible(*button);
    }
    recall.onClick = [this] { editor.snapshots().recall(selectedId()); };
    compare.onClick = [this] { editor.snapshots().compare(); };
    exportAs.onClick = [this] { editor.snapshots().exportAs(selectedId()); };
    rename.onClick = [this] { editor.snapshots().askToRename(selectedId()); };
    remove.onClick = [this] { editor.snapshots().askToRemove(selectedId()); };
    compare.setTooltip("A: the current edit; B: the snapshot selected (Ctrl+B)");

    editor.addListener(this);
    setSize(820, 480);
    update();
}

SnapshotsComponent::~SnapshotsComponent()
{
    editor.removeListener(this);
}

void SnapshotsComponent::resized()
{
    auto area = getLocalBounds().reduced(8);
    playing.setBounds(area.removeFromTop(30));
    area.removeFromTop(6);
    auto buttons = area.removeFromBottom(28);
    area.removeFromBottom(6);
    for (auto* button : {&recall, &compare, &exportAs, &rename, &remove})
    {
        button->setBounds(buttons.removeFromLeft(96));
        buttons.removeFromLeft(6);
    }
    differenceCount.setBounds(buttons);
    list.setBounds(area.removeFromLeft(juce::jmax(260, area.getWidth() * 2 / 5)));
    area.removeFromLeft(6);
    table.setBounds(area);
}

void SnapshotsComponent::paint(juce::Graphics& g)
{
    g.fillAll(juce::Colour(0xFFF1F1F1));
}

int SnapshotsComponent::selectedId() const
{
    return editor.snapshots().selected();
}

void SnapshotsComponent::update()
{
    shown = editor.snapshots().store().list();
    list.updateContent();
    // The core's selection, shown; none selected: nothing.
    int row = -1;
    for (size_t k = 0; k < shown.size(); ++k)
        if (shown[k].id == editor.snapshots().selected())
            row = static_cast<int>(k);
    if (row >= 0)
        list.selectRow(row, false, true);
    else
        list.deselectAllRows();
    list.repaint();
    updateDifferences();
    updatePlaying();
}

void SnapshotsComponent::updateDifferences()
{
    const int id = selectedId();
    differences = id >= 0 ? editor.snapshots().differences(id) : std::vector<DifferenceRow>{};
    table.updateContent();
    table.repaint();
    const bool any = id >= 0;
    for (auto* button : {&recall, &exportAs, &rename, &remove})
        button->setEnabled(any);
    compare.setEnabled(any || editor.snapshots().isComparing());
    differenceCount.setText(!any                  ? juce::String()
                            : differences.empty() ? juce::String("Same as the current values")
                            : differences.size() == 1
                                ? juce::String("1 control differs")
                                : juce::String(differences.size()) + " controls differ",
                            juce::dontSendNotification);
}

void SnapshotsComponent::updatePlaying()
{
    const auto& snapshots = editor.snapshots();
    if (!snapshots.isComparing())
    {
        playing.setText("Playing: the current edit", juce::dontSendNotification);
        playing.setColour(juce::Label::backgroundColourId, juce::Colour(0xFF607D8B));
        return;
    }
    juce::String text;
    if (snapshots.isPlayingB())
    {
        const auto b = snapshots.store().info(snapshots.compareB());
        text = "Playing B: " + (b.has_value() ? fromUtf8(b->label) : juce::String("snapshot"));
    }
    else
        text = "Playing A: the current edit";
    playing.setText(text, juce::dontSendNotification);
    playing.setColour(juce::Label::backgroundColourId,
                      snapshots.isPlayingB() ? playingB : playingA);
}

void SnapshotsComponent::selectRow(int row)
{
    list.selectRow(row);
}

juce::String SnapshotsComponent::snapshotText(int row) const
{
    if (row < 0 || row >= numSnapshotsShown())
        return {};
    const auto& info = shown[static_cast<size_t>(row)];
    return info.taken.formatted("%Y-%m-%d %H:%M:%S") + "  " + fromUtf8(info.label) +
           (info.automatic ? "" : "  *");
}

juce::String SnapshotsComponent::differenceText(int row) const
{
    if (row < 0 || row >= numDifferencesShown())
        return {};
    const auto& d = differences[static_cast<size_t>(row)];
    return fromUtf8(d.page) + " | " + fromUtf8(d.name) + " | " + fromUtf8(d.snapshot) + " | " +
           fromUtf8(d.current);
}

int SnapshotsComponent::getNumRows()
{
    return numSnapshotsShown();
}

void SnapshotsComponent::paintListBoxItem(int row, juce::Graphics& g, int width, int height,
                                          bool selected)
{
    if (row < 0 || row >= numSnapshotsShown())
        return;
    const auto& info = shown[static_cast<size_t>(row)];
    g.fillAll(selected ? juce::Colour(0xFFBBDEFB) : juce::Colours::white);
    g.setColour(juce::Colours::black);
    g.setFont(14.0f);
    g.drawText(info.taken.formatted("%d.%m. %H:%M"), 6, 0, 80, height,
               juce::Justification::centredLeft);
    g.setFont(juce::Font(14.0f, info.automatic ? juce::Font::plain : juce::Font::bold));
    g.drawText(fromUtf8(info.label), 90, 0, width - 96, height, juce::Justification::centredLeft,
               true);
    const auto& snapshots = editor.snapshots();
    if (snapshots.isComparing() &&
        (info.id == snapshots.compareB() || info.id == snapshots.compareA()))
    {
        const bool isB = info.id == snapshots.compareB();
        g.setColour(isB ? playingB : playingA);
        g.fillRect(0, 0, 4, height);
    }
}

void SnapshotsComponent::selectedRowsChanged(int lastRowSelected)
{
    const int id = lastRowSelected >= 0 && lastRowSelected < numSnapshotsShown()
                       ? shown[static_cast<size_t>(lastRowSelected)].id
                       : -1;
    if (id != editor.snapshots().selected())
        editor.snapshots().select(id); // the core tells every face, this one too
}

void SnapshotsComponent::paintRowBackground(juce::Graphics& g, int row, int, int, bool)
{
    g.fillAll(row % 2 == 0 ? juce::Colours::white : juce::Colour(0xFFF5F5F5));
}

void SnapshotsComponent::paintCell(juce::Graphics& g, int row, int column, int width, int height,
                                   bool)
{
    if (row < 0 || row >= numDifferencesShown())
        return;
    const auto& d = differences[static_cast<size_t>(row)];
    const std::string* text = column == pageColumn       ? &d.page
                              : column == nameColumn     ? &d.name
                              : column == snapshotColumn ? &d.snapshot
                                                         : &d.current;
    g.setColour(juce::Colours::black);
    g.setFont(14.0f);
    g.drawText(fromUtf8(*text), 4, 0, width - 8, height, juce::Justification::centredLeft, true);
}

// ---- the window ------------------------------------------------------------------------------

SnapshotsWindow::SnapshotsWindow(Editor& editor,
                                 std::function<bool(const juce::KeyPress&)> keyHandler)
    : ToolWindow(title, new SnapshotsComponent(editor), {560, 260}, std::move(keyHandler)),
      content(static_cast<SnapshotsComponent*>(getContentComponent()))
{
}

} // namespace kestra
