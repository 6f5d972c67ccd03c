#pragma once

// The editor without its window: everything the editor does, on the message
// thread, for whichever face drives it (the window, the command line, a test).
// It owns
//   MessageLog      every message in and out (the MIDI monitor's)
//   DeviceLink      the parameter store, names, identity replies, the tonewheel
//                   transfer: what the MIDI input thread touches
//   PortConnector   the MIDI ports and the settings file
//   LinkSupervisor  search, handshake, heartbeat, store and reset, and the link timers
//   ProjectSendController      the full send after an opening
//   TonewheelUploadController  the upload's box, events, cancel, handshake
//   ProjectFileController      save and open: read, check, take, notices
//   TonewheelFileController    load a tonewheel file and start its upload
//   EditHistory     undo and redo of the user's edits
//   Snapshots       the snapshots (their store, the selection, A/B compare):
//                   taken before what overwrites a sound, on demand, recalled
//                   and compared; the faces call it through snapshots()
// and is the controllers' view and the snapshots' host: it turns what they
// show into Dialogs calls and EditorListener calls. It asks through Dialogs and never waits for an
// answer. It needs no component and links no GUI module.
//
// Threads: the MIDI input thread only reaches DeviceLink and the message log
// (handleIncomingMidiMessage) and posts; every other function runs on the
// message thread.

#include "editor/Dialogs.h"
#include "editor/EditHistory.h"
#include "editor/Snapshots.h"
#include "files/ProjectFileController.h"
#include "files/ProjectSendController.h"
#include "files/TonewheelFileController.h"
#include "link/DeviceLink.h"
#include "link/LinkSupervisor.h"
#include "link/MessageLog.h"
#include "link/MidiServices.h"
#include "link/PortConnector.h"
#include "link/TonewheelUploadController.h"

#include <juce_audio_devices/juce_audio_devices.h>
#include <juce_events/juce_events.h>

#include <memory>
#include <set>
#include <vector>

namespace kestra
{

class JuceLinkTimers;

// The commands that keep their button pressed until they end.
enum class EditorButton
{
    connect,
    store,
    reset,
    loadTonewheel,
};

// What the editor tells its faces. Every call comes on the message thread.
class EditorListener
{
public:
    virtual ~EditorListener() = default;
    // The link came up or went down: isConnected(), the model, revision and
    // version text of deviceLink().
    virtual void linkChanged() {}
    // A command that kept its button pressed has ended.
    virtual void buttonReleased(EditorButton) {}
    // Any value may have changed (a dump, a reset, an opening, an undo). With
    // modelChanged, the rows that the pages show may have changed too.
    virtual void valuesChanged(bool modelChanged) { juce::ignoreUnused(modelChanged); }
    // The instrument's values have all arrived (the dump after a connection),
    // right after the valuesChanged that shows them.
    virtual void instrumentValuesReceived() {}
    // One stored value changed outside the user's own edit: the instrument
    // reported it while the link was idle, or a setting went out mended.
    virtual void parameterChanged(int number) { juce::ignoreUnused(number); }
    virtual void tonewheelNameChanged(int slot) { juce::ignoreUnused(slot); }
    // The full send of an opened project has ended, complete or not.
    virtual void projectSendEnded() {}
    // A tonewheel upload has ended: finished, or failed or cancelled.
    virtual void tonewheelUploadEnded(bool finished) { juce::ignoreUnused(finished); }
    // The snapshots, the one selected, or what Compare plays have changed.
    virtual void snapshotsChanged() {}
};

class Editor final : private juce::MessageListener,
                     private juce::MidiInputCallback,
                     private LinkHost,
                     private LinkSupervisor::Window,
                     private ProjectSendController::View,
                     private TonewheelUploadController::View,
                     private ProjectFileController::View,
                     private TonewheelFileController::View,
                     private Snapshots::Host
{
public:
    // With no services, the system's MIDI ports. With no timers, JUCE timers
    // on the message thread; with no clock, the steady clock. With no
    // snapshot folder, "Snapshots" in the settings folder.
    Editor(std::unique_ptr<MidiServices> services, Dialogs& dialogs, LinkTimers* timers = nullptr,
           projectfile::PacingClock* pacingClock = nullptr,
           const juce::File& snapshotFolder = juce::File());
    ~Editor() override;

    void addListener(EditorListener* listener);
    void removeListener(EditorListener* listener);

    // ---- the link ---------------------------------------------------------------------
    // CONNECT pressed (on: the search and handshake) or released (off).
    void connect(bool on);
    // CONNECT on a port pair given by its indices, without the search: the
    // pair opens and the handshake starts on it, with the dump's time-out
    // (no reply: the dump's failure notice). A pair that cannot be opened gets
    // the busy port's notice. Once connected the pair is remembered, as a
    // pair the search found is. For the command line's --port.
    void connectTo(int inputIndex, int outputIndex);
    // STORE and RESET pressed (on) or pressed again (off).
    void store(bool on);
    void reset(bool on);
    bool isConnected() const { return supervisor.isConnected(); }

    // ---- the user's edits: by control, in the units it shows --------------------------
    // A control of the catalogue (parameterInfo(n), or chorusLevelControl) set
    // to a value as it shows: a slider's value in its unit, a selector's
    // option index. The core writes what the control needs (the chorus pair
    // both of its values, from the other slider as it shows; an overdrive
    // model its whole row; a setting its option), sends it, and keeps it as
    // one undo step, or as part of the control's gesture under way. A value
    // the control cannot show changes nothing.
    void setValue(const ParameterInfo& control, double shown);
    // Many values at once (a script's long list): the record takes them, and
    // a connected instrument gets the parameters that changed as after an
    // opening, framed in bulk mode and paced, with the opening's box. One
    // step of the history. False (nothing changes) while a box is open, a
    // send runs or the link is busy.
    bool setValues(const ParameterValues& values);
    // A mouse gesture on a slider: every change in between is one undo step,
    // and what the instrument reports for the control meanwhile waits for its end.
    void beginGesture(const ParameterInfo& control);
    void endGesture(const ParameterInfo& control);
    // Not while a box is open: a send, a search or an upload is running, or
    // the user has a question to answer first.
    bool undo();
    bool redo();

    // ---- files ------------------------------------------------------------------------
    // With the file chooser; whenClosed runs once the chooser has closed and
    // what was chosen has been opened or saved.
    void openProjectFile(std::function<void()> whenClosed = {});
    void saveProjectFile(std::function<void()> whenClosed = {});
    // Only while connected; the slot is 3, 4 or 5.
    void loadTonewheelFile(int slot);
    // LOAD...: into the slot the Tonewheel Model selector names.
    void loadTonewheelIntoSelectedSlot();
    // A file already chosen.
    void openProjectFrom(const juce::File& file);
    void saveProjectTo(const juce::File& file);
    void loadTonewheelFrom(const juce::File& file, int slot);

    // ---- snapshots ----------------------------------------------------------------------
    // Taken on demand, selected, recalled, compared, renamed, deleted and
    // exported through the part itself. The automatic ones are taken by the
    // commands: when the handshake's dump completes, before an opened project
    // or a reset is sent, after a store is confirmed, and before a dump
    // replaces values changed while not connected.
    Snapshots& snapshots() { return snapshotList; }
    const Snapshots& snapshots() const { return snapshotList; }

    // ---- the timers' expiries -----------------------------------------------------------
    void timerExpired(int timerId);

    // ---- what the faces show ------------------------------------------------------------
    DeviceLink& deviceLink() { return link; }
    const DeviceLink& deviceLink() const { return link; }
    LinkSupervisor& linkSupervisor() { return supervisor; }
    const LinkSupervisor& linkSupervisor() const { return supervisor; }
    PortConnector& midiPorts() { return ports; }
    LinkTimers& linkTimers() { return timers; }
    MessageLog& messageLog() { return log; }
    const juce::File& lastFolder() const { return lastFileFolder; }
    bool isSendingProject() const { return projectSend.isSending(); }

private:
    struct InternalMessage;

    // juce::MessageListener: the posts of the MIDI input thread and the pacer
    void handleMessage(const juce::Message& message) override;
    // juce::MidiInputCallback: the MIDI input thread
    void handleIncomingMidiMessage(juce::MidiInput*, const juce::MidiMessage& message) override;
    void handlePartialSysexMessage(juce::MidiInput*, const juce::uint8*, int, double) override {}

    // LinkHost
    void sendToInstrument(const uint8_t* data, size_t size) override;
    void postInternalMessage(int type, int value) override;

    // LinkSupervisor::Window
    void showLinkNotice(LinkNotice notice) override;
    void showSearchingBox() override;
    void releaseLinkButton(LinkButton button) override;
    void onIdentityRejected(int reason) override;
    void askReset(std::function<void(bool yes)> onAnswer) override;
    void showLinkUp() override;
    void showLinkDown() override;
    void showInstrumentValues() override;
    void showResetValues() override;

    // ProjectSendController::View
    void showTransmissionBox() override;
    void closeTransmissionBox() override;

    // TonewheelUploadController::View
    void showTransferBox() override;
    bool isTransferBoxShown() const override;
    void showBytesRemaining(int32_t remaining) override;
    void showProgress(double done) override;
    void closeTransferBox() override;
    void showTransferErrorBox(int errorCode, std::function<void()> then) override;
    void showTransferCancelled() override;

    // ProjectFileController::View and TonewheelFileController::View
    void showFileNotice(FileNotice notice) override;
    void showOpenedProject(bool modelChanged) override;
    void projectOpened(const ProjectRecord& before, const ProjectRecord& opened) override;
    void askTonewheelReplacement(const std::string& slotName,
                                 std::function<void(bool yes)> onAnswer) override;

    // A value that the instrument reported while the link was idle.
    void parameterReported(int number);
    // Sends one value; a setting that went out mended is shown as sent.
    void sendParameter(int number);
    // An undo or redo step: values stored, shown, and sent when connected.
    void restoreParameters(const SendList& numbers, const ParameterValues& values);
    void chooseFileToSave(const juce::File& startAt, std::function<void()> whenClosed);

    // Snapshots::Host
    ProjectRecord currentRecord() const override { return link.record(); }
    std::string instrumentVersion() const override { return link.versionText(); }
    std::array<std::string, numTonewheelSlots> slotNames() const override
    {
        return link.tonewheelNames();
    }
    bool connected() const override { return supervisor.isConnected(); }
    bool canApply() const override;
    void applyRecord(const ProjectRecord& target, bool asStep) override;
    void snapshotsChanged() override;

    // A callback that does nothing once the editor has gone.
    template <typename Function> auto whileAlive(Function function);

    Dialogs& dialogs;
    std::vector<EditorListener*> listeners;
    // Tells every listener; one that a call removes hears no more.
    template <typename Call> void tell(Call call);

    // Appended from both threads; declared before the ports and the link, which go first.
    MessageLog log;

    // In this order, so that the ports close (and the MIDI input thread
    // stops) before the device link goes, and the supervisor goes first.
    DeviceLink link{*this};
    PortConnector ports;
    std::unique_ptr<JuceLinkTimers> ownTimers;
    LinkTimers& timers;
    LinkSupervisor supervisor{link, timers, *this, ports};

    EditHistory editHistory;
    // The control of the gesture under way (none: null), and the values the
    // instrument reported for it meanwhile.
    const ParameterInfo* gestureControl = nullptr;
    std::set<int> heldReports;

    juce::File lastFileFolder;
    std::unique_ptr<projectfile::SteadyPacingClock> ownClock;
    projectfile::PacingClock& clock;
    ProjectSendController projectSend{link, *this, supervisor, timers, *this, clock};
    TonewheelUploadController tonewheelUpload{link, *this, supervisor, ports, *this};
    ProjectFileController projectFiles{link, supervisor, projectSend, *this, lastFileFolder};
    TonewheelFileController tonewheelFiles{link, supervisor, tonewheelUpload, *this,
                                           lastFileFolder};

    // The boxes that stay while work goes on; each closes with its handle.
    std::unique_ptr<Dialogs::Progress> searchingBox, transmissionBox, transferBox;

    Snapshots snapshotList;

    JUCE_DECLARE_WEAK_REFERENCEABLE(Editor)
    JUCE_DECLARE_NON_COPYABLE(Editor)
};

} // namespace kestra
