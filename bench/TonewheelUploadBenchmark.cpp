// The largest tonewheel (1,048,512 data bytes, 10,082 packets) over the
// virtual MIDI ports into the simulated instrument, which answers at once.
//
// Reported per run (five runs: mean, median and spread over them):
//   packets_per_s     data packets from the header to the EOF
//   ack_to_packet_*   the editor's time from an ACK arriving at its input to
//                     the next packet (or the EOF) being handed to its output,
//                     median and 99th percentile, in microseconds
//   round_trip_*      the same packet to packet as the instrument sees it
//                     (virtual ports, the instrument's own work included)
// With the editor window (needs a display, e.g. xvfb-run):
//   lag_packets_*     how far the box's text trails the transfer when the
//                     message thread looks, in packets (median, maximum)
//   close_after_eof_ms from the EOF leaving to the transfer box being closed:
//                     the backlog of progress events the message thread had left
//   events_handled_per_s progress events the message thread got through
// The editor runs with an instantly answering instrument (/0) and with one
// that takes a millisecond per ACK (/1).
// The MIDI monitor's cost (BM_LargestTonewheel_MidiMonitor, with a display):
//   {paused,closed,open}_packets_per_s and _ack_to_packet_median_us for the
//   message log paused, recording with the MIDI Monitor window closed, and
//   with the window open, in turn in one editor; ratio_* compare them.
//
// Run: xvfb-run -a build/bench/TonewheelUploadBenchmark

#include "TonewheelGuiSupport.h"

#include "editor/MessageTexts.h"
#include "link/DeviceLink.h"
#include "sim/SimulatedInstrument.h"
#include "ui/MidiMonitorWindow.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <thread>

using namespace kestra;
using namespace kestra::tonewheeltest;
using Clock = std::chrono::steady_clock;

namespace
{
constexpr int32_t largest = 1048512;

bool isAck(const uint8_t* m, int size)
{
    return size >= 5 && m[0] == 0xF0 && m[1] == 0x7E && m[3] == 0x7F;
}

bool isPacketOrEof(const uint8_t* m, int size)
{
    return size >= 5 && m[0] == 0xF0 && m[1] == 0x7E &&
           ((m[3] == 0x07 && m[4] == 0x02) || m[3] == 0x7B);
}

double percentile(std::vector<double> values, double p)
{
    if (values.empty())
        return 0.0;
    const auto at = static_cast<size_t>(p * static_cast<double>(values.size() - 1));
    std::nth_element(values.begin(), values.begin() + static_cast<long>(at), values.end());
    return values[at];
}

// What passes the editor's ports: arrivals of ACKs, departures of packets.
struct Timings
{
    std::mutex lock;
    std::vector<double> ackToPacketUs;
    std::vector<Clock::time_point> packetTimes; // every packet and the EOF
    Clock::time_point eofTime{};

    void reset()
    {
        const std::lock_guard<std::mutex> guard(lock);
        ackToPacketUs.clear();
        packetTimes.clear();
        eofTime = {};
    }
};

thread_local Clock::time_point ackArrival{};

// The virtual ports with a stopwatch on the editor's side of them.
class TimingMidiServices final : public MidiServices
{
public:
    explicit TimingMidiServices(Timings& timingsToKeep) : timings(timingsToKeep) {}
    VirtualMidiServices virtualPorts;

    juce::StringArray getInputDeviceNames() override { return virtualPorts.getInputDeviceNames(); }
    juce::StringArray getOutputDeviceNames() override
    {
        return virtualPorts.getOutputDeviceNames();
    }

    std::unique_ptr<MidiInputPort> openInputDevice(int index,
                                                   juce::MidiInputCallback* callback) override
    {
        inputCallback.target = callback;
        return virtualPorts.openInputDevice(index, &inputCallback);
    }

    std::unique_ptr<MidiOutputPort> openOutputDevice(int index) override
    {
        auto port = virtualPorts.openOutputDevice(index);
        if (port == nullptr)
            return nullptr;
        return std::make_unique<TimedOutput>(std::move(port), timings);
    }

private:
    struct TimedInput final : juce::MidiInputCallback
    {
        juce::MidiInputCallback* target = nullptr;
        void handleIncomingMidiMessage(juce::MidiInput* source,
                                       const juce::MidiMessage& message) override
        {
            const bool ack = isAck(message.getRawData(), message.getRawDataSize());
            if (ack)
                ackArrival = Clock::now();
            target->handleIncomingMidiMessage(source, message);
            ackArrival = {};
        }
    };

    class TimedOutput final : public MidiOutputPort
    {
    public:
        TimedOutput(std::unique_ptr<MidiOutputPort> innerPort, Timings& t)
            : inner(std::move(innerPort)), timings(t)
        {
        }
        void sendMessageNow(const juce::MidiMessage& message) override
        {
            const auto now = Clock::now();
            const auto* data = message.getRawData();
            const int size = message.getRawDataSize();
            if (isPacketOrEof(data, size))
            {
                const std::lock_guard<std::mutex> guard(timings.lock);
                if (ackArrival != Clock::time_point{})
                    timings.ackToPacketUs.push_back(
                        std::chrono::duration<double, std::micro>(now - ackArrival).count());
                timings.packetTimes.push_back(now);
                if (data[3] == 0x7B)
                    timings.eofTime = now;
            }
            inner->sendMessageNow(message);
        }

    private:
        std::unique_ptr<MidiOutputPort> inner;
        Timings& timings;
    };

    Timings& timings;
    TimedInput inputCallback;
};

void report(benchmark::State& state, Timings& timings, Clock::time_point headerSent)
{
    const std::lock_guard<std::mutex> guard(timings.lock);
    const auto seconds = std::chrono::duration<double>(timings.eofTime - headerSent).count();
    const auto packets = static_cast<double>(timings.packetTimes.size() - 1); // less the EOF
    std::vector<double> roundTrips;
    for (size_t i = 1; i < timings.packetTimes.size(); ++i)
        roundTrips.push_back(std::chrono::duration<double, std::micro>(timings.packetTimes[i] -
                                                                       timings.packetTimes[i - 1])
                                 .count());
    state.SetIterationTime(seconds);
    state.counters["packets_per_s"] = packets / seconds;
    state.counters["ack_to_packet_median_us"] = percentile(timings.ackToPacketUs, 0.5);
    state.counters["ack_to_packet_p99_us"] = percentile(timings.ackToPacketUs, 0.99);
    state.counters["round_trip_median_us"] = percentile(roundTrips, 0.5);
    state.counters["round_trip_p99_us"] = percentile(roundTrips, 0.99);
}

Bytes tonewheelName()
{
    Bytes name(32, 0);
    const std::string text = "BENCH";
    std::copy(text.begin(), text.end(), name.begin());
    return name;
}

// Starts an upload of the tonewheel into slot 3 as LOAD... does, from a file,
// with the question answered Yes; returns as its header goes out.
void startUploadInEditor(MainContentComponent& editor, const Bytes& data)
{
    static const auto file = juce::File::createTempFile(".ktw");
    const auto image = tonewheelFileImage(data, "BENCH");
    file.replaceWithData(image.data(), image.size());
    editor.core().loadTonewheelFrom(file, 3);
    auto* box = EditorTestProbe::messageBox();
    if (box != nullptr)
        box->triggerButtonClick(texts::yes);
    while (EditorTestProbe::messageBox() == box)
        kestra::testing::dispatchMessagesFor(1);
}

// ---- the device link alone: no window, no message thread ------------------------------

struct LinkOnlyHost final : LinkHost, TonewheelTransfer::Io, juce::MidiInputCallback
{
    DeviceLink link{*this};
    std::unique_ptr<MidiOutputPort> output;
    std::atomic<int> events{0};

    void sendToInstrument(const uint8_t* data, size_t size) override
    {
        output->sendMessageNow(juce::MidiMessage(data, static_cast<int>(size)));
    }
    void postTransferEvent(int value) override { postInternalMessage(TransferEvent, value); }
    void postInternalMessage(int type, int) override
    {
        if (type == TransferEvent)
            ++events;
    }
    void handleIncomingMidiMessage(juce::MidiInput*, const juce::MidiMessage& message) override
    {
        link.handleIncoming(message.getRawData(), static_cast<size_t>(message.getRawDataSize()));
    }
};

void BM_LargestTonewheel_DeviceLink(benchmark::State& state)
{
    Timings timings;
    TimingMidiServices midi(timings);
    SimulatedInstrument instrument(midi.virtualPorts);
    LinkOnlyHost host;
    host.output = midi.openOutputDevice(instrument.outputIndex());
    auto input = midi.openInputDevice(instrument.inputIndex(), &host);
    input->start();

    const auto data = patternData(largest);
    const auto name = tonewheelName();
    for (auto _ : state)
    {
        timings.reset();
        const int before = instrument.uploadsCompleted();
        host.link.transfer.load(name.data(), data.data(), largest);
        const auto headerSent = Clock::now();
        host.link.transfer.start(3, largest, host);
        while (instrument.uploadsCompleted() == before)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        report(state, timings, headerSent);
        state.counters["events"] = host.events.exchange(0);
    }
    input.reset();
}

// ---- the whole editor, with its message thread and the transfer box -------------------

struct LagSampler final : juce::Timer
{
    explicit LagSampler(EditorTestProbe& editorProbe) : probe(editorProbe) { startTimer(1); }
    void timerCallback() override
    {
        auto* box = probe.messageBox();
        if (box == nullptr)
            return;
        const auto text = messageOf(*box);
        const auto shown = text.length() > prefix.length()
                               ? text.substring(prefix.length()).getIntValue()
                               : largest;
        lag.push_back(static_cast<double>(shown - probe.link().transfer.bytesRemaining()) /
                      filedump::maxChunkLength);
    }
    EditorTestProbe& probe;
    const juce::String prefix{texts::transmittingTonewheel};
    std::vector<double> lag;
};

void BM_LargestTonewheel_Editor(benchmark::State& state)
{
    Timings timings;
    auto* midi = new TimingMidiServices(timings);
    MainContentComponent editor{std::unique_ptr<MidiServices>(midi)};
    SimulatedInstrument instrument(midi->virtualPorts);
    // 0: the instrument answers at once; 1: one millisecond per ACK, still some
    // forty times the pace of a real MIDI cable, to see the message thread at
    // a pace it is meant for.
    SimulatorFaults pace;
    pace.ackDelayMs = static_cast<int>(state.range(0));
    EditorTestProbe probe(editor);
    probe.openPorts(instrument.inputIndex(), instrument.outputIndex());

    auto pump = [] { kestra::testing::dispatchMessagesFor(1); };
    auto connectedAndIdle = [&]
    {
        return probe.supervisor().isConnected() && probe.supervisor().state() == Idle &&
               probe.messageBox() == nullptr;
    };
    probe.startHandshake();
    while (!connectedAndIdle())
        pump();
    instrument.setFaults(pace);

    const auto data = patternData(largest);
    const auto name = tonewheelName();
    for (auto _ : state)
    {
        timings.reset();
        const int before = instrument.uploadsCompleted();
        startUploadInEditor(editor, data);
        const auto headerSent = Clock::now();

        // The message thread's view, every millisecond between the events it
        // handles: the number in the box against the transfer's own.
        LagSampler sampler(probe);
        while (probe.messageBox() != nullptr)
            pump();
        const auto closed = Clock::now();
        sampler.stopTimer();
        auto& lag = sampler.lag;
        while (instrument.uploadsCompleted() == before || !connectedAndIdle())
            pump();

        report(state, timings, headerSent);
        state.counters["lag_packets_median"] = percentile(lag, 0.5);
        state.counters["lag_packets_max"] =
            lag.empty() ? 0.0 : *std::max_element(lag.begin(), lag.end());
        state.counters["lag_samples"] = static_cast<double>(lag.size());
        const std::lock_guard<std::mutex> guard(timings.lock);
        state.counters["close_after_eof_ms"] =
            std::chrono::duration<double, std::milli>(closed - timings.eofTime).count();
        // Every packet but the first posts one event: how many the message
        // thread got through per second, from the header to the closed box.
        state.counters["events_handled_per_s"] =
            static_cast<double>(timings.packetTimes.size() - 1) /
            std::chrono::duration<double>(closed - headerSent).count();
    }
}
// ---- the MIDI monitor's cost --------------------------------------------------------------

struct UploadFigures
{
    double packetsPerSecond = 0.0;
    double ackToPacketMedianUs = 0.0;
    double ackToPacketP99Us = 0.0;
};

// One upload of the largest tonewheel through the editor, to the end of its
// handshake after it.
UploadFigures uploadOnce(MainContentComponent& editor, EditorTestProbe& probe,
                         SimulatedInstrument& instrument, Timings& timings, const Bytes& data)
{
    auto pump = [] { kestra::testing::dispatchMessagesFor(1); };
    auto connectedAndIdle = [&]
    {
        return probe.supervisor().isConnected() && probe.supervisor().state() == Idle &&
               probe.messageBox() == nullptr;
    };
    timings.reset();
    const int before = instrument.uploadsCompleted();
    startUploadInEditor(editor, data);
    const auto headerSent = Clock::now();
    while (instrument.uploadsCompleted() == before || !connectedAndIdle())
        pump();

    const std::lock_guard<std::mutex> guard(timings.lock);
    UploadFigures figures;
    figures.packetsPerSecond = static_cast<double>(timings.packetTimes.size() - 1) /
                               std::chrono::duration<double>(timings.eofTime - headerSent).count();
    figures.ackToPacketMedianUs = percentile(timings.ackToPacketUs, 0.5);
    figures.ackToPacketP99Us = percentile(timings.ackToPacketUs, 0.99);
    return figures;
}

// In one run and one editor, in turn: the message log paused (its tap then
// only reads a flag: as good as no monitor at all), the log recording with its
// window closed (the editor's normal state), and the MIDI Monitor window open
// and following the log. Ratios of at least 0.9 mean the monitor costs the
// link less than a tenth of its speed.
void BM_LargestTonewheel_MidiMonitor(benchmark::State& state)
{
    Timings timings;
    auto* midi = new TimingMidiServices(timings);
    MainContentComponent editor{std::unique_ptr<MidiServices>(midi)};
    SimulatedInstrument instrument(midi->virtualPorts);
    EditorTestProbe probe(editor);
    probe.openPorts(instrument.inputIndex(), instrument.outputIndex());
    probe.startHandshake();
    while (!(probe.supervisor().isConnected() && probe.supervisor().state() == Idle &&
             probe.messageBox() == nullptr))
        kestra::testing::dispatchMessagesFor(1);

    const auto data = patternData(largest);
    const auto name = tonewheelName();
    enum Mode
    {
        paused,
        closed,
        open
    };
    auto uploadIn = [&](Mode mode)
    {
        probe.messageLog().setPaused(mode == paused);
        if (mode == open)
            editor.toggleMidiMonitor();
        const auto figures = uploadOnce(editor, probe, instrument, timings, data);
        if (mode == open)
            editor.toggleMidiMonitor();
        return figures;
    };
    auto median = [](std::vector<UploadFigures> runs, double UploadFigures::*field)
    {
        std::vector<double> values;
        for (const auto& r : runs)
            values.push_back(r.*field);
        return percentile(values, 0.5);
    };

    for (auto _ : state)
    {
        // Three rounds, each mode in another place of the round each time, so
        // that a machine busy with something else weighs on all three alike.
        std::vector<UploadFigures> runs[3];
        const Mode orders[3][3] = {
            {paused, closed, open}, {open, paused, closed}, {closed, open, paused}};
        for (const auto& order : orders)
            for (Mode mode : order)
                runs[mode].push_back(uploadIn(mode));
        if (probe.midiMonitor() == nullptr || probe.midiMonitor()->isVisible())
            state.SkipWithError("the monitor did not open and close");

        const char* names[3] = {"paused", "closed", "open"};
        double packets[3], ackToPacket[3];
        for (int m = 0; m < 3; ++m)
        {
            packets[m] = median(runs[m], &UploadFigures::packetsPerSecond);
            ackToPacket[m] = median(runs[m], &UploadFigures::ackToPacketMedianUs);
            state.counters[std::string(names[m]) + "_packets_per_s"] = packets[m];
            state.counters[std::string(names[m]) + "_ack_to_packet_median_us"] = ackToPacket[m];
            state.counters[std::string(names[m]) + "_ack_to_packet_p99_us"] =
                median(runs[m], &UploadFigures::ackToPacketP99Us);
        }
        state.SetIterationTime(1.0 / packets[open]);
        // Speed ratios (1 is no cost): open against closed, and the recording
        // log against none.
        state.counters["ratio_packets_open_closed"] = packets[open] / packets[closed];
        state.counters["ratio_ack_to_packet_closed_open"] = ackToPacket[closed] / ackToPacket[open];
        state.counters["ratio_packets_closed_paused"] = packets[closed] / packets[paused];
        state.counters["ratio_ack_to_packet_paused_closed"] =
            ackToPacket[paused] / ackToPacket[closed];
    }
}
} // namespace

// Five runs each; the console shows the mean, median and spread of every
// figure over them (--benchmark_display_aggregates_only=false: each run too).
BENCHMARK(BM_LargestTonewheel_DeviceLink)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->Repetitions(5)
    ->DisplayAggregatesOnly(true);

int main(int argc, char** argv)
{
    // Settings go to a folder of the benchmark's own, never the user's.
    auto settings = juce::File::createTempFile("kestra-bench-settings");
    settings.createDirectory();
    setenv("XDG_CONFIG_HOME", settings.getFullPathName().toRawUTF8(), 1);

    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;

    std::unique_ptr<juce::ScopedJuceInitialiser_GUI> gui;
    if (std::getenv("DISPLAY") != nullptr)
    {
        juce::JUCEApplicationBase::createInstance = []() -> juce::JUCEApplicationBase*
        { return nullptr; };
        gui = std::make_unique<juce::ScopedJuceInitialiser_GUI>();
        benchmark::RegisterBenchmark("BM_LargestTonewheel_Editor", BM_LargestTonewheel_Editor)
            ->Arg(0)
            ->UseManualTime()
            ->Unit(benchmark::kMillisecond)
            ->Iterations(1)
            ->Repetitions(5)
            ->DisplayAggregatesOnly(true);
        benchmark::RegisterBenchmark("BM_LargestTonewheel_Editor", BM_LargestTonewheel_Editor)
            ->Arg(1)
            ->UseManualTime()
            ->Unit(benchmark::kMillisecond)
            ->Iterations(1);
        benchmark::RegisterBenchmark("BM_LargestTonewheel_MidiMonitor",
                                     BM_LargestTonewheel_MidiMonitor)
            ->UseManualTime()
            ->Unit(benchmark::kMicrosecond)
            ->Iterations(1)
            ->Repetitions(5)
            ->DisplayAggregatesOnly(true);
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    gui.reset();
    settings.deleteRecursively();
    return 0;
}
