#pragma once

// Stepping JUCE's message loop from a test or a benchmark, with or without a
// display.

#include <juce_events/juce_events.h>

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

} // namespace kestra::testing
