#pragma once

// The one-shot timers of the link, as the link supervision sees them. The
// editor's are JUCE timers on the message thread (link/JuceLinkTimers.h);
// tests use a clock they advance themselves. Every call comes from the
// thread that owns the link state, and an expiry is reported on that thread
// to whoever owns the timers.

namespace kestra
{

class LinkTimers
{
public:
    virtual ~LinkTimers() = default;
    // Starts the timer, or starts it again from now; it fires once.
    virtual void start(int timerId, int milliseconds) = 0;
    virtual void stop(int timerId) = 0;
    virtual bool isRunning(int timerId) const = 0;
};

} // namespace kestra
