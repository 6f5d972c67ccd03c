#pragma once

// What the benchmarks of the whole editor share: JUCE's GUI support with a
// settings folder of their own, the message loop, a stopwatch on the
// editor's output port, a component that counts its paints, and percentiles.

#include "link/VirtualMidiServices.h"
#include "support/MessageLoop.h"

#include <benchmark/benchmark.h>
#include <juce_gui_basics/juce_gui_basics.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <iostream>
#include <mutex>
#include <vector>

namespace kestra::bench
{

using Clock = std::chrono::steady_clock;

inline double milliseconds(Clock::duration d)
{
    return std::chrono::duration<double, std::milli>(d).count();
}

inline double microseconds(Clock::duration d)
{
    return std::chrono::duration<double, std::micro>(d).count();
}

// The value below which a fraction p of the values lie (nearest rank).
inline double percentile(std::vector<double> values, double p)
{
    if (values.empty())
        return 0.0;
    const auto at = static_cast<size_t>(p * static_cast<double>(values.size() - 1) + 0.5);
    std::nth_element(values.begin(), values.begin() + static_cast<long>(at), values.end());
    return values[at];
}

inline double largest(const std::vector<double>& values)
{
    return values.empty() ? 0.0 : *std::max_element(values.begin(), values.end());
}

// Runs the message loop until the condition holds or the deadline passes.
inline bool pumpUntil(const std::function<bool()>& condition,
                      std::chrono::milliseconds deadline = std::chrono::milliseconds(10000))
{
    const auto end = Clock::now() + deadline;
    while (!condition())
    {
        if (Clock::now() > end)
            return condition();
        kestra::testing::dispatchMessagesFor(1);
    }
    return true;
}

inline void pumpFor(std::chrono::milliseconds duration)
{
    const auto end = Clock::now() + duration;
    while (Clock::now() < end)
        kestra::testing::dispatchMessagesFor(1);
}

// Every message the editor hands to its output port, with the moment it did.
struct SentMessage
{
    Clock::time_point time;
    std::vector<uint8_t> bytes;
};

class SendLog
{
public:
    void add(const uint8_t* data, size_t size)
    {
        const auto now = Clock::now();
        const std::lock_guard<std::mutex> guard(lock);
        messages.push_back({now, std::vector<uint8_t>(data, data + size)});
    }
    std::vector<SentMessage> take()
    {
        const std::lock_guard<std::mutex> guard(lock);
        return std::exchange(messages, {});
    }

private:
    std::mutex lock;
    std::vector<SentMessage> messages;
};

// The virtual ports, with every message the editor sends on any output
// written into a SendLog before it goes on.
class StopwatchMidiServices final : public MidiServices
{
public:
    explicit StopwatchMidiServices(SendLog& logToKeep) : log(logToKeep) {}
    VirtualMidiServices virtualPorts;

    juce::StringArray getInputDeviceNames() override { return virtualPorts.getInputDeviceNames(); }
    juce::StringArray getOutputDeviceNames() override
    {
        return virtualPorts.getOutputDeviceNames();
    }
    std::unique_ptr<MidiInputPort> openInputDevice(int index,
                                                   juce::MidiInputCallback* callback) override
    {
        return virtualPorts.openInputDevice(index, callback);
    }
    std::unique_ptr<MidiOutputPort> openOutputDevice(int index) override
    {
        auto port = virtualPorts.openOutputDevice(index);
        if (port == nullptr)
            return nullptr;
        return std::make_unique<LoggedOutput>(std::move(port), log);
    }

private:
    class LoggedOutput final : public MidiOutputPort
    {
    public:
        LoggedOutput(std::unique_ptr<MidiOutputPort> innerPort, SendLog& sendLog)
            : inner(std::move(innerPort)), log(sendLog)
        {
        }
        void sendMessageNow(const juce::MidiMessage& message) override
        {
            log.add(message.getRawData(), static_cast<size_t>(message.getRawDataSize()));
            inner->sendMessageNow(message);
        }

    private:
        std::unique_ptr<MidiOutputPort> inner;
        SendLog& log;
    };

    SendLog& log;
};

// A few transparent pixels in a corner of the window, repainted every few
// milliseconds by a timer on the message thread: while that thread is free,
// both the timer and the paints go on; while it is blocked, neither does.
class PaintCounter final : public juce::Component, private juce::Timer
{
public:
    PaintCounter()
    {
        setInterceptsMouseClicks(false, false);
        setOpaque(false);
    }
    ~PaintCounter() override { stopTimer(); }

    void run(int intervalMs) { startTimer(intervalMs); }
    void halt() { stopTimer(); }

    void reset()
    {
        paints.clear();
        ticks.clear();
    }

    std::vector<Clock::time_point> paints; // every paint of this component
    std::vector<Clock::time_point> ticks;  // every timer callback

    void paint(juce::Graphics&) override { paints.push_back(Clock::now()); }

private:
    void timerCallback() override
    {
        ticks.push_back(Clock::now());
        repaint();
    }
};

// The gaps between successive moments within [from, to], with the edges
// counted as moments, in milliseconds.
inline std::vector<double> gapsWithin(const std::vector<Clock::time_point>& moments,
                                      Clock::time_point from, Clock::time_point to)
{
    std::vector<double> gaps;
    auto last = from;
    for (auto t : moments)
        if (t > from && t < to)
        {
            gaps.push_back(milliseconds(t - last));
            last = t;
        }
    gaps.push_back(milliseconds(to - last));
    return gaps;
}

// The benchmark programs' main: settings in a folder of their own, JUCE's GUI
// support when there is a display, and registerGuiBenchmarks() called then;
// without a display those benchmarks are left out with a note.
inline int runBenchmarks(int argc, char** argv, const std::function<void()>& registerGuiBenchmarks)
{
    auto settings = juce::File::createTempFile("kestra-bench-settings");
    settings.createDirectory();
    setenv("XDG_CONFIG_HOME", settings.getFullPathName().toRawUTF8(), 1);

    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;

    std::unique_ptr<juce::ScopedJuceInitialiser_GUI> gui;
    if (std::getenv("DISPLAY") != nullptr)
    {
        // Without an application JUCE installs no X error handler unless
        // createInstance is set, and the first harmless X error would end the run.
        juce::JUCEApplicationBase::createInstance = []() -> juce::JUCEApplicationBase*
        { return nullptr; };
        gui = std::make_unique<juce::ScopedJuceInitialiser_GUI>();
        registerGuiBenchmarks();
    }
    else
    {
        std::cerr << "No display ($DISPLAY is empty): the editor's benchmarks need one "
                     "(run under xvfb-run -a).\n";
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    gui.reset();
    settings.deleteRecursively();
    return 0;
}

} // namespace kestra::bench
