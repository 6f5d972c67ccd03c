#include "sim/SimulatedInstrument.h"

#include <algorithm>
#include <cstdio>

namespace kestra
{

namespace
{
using Kind = sysex::Decoded::Kind;

constexpr int tavoModelCode = 6; // "Kestra Tavo": parameters 0 ... 84 only
constexpr size_t headerSize = 47;
constexpr size_t minimumPacketSize = 11; // one raw byte: F0 7E dd 07 02 nn cc hi b ck F7
constexpr uint8_t headerPacket = 0x01;
constexpr uint8_t dataPacket = 0x02;

std::string dummyPortName(int position)
{
    if (position == 0)
        return "Midi Through Port-0";
    return "USB MIDI Interface " + std::to_string(position);
}

std::string trimmed(const std::string& text)
{
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos)
        return {};
    const auto last = text.find_last_not_of(" \t\r\n");
    return text.substr(first, last - first + 1);
}

// Number of raw bytes in e encoded bytes (groups of one top-bit byte and up to
// seven data bytes), or -1 when e cannot be such an encoding.
int rawLengthOf(int encoded)
{
    if (encoded < 2 || encoded % 8 == 1)
        return -1;
    return encoded - (encoded + 7) / 8;
}
} // namespace

SimulatedInstrument::SimulatedInstrument(VirtualMidiServices& services, SimulatorConfig settings)
    : midi(services), config(std::move(settings))
{
    resetToDefaults();

    if (!config.logPath.empty())
    {
        logFile.open(config.logPath, std::ios::out | std::ios::app);
        if (!logFile)
            logError = "cannot open the log file " + config.logPath;
    }

    const auto& ports = config.ports;
    int dummyInputs = 0;
    int dummyOutputs = 0;
    for (int i = 0; i < ports.extraInputsBefore; ++i)
        midi.addInputPort(dummyPortName(dummyInputs++));
    for (int i = 0; i < ports.extraOutputsBefore; ++i)
        midi.addOutputPort(dummyPortName(dummyOutputs++), nullptr);

    inputPort = midi.addInputPort(config.portName, ports.busy);
    outputPort = midi.addOutputPort(
        config.portName, [this](const uint8_t* data, size_t size) { receive(data, size); },
        ports.busy);

    for (int i = 0; i < ports.extraInputsAfter; ++i)
        midi.addInputPort(dummyPortName(dummyInputs++));
    for (int i = 0; i < ports.extraOutputsAfter; ++i)
        midi.addOutputPort(dummyPortName(dummyOutputs++), nullptr);

    worker = std::thread([this] { run(); });
}

SimulatedInstrument::~SimulatedInstrument()
{
    // First make sure no editor thread can reach receive() any more (this waits
    // for a send in progress), then stop the worker.
    midi.setOutputReceiver(outputPort, nullptr);
    {
        const std::lock_guard<std::mutex> guard(lock);
        stopping = true;
    }
    wake.notify_all();
    worker.join();
}

// ---- run-time settings ----------------------------------------------------------

void SimulatedInstrument::setFaults(const SimulatorFaults& faults)
{
    {
        const std::lock_guard<std::mutex> guard(lock);
        config.faults = faults;
    }
    wake.notify_all();
}

SimulatorFaults SimulatedInstrument::faults() const
{
    const std::lock_guard<std::mutex> guard(lock);
    return config.faults;
}

void SimulatedInstrument::setIdentity(const sysex::Identity& identity)
{
    const std::lock_guard<std::mutex> guard(lock);
    config.identity = identity;
}

sysex::Identity SimulatedInstrument::identity() const
{
    const std::lock_guard<std::mutex> guard(lock);
    return config.identity;
}

void SimulatedInstrument::setBusy(bool busy)
{
    midi.setInputBusy(inputPort, busy);
    midi.setOutputBusy(outputPort, busy);
}

// ---- as a player at the organ -----------------------------------------------------

bool SimulatedInstrument::turnKnob(int number, float value)
{
    {
        const std::lock_guard<std::mutex> guard(lock);
        if (!isValidParameterNumber(number) || (isSettingParameter(number) && !exchangesSettings()))
            return false;
        parameterValues[static_cast<size_t>(number)] = value;
        reportParameter(number);
    }
    wake.notify_all();
    return true;
}

bool SimulatedInstrument::renameSlot(int slot, const std::string& name)
{
    if (slot < 0 || slot >= numTonewheelSlots)
        return false;
    {
        const std::lock_guard<std::mutex> guard(lock);
        names[static_cast<size_t>(slot)] = name;
        queue(sysex::tonewheelNameMessage(slot, name));
    }
    wake.notify_all();
    return true;
}

// ---- state --------------------------------------------------------------------------

ParameterValues SimulatedInstrument::values() const
{
    const std::lock_guard<std::mutex> guard(lock);
    return parameterValues;
}

std::array<std::string, numTonewheelSlots> SimulatedInstrument::slotNames() const
{
    const std::lock_guard<std::mutex> guard(lock);
    return names;
}

SimulatedInstrument::Bytes SimulatedInstrument::tonewheelData(int slot) const
{
    if (slot < 0 || slot >= numTonewheelSlots)
        return {};
    const std::lock_guard<std::mutex> guard(lock);
    return tonewheels[static_cast<size_t>(slot)];
}

bool SimulatedInstrument::bulkMode() const
{
    const std::lock_guard<std::mutex> guard(lock);
    return inBulkMode;
}

bool SimulatedInstrument::uploadInProgress() const
{
    const std::lock_guard<std::mutex> guard(lock);
    return upload.active;
}

int SimulatedInstrument::receivedCount(Received kind) const
{
    const std::lock_guard<std::mutex> guard(lock);
    return counts[static_cast<size_t>(kind)];
}

int SimulatedInstrument::uploadsCompleted() const
{
    const std::lock_guard<std::mutex> guard(lock);
    return completedUploads;
}

std::vector<SimulatedInstrument::LogEntry> SimulatedInstrument::log() const
{
    const std::lock_guard<std::mutex> guard(logLock);
    return entries;
}

std::string SimulatedInstrument::formatLogLine(const LogEntry& entry)
{
    std::string line = std::to_string(entry.milliseconds);
    line += entry.direction == Direction::in ? " in" : " out";
    for (uint8_t byte : entry.bytes)
    {
        char hex[4];
        std::snprintf(hex, sizeof hex, " %02X", byte);
        line += hex;
    }
    return line;
}

bool SimulatedInstrument::waitUntilIdle(std::chrono::milliseconds deadline) const
{
    std::unique_lock<std::mutex> guard(lock);
    return idle.wait_for(guard, deadline,
                         [this] {
                             return stopping || (incoming.empty() && outgoing.empty() &&
                                                 dueCues.empty() && !busyHandling);
                         });
}

// ---- threads ------------------------------------------------------------------------

void SimulatedInstrument::receive(const uint8_t* data, size_t size)
{
    record(Direction::in, data, size);
    {
        const std::lock_guard<std::mutex> guard(lock);
        incoming.emplace_back(data, data + size);
    }
    wake.notify_all();
}

void SimulatedInstrument::run()
{
    std::unique_lock<std::mutex> guard(lock);
    for (;;)
    {
        if (stopping)
            break;

        // A cue that is due is played first: what it sends is queued behind
        // what is already due.
        if (!dueCues.empty() && dueCues.begin()->first.first <= Clock::now())
        {
            const SimulatorCue cue = std::move(dueCues.begin()->second);
            dueCues.erase(dueCues.begin());
            playCue(cue);
            continue;
        }

        // Answers that are due go first, in the order they were queued.
        if (!outgoing.empty() && outgoing.begin()->first.first <= Clock::now())
        {
            Bytes message = std::move(outgoing.begin()->second);
            outgoing.erase(outgoing.begin());
            if (!config.faults.silent)
            {
                busyHandling = true;
                guard.unlock();
                transmit(message);
                guard.lock();
                busyHandling = false;
            }
            continue;
        }

        if (!incoming.empty())
        {
            Bytes message = std::move(incoming.front());
            incoming.pop_front();
            handle(message);
            continue;
        }

        if (outgoing.empty() && dueCues.empty())
        {
            idle.notify_all();
            wake.wait(guard);
        }
        else
        {
            auto next = Clock::time_point::max();
            if (!outgoing.empty())
                next = outgoing.begin()->first.first;
            if (!dueCues.empty())
                next = std::min(next, dueCues.begin()->first.first);
            wake.wait_until(guard, next);
        }
    }
    idle.notify_all();
}

void SimulatedInstrument::transmit(const Bytes& message)
{
    record(Direction::out, message.data(), message.size());
    midi.sendToEditor(inputPort, message);
}

void SimulatedInstrument::record(Direction direction, const uint8_t* data, size_t size)
{
    const auto elapsed =
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - startTime);
    LogEntry entry{static_cast<long long>(elapsed.count()), direction, Bytes(data, data + size)};
    const std::lock_guard<std::mutex> guard(logLock);
    if (logFile.is_open())
        logFile << formatLogLine(entry) << '\n' << std::flush;
    entries.push_back(std::move(entry));
}

void SimulatedInstrument::queue(Bytes message, int delayMs)
{
    const auto due = Clock::now() + std::chrono::milliseconds(std::max(0, delayMs));
    outgoing.emplace(std::make_pair(due, nextSequence++), std::move(message));
}

void SimulatedInstrument::answerUniversal(uint8_t subId, uint8_t value, int delayMs)
{
    queue({sysex::sysexStart, sysex::universalNonRealTime, 0x00, subId,
           static_cast<uint8_t>(value & 0x7F), sysex::sysexEnd},
          delayMs);
}

// ---- behaviour ----------------------------------------------------------------------

bool SimulatedInstrument::exchangesSettings() const
{
    return config.identity.modelCode != tavoModelCode;
}

void SimulatedInstrument::resetToDefaults()
{
    parameterValues = defaultValues(config.identity.hardwareRevision);
    for (int slot = 0; slot < numTonewheelSlots; ++slot)
    {
        names[static_cast<size_t>(slot)] = options::tonewheelModels[slot];
        tonewheels[static_cast<size_t>(slot)].clear();
    }
}

void SimulatedInstrument::reportParameter(int number, int delayMs)
{
    const float value = parameterValues[static_cast<size_t>(number)];
    if (!isSettingParameter(number))
    {
        queue(sysex::parameterValueMessage(number, value), delayMs);
        return;
    }
    // Settings go as one byte: the stored number truncated toward zero, 0 ... 127.
    const float clamped = std::min(127.0f, std::max(0.0f, value));
    queue(sysex::parameterByteMessage(number, static_cast<uint8_t>(clamped)), delayMs);
}

void SimulatedInstrument::scheduleCues(int delayMs)
{
    if (cuesScheduled)
        return;
    cuesScheduled = true;
    const auto end = Clock::now() + std::chrono::milliseconds(std::max(0, delayMs));
    for (const auto& cue : config.cues)
        dueCues.emplace(
            std::make_pair(end + std::chrono::milliseconds(cue.afterMs), nextSequence++), cue);
}

void SimulatedInstrument::playCue(const SimulatorCue& cue)
{
    if (cue.number < 0)
    {
        queue(cue.bytes);
        return;
    }
    // As turnKnob: a "Kestra Tavo" has no settings to turn.
    if (!isValidParameterNumber(cue.number) ||
        (isSettingParameter(cue.number) && !exchangesSettings()))
        return;
    parameterValues[static_cast<size_t>(cue.number)] = cue.value;
    reportParameter(cue.number);
}

void SimulatedInstrument::reportValues()
{
    const int last = exchangesSettings() ? numParameters - 1 : lastParameterOfModel3;
    for (int number = 0; number <= last; ++number)
        reportParameter(number);
}

void SimulatedInstrument::reportNames(int delayMs)
{
    for (int slot = 0; slot < numTonewheelSlots; ++slot)
        queue(sysex::tonewheelNameMessage(slot, names[static_cast<size_t>(slot)]), delayMs);
}

void SimulatedInstrument::handle(const Bytes& message)
{
    auto count = [this](Received kind) { ++counts[static_cast<size_t>(kind)]; };
    const sysex::Decoded decoded = sysex::decode(message);
    const SimulatorFaults& faults = config.faults;

    switch (decoded.kind)
    {
    case Kind::identityRequest:
    {
        count(Received::identityRequest);
        const int answered = counts[static_cast<size_t>(Received::identityRequest)];
        if (faults.heartbeatStopsAfter < 0 || answered <= faults.heartbeatStopsAfter)
            queue(sysex::identityReply(config.identity));
        break;
    }
    case Kind::dumpRequest:
    {
        count(Received::dumpRequest);
        const int delay = faults.dumpDelayMs;
        if (decoded.number == 0x7D)
        {
            for (int number = 0; number < firstSettingParameter; ++number)
                reportParameter(number, delay);
        }
        else if (decoded.number == 0x7E && exchangesSettings())
        {
            for (int number = firstSettingParameter; number < numParameters; ++number)
                reportParameter(number, delay);
        }
        else if (decoded.number == 0x7C)
            reportNames(delay);
        queue(sysex::doneMessage(), delay);
        if (decoded.number == 0x7C)
            scheduleCues(delay); // the handshake ends with this section
        break;
    }
    case Kind::storeRequest:
        count(Received::storeRequest);
        if (!faults.silentAfterStore)
            queue(sysex::doneMessage());
        break;
    case Kind::resetRequest:
        count(Received::resetRequest);
        resetToDefaults();
        if (!faults.silentAfterReset)
        {
            reportValues();
            reportNames();
            queue(sysex::doneMessage());
        }
        break;
    case Kind::bulkMode:
        count(Received::bulkMode);
        inBulkMode = decoded.number != 0;
        break;
    case Kind::parameterValue:
        if (decoded.number >= firstSettingParameter)
        {
            count(Received::other);
            break;
        }
        count(Received::parameterValue);
        parameterValues[static_cast<size_t>(decoded.number)] = decoded.value;
        break;
    case Kind::parameterByte:
        if (!isSettingParameter(decoded.number) || !exchangesSettings())
        {
            count(Received::other);
            break;
        }
        count(Received::parameterByte);
        parameterValues[static_cast<size_t>(decoded.number)] = decoded.value;
        break;
    case Kind::fileDump:
        if (decoded.number == headerPacket)
        {
            count(Received::fileDumpHeader);
            handleFileDumpHeader(message);
        }
        else if (decoded.number == dataPacket)
        {
            count(Received::fileDumpPacket);
            handleFileDumpPacket(message);
        }
        else
            count(Received::other);
        break;
    case Kind::fileDumpEof:
        count(Received::fileDumpEof);
        handleFileDumpEof();
        break;
    case Kind::fileDumpCancel:
        count(Received::fileDumpCancel);
        upload = Upload{};
        break;
    default:
        count(Received::other);
        break;
    }
}

void SimulatedInstrument::handleFileDumpHeader(const Bytes& message)
{
    // A new header abandons whatever upload was going on.
    upload = Upload{};
    if (message.size() != headerSize)
    {
        answerUniversal(sysex::cancelSubId, headerSizeWrong);
        return;
    }
    // Type: 'A' 'C' and the digit of the alternative slot, then a zero byte.
    const uint8_t digit = message[8];
    if (message[6] != 'A' || message[7] != 'C' || digit < '1' || digit > '3' || message[9] != 0)
    {
        answerUniversal(sysex::cancelSubId, tonewheelNumberWrong);
        return;
    }
    const int length = message[10] | message[11] << 7 | message[12] << 14 | message[13] << 21;
    if (length < 1 || length > maxTonewheelBytes)
    {
        answerUniversal(sysex::cancelSubId, tonewheelSizeWrong);
        return;
    }

    std::string name;
    for (size_t i = 14; i < 46 && message[i] != 0; ++i)
        name.push_back(static_cast<char>(message[i]));

    upload.active = true;
    upload.slot = firstAlternativeSlot + (digit - '1');
    upload.length = length;
    upload.name = trimmed(name);
    upload.data.reserve(static_cast<size_t>(length));
    answerUniversal(sysex::ackSubId, 0x00, config.faults.ackDelayMs);
}

void SimulatedInstrument::handleFileDumpPacket(const Bytes& message)
{
    if (!upload.active)
        return; // no header taken: nothing to append to

    const SimulatorFaults& faults = config.faults;
    const auto expected = static_cast<uint8_t>(upload.packetIndex & 0x7F);

    if (upload.packetIndex == faults.nakPacket && upload.naksGiven < faults.nakTimes)
    {
        ++upload.naksGiven;
        answerUniversal(sysex::nakSubId, expected);
        return;
    }
    if (upload.packetIndex == faults.cancelAtPacket)
    {
        upload = Upload{};
        answerUniversal(sysex::cancelSubId, static_cast<uint8_t>(faults.cancelCode));
        return;
    }

    // Number, byte count, encoding and checksum: any mismatch asks for the packet again.
    const size_t size = message.size();
    if (size < minimumPacketSize || message[5] != expected)
    {
        answerUniversal(sysex::nakSubId, expected);
        return;
    }
    const int encoded = static_cast<int>(size) - 9;
    const int raw = rawLengthOf(encoded);
    if (raw < 0 || message[6] != encoded - 1 ||
        message[size - 2] != sysex::sysexChecksum(message.data(), size))
    {
        answerUniversal(sysex::nakSubId, expected);
        return;
    }

    if (static_cast<int>(upload.data.size()) + raw > upload.length)
    {
        upload = Upload{};
        answerUniversal(sysex::cancelSubId, tonewheelSizeWrong);
        return;
    }

    const uint8_t* group = message.data() + 7;
    for (int left = raw; left > 0; left -= 7)
    {
        const int n = std::min(7, left);
        uint8_t bytes[7];
        sysex::unpackSevenBit(group, n, bytes);
        upload.data.insert(upload.data.end(), bytes, bytes + n);
        group += n + 1;
    }
    ++upload.packetIndex;
    upload.naksGiven = 0;
    answerUniversal(sysex::ackSubId, expected, faults.ackDelayMs);
}

void SimulatedInstrument::handleFileDumpEof()
{
    if (!upload.active)
        return;
    if (static_cast<int>(upload.data.size()) != upload.length)
    {
        // Less than the header announced: the tonewheel is not taken.
        upload = Upload{};
        answerUniversal(sysex::cancelSubId, tonewheelSizeWrong);
        return;
    }
    const auto slot = static_cast<size_t>(upload.slot);
    tonewheels[slot] = std::move(upload.data);
    names[slot] = upload.name;
    ++completedUploads;
    queue(sysex::tonewheelNameMessage(upload.slot, upload.name));
    upload = Upload{};
}

} // namespace kestra
