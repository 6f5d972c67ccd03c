// Recall of a snapshot that differs from the current values in n parameters:
// the editor's core, connected over the virtual ports to the simulated
// instrument, with the real timers and pacing clock. 200 ms after the recall
// (BulkSendTimer, as after an opening) the pacer sends BulkModeMessage 1, the
// n parameters 20 ms apart and BulkModeMessage 0.
//
// Reported per n (medians over the runs):
//   send_ms      from BulkModeMessage 1 to BulkModeMessage 0 leaving
//   frame_ms     the two bulk mode messages sent back to back, measured in the
//                same run: what the frame itself costs
//   floor_ms     n x 20 + frame_ms
//   ratio        send_ms / floor_ms (1.00 is the floor; within 1 %: <= 1.01)
//   total_ms     from recall() to BulkModeMessage 0 leaving
//   total_ratio  total_ms / (200 + floor_ms)
//   parameters   parameter messages between the bulk mode messages (= n)
//
// Run: xvfb-run -a build/bench/SnapshotRecallBenchmark

#include "GuiBenchSupport.h"
#include "support/FakeDialogs.h"

#include "editor/Editor.h"
#include "files/ProjectSendPacer.h"
#include "link/Sysex.h"
#include "sim/SimulatedInstrument.h"

using namespace kestra;
using namespace kestra::bench;

namespace
{

bool isBulkMode(const std::vector<uint8_t>& m, uint8_t mode)
{
    return m == sysex::bulkModeMessage(mode);
}

bool isParameter(const std::vector<uint8_t>& m)
{
    return m.size() > 4 && m[0] == 0xF0 && m[1] == 0x7D && m[2] == 0x1E &&
           (m[3] == sysex::parameterValueCommand || m[3] == sysex::parameterByteCommand);
}

struct ConnectedCore
{
    juce::File folder = juce::File::createTempFile("kestra-bench-snapshots");
    SendLog sent;
    StopwatchMidiServices* midi = new StopwatchMidiServices(sent);
    testing::FakeDialogs dialogs;
    Editor editor{std::unique_ptr<MidiServices>(midi), dialogs, nullptr, nullptr, folder};
    SimulatedInstrument instrument{midi->virtualPorts};

    ConnectedCore()
    {
        editor.connect(true);
        pumpUntil([this] { return idle(); });
    }
    ~ConnectedCore() { folder.deleteRecursively(); }

    bool idle() const
    {
        return editor.isConnected() && editor.linkSupervisor().state() == Idle &&
               !dialogs.isOpen() && !editor.isSendingProject();
    }
};

void BM_Recall(benchmark::State& state)
{
    const int n = static_cast<int>(state.range(0));
    ConnectedCore bench;
    if (!bench.idle())
    {
        state.SkipWithError("the editor did not connect to the simulated instrument");
        return;
    }

    // Two snapshots n parameters apart; the runs recall them in turn.
    const int a = bench.editor.snapshots().take("A");
    bench.editor.deviceLink().updateParameterValues(
        [n](ParameterValues& v)
        {
            for (int k = 0; k < n; ++k)
            {
                auto& value = v[static_cast<size_t>(k)];
                value = isSettingParameter(k) ? (value == 0.0f ? 1.0f : 0.0f) : value + 0.5f;
            }
            return 0;
        });
    const int b = bench.editor.snapshots().take("B");

    std::vector<double> sendMs, totalMs, frameMs;
    int parameters = 0;
    bool onB = true;
    for (auto _ : state)
    {
        // The frame alone, back to back, in the same run.
        bench.sent.take();
        bench.editor.deviceLink().sendBulkModeMessage(1);
        bench.editor.deviceLink().sendBulkModeMessage(0);
        const auto frame = bench.sent.take();
        if (frame.size() == 2)
            frameMs.push_back(milliseconds(frame[1].time - frame[0].time));
        pumpFor(std::chrono::milliseconds(50));
        bench.sent.take();

        onB = !onB;
        const auto recalled = Clock::now();
        if (!bench.editor.snapshots().recall(onB ? b : a) ||
            !pumpUntil([&] { return bench.idle(); }))
        {
            state.SkipWithError("the recall did not run to its end");
            break;
        }
        Clock::time_point on{}, off{};
        int count = 0;
        for (const auto& m : bench.sent.take())
        {
            if (isBulkMode(m.bytes, 1))
                on = m.time;
            else if (isBulkMode(m.bytes, 0))
                off = m.time;
            else if (on != Clock::time_point{} && off == Clock::time_point{} &&
                     isParameter(m.bytes))
                ++count;
        }
        const double ms = milliseconds(off - on);
        state.SetIterationTime(ms / 1000.0);
        sendMs.push_back(ms);
        totalMs.push_back(milliseconds(off - recalled));
        parameters = count;
        pumpFor(std::chrono::milliseconds(300)); // the heartbeat comes back
    }
    const double frame = percentile(frameMs, 0.5);
    const double floor = n * projectfile::transmissionPacingMs + frame;
    state.counters["send_ms"] = percentile(sendMs, 0.5);
    state.counters["frame_ms"] = frame;
    state.counters["floor_ms"] = floor;
    state.counters["ratio"] = percentile(sendMs, 0.5) / floor;
    state.counters["total_ms"] = percentile(totalMs, 0.5);
    state.counters["total_ratio"] =
        percentile(totalMs, 0.5) / (projectfile::transmissionDelayMs + floor);
    state.counters["parameters"] = parameters;
}

} // namespace

int main(int argc, char** argv)
{
    return runBenchmarks(argc, argv,
                         []
                         {
                             benchmark::RegisterBenchmark("BM_Recall", BM_Recall)
                                 ->Arg(1)
                                 ->Arg(10)
                                 ->Arg(99)
                                 ->UseManualTime()
                                 ->Unit(benchmark::kMillisecond)
                                 ->Iterations(7);
                         });
}
