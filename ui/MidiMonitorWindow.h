#pragma once

// The MIDI monitor: a window of its own, beside the editor and not modal,
// that lists every message in and out (link/MessageLog.h), one line each:
// time, direction, hex bytes and meaning. Clear forgets the lines, Pause stops
// recording until pressed again, Save... writes every message to a text file.
// "Hide heartbeat" (on at first) folds the identity requests and replies that
// the link exchanges every few seconds into counter lines (link/MessageRows.h).
//
// The list follows the log from a timer on the message thread at most 30
// times a second, and only while the window is showing; the MIDI thread
// never waits for it.

#include "link/MessageLog.h"
#include "link/MessageRows.h"
#include "ui/ToolWindow.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <functional>

namespace kestra
{

class MidiMonitorComponent final : public juce::Component,
                                   private juce::ListBoxModel,
                                   private juce::Timer
{
public:
    explicit MidiMonitorComponent(MessageLog& log);
    ~MidiMonitorComponent() override;

    void resized() override;
    void paint(juce::Graphics& g) override;

    // Looks at the log now (the timer does this while the window shows).
    void update();
    // Writes every line held to the file; false when it could not be written.
    bool saveTo(const juce::File& file) const;

    int numRowsShown() const { return static_cast<int>(shown.size()); }
    juce::String rowText(int row) const; // a row as Save writes it
    juce::TextButton& clearButton() { return clear; }
    juce::TextButton& pauseButton() { return pause; }
    juce::TextButton& saveButton() { return save; }
    juce::ToggleButton& hideHeartbeatButton() { return hideHeartbeat; }
    int repaintsRequested() const { return updates; }

    static constexpr int refreshesPerSecond = 30;

private:
    // juce::ListBoxModel
    int getNumRows() override;
    void paintListBoxItem(int row, juce::Graphics& g, int width, int height,
                          bool selected) override;
    // juce::Timer
    void timerCallback() override;
    void visibilityChanged() override;
    void parentHierarchyChanged() override;
    void startOrStopFollowing();
    void chooseFileAndSave();

    MessageLog& log;
    MessageLog::Range shown;
    MessageRows rows;
    juce::ListBox list{"MIDI messages", this};
    juce::TextButton clear{"Clear"}, pause{"Pause"}, save{"Save..."};
    juce::ToggleButton hideHeartbeat{"Hide heartbeat"};
    juce::Label count;
    std::unique_ptr<juce::FileChooser> chooser;
    int updates = 0;
};

class MidiMonitorWindow final : public ToolWindow
{
public:
    // keyHandler gets every key the window does not use itself (Ctrl+M hides
    // the window through it, as in the editor).
    MidiMonitorWindow(MessageLog& log, std::function<bool(const juce::KeyPress&)> keyHandler);

    MidiMonitorComponent& monitor() { return *content; }

    static constexpr const char* title = "MIDI Monitor";
    static constexpr int minimumWidth = 480, minimumHeight = 200;

private:
    MidiMonitorComponent* content;
};

} // namespace kestra
