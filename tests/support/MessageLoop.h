#pragma once

// Stepping JUCE's message loop from a test or a benchmark, with or without a
// display.

#include <juce_events/juce_events.h>

#include <chrono>
#include <functional>

// JUCE's own step of its message loop (juce_events' native messaging), which
// runDispatchLoopUntil would call if modal loops were permitted: the editor is
// built without them, so tests step the loop themselves.
namespace juce
{
bool dispatchNextMessageOnSystemQueue(bool returnIfNoPendingMessages);
} // namespace juce

namespace kestra::testing
{

// Delivers the messages waiting on the message thread, for about `milliseconds`.
inline void dispatchMessagesFor(int milliseconds)
{
    const auto end = juce::Time::getMillisecondCounterHiRes() + milliseconds;
    do
    {
        if (!juce::dispatchNextMessageOnSystemQueue(true))
            juce::Thread::sleep(1);
    } while (juce::Time::getMillisecondCounterHiRes() < end);
}

// Delivers messages one at a time until the condition holds after one of
// them, or the deadline passes; returns whether it holds. For a state that
// the very next messages would change.
inline bool dispatchUntil(const std::function<bool()>& condition, int deadlineMs = 5000)
{
    const auto end = juce::Time::getMillisecondCounterHiRes() + deadlineMs;
    while (!condition())
    {
        if (juce::Time::getMillisecondCounterHiRes() > end)
            return false;
        if (!juce::dispatchNextMessageOnSystemQueue(true))
            juce::Thread::sleep(1);
    }
    return true;
}

// Runs the message loop until the condition holds or the deadline passes;
// returns whether it holds.
inline bool pumpUntil(const std::function<bool()>& condition,
                      std::chrono::milliseconds deadline = std::chrono::milliseconds(5000))
{
    const auto end = std::chrono::steady_clock::now() + deadline;
    while (!condition())
    {
        if (std::chrono::steady_clock::now() > end)
            return condition();
        dispatchMessagesFor(5);
    }
    return true;
}

// Runs the message loop for a while (to let asynchronous work settle).
inline void pumpFor(std::chrono::milliseconds duration)
{
    const auto end = std::chrono::steady_clock::now() + duration;
    while (std::chrono::steady_clock::now() < end)
        dispatchMessagesFor(5);
}

} // namespace kestra::testing
