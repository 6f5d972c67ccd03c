#pragma once

// A simulated Kestra organ behind a pair of virtual MIDI ports, for working on
// the editor without the instrument.
//
// It adds the port pair "Tollmark Kestra MIDI Port" (or another name; an input
// and an output, optionally with dummy ports around them) to a VirtualMidiServices. What the
// editor sends on the output is queued to the instrument's own worker thread,
// which answers on the input as the organ would:
//
//  - IdentityRequest: IdentityReply with the configured protocol, model code,
//    hardware revision and firmware.
//  - DumpRequest 0x7D: parameters 0 ... 84 as ParameterValueMessage; 0x7E:
//    parameters 85 ... 98 as ParameterByteMessage (none for the "Kestra Tavo",
//    model code 6, which exchanges 0 ... 84 only); 0x7C: the six tonewheel slot
//    names as TonewheelNameMessage. Each section ends with a DoneMessage; a
//    section code it does not know gets the DoneMessage alone.
//  - StoreRequest: DoneMessage. ResetRequest: back to the defaults of its
//    revision and the built-in slot names (uploaded tonewheels are dropped),
//    every value and name reported, then DoneMessage.
//  - ParameterValueMessage (0 ... 84), ParameterByteMessage (85 ... 98) and
//    BulkModeMessage: kept, no answer.
//  - MIDI File Dump: the header is checked (size, type "AC1"/"AC2"/"AC3" for
//    the alternative slots 3/4/5, length) and answered with ACK, or CANCEL with
//    the error code; each data packet is checked (number in sequence modulo 128,
//    byte count, encoding, checksum), unpacked and appended, then answered with
//    ACK, or NAK to have it again. EOF stores the reassembled tonewheel in its
//    slot and reports the slot's new name, taken from the header. CANCEL from
//    the editor abandons the upload. ACK, NAK and CANCEL are F0 7E 00 7F/7E/7D
//    <packet number or error code> F7.
//
// Everything it receives and sends goes into a log (and, when configured, a log
// file). Faults can be switched on at construction and at run time. All public
// member functions are safe to call from any thread.

#include "link/Sysex.h"
#include "link/VirtualMidiServices.h"
#include "model/OptionLists.h"
#include "model/ParameterCatalogue.h"

#include <array>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <fstream>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace kestra
{

constexpr const char* instrumentPortName = "Tollmark Kestra MIDI Port";

// The largest tonewheel a slot holds: a 1 MiB tonewheel file less its 64-byte head.
constexpr int maxTonewheelBytes = 1048576 - 64;

// Error codes of the instrument's CANCEL (byte 4).
enum TonewheelError : int
{
    headerSizeWrong = 0,
    tonewheelNumberWrong = 1,
    tonewheelSizeWrong = 2,
    dspNotResponding = 3,
    dspCannotEraseFlash = 4,
    dspCannotWriteFlash = 5,
};

// Misbehaviour on demand. The defaults are a healthy instrument.
struct SimulatorFaults
{
    // Sends nothing at all; what arrives is still received, logged and kept.
    bool silent = false;
    // Answers only the first N IdentityRequests (the connect counts); -1: all.
    int heartbeatStopsAfter = -1;
    // Each dump section, values and DoneMessage, goes out this many ms after its request.
    int dumpDelayMs = 0;
    // A StoreRequest is carried out but not confirmed.
    bool silentAfterStore = false;
    // A ResetRequest is carried out, but nothing is reported and no DoneMessage follows.
    bool silentAfterReset = false;
    // Data packet nakPacket of every upload (0: the first after the header) is
    // answered with NAK nakTimes times before it is taken.
    int nakPacket = -1;
    int nakTimes = 0;
    // Data packet cancelAtPacket of every upload is answered with CANCEL
    // carrying cancelCode, and the upload is abandoned.
    int cancelAtPacket = -1;
    int cancelCode = 0;
    // Every ACK (of the header and of each packet) goes out this many ms later.
    int ackDelayMs = 0;
};

// The ports the instrument adds. Dummy ports are named "Midi Through Port-0",
// "USB MIDI Interface 1", "USB MIDI Interface 2", ... in list order.
struct SimulatorPorts
{
    int extraInputsBefore = 0;
    int extraInputsAfter = 0;
    int extraOutputsBefore = 0;
    int extraOutputsAfter = 0;
    bool busy = false; // the named pair cannot be opened
};

// Something the instrument does on its own, a while after the first handshake
// has ended (its last dump section is out): a player turns a knob (parameter
// `number` to `value`, reported as the parameter's kind travels), or raw bytes
// go to the editor as one delivery of the input port, whatever they are.
struct SimulatorCue
{
    int afterMs = 0;
    int number = -1; // 0 ... 98: a knob; -1: the raw bytes
    float value = 0.0f;
    sysex::Bytes bytes;
};

struct SimulatorConfig
{
    // Protocol 5, model code 3 ("Kestra"), hardware revision 0, firmware 1.5.
    sysex::Identity identity{sysex::protocolVersion, sysex::modelCodeOffset, 0, 1, 5, 0};
    SimulatorFaults faults;
    SimulatorPorts ports;
    std::string portName = instrumentPortName; // the name of its port pair
    std::vector<SimulatorCue> cues;            // in the order given
    std::string logPath; // empty: no log file; else every message is appended there
};

class SimulatedInstrument
{
public:
    using Bytes = sysex::Bytes;
    using Clock = std::chrono::steady_clock;

    // "in": received by the instrument (sent by the editor); "out": sent by it.
    enum class Direction
    {
        in,
        out
    };

    struct LogEntry
    {
        long long milliseconds; // since the instrument was constructed
        Direction direction;
        Bytes bytes;
    };

    // What the instrument has received, by kind.
    enum class Received
    {
        identityRequest,
        dumpRequest,
        storeRequest,
        resetRequest,
        bulkMode,
        parameterValue,
        parameterByte,
        fileDumpHeader,
        fileDumpPacket,
        fileDumpEof,
        fileDumpCancel,
        other, // anything else, including parameters it does not take
        count_
    };

    // Adds the ports to `midi`, which must outlive the instrument. If the log
    // file cannot be opened, logFileError() says so and only the in-memory log runs.
    SimulatedInstrument(VirtualMidiServices& midi, SimulatorConfig config = {});
    ~SimulatedInstrument();

    SimulatedInstrument(const SimulatedInstrument&) = delete;
    SimulatedInstrument& operator=(const SimulatedInstrument&) = delete;

    // Indices of the named pair in the editor's device lists.
    int inputIndex() const { return inputPort; }
    int outputIndex() const { return outputPort; }

    // ---- run-time settings ------------------------------------------------------
    void setFaults(const SimulatorFaults& faults);
    SimulatorFaults faults() const;
    void setIdentity(const sysex::Identity& identity); // answers from now on
    sysex::Identity identity() const;
    void setBusy(bool busy); // the named pair; ports already open stay open

    // ---- as a player at the organ ------------------------------------------------
    // Sets a parameter and reports it to the editor, as turning a knob would.
    // False (nothing changes) for a number outside 0 ... 98, and for 85 ... 98 on
    // a "Kestra Tavo".
    bool turnKnob(int number, float value);
    // Renames a slot 0 ... 5 and reports it. False for another slot.
    bool renameSlot(int slot, const std::string& name);

    // ---- state, for tests --------------------------------------------------------
    ParameterValues values() const;
    std::array<std::string, numTonewheelSlots> slotNames() const;
    Bytes tonewheelData(int slot) const; // empty until an upload has ended with EOF
    bool bulkMode() const;
    bool uploadInProgress() const;
    int receivedCount(Received kind) const;
    int uploadsCompleted() const;

    std::vector<LogEntry> log() const;
    // One log line: milliseconds, "in" or "out", the bytes in upper-case hex,
    // separated by blanks: "1532 out F0 7D 1E 05 F7".
    static std::string formatLogLine(const LogEntry& entry);
    std::string logFileError() const { return logError; }

    // Blocks until everything received has been handled and everything due has
    // been sent (delayed answers included), or the deadline passes. True when idle.
    bool waitUntilIdle(std::chrono::milliseconds deadline) const;

private:
    struct Upload
    {
        bool active = false;
        int slot = 0;
        int length = 0;
        std::string name;
        int packetIndex = 0; // packets taken so far; the next number is this modulo 128
        int naksGiven = 0;   // NAKs of the fault given for the current packet index
        Bytes data;
    };

    void receive(const uint8_t* data, size_t size); // the editor's sending thread
    void run();                                     // the worker thread

    // Handlers, on the worker with `lock` held; they queue their answers.
    void handle(const Bytes& message);
    void handleFileDumpHeader(const Bytes& message);
    void handleFileDumpPacket(const Bytes& message);
    void handleFileDumpEof();
    void reportValues();
    void reportNames(int delayMs = 0);
    void reportParameter(int number, int delayMs = 0);
    void queue(Bytes message, int delayMs = 0);
    void answerUniversal(uint8_t subId, uint8_t value, int delayMs = 0);
    bool exchangesSettings() const; // false for the "Kestra Tavo"
    void resetToDefaults();

    void scheduleCues(int delayMs);
    void playCue(const SimulatorCue& cue);

    void transmit(const Bytes& message); // the worker, without `lock`
    void record(Direction direction, const uint8_t* data, size_t size);

    VirtualMidiServices& midi;
    const Clock::time_point startTime = Clock::now();
    int inputPort = -1;
    int outputPort = -1;

    mutable std::mutex lock; // everything below up to the log
    mutable std::condition_variable wake;
    mutable std::condition_variable idle;
    SimulatorConfig config;
    ParameterValues parameterValues{};
    std::array<std::string, numTonewheelSlots> names;
    std::array<Bytes, numTonewheelSlots> tonewheels;
    bool inBulkMode = false;
    Upload upload;
    int completedUploads = 0;
    std::array<int, static_cast<size_t>(Received::count_)> counts{};
    std::deque<Bytes> incoming;
    std::map<std::pair<Clock::time_point, uint64_t>, Bytes> outgoing; // by due time, then order
    uint64_t nextSequence = 0;
    // Cues by due time, then order; scheduled once, when the first handshake ends.
    std::map<std::pair<Clock::time_point, uint64_t>, SimulatorCue> dueCues;
    bool cuesScheduled = false;
    bool busyHandling = false;
    bool stopping = false;

    mutable std::mutex logLock;
    std::vector<LogEntry> entries;
    std::ofstream logFile;
    std::string logError;

    std::thread worker; // last: started when everything else is ready
};

} // namespace kestra
