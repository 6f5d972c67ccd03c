// The full parameter send after a project is opened while connected: the
// editor on screen, connected over the virtual ports to the simulated
// instrument, opens a project file; 200 ms later (BulkSendTimer) the pacer's
// thread sends BulkModeMessage 1, the 99 parameters 20 ms apart and
// BulkModeMessage 0, while the message thread stays free.
//
// Reported over the runs (medians; the gaps of all runs pooled; the longest
// pauses over all runs):
//   total_ms          from the opening to BulkModeMessage 0 leaving (the 200 ms
//                     before the send included; ideal 200 + 99 x 20 = 2180)
//   send_ms           from BulkModeMessage 1 to BulkModeMessage 0 leaving
//   ideal_ms          99 x 20 = 1980
//   over_ideal_ms     send_ms - ideal_ms
//   gap_*_ms          the gaps between successive messages of the send
//                     (parameter to parameter, the last to BulkModeMessage 0):
//                     median, 99th percentile, smallest, largest
//   parameters        parameter messages sent between the bulk mode messages
//   paints, ticks     paints of a few pixels of the window, and callbacks of a
//                     5 ms timer on the message thread that asks for them,
//                     during one send
//   paint_gap_max_ms  the longest time without a paint, and without a timer
//   tick_gap_max_ms   callback, during a send: a free message thread keeps
//                     both near the timer's 5 ms
//
// Run: xvfb-run -a build-bench/bench/ProjectSendBenchmark

#include "GuiBenchSupport.h"
#include "support/EditorTestProbe.h"

#include "files/ProjectFile.h"
#include "files/ProjectSendPacer.h"
#include "sim/SimulatedInstrument.h"

using namespace kestra;
using namespace kestra::bench;

namespace
{

constexpr int paintTimerMs = 5;

bool isBulkMode(const std::vector<uint8_t>& m, uint8_t mode)
{
    return m.size() == 6 && m[0] == 0xF0 && m[1] == 0x7D && m[2] == 0x1E &&
           m[3] == sysex::bulkModeCommand && m[4] == mode;
}

bool isParameter(const std::vector<uint8_t>& m)
{
    return m.size() > 4 && m[0] == 0xF0 && m[1] == 0x7D && m[2] == 0x1E &&
           (m[3] == sysex::parameterValueCommand || m[3] == sysex::parameterByteCommand);
}

// The editor in a window of its own with the paint counter over its corner,
// connected to the simulated instrument.
struct ConnectedEditor
{
    SendLog sent;
    StopwatchMidiServices* midi = new StopwatchMidiServices(sent);
    MainContentComponent editor{std::unique_ptr<MidiServices>(midi)};
    SimulatedInstrument instrument{midi->virtualPorts};
    EditorTestProbe probe{editor};
    PaintCounter counter;
    juce::Component stage;

    ConnectedEditor()
    {
        stage.setSize(MainContentComponent::width, MainContentComponent::height);
        stage.addAndMakeVisible(editor);
        stage.addAndMakeVisible(counter);
        counter.setBounds(0, 0, 4, 4);
        stage.addToDesktop(0);
        stage.setVisible(true);
        counter.run(paintTimerMs);

        probe.openPorts(instrument.inputIndex(), instrument.outputIndex());
        probe.startHandshake();
        pumpUntil([this] { return connectedAndIdle(); });
    }

    ~ConnectedEditor()
    {
        counter.halt();
        stage.removeFromDesktop();
    }

    bool connectedAndIdle() const
    {
        return probe.supervisor().isConnected() && probe.supervisor().state() == Idle &&
               probe.messageBox() == nullptr;
    }
};

// A project with every value of the instrument's defaults moved a little, so
// that the send is not of the values the instrument already has.
juce::File writeProject(const ProjectRecord& current)
{
    auto record = current;
    for (auto& value : record.parameterValues)
        value += 0.5f;
    const auto image = projectfile::toImage(record);
    auto file = juce::File::createTempFile(projectfile::fileExtension);
    file.replaceWithData(image.data(), image.size());
    return file;
}

struct SendFigures
{
    Clock::time_point bulkOn{}, bulkOff{};
    std::vector<double> gaps;
    int parameters = 0;
    bool complete = false;
};

SendFigures figuresOf(const std::vector<SentMessage>& messages)
{
    SendFigures f;
    Clock::time_point last{};
    bool sending = false;
    for (const auto& m : messages)
    {
        if (isBulkMode(m.bytes, 1))
        {
            f.bulkOn = m.time;
            sending = true;
            last = {};
        }
        else if (sending && isParameter(m.bytes))
        {
            if (last != Clock::time_point{})
                f.gaps.push_back(milliseconds(m.time - last));
            last = m.time;
            ++f.parameters;
        }
        else if (sending && isBulkMode(m.bytes, 0))
        {
            f.bulkOff = m.time;
            if (last != Clock::time_point{})
                f.gaps.push_back(milliseconds(m.time - last));
            f.complete = true;
            sending = false;
        }
    }
    return f;
}

// Figures of every send of one benchmark: the medians over the sends, the
// gaps of all sends pooled, the longest pauses of painting and timer over all.
struct Figures
{
    std::vector<double> sendMs, totalMs, gaps, paints, ticks;
    double paintGapMax = 0.0, tickGapMax = 0.0;
    int parameters = 0;

    void addSend(benchmark::State& state, const SendFigures& f)
    {
        const double ms = milliseconds(f.bulkOff - f.bulkOn);
        state.SetIterationTime(ms / 1000.0);
        sendMs.push_back(ms);
        gaps.insert(gaps.end(), f.gaps.begin(), f.gaps.end());
        parameters = f.parameters;
    }

    void addPainting(PaintCounter& counter, Clock::time_point from, Clock::time_point to)
    {
        auto within = [&](const std::vector<Clock::time_point>& moments)
        {
            return static_cast<double>(std::count_if(moments.begin(), moments.end(),
                                                     [&](Clock::time_point t)
                                                     { return t >= from && t <= to; }));
        };
        paints.push_back(within(counter.paints));
        ticks.push_back(within(counter.ticks));
        paintGapMax = std::max(paintGapMax, largest(gapsWithin(counter.paints, from, to)));
        tickGapMax = std::max(tickGapMax, largest(gapsWithin(counter.ticks, from, to)));
    }

    void report(benchmark::State& state, int expectedParameters) const
    {
        const double idealMs = expectedParameters * projectfile::transmissionPacingMs;
        state.counters["send_ms"] = percentile(sendMs, 0.5);
        state.counters["ideal_ms"] = idealMs;
        state.counters["over_ideal_ms"] = percentile(sendMs, 0.5) - idealMs;
        if (!totalMs.empty())
            state.counters["total_ms"] = percentile(totalMs, 0.5);
        state.counters["gap_median_ms"] = percentile(gaps, 0.5);
        state.counters["gap_p99_ms"] = percentile(gaps, 0.99);
        state.counters["gap_min_ms"] =
            gaps.empty() ? 0.0 : *std::min_element(gaps.begin(), gaps.end());
        state.counters["gap_max_ms"] = largest(gaps);
        state.counters["parameters"] = parameters;
        state.counters["paints"] = percentile(paints, 0.5);
        state.counters["ticks"] = percentile(ticks, 0.5);
        state.counters["paint_gap_max_ms"] = paintGapMax;
        state.counters["tick_gap_max_ms"] = tickGapMax;
    }
};

void BM_ProjectSend(benchmark::State& state)
{
    ConnectedEditor bench;
    if (!bench.connectedAndIdle())
    {
        state.SkipWithError("the editor did not connect to the simulated instrument");
        return;
    }
    const auto file = writeProject(bench.probe.link().record());
    const int expected = lastParameterForModel(bench.probe.link().modelIndex()) + 1;

    Figures figures;
    for (auto _ : state)
    {
        bench.sent.take();
        bench.counter.reset();
        const auto opened = Clock::now();
        bench.editor.core().openProjectFrom(file);
        const bool ended = pumpUntil(
            [&] {
                return !bench.probe.isTimerRunning(BulkSendTimer) &&
                       bench.probe.messageBox() == nullptr;
            });
        const auto f = figuresOf(bench.sent.take());
        if (!ended || !f.complete || f.parameters != expected)
        {
            state.SkipWithError("the send did not run to its end");
            break;
        }
        figures.addSend(state, f);
        figures.totalMs.push_back(milliseconds(f.bulkOff - opened));
        figures.addPainting(bench.counter, f.bulkOn, f.bulkOff);
        // Let the heartbeat come back before the next opening.
        pumpFor(std::chrono::milliseconds(300));
    }
    figures.report(state, expected);
    file.deleteFile();
}

} // namespace

int main(int argc, char** argv)
{
    return runBenchmarks(argc, argv,
                         []
                         {
                             benchmark::RegisterBenchmark("BM_ProjectSend", BM_ProjectSend)
                                 ->UseManualTime()
                                 ->Unit(benchmark::kMillisecond)
                                 ->Iterations(5);
                         });
}
