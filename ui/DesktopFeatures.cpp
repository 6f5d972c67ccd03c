// What a desktop editor is expected to do beyond its own commands: the keys
// of undo and redo (the editor's history), the MIDI monitor window
// (ui/MidiMonitorWindow.h), the Snapshots window and its keys
// (ui/SnapshotsWindow.h), and files dropped on the window or given on the
// command line.

#include "files/ProjectFile.h"
#include "files/TonewheelFile.h"
#include "link/NativeFile.h"
#include "ui/MainContentComponent.h"
#include "ui/MidiMonitorWindow.h"
#include "ui/SnapshotsWindow.h"

namespace kestra
{

namespace
{
// The editor's keys, whichever control has the focus, and also when none has:
// the top-level window hears a key then.
class WindowKeys final : public juce::KeyListener
{
public:
    explicit WindowKeys(MainContentComponent& editorToTell) : editor(editorToTell) {}
    bool keyPressed(const juce::KeyPress& key, juce::Component*) override
    {
        return editor.handleEditorKey(key) || editor.tabIntoWindow(key);
    }

private:
    MainContentComponent& editor;
};

enum class EditorKey
{
    none,
    undo,
    redo,
    monitor,
    snapshots,
    compare,
    takeSnapshot,
    page,
};

// Ctrl on Linux and Windows, Cmd on macOS (the command modifier).
EditorKey editorKeyFor(const juce::KeyPress& key)
{
    const auto modifiers = key.getModifiers();
    if (!modifiers.isCommandDown() || modifiers.isAltDown())
        return EditorKey::none;
    const auto c =
        juce::CharacterFunctions::toLowerCase(static_cast<juce::juce_wchar>(key.getKeyCode()));
    const bool shift = modifiers.isShiftDown();
    if (c == 'z')
        return shift ? EditorKey::redo : EditorKey::undo;
    if (c == 'y' && !shift)
        return EditorKey::redo;
    if (c == 'm' && !shift)
        return EditorKey::monitor;
    if (c == 'h' && !shift)
        return EditorKey::snapshots;
    if (c == 'b' && !shift)
        return EditorKey::compare;
    if (c == 's' && shift)
        return EditorKey::takeSnapshot;
    if (c >= '1' && c < '1' + numPages && !shift)
        return EditorKey::page;
    return EditorKey::none;
}

bool isProjectFile(const juce::File& file)
{
    return projectfile::hasProjectExtension(file.getFileExtension().toStdString());
}

bool isTonewheelFile(const juce::File& file)
{
    return tonewheelfile::checkExtension(file.getFileExtension().toStdString()) ==
           tonewheelfile::Verdict::accepted;
}
} // namespace

void MainContentComponent::parentHierarchyChanged()
{
    if (windowKeys == nullptr)
        windowKeys = std::make_unique<WindowKeys>(*this);
    auto* top = getTopLevelComponent();
    if (top == this)
        top = nullptr; // on the desktop itself: keyPressed hears the keys
    if (top == windowWithKeys.getComponent())
        return;
    if (windowWithKeys != nullptr)
    {
        windowWithKeys->removeKeyListener(windowKeys.get());
        windowWithKeys->removeKeyListener(&focusRing);
    }
    windowWithKeys = top;
    if (top != nullptr)
    {
        top->addKeyListener(&focusRing); // a Tab that no control used
        top->addKeyListener(windowKeys.get());
    }
}

bool MainContentComponent::keyPressed(const juce::KeyPress& key)
{
    return handleEditorKey(key) || tabIntoWindow(key);
}

bool MainContentComponent::handleEditorKey(const juce::KeyPress& key)
{
    if (zoom.keyPressed(key))
        return true;
    switch (editorKeyFor(key))
    {
    case EditorKey::undo:
        editor.undo();
        return true;
    case EditorKey::redo:
        editor.redo();
        return true;
    case EditorKey::monitor:
        toggleMidiMonitor();
        return true;
    case EditorKey::snapshots:
        toggleSnapshots();
        return true;
    case EditorKey::compare:
        editor.snapshots().compare();
        return true;
    case EditorKey::takeSnapshot:
        editor.snapshots().take();
        return true;
    case EditorKey::page:
        return choosePageFromKeyboard(key.getKeyCode() - '1');
    case EditorKey::none:
        break;
    }
    return false;
}

// ---- the MIDI monitor ----------------------------------------------------------------------

void MainContentComponent::toggleMidiMonitor()
{
    if (midiMonitor == nullptr)
    {
        midiMonitor = std::make_unique<MidiMonitorWindow>(editor.messageLog(),
                                                          [this](const juce::KeyPress& key)
                                                          { return handleEditorKey(key); });
        midiMonitor->placeBeside(*getTopLevelComponent());
    }
    if (midiMonitor->isVisible())
    {
        midiMonitor->setVisible(false);
        return;
    }
    midiMonitor->setVisible(true);
    midiMonitor->toFront(false); // the editor keeps the keyboard
}

// ---- the Snapshots window ------------------------------------------------------------------

void MainContentComponent::toggleSnapshots()
{
    if (snapshots == nullptr)
    {
        snapshots = std::make_unique<SnapshotsWindow>(editor, [this](const juce::KeyPress& key)
                                                      { return handleEditorKey(key); });
        snapshots->placeBeside(*getTopLevelComponent());
    }
    if (snapshots->isVisible())
    {
        snapshots->setVisible(false);
        return;
    }
    editor.snapshots().refresh(); // what kestra-cli has kept meanwhile
    snapshots->snapshots().update();
    snapshots->setVisible(true);
    snapshots->toFront(false); // the editor keeps the keyboard
}

// ---- files from the desktop ------------------------------------------------------------------

// One project or tonewheel file, and only while no box is open (the toolbar
// cannot be reached then either). Anything else is refused at once, so the
// desktop shows the drop as refused.
bool MainContentComponent::isInterestedInFileDrag(const juce::StringArray& files)
{
    if (files.size() != 1 || dialogs.isOpen())
        return false;
    const juce::File file(files[0]);
    return isProjectFile(file) || isTonewheelFile(file);
}

void MainContentComponent::filesDropped(const juce::StringArray& files, int, int)
{
    if (!isInterestedInFileDrag(files))
        return;
    // Boxes and menus run after the desktop has finished the drop. The file
    // as the editor carries it, so that its name reaches the file system
    // byte for byte (link/NativeFile.h).
    const auto file = nativefile::carried(juce::File(files[0]));
    juce::MessageManager::callAsync(
        [safe = juce::Component::SafePointer<MainContentComponent>(this), file]
        {
            if (safe != nullptr)
                safe->openFile(file);
        });
}

void MainContentComponent::openFile(const juce::File& file)
{
    if (!isTonewheelFile(file))
    {
        editor.openProjectFrom(file); // its checks refuse anything but a project file
        return;
    }
    // TONEWHEEL's way: nothing while not connected; else the slot menu, then
    // the file's checks and the confirmation.
    if (!editor.isConnected())
        return;
    showTonewheelMenu(
        [this, file](int slot)
        {
            if (slot != 0)
                editor.loadTonewheelFrom(file, slot);
        });
}

juce::File MainContentComponent::fileFromCommandLine(const juce::StringArray& arguments,
                                                     const juce::File& workingFolder)
{
    for (const auto& argument : arguments)
        if (argument.isNotEmpty() && !argument.startsWith("-"))
            return workingFolder.getChildFile(argument.unquoted());
    return {};
}

} // namespace kestra
