#pragma once

// Reaches inside the content component for tests: its controls, its link and
// its ports, and a recording device on the virtual MIDI ports.

#include "link/VirtualMidiServices.h"
#include "ui/MainContentComponent.h"

#include <condition_variable>
#include <functional>
#include <mutex>

namespace kestra
{

class EditorTestProbe
{
public:
    explicit EditorTestProbe(MainContentComponent& editorToProbe) : editor(editorToProbe) {}

    juce::Slider* slider(int number) const { return editor.sliderFor(number); }
    juce::Slider* chorusLevelSlider() const { return editor.chorusLevelSlider.get(); }
    CustomComboBox* selector(int number) const { return editor.selectorFor(number); }
    DeviceLink& link() const { return editor.link; }
    const LinkSupervisor& supervisor() const { return editor.supervisor; }

    juce::ImageButton& openButton() const { return editor.openButton; }
    juce::ImageButton& saveButton() const { return editor.saveButton; }
    juce::ImageButton& connectButton() const { return editor.connectButton; }
    juce::ImageButton& storeButton() const { return editor.storeButton; }
    juce::ImageButton& resetButton() const { return editor.resetButton; }
    juce::ImageButton& tonewheelButton() const { return editor.tonewheelButton; }
    juce::ImageButton& loadTonewheelButton() const { return editor.loadTonewheelButton; }
    juce::ImageButton& pageButton(int page) const
    {
        return editor.pageButtons[static_cast<size_t>(page)];
    }
    juce::ImageButton& mainViewButton() const { return editor.mainViewButton; }
    juce::ImageButton& drawbarViewButton() const { return editor.drawbarViewButton; }
    juce::ImageButton& overdriveClassicButton() const { return editor.overdriveClassicButton; }
    juce::ImageButton& overdriveRockButton() const { return editor.overdriveRockButton; }
    juce::ImageButton& rotaryCommonButton() const { return editor.rotaryCommonButton; }
    juce::ImageButton& rotaryClassicButton() const { return editor.rotaryClassicButton; }
    juce::ImageButton& rotaryRockButton() const { return editor.rotaryRockButton; }
    juce::Label& deviceLabel() const { return editor.deviceLabel; }
    juce::Label& firmwareLabel() const { return editor.firmwareLabel; }
    juce::ImageComponent& connectionIndicator() const { return editor.connectionIndicator; }
    juce::PopupMenu& tonewheelMenu() const { return editor.tonewheelMenu; }

    MessageLog& messageLog() const { return editor.messageLog; }
    MidiMonitorWindow* midiMonitor() const { return editor.midiMonitor.get(); }

    int currentPage() const { return editor.currentPage; }
    int toneGeneratorView() const { return editor.toneGeneratorView; }
    int overdriveView() const { return editor.overdriveView; }
    int rotaryView() const { return editor.rotaryView; }
    CustomAlertWindow* messageBox() const { return editor.currentMessageBox.get(); }
    juce::File lastFileFolder() const { return editor.lastFileFolder; }
    bool isTimerRunning(int id) const { return editor.timers.isRunning(id); }
    int inputIndex() const { return editor.ports.inputIndexInUse(); }
    int outputIndex() const { return editor.ports.outputIndexInUse(); }
    bool hasInput() const { return editor.ports.hasInput(); }
    bool hasOutput() const { return editor.ports.hasOutput(); }

    // Answers the tonewheel menu in place of a user: `answer` gets the menu as
    // it would be shown and returns the chosen item ID, 0 for dismissed.
    void answerTonewheelMenu(std::function<int(const juce::PopupMenu&)> answer)
    {
        editor.tonewheelMenuAnswer = std::move(answer);
    }

    // The link's flags set without a handshake, for tests of what depends on them.
    void pretendConnected(bool on)
    {
        editor.supervisor.connected = on;
        editor.projectSend.setLinkUp(on);
    }
    void pretendHeartbeatAnswered() { editor.supervisor.heartbeatAnswered = true; }
    void startTimer(int id, int milliseconds) { editor.timers.start(id, milliseconds); }
    void stopTimer(int id) { editor.timers.stop(id); }

    // The handshake on the open ports, without the search: an identity
    // request whose reply the link accepts.
    void startHandshake() { editor.supervisor.restartHandshake(false); }

    // Opens a port pair directly, without the search.
    void openPorts(int input, int output) { editor.ports.openPair(input, output); }

private:
    MainContentComponent& editor;
};

// A device on a virtual port pair that records what the editor sends.
class RecordingDevice
{
public:
    explicit RecordingDevice(VirtualMidiServices& services, const std::string& name = "Recorder")
        : midi(services)
    {
        input = midi.addInputPort(name);
        output = midi.addOutputPort(name,
                                    [this](const uint8_t* data, size_t size)
                                    {
                                        const std::lock_guard<std::mutex> lock(mutex);
                                        received.emplace_back(data, data + size);
                                        changed.notify_all();
                                    });
    }

    std::vector<std::vector<uint8_t>> take()
    {
        const std::lock_guard<std::mutex> lock(mutex);
        return std::exchange(received, {});
    }

    size_t count()
    {
        const std::lock_guard<std::mutex> lock(mutex);
        return received.size();
    }

    void send(const std::vector<uint8_t>& message) { midi.sendToEditor(input, message); }

    int input = -1;
    int output = -1;

private:
    VirtualMidiServices& midi;
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<std::vector<uint8_t>> received;
};

} // namespace kestra
