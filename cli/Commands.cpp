#include "cli/Commands.h"

#include "cli/TerminalOutput.h"
#include "editor/MessageTexts.h"
#include "files/ProjectFile.h"
#include "files/SnapshotDifference.h"
#include "link/NativeFile.h"
#include "link/Sysex.h"
#include "model/Conversions.h"
#include "model/ParameterText.h"
#include "model/ProjectRecord.h"

#include <cstring>
#include <iostream>

// JUCE's own step of its message loop (juce_events' native messaging): the
// program is built without modal loops, so it steps the loop itself.
namespace juce
{
bool dispatchNextMessageOnSystemQueue(bool returnIfNoPendingMessages);
} // namespace juce

namespace kestra::cli
{

using namespace controltext;

std::atomic<int> interruptions{0};
std::atomic<int> outputClosures{0};

namespace
{
constexpr const char* instrumentPortName = "Tollmark Kestra MIDI Port";

// `set` with more assignments than this goes as an opening goes: framed in
// bulk mode and paced, so that a long list never floods a MIDI cable.
constexpr size_t assignmentsSentAtOnce = 8;

// The commands that replace the instrument's sound.
bool replacesTheSound(const std::string& command)
{
    return command == "restore" || command == "set" || command == "reset";
}

// The exit code a box of the editor's means, by its text; success for the
// texts that report success.
int exitCodeOf(const std::string& text)
{
    const auto is = [&text](const char* t) { return text == t; };
    if (is(texts::portBusy) || is(texts::deviceNotFound))
        return notFound;
    if (is(texts::revisionNotSupported) || is(texts::editorOutOfDate) ||
        is(texts::firmwareOutOfDate) || is(texts::modelNotSupported))
        return refused;
    if (is(texts::dumpFailed) || is(texts::connectionLost) || is(texts::storeNotConfirmed) ||
        is(texts::resetNotConfirmed))
        return linkFailed;
    if (is(texts::fileNotValid) || is(texts::fileCorrupted) || is(texts::projectNotSaved))
        return badFile;
    if (text.rfind(texts::transmissionAborted, 0) == 0)
        return uploadAborted;
    return success;
}

juce::var slotNamesAsJson(const std::array<std::string, numTonewheelSlots>& names)
{
    juce::Array<juce::var> slots;
    for (const auto& name : names)
        slots.add(juce::String(trimmedText(name)));
    return slots;
}

void printJson(const juce::var& value)
{
    std::cout << juce::JSON::toString(value, false).toStdString() << std::endl;
}

bool isPortPair(const juce::String& text)
{
    const auto parts = juce::StringArray::fromTokens(text, ",", "");
    return parts.size() == 2 && parts[0].trim().containsOnly("0123456789") &&
           parts[1].trim().containsOnly("0123456789") && parts[0].trim().isNotEmpty() &&
           parts[1].trim().isNotEmpty();
}
} // namespace

// ---- ports ----------------------------------------------------------------------------------

int listPorts(MidiServices& services, const Options& options)
{
    const auto inputs = services.getInputDeviceNames();
    const auto outputs = services.getOutputDeviceNames();
    if (options.json)
    {
        auto list = [](const juce::StringArray& names)
        {
            juce::Array<juce::var> ports;
            for (int i = 0; i < names.size(); ++i)
            {
                auto* port = new juce::DynamicObject();
                port->setProperty("index", i);
                port->setProperty("name", names[i]);
                port->setProperty("instrument", names[i] == instrumentPortName);
                ports.add(juce::var(port));
            }
            return ports;
        };
        auto* all = new juce::DynamicObject();
        all->setProperty("inputs", list(inputs));
        all->setProperty("outputs", list(outputs));
        printJson(juce::var(all));
        return success;
    }
    auto print = [](const char* title, const juce::StringArray& names)
    {
        std::cout << title << ":\n";
        if (names.isEmpty())
            std::cout << "  (none)\n";
        for (int i = 0; i < names.size(); ++i)
            std::cout << "  " << i << "  " << names[i]
                      << (names[i] == instrumentPortName ? "  *" : "") << "\n";
    };
    print("Inputs", inputs);
    print("Outputs", outputs);
    std::cout << std::flush;
    return success;
}

// ---- the session ----------------------------------------------------------------------------

Session::Session(const Options& chosen, std::unique_ptr<MidiServices> services,
                 TerminalDialogs::Settings dialogSettings)
    : options(chosen), dialogs(dialogSettings)
{
    // --port: a pair of indices, or the name of a port that is both an input and an output.
    if (!options.port.empty())
    {
        const juce::String port(options.port);
        if (isPortPair(port))
        {
            const auto parts = juce::StringArray::fromTokens(port, ",", "");
            portPair = std::make_pair(parts[0].trim().getIntValue(), parts[1].trim().getIntValue());
            if (portPair->first >= services->getInputDeviceNames().size() ||
                portPair->second >= services->getOutputDeviceNames().size())
                portError = "no MIDI port pair " + options.port;
        }
        else
        {
            const int input = services->getInputDeviceNames().indexOf(port.trim());
            const int output = services->getOutputDeviceNames().indexOf(port.trim());
            if (input < 0 || output < 0)
                portError = "no MIDI input and output are called \"" + options.port + "\"";
            else
                portPair = std::make_pair(input, output);
        }
    }

    dialogs.onNotice = [this](const std::string& text) { noticeShown(text); };
    dialogs.onUnanswerable = [this](const std::string& text)
    {
        std::cerr << trimmedText(text) << "\n";
        fail(usageError, "a question needs an answer: give --yes, or run on a terminal");
    };
    dialogs.onAnswered = [this](bool yes)
    {
        if (!yes)
            fail(failed, "answered No: nothing done");
    };
    editor = std::make_unique<Editor>(std::move(services), dialogs);
    editor->addListener(this);
}

Session::~Session()
{
    poller.reset();
    if (editor != nullptr)
        editor->removeListener(this);
    // The editor ends what runs as the window does when it closes: a project
    // send leaves bulk mode, an upload is cancelled.
    editor.reset();
}

int Session::run()
{
    juce::MessageManager::callAsync([this] { start(); });
    int interruptionsSeen = 0;
    bool lost = false;
    while (!done)
    {
        if (interruptions.load() != interruptionsSeen)
        {
            interruptionsSeen = interruptions.load();
            interrupt(interrupted);
            continue;
        }
        if (!lost && outputLost())
        {
            lost = true;
            interrupt(failed); // main() says why, where it still can
            continue;
        }
        if (!juce::dispatchNextMessageOnSystemQueue(true))
            juce::Thread::sleep(1);
    }
    if (monitoring)
        printNewMessages(true);
    return exitCode;
}

void Session::finish(int code)
{
    if (done)
        return;
    done = true;
    exitCode = code;
}

void Session::fail(int code, const std::string& message)
{
    if (done)
        return;
    std::cerr << "kestra-cli: " << message << std::endl;
    finish(code);
}

void Session::interrupt(int code)
{
    if (monitoring)
    {
        finish(code == interrupted ? success : code); // Ctrl+C is how a monitor ends
        return;
    }
    if (!interrupting)
    {
        interrupting = true;
        endingCode = code;
        // An upload is cancelled with the File Dump CANCEL, as its box's Cancel
        // does; the notice that follows ends the program.
        if (uploading && dialogs.cancelOpenBox())
            return;
        dialogs.cancelOpenBox(); // the search ends as its Cancel ends it
    }
    if (code == interrupted)
        std::cerr << "kestra-cli: interrupted" << std::endl;
    finish(code);
}

bool Session::outputLost() const
{
    return outputClosures.load() > 0 || std::cout.bad() || std::cerr.bad();
}

void Session::noticeShown(const std::string& text)
{
    if (done || warned(text))
        return;
    const int code = exitCodeOf(text);
    if (interrupting)
    {
        std::cerr << trimmedText(text) << std::endl;
        finish(endingCode);
        return;
    }
    if (code == success)
    {
        if (!options.quiet)
            std::cout << trimmedText(text) << std::endl;
        // A store's or a reset's confirmation ends its command.
        if (text == texts::storeConfirmed || text == texts::resetConfirmed)
            finish(success);
        return;
    }
    std::cerr << trimmedText(text) << std::endl;
    finish(code);
}

bool Session::warned(const std::string& text)
{
    if (text == texts::snapshotNotSaved)
    {
        warnNoSnapshot();
        return true;
    }
    if (text == texts::snapshotsLeftOut || text == texts::settingsSetAside)
    {
        auto lines =
            juce::StringArray::fromLines(juce::String::fromUTF8(trimmedText(text).c_str()));
        std::cerr << "kestra-cli: warning: " << lines.joinIntoString(" ") << std::endl;
        return true;
    }
    return false;
}

void Session::warnNoSnapshot()
{
    if (std::exchange(noSnapshotSaid, true))
        return;
    std::cerr << "kestra-cli: warning: no snapshot can be kept in "
              << nativefile::shownPath(editor->snapshots().store().folder()) << std::endl;
}

bool Session::refusedWithoutSnapshot()
{
    if (!replacesTheSound(options.command) || editor->snapshots().store().canKeep())
        return false;
    warnNoSnapshot();
    if (options.noSnapshot)
        return false;
    fail(failed, options.command +
                     " refused: the sound it replaces could not be kept as a snapshot "
                     "(--no-snapshot goes on without one)");
    return true;
}

void Session::whenConnected(std::function<void()> next)
{
    if (!portError.empty())
    {
        fail(notFound, portError);
        return;
    }
    onLinkUp = std::move(next);
    if (portPair.has_value())
        editor->connectTo(portPair->first, portPair->second);
    else
        editor->connect(true);
}

void Session::linkChanged()
{
    if (done || !editor->isConnected() || !onLinkUp)
        return;
    auto next = std::exchange(onLinkUp, nullptr);
    next();
}

void Session::buttonReleased(EditorButton button)
{
    // CONNECT released before the link came up, with no notice: the search was cancelled.
    if (button == EditorButton::connect && onLinkUp && !editor->isConnected() && !done)
        juce::MessageManager::callAsync(
            [this]
            {
                if (onLinkUp && !done && !editor->isConnected())
                    finish(interrupting ? endingCode : notFound);
            });
}

void Session::start()
{
    const auto& command = options.command;
    if (refusedWithoutSnapshot())
        return;
    if (command == "identify")
        whenConnected([this] { identify(); });
    else if (command == "backup")
        whenConnected([this] { backup(); });
    else if (command == "restore")
        restore();
    else if (command == "get")
        whenConnected([this] { get(); });
    else if (command == "set")
        whenConnected([this] { set(); });
    else if (command == "store")
        whenConnected([this] { store(); });
    else if (command == "reset")
        whenConnected([this] { reset(); });
    else if (command == "upload")
        whenConnected([this] { upload(); });
    else if (command == "monitor")
        monitor();
    else
        fail(usageError, "unknown command \"" + command + "\"");
}

// ---- the commands ---------------------------------------------------------------------------

void Session::identify()
{
    const auto& link = editor->deviceLink();
    const auto names = link.tonewheelNames();
    const auto& ports = editor->midiPorts();
    if (options.json)
    {
        auto* identity = new juce::DynamicObject();
        identity->setProperty("model", juce::String(modelName(link.modelIndex())));
        identity->setProperty("modelIndex", link.modelIndex());
        identity->setProperty("revision", link.hardwareRevision());
        identity->setProperty("protocol", sysex::protocolVersion);
        identity->setProperty("version", juce::String(link.versionText()));
        identity->setProperty("input", ports.inputIndexInUse());
        identity->setProperty("output", ports.outputIndexInUse());
        identity->setProperty("slots", slotNamesAsJson(names));
        printJson(juce::var(identity));
    }
    else
    {
        std::cout << "Model:     " << modelName(link.modelIndex()) << "\n"
                  << "Revision:  " << link.hardwareRevision() << "\n"
                  << "Protocol:  " << sysex::protocolVersion << "\n"
                  << "Version:   " << link.versionText() << "\n"
                  << "Ports:     " << ports.inputIndexInUse() << "," << ports.outputIndexInUse()
                  << "\n";
        for (size_t slot = 0; slot < names.size(); ++slot)
            std::cout << "Slot " << slot << ":    " << trimmedText(names[slot]) << "\n";
        std::cout << std::flush;
    }
    finish(success);
}

void Session::backup()
{
    // As SAVE names it: a name without the project extension gets it.
    const auto chosen = nativefile::fileFromArgument(options.arguments[0]);
    const auto target = chosen.getSiblingFile(juce::String::fromUTF8(
        projectfile::withProjectExtension(chosen.getFileName().toStdString()).c_str()));
    editor->saveProjectTo(target); // a failure's notice ends the program
    if (done)
        return;
    if (!options.quiet)
        std::cerr << "Saved " << nativefile::shownPath(target) << std::endl;
    finish(success);
}

void Session::restore()
{
    // The file is checked as OPEN checks it before anything connects; while
    // not connected, opening only takes it into the record.
    const auto file = nativefile::fileFromArgument(options.arguments[0]);
    editor->openProjectFrom(file);
    if (done)
        return;
    whenConnected(
        [this, file]
        {
            // Connected: the opening sends every parameter, paced, in bulk mode.
            // Its box has no bar; the parameters that went out, as the message
            // log has them, make one.
            nextLogEntry = editor->messageLog().range().end;
            editor->openProjectFrom(file);
            if (!done && !editor->isSendingProject())
            {
                finish(success);
                return;
            }
            sendTotal = lastParameterForModel(editor->deviceLink().modelIndex()) + 1;
            startPolling([this] { countSentParameters(); });
        });
}

void Session::projectSendEnded()
{
    if ((options.command == "restore" || options.command == "set") && !done)
        juce::MessageManager::callAsync([this]
                                        { finish(editor->isConnected() ? success : linkFailed); });
}

void Session::get()
{
    const auto& link = editor->deviceLink();
    std::vector<const ParameterInfo*> controls;
    if (options.arguments.empty())
        controls = controlsOfModel(link.modelIndex());
    for (const auto& name : options.arguments)
    {
        std::string error;
        const auto* control = findControl(name, link.modelIndex(), error);
        if (control == nullptr)
        {
            fail(usageError, error);
            return;
        }
        controls.push_back(control);
    }

    const auto values = link.parameterValues();
    const auto& defaults = defaultValues(link.hardwareRevision());
    const auto names = link.tonewheelNames();
    juce::Array<juce::var> rows;
    for (const auto* control : controls)
    {
        const auto shown = showControl(*control, values, defaults, names);
        if (options.json)
        {
            auto* row = new juce::DynamicObject();
            row->setProperty("number", control->number);
            row->setProperty("name", juce::String(shown.name));
            if (control->control == ControlKind::slider)
                row->setProperty("value", shown.number);
            else
                row->setProperty("index", static_cast<int>(shown.number));
            row->setProperty("text", juce::String(shown.value));
            row->setProperty("unit", juce::String(shown.unit));
            rows.add(juce::var(row));
        }
        else
        {
            std::cout << juce::String(control->number).paddedLeft(' ', 2) << "  "
                      << juce::String(shown.name).paddedRight(' ', 24) << "  " << shown.value
                      << (shown.unit.empty() ? "" : " ") << shown.unit << "\n";
        }
    }
    if (options.json)
        printJson(rows);
    std::cout << std::flush;
    finish(success);
}

void Session::set()
{
    auto& link = editor->deviceLink();
    const auto names = link.tonewheelNames();

    // Every assignment is checked before anything is sent.
    std::vector<std::pair<const ParameterInfo*, double>> changes;
    for (const auto& assignment : options.arguments)
    {
        const auto equals = assignment.find('=');
        std::string error;
        const auto* control = findControl(assignment.substr(0, equals), link.modelIndex(), error);
        if (control == nullptr)
        {
            fail(usageError, error);
            return;
        }
        const auto value = readControlValue(*control, assignment.substr(equals + 1), names, error);
        if (!value.has_value())
        {
            fail(usageError, error);
            return;
        }
        changes.emplace_back(control, *value);
    }
    if (changes.size() > assignmentsSentAtOnce)
    {
        setPaced(changes);
        return;
    }

    for (const auto& [control, value] : changes)
    {
        editor->setValue(*control, value);
        if (!options.quiet)
        {
            const auto& defaults = defaultValues(link.hardwareRevision());
            const auto shown = showControl(*control, link.parameterValues(), defaults, names);
            std::cout << shown.name << " = " << shown.value << (shown.unit.empty() ? "" : " ")
                      << shown.unit << "\n";
        }
    }
    std::cout << std::flush;
    finish(success);
}

void Session::setPaced(const std::vector<std::pair<const ParameterInfo*, double>>& changes)
{
    auto& link = editor->deviceLink();
    const auto& defaults = defaultValues(link.hardwareRevision());
    const auto before = link.parameterValues();
    auto values = before;
    for (const auto& [control, value] : changes)
        storeControlChange(values, defaults, *control, value); // as each control writes it
    sendTotal = static_cast<int>(differingParameters(before, values, link.modelIndex()).size());
    nextLogEntry = editor->messageLog().range().end;
    if (!editor->setValues(values))
    {
        fail(failed, "the instrument is busy: nothing set");
        return;
    }
    if (!options.quiet)
    {
        const auto names = link.tonewheelNames();
        for (const auto& [control, value] : changes)
        {
            const auto shown = showControl(*control, link.parameterValues(), defaults, names);
            std::cout << shown.name << " = " << shown.value << (shown.unit.empty() ? "" : " ")
                      << shown.unit << "\n";
        }
        std::cout << std::flush;
    }
    if (!editor->isSendingProject())
    {
        finish(success); // nothing differed: nothing to send
        return;
    }
    startPolling([this] { countSentParameters(); });
}

void Session::store()
{
    editor->store(true); // the confirmation's notice ends the program
}

void Session::reset()
{
    editor->reset(true); // the question, then the confirmation's notice
}

void Session::upload()
{
    const auto file = nativefile::fileFromArgument(options.arguments[0]);
    uploading = true;
    editor->loadTonewheelFrom(file, options.slot);
}

void Session::tonewheelUploadEnded(bool finished)
{
    if (done || !finished)
        return; // a failure's or a cancel's notice ends the program
    // The handshake runs again; once it is up the slot has its new name.
    onLinkUp = [this]
    {
        uploading = false;
        if (!options.quiet)
            std::cout << "Slot " << options.slot << ": "
                      << trimmedText(editor->deviceLink().tonewheelName(options.slot)) << std::endl;
        finish(success);
    };
}

// ---- the monitor ----------------------------------------------------------------------------

void Session::monitor()
{
    monitoring = true;
    // Every message in and out from here on, the search's and the heartbeat's included.
    startPolling([this] { printNewMessages(false); });
    whenConnected([] {});
}

void Session::startPolling(std::function<void()> poll)
{
    struct Poll final : juce::Timer
    {
        explicit Poll(std::function<void()> f) : function(std::move(f)) {}
        void timerCallback() override { function(); }
        std::function<void()> function;
    };
    poller = std::make_unique<Poll>(std::move(poll));
    poller->startTimer(50);
}

void Session::countSentParameters()
{
    auto& log = editor->messageLog();
    const auto range = log.range();
    LoggedMessage entry;
    for (nextLogEntry = std::max(nextLogEntry, range.first); nextLogEntry < range.end;
         ++nextLogEntry)
        if (log.get(nextLogEntry, entry) && entry.direction == MessageDirection::out &&
            entry.storedSize() > 4 && entry.bytes[0] == sysex::sysexStart &&
            entry.bytes[1] == sysex::manufacturerId && entry.bytes[2] == sysex::deviceCode &&
            (entry.bytes[3] == sysex::parameterValueCommand ||
             entry.bytes[3] == sysex::parameterByteCommand))
            ++sentParameters;
    dialogs.showProgressOfOpenBox(static_cast<double>(sentParameters) /
                                  static_cast<double>(sendTotal));
}

void Session::printNewMessages(bool all)
{
    auto& log = editor->messageLog();
    const auto range = log.range();
    nextLogEntry = std::max(nextLogEntry, range.first);
    // The newest entry may be a run of data packets that still grows: it waits.
    LoggedMessage entry;
    while (nextLogEntry < range.end)
    {
        if (!log.get(nextLogEntry, entry))
            break;
        if (entry.isRun && nextLogEntry + 1 == range.end && !all)
            break;
        const auto line = describeLoggedMessage(entry);
        std::cout << line.time << "  " << juce::String(line.direction).paddedRight(' ', 3) << "  "
                  << line.hex << "  " << line.meaning << "\n";
        ++nextLogEntry;
    }
    std::cout << std::flush;
}

} // namespace kestra::cli
