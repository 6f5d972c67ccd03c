#pragma once

// Under X, JUCE reads the display connection's events when its socket becomes
// readable. Xlib, however, also takes events off the socket while it waits
// for a reply, and keeps them in a queue of its own; the socket is then empty
// and those events wait for the next one to arrive, however long that takes.
// JUCE waits for such a reply each time it destroys a window (XSync): the
// Expose events for the area that a closed message box or selector list
// uncovers arrive just then, and without a compositor that area kept the
// box's picture until the mouse moved or something else was drawn there.
//
// This timer hands the events Xlib holds to JUCE's own handler of the
// connection, at the display's usual rate; with nothing held it does
// nothing. Elsewhere than on Linux there is no such queue, and no pump.

#include <juce_gui_basics/juce_gui_basics.h>

#include <memory>

namespace kestra
{

class XEventQueuePump final : private juce::Timer
{
public:
    XEventQueuePump();
    ~XEventQueuePump() override;

    // A pump on Linux; none elsewhere.
    static std::unique_ptr<XEventQueuePump> whereNeeded();

    // The number of events Xlib holds that JUCE has not handled yet (0
    // without an X display, and elsewhere than on Linux).
    static int heldEvents();

    // Hands the held events to JUCE now; returns how many there were.
    static int pumpNow();

private:
    void timerCallback() override;

    JUCE_DECLARE_NON_COPYABLE(XEventQueuePump)
};

} // namespace kestra
