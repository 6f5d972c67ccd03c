#pragma once

// The editor's link timers: one JUCE timer each, on the message thread. A
// timer fires once per start and is stopped before its owner hears of it.

#include "link/LinkTimers.h"

#include <juce_events/juce_events.h>

#include <functional>
#include <utility>

namespace kestra
{

class JuceLinkTimers final : public LinkTimers, private juce::MultiTimer
{
public:
    explicit JuceLinkTimers(std::function<void(int timerId)> onExpiry)
        : expired(std::move(onExpiry))
    {
    }
    ~JuceLinkTimers() override { stopAll(); }

    void start(int timerId, int milliseconds) override { startTimer(timerId, milliseconds); }
    void stop(int timerId) override { stopTimer(timerId); }
    bool isRunning(int timerId) const override { return isTimerRunning(timerId); }

    void stopAll()
    {
        for (int id = 0; id < numTimers; ++id)
            stopTimer(id);
    }

    static constexpr int numTimers = 6; // the ids of link/LinkTypes.h

private:
    void timerCallback(int timerId) override
    {
        stopTimer(timerId);
        expired(timerId);
    }

    std::function<void(int)> expired;
};

} // namespace kestra
