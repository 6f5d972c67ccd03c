// The receive path without a window: what the MIDI input thread does with the
// instrument's messages, from the bytes as they arrive to the store written
// and the message thread told.
//
//   BM_DecodeParameterMessage  sysex::decode of one ParameterValueMessage alone
//   BM_ReceiveParameterMessage DeviceLink::handleIncoming of one
//                              ParameterValueMessage while the link is idle:
//                              checked, copied into the receive buffer,
//                              decoded, stored under the lock, ParameterChanged
//                              posted
//   BM_ReceiveParameterByte    the same for a ParameterByteMessage
//   BM_ReceiveTonewheelName    the same for a TonewheelNameMessage
//   BM_ReceiveFullDump         the three sections of the handshake's dump as
//                              the instrument sends them: 85 values and a
//                              DoneMessage, 14 settings and a DoneMessage, six
//                              slot names and a DoneMessage (108 messages); the
//                              host moves the link to the next section on every
//                              DoneMessage, as the message thread does
//
// Run: build-bench/bench/ReceivePathBenchmark (no display needed)

#include "link/DeviceLink.h"
#include "link/Sysex.h"
#include "model/Conversions.h"
#include "model/ParameterCatalogue.h"

#include <benchmark/benchmark.h>

#include <vector>

using namespace kestra;

namespace
{

// What the content component is to the device link, without one: nothing is
// sent and posted messages are counted.
class CountingHost final : public LinkHost
{
public:
    int posted = 0;
    int done = 0;

    void sendToInstrument(const uint8_t*, size_t) override {}
    void postInternalMessage(int type, int) override
    {
        ++posted;
        if (type == DoneReceived)
            ++done;
    }
};

// Every message of one dump, in the order the instrument sends them.
std::vector<sysex::Bytes> fullDump()
{
    const auto& values = defaultValues(0);
    std::vector<sysex::Bytes> dump;
    for (int n = 0; n < firstSettingParameter; ++n)
        dump.push_back(sysex::parameterValueMessage(n, values[static_cast<size_t>(n)]));
    dump.push_back(sysex::doneMessage());
    for (int n = firstSettingParameter; n < numParameters; ++n)
        dump.push_back(sysex::parameterByteMessage(
            n, static_cast<uint8_t>(settingByteFor(n, values[static_cast<size_t>(n)]))));
    dump.push_back(sysex::doneMessage());
    const char* names[numTonewheelSlots] = {"Vintage A", "Vintage B", "Clean",
                                            "Alt One",   "Alt Two",   "Alt Three"};
    for (int slot = 0; slot < numTonewheelSlots; ++slot)
        dump.push_back(sysex::tonewheelNameMessage(slot, names[slot]));
    dump.push_back(sysex::doneMessage());
    return dump;
}

void BM_DecodeParameterMessage(benchmark::State& state)
{
    const auto message = sysex::parameterValueMessage(23, 2.2f);
    for (auto _ : state)
    {
        auto decoded = sysex::decode(message.data(), message.size());
        benchmark::DoNotOptimize(decoded);
    }
}

void receiveOne(benchmark::State& state, const sysex::Bytes& message, int expectedPosts)
{
    CountingHost host;
    DeviceLink link(host);
    for (auto _ : state)
    {
        link.handleIncoming(message.data(), message.size());
        benchmark::ClobberMemory();
    }
    if (host.posted != static_cast<int>(state.iterations()) * expectedPosts)
        state.SkipWithError("the message was not taken");
}

void BM_ReceiveParameterMessage(benchmark::State& state)
{
    receiveOne(state, sysex::parameterValueMessage(23, 2.2f), 1);
}

void BM_ReceiveParameterByte(benchmark::State& state)
{
    receiveOne(state, sysex::parameterByteMessage(97, 3), 1);
}

void BM_ReceiveTonewheelName(benchmark::State& state)
{
    receiveOne(state, sysex::tonewheelNameMessage(4, "Alt Two"), 1);
}

void BM_ReceiveFullDump(benchmark::State& state)
{
    const auto dump = fullDump();
    CountingHost host;
    DeviceLink link(host);
    for (auto _ : state)
    {
        for (const auto& message : dump)
            link.handleIncoming(message.data(), message.size());
        benchmark::ClobberMemory();
    }
    // Three DoneMessages per dump, and one post for every message.
    const auto iterations = static_cast<int>(state.iterations());
    if (host.done != 3 * iterations || host.posted != static_cast<int>(dump.size()) * iterations)
        state.SkipWithError("the dump did not run through its three sections");
    state.counters["messages"] = static_cast<double>(dump.size());
    // Time per message (shown with its unit: 35.4n is 35.4 ns).
    state.counters["per_message"] = benchmark::Counter(
        static_cast<double>(dump.size()) * static_cast<double>(state.iterations()),
        benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

} // namespace

// Five runs of each; the console shows the mean, median and spread over them.
BENCHMARK(BM_DecodeParameterMessage)->Repetitions(5)->DisplayAggregatesOnly(true);
BENCHMARK(BM_ReceiveParameterMessage)->Repetitions(5)->DisplayAggregatesOnly(true);
BENCHMARK(BM_ReceiveParameterByte)->Repetitions(5)->DisplayAggregatesOnly(true);
BENCHMARK(BM_ReceiveTonewheelName)->Repetitions(5)->DisplayAggregatesOnly(true);
BENCHMARK(BM_ReceiveFullDump)
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(5)
    ->DisplayAggregatesOnly(true);

BENCHMARK_MAIN();
