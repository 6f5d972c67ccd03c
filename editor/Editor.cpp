#include "editor/Editor.h"

#include "editor/MessageTexts.h"
#include "files/ProjectFile.h"
#include "link/JuceLinkTimers.h"
#include "link/NativeFile.h"
#include "link/SettingsFile.h"
#include "model/Conversions.h"

#include <algorithm>
#include <utility>

namespace kestra
{

// The only hand-over from the MIDI input thread (and the pacer's) to the message thread.
struct Editor::InternalMessage final : public juce::Message
{
    InternalMessage(int messageType, int messageValue) : type(messageType), value(messageValue) {}
    const int type;
    const int value;
};

namespace
{
const char* noticeText(LinkNotice notice)
{
    switch (notice)
    {
    case LinkNotice::portBusy:
        return texts::portBusy;
    case LinkNotice::deviceNotFound:
        return texts::deviceNotFound;
    case LinkNotice::dumpFailed:
        return texts::dumpFailed;
    case LinkNotice::connectionLost:
        return texts::connectionLost;
    case LinkNotice::storeConfirmed:
        return texts::storeConfirmed;
    case LinkNotice::storeNotConfirmed:
        return texts::storeNotConfirmed;
    case LinkNotice::resetConfirmed:
        return texts::resetConfirmed;
    case LinkNotice::resetNotConfirmed:
        return texts::resetNotConfirmed;
    }
    return "";
}

const char* noticeText(FileNotice notice)
{
    switch (notice)
    {
    case FileNotice::notValid:
        return texts::fileNotValid;
    case FileNotice::corrupted:
        return texts::fileCorrupted;
    case FileNotice::notSaved:
        return texts::projectNotSaved;
    }
    return "";
}

EditorButton editorButtonFor(LinkButton button)
{
    switch (button)
    {
    case LinkButton::connect:
        return EditorButton::connect;
    case LinkButton::store:
        return EditorButton::store;
    case LinkButton::reset:
        return EditorButton::reset;
    }
    return EditorButton::connect;
}

// A post of the editor's own, beside the link's InternalMessageType: snapshots
// were left out when the store was read, said once the message loop runs.
constexpr int SnapshotsLeftOut = 100;
// The settings file was damaged and has been put aside; said once, the same way.
constexpr int SettingsSetAside = 101;

juce::File defaultSnapshotFolder()
{
    return settingsFolder().getChildFile("Snapshots");
}
} // namespace

template <typename Function> auto Editor::whileAlive(Function function)
{
    return [editor = juce::WeakReference<Editor>(this), function](auto&&... arguments)
    {
        if (editor != nullptr)
            function(std::forward<decltype(arguments)>(arguments)...);
    };
}

template <typename Call> void Editor::tell(Call call)
{
    const auto all = listeners;
    for (auto* listener : all)
        if (std::find(listeners.begin(), listeners.end(), listener) != listeners.end())
            call(*listener);
}

void Editor::addListener(EditorListener* listener)
{
    if (std::find(listeners.begin(), listeners.end(), listener) == listeners.end())
        listeners.push_back(listener);
}

void Editor::removeListener(EditorListener* listener)
{
    listeners.erase(std::remove(listeners.begin(), listeners.end(), listener), listeners.end());
}

Editor::Editor(std::unique_ptr<MidiServices> services, Dialogs& dialogsToUse,
               LinkTimers* injectedTimers, projectfile::PacingClock* pacingClock,
               const juce::File& snapshotFolder)
    : dialogs(dialogsToUse),
      ports(services != nullptr ? std::move(services) : createSystemMidiServices(), *this),
      ownTimers(injectedTimers != nullptr ? nullptr
                                          : std::make_unique<JuceLinkTimers>(
                                                [this](int timerId) { timerExpired(timerId); })),
      timers(injectedTimers != nullptr ? *injectedTimers : *ownTimers),
      editHistory(
          EditHistory::Editor{[this](const SendList& numbers, const ParameterValues& values)
                              { restoreParameters(numbers, values); },
                              [this](const ProjectRecord& record) { projectFiles.take(record); },
                              [this](const ProjectRecord& record) { applyRecord(record, false); }}),
      ownClock(pacingClock != nullptr ? nullptr
                                      : std::make_unique<projectfile::SteadyPacingClock>()),
      clock(pacingClock != nullptr ? *pacingClock : *ownClock),
      snapshotList(*this, dialogs,
                   snapshotFolder != juce::File() ? snapshotFolder : defaultSnapshotFolder(),
                   lastFileFolder)
{
    ports.logSentMessagesTo(&log);
    link.setRecord(ProjectRecord::initial());
    lastFileFolder =
        juce::File::getSpecialLocation(juce::File::currentApplicationFile).getParentDirectory();
    // What could not be read is said once, when the faces are there to show it.
    if (snapshotList.load())
        postInternalMessage(SnapshotsLeftOut, 0);
    if (takeSettingsSetAside())
        postInternalMessage(SettingsSetAside, 0);
}

Editor::~Editor()
{
    masterReference.clear(); // no box's answer reaches a half-destroyed editor
    snapshotList.dropAnswers();
    // Timers and ports go first, so that nothing calls back in meanwhile.
    if (ownTimers != nullptr)
        ownTimers->stopAll();
    // Closed in the middle of a project send or a tonewheel upload: the
    // instrument must not be left in bulk mode, nor waiting for the rest.
    projectSend.shutDown();
    link.endTransfer();
    ports.close(); // stops the MIDI input thread's calls
    searchingBox.reset();
    transmissionBox.reset();
    transferBox.reset();
    dialogs.close();
}

// ---- the link ------------------------------------------------------------------------------

void Editor::connect(bool on)
{
    supervisor.setConnected(false);
    supervisor.connect(on);
}

void Editor::connectTo(int inputIndex, int outputIndex)
{
    supervisor.setConnected(false);
    supervisor.connect(false);
    ports.openPair(inputIndex, outputIndex);
    if (!ports.hasInput() || !ports.hasOutput())
    {
        ports.close();
        showLinkNotice(LinkNotice::portBusy);
        releaseLinkButton(LinkButton::connect);
        return;
    }
    supervisor.restartHandshake(true);
}

void Editor::store(bool on)
{
    supervisor.store(on);
}

void Editor::reset(bool on)
{
    supervisor.reset(on);
}

void Editor::timerExpired(int timerId)
{
    if (timerId == BulkSendTimer)
        projectSend.timerExpired();
    else
        supervisor.timerExpired(timerId);
}

// ---- the message thread's side of the MIDI input -------------------------------------------

void Editor::handleMessage(const juce::Message& message)
{
    const auto* internal = dynamic_cast<const InternalMessage*>(&message);
    if (internal == nullptr)
        return;

    switch (internal->type)
    {
    case DoneReceived:
        supervisor.doneReceived();
        break;
    case ParameterChanged:
        // Values that come with a dump, a store or a reset are shown at its end.
        if (supervisor.state() == Idle)
            parameterReported(internal->value);
        break;
    case TonewheelNameChanged:
        if (supervisor.state() == Idle)
            tell([&](EditorListener& l) { l.tonewheelNameChanged(internal->value); });
        break;
    case IdentityReceived:
    {
        // The values changed while not connected are kept before the dump
        // that this reply may start replaces them.
        const bool mayStartDump = !supervisor.isConnected() && supervisor.isAwaitingIdentity();
        const auto before = link.record();
        supervisor.identityReceived();
        if (mayStartDump && supervisor.state() == AwaitingSection7D)
            snapshotList.dumpStarting(before);
        break;
    }
    case SnapshotsLeftOut:
        dialogs.notice(texts::snapshotsLeftOut);
        break;
    case SettingsSetAside:
        dialogs.notice(texts::settingsSetAside);
        break;
    case TransferEvent:
        tonewheelUpload.handleEvent(internal->value);
        if (internal->value != TransferProgress)
            tell([&](EditorListener& l)
                 { l.tonewheelUploadEnded(internal->value == TransferFinished); });
        break;
    case ProjectSendEnded:
        projectSend.sendEnded(internal->value);
        break;
    default:
        break;
    }
}

void Editor::handleIncomingMidiMessage(juce::MidiInput*, const juce::MidiMessage& message)
{
    // MIDI input thread: stores, runs the File Dump replies and posts; nothing else.
    log.append(MessageDirection::in, message.getRawData(),
               static_cast<size_t>(message.getRawDataSize()));
    link.handleIncoming(message.getRawData(), static_cast<size_t>(message.getRawDataSize()));
}

void Editor::sendToInstrument(const uint8_t* data, size_t size)
{
    ports.send(data, size);
}

void Editor::postInternalMessage(int type, int value)
{
    postMessage(new InternalMessage(type, value));
}

// ---- values --------------------------------------------------------------------------------

void Editor::parameterReported(int number)
{
    // The slider under the user's hand keeps the gesture; the report waits for its end.
    if (gestureControl != nullptr && controlReads(*gestureControl, number))
    {
        heldReports.insert(number);
        return;
    }
    tell([number](EditorListener& l) { l.parameterChanged(number); });
}

void Editor::sendParameter(int number)
{
    if (link.sendParameter(number))
        tell([number](EditorListener& l) { l.parameterChanged(number); });
    // The gesture's own value went out after a report: the report is superseded.
    heldReports.erase(number);
}

void Editor::setValue(const ParameterInfo& control, double shown)
{
    const auto& D = defaultValues(link.hardwareRevision());
    ParameterValues before{}, after{};
    const auto sends = link.updateParameterValues(
        [&](ParameterValues& v)
        {
            before = v;
            const auto list = storeControlChange(v, D, control, shown);
            after = v;
            return list;
        });
    if (sends.count == 0)
        return; // not a control, or not a value it shows
    for (int m : sends)
        sendParameter(m);
    editHistory.parameterChanged(&control, sends, before, after);
    snapshotList.userEdited();
}

bool Editor::setValues(const ParameterValues& values)
{
    if (!canApply())
        return false;
    auto target = link.record();
    target.parameterValues = values;
    applyRecord(target, true);
    snapshotList.userEdited();
    return true;
}

void Editor::beginGesture(const ParameterInfo& control)
{
    if (!isCatalogueControl(control))
        return;
    gestureControl = &control;
    editHistory.gestureStarted();
}

void Editor::endGesture(const ParameterInfo& control)
{
    if (&control != gestureControl)
        return;
    editHistory.gestureEnded();
    gestureControl = nullptr;
    const auto held = std::exchange(heldReports, {});
    if (supervisor.state() != Idle)
        return; // a dump, store or reset shows its values at its end
    for (int number : held)
        tell([number](EditorListener& l) { l.parameterChanged(number); });
}

bool Editor::undo()
{
    if (dialogs.isOpen() || !editHistory.undo())
        return false;
    snapshotList.userEdited();
    return true;
}

bool Editor::redo()
{
    if (dialogs.isOpen() || !editHistory.redo())
        return false;
    snapshotList.userEdited();
    return true;
}

// A step undone or redone: its values are stored and shown again, and go to a
// connected instrument in the order the user's change sent them.
void Editor::restoreParameters(const SendList& numbers, const ParameterValues& values)
{
    link.updateParameterValues(
        [&](ParameterValues& v)
        {
            for (int n : numbers)
                v[static_cast<size_t>(n)] = values[static_cast<size_t>(n)];
            return 0;
        });
    tell([](EditorListener& l) { l.valuesChanged(false); });
    if (supervisor.isConnected())
        for (int n : numbers)
            sendParameter(n);
}

// ---- files -----------------------------------------------------------------------------------

void Editor::openProjectFile(std::function<void()> whenClosed)
{
    dialogs.chooseFile(Dialogs::FileKind::openProject, lastFileFolder,
                       whileAlive(
                           [this, whenClosed](const juce::File& file)
                           {
                               if (file != juce::File())
                                   openProjectFrom(file);
                               if (whenClosed)
                                   whenClosed();
                           }));
}

void Editor::saveProjectFile(std::function<void()> whenClosed)
{
    chooseFileToSave(lastFileFolder, std::move(whenClosed)); // saving never moves it
}

void Editor::chooseFileToSave(const juce::File& startAt, std::function<void()> whenClosed)
{
    dialogs.chooseFile(
        Dialogs::FileKind::saveProject, startAt,
        whileAlive(
            [this, whenClosed](const juce::File& chosen)
            {
                if (chosen == juce::File())
                {
                    if (whenClosed)
                        whenClosed();
                    return;
                }
                // A name without the project extension gets it, so that OPEN
                // takes the file again. The chooser has only warned about the
                // name as typed: when the name with ".tkp" belongs to an
                // existing file, the chooser asks again with that name, and its
                // warning covers it.
                const auto target = chosen.getSiblingFile(juce::String::fromUTF8(
                    projectfile::withProjectExtension(chosen.getFileName().toStdString()).c_str()));
                if (target != chosen && nativefile::kindOf(target) != nativefile::Kind::missing)
                {
                    chooseFileToSave(target, whenClosed);
                    return;
                }
                saveProjectTo(target);
                if (whenClosed)
                    whenClosed();
            }));
}

void Editor::loadTonewheelFile(int slot)
{
    if (!tonewheelFiles.canLoad())
        return;
    dialogs.chooseFile(Dialogs::FileKind::tonewheel, lastFileFolder,
                       whileAlive(
                           [this, slot](const juce::File& file)
                           {
                               if (file != juce::File())
                                   loadTonewheelFrom(file, slot);
                           }));
}

void Editor::loadTonewheelIntoSelectedSlot()
{
    // The integer part of the selected tonewheel model names the slot. An
    // opened project may hold any finite value there: only the alternative
    // slots take a tonewheel, so no other value opens the file chooser.
    const float value = link.parameterValue(tonewheelModelParameter);
    if (value >= static_cast<float>(firstAlternativeSlot) &&
        value < static_cast<float>(numTonewheelSlots))
        loadTonewheelFile(static_cast<int>(value));
}

void Editor::openProjectFrom(const juce::File& file)
{
    // Its name as it can be shown: a name that is not UTF-8 escaped, never another name.
    snapshotList.openingFile(juce::String::fromUTF8(nativefile::shownName(file).c_str()));
    projectFiles.openFrom(file);
}

void Editor::saveProjectTo(const juce::File& file)
{
    projectFiles.saveTo(file);
}

void Editor::loadTonewheelFrom(const juce::File& file, int slot)
{
    if (slot < 0 || slot >= numTonewheelSlots)
        return;
    tonewheelFiles.loadFrom(file, static_cast<uint8_t>(slot));
}

// ---- LinkSupervisor::Window ------------------------------------------------------------------

void Editor::showLinkNotice(LinkNotice notice)
{
    if (notice == LinkNotice::storeConfirmed)
        snapshotList.storeConfirmed();
    dialogs.notice(noticeText(notice));
}

void Editor::showSearchingBox()
{
    searchingBox =
        dialogs.progress(texts::searching, whileAlive([this] { supervisor.cancelSearch(); }));
}

void Editor::releaseLinkButton(LinkButton button)
{
    tell([button](EditorListener& l) { l.buttonReleased(editorButtonFor(button)); });
}

void Editor::onIdentityRejected(int reason)
{
    releaseLinkButton(LinkButton::connect); // the ports stay open until the next connect
    dialogs.notice(reason == EditorOutOfDate     ? texts::editorOutOfDate
                   : reason == FirmwareOutOfDate ? texts::firmwareOutOfDate
                                                 : texts::modelNotSupported);
}

void Editor::askReset(std::function<void(bool yes)> onAnswer)
{
    dialogs.askYesOrNo(texts::resetQuestion, whileAlive(
                                                 [this, onAnswer](bool yes)
                                                 {
                                                     if (yes)
                                                         snapshotList.resetAccepted();
                                                     onAnswer(yes);
                                                 }));
}

void Editor::showLinkUp()
{
    projectSend.setLinkUp(true);
    tell([](EditorListener& l) { l.linkChanged(); });
}

void Editor::showLinkDown()
{
    projectSend.setLinkUp(false);
    tell([](EditorListener& l) { l.linkChanged(); });
}

void Editor::showInstrumentValues()
{
    dialogs.close();
    editHistory.clear(); // the instrument's values replace everything the steps knew
    snapshotList.instrumentValuesArrived();
    tell([](EditorListener& l) { l.valuesChanged(true); });
    // The instrument as found. The link is declared up right after this.
    snapshotList.instrumentFound(link.modelIndex(), link.hardwareRevision());
    tell([](EditorListener& l) { l.instrumentValuesReceived(); });
}

void Editor::showResetValues()
{
    editHistory.clear();
    snapshotList.endCompare();
    tell([](EditorListener& l) { l.valuesChanged(false); });
}

// ---- ProjectSendController::View -------------------------------------------------------------

void Editor::showTransmissionBox()
{
    transmissionBox = dialogs.progress(texts::transmittingParameters, nullptr);
}

void Editor::closeTransmissionBox()
{
    // Unless another box has replaced it meanwhile.
    if (transmissionBox != nullptr)
        transmissionBox->close();
    transmissionBox.reset();
    tell([](EditorListener& l) { l.projectSendEnded(); });
}

// ---- TonewheelUploadController::View ---------------------------------------------------------

void Editor::showTransferBox()
{
    transferBox = dialogs.progress(texts::transmittingTonewheel,
                                   whileAlive([this] { tonewheelUpload.cancel(); }));
    // A 1 MiB upload takes minutes on a real MIDI link: a bar beneath the text
    // shows how far it is.
    transferBox->setProgress(0.0);
}

bool Editor::isTransferBoxShown() const
{
    return transferBox != nullptr && transferBox->isShown();
}

void Editor::showBytesRemaining(int32_t remaining)
{
    if (transferBox != nullptr)
        transferBox->setText(std::string(texts::transmittingTonewheel) + std::to_string(remaining));
}

void Editor::showProgress(double done)
{
    if (transferBox != nullptr)
        transferBox->setProgress(done);
}

void Editor::closeTransferBox()
{
    if (transferBox != nullptr)
        transferBox->close();
    transferBox.reset();
}

void Editor::showTransferErrorBox(int errorCode, std::function<void()> then)
{
    const char* text = tonewheelErrorText(errorCode);
    dialogs.notice(std::string(texts::transmissionAborted) +
                       (text != nullptr ? text : texts::unknownTransferError),
                   whileAlive([then] { then(); }));
}

void Editor::showTransferCancelled()
{
    tell([](EditorListener& l) { l.buttonReleased(EditorButton::loadTonewheel); });
    dialogs.notice(std::string(texts::transmissionAborted) + texts::tonewheelDeleted);
}

// ---- ProjectFileController::View, TonewheelFileController::View ------------------------------

void Editor::showFileNotice(FileNotice notice)
{
    dialogs.notice(noticeText(notice));
}

void Editor::showOpenedProject(bool modelChanged)
{
    tell([modelChanged](EditorListener& l) { l.valuesChanged(modelChanged); });
}

void Editor::projectOpened(const ProjectRecord& before, const ProjectRecord& opened)
{
    snapshotList.projectOpening(before);
    editHistory.projectOpened(before, opened);
    snapshotList.userEdited();
}

void Editor::askTonewheelReplacement(const std::string& slotName,
                                     std::function<void(bool yes)> onAnswer)
{
    const auto question = std::string(texts::tonewheelWarningPrefix) + "\"" + slotName + "\"" +
                          texts::tonewheelWillBeLost;
    dialogs.askYesOrNo(question, whileAlive([onAnswer](bool yes) { onAnswer(yes); }));
}

// ---- Snapshots::Host ------------------------------------------------------------------------

bool Editor::canApply() const
{
    return !dialogs.isOpen() && !projectSend.isSending() && supervisor.state() == Idle;
}

void Editor::applyRecord(const ProjectRecord& target, bool asStep)
{
    const bool connected = supervisor.isConnected();
    ProjectRecord before, after;
    link.updateRecord(
        [&](ProjectRecord& r)
        {
            before = r;
            projectfile::takeProject(r, target, connected);
            after = r;
            return 0;
        });
    auto numbers =
        differingParameters(before.parameterValues, after.parameterValues, after.modelIndex);
    const bool modelChanged = after.modelIndex != before.modelIndex;
    const bool changed =
        !numbers.empty() || modelChanged || after.hardwareRevision != before.hardwareRevision;
    if (connected && !numbers.empty())
        projectSend.start(std::move(numbers));
    tell([modelChanged](EditorListener& l) { l.valuesChanged(modelChanged); });
    if (asStep && changed)
        editHistory.recalled(before, after);
}

void Editor::snapshotsChanged()
{
    tell([](EditorListener& l) { l.snapshotsChanged(); });
}

} // namespace kestra
