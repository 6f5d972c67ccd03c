// The X declarations (Xlib, and JUCE's XWindowSystem and X11Symbols, through
// which JUCE calls the Xlib it loads) come with juce_gui_basics.h only when
// this is defined before its first inclusion.
#define JUCE_GUI_BASICS_INCLUDE_XHEADERS 1

#include "ui/XEventQueuePump.h"

#if JUCE_LINUX
#include <juce_events/native/juce_linux_EventLoopInternal.h>
#endif

namespace kestra
{

XEventQueuePump::XEventQueuePump()
{
    startTimerHz(60);
}

XEventQueuePump::~XEventQueuePump()
{
    stopTimer();
}

std::unique_ptr<XEventQueuePump> XEventQueuePump::whereNeeded()
{
#if JUCE_LINUX
    return std::make_unique<XEventQueuePump>();
#else
    return nullptr;
#endif
}

#if JUCE_LINUX
namespace
{
// The display, when JUCE has one open.
::Display* openDisplay()
{
    auto* windowSystem = juce::XWindowSystem::getInstanceWithoutCreating();
    if (windowSystem == nullptr || !windowSystem->isX11Available())
        return nullptr;
    return windowSystem->getDisplay();
}
} // namespace
#endif

int XEventQueuePump::heldEvents()
{
#if JUCE_LINUX
    auto* display = openDisplay();
    if (display == nullptr)
        return 0;
    const juce::XWindowSystemUtilities::ScopedXLock lock;
    // QueuedAlready: what Xlib holds, without reading the socket.
    return juce::X11Symbols::getInstance()->xEventsQueued(display, QueuedAlready);
#else
    return 0;
#endif
}

int XEventQueuePump::pumpNow()
{
#if JUCE_LINUX
    const int held = heldEvents();
    if (held > 0)
        if (auto* display = openDisplay())
        {
            // JUCE's own handler of the connection, as if the socket had
            // become readable: it takes every held event in turn.
            const int fd = juce::X11Symbols::getInstance()->xConnectionNumber(display);
            juce::LinuxEventLoopInternal::invokeEventLoopCallbackForFd(fd);
        }
    return held;
#else
    return 0;
#endif
}

void XEventQueuePump::timerCallback()
{
    pumpNow();
}

} // namespace kestra
