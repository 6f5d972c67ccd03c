#include "ui/FixedSizeHints.h"

#if JUCE_LINUX || JUCE_BSD
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <map>
#endif

namespace kestra
{

#if JUCE_LINUX || JUCE_BSD

namespace
{
// Keeps minimum = maximum in the size hints of the windows it is given, over
// a connection of its own to the display JUCE uses (JUCE's own is not
// reachable from outside its module; properties live on the server, so what
// is written here is what the window manager reads). JUCE writes the hints
// again whenever it positions a window, on its own connection, at times of
// its own (when the window first paints, for one): the keeper hears every
// change of them and puts minimum and maximum back.
class SizeHintKeeper final : private juce::DeletedAtShutdown
{
public:
    JUCE_DECLARE_SINGLETON_SINGLETHREADED(SizeHintKeeper, true)

    SizeHintKeeper() : display(XOpenDisplay(nullptr))
    {
        if (display != nullptr)
            juce::LinuxEventLoop::registerFdCallback(ConnectionNumber(display),
                                                     [this](int) { handleEvents(); });
    }

    ~SizeHintKeeper() override
    {
        if (display != nullptr)
        {
            juce::LinuxEventLoop::unregisterFdCallback(ConnectionNumber(display));
            XCloseDisplay(display);
        }
        clearSingletonInstance();
    }

    bool keep(::Window window, int width, int height)
    {
        if (display == nullptr)
            return false;
        const auto known = wanted.find(window) != wanted.end();
        wanted[window] = {width, height};
        if (!known)
            XSelectInput(display, window, PropertyChangeMask | StructureNotifyMask);
        ensure(window);
        handleEvents();
        return true;
    }

    Display* connection() const { return display; }

private:
    struct Size
    {
        int width, height;
    };

    void ensure(::Window window)
    {
        const auto found = wanted.find(window);
        if (found == wanted.end())
            return;
        const auto size = found->second;
        XSizeHints hints{};
        long supplied = 0;
        if (XGetWMNormalHints(display, window, &hints, &supplied) == 0)
            hints = XSizeHints{};
        if ((hints.flags & (PMinSize | PMaxSize)) == (PMinSize | PMaxSize) &&
            hints.min_width == size.width && hints.max_width == size.width &&
            hints.min_height == size.height && hints.max_height == size.height)
            return;
        hints.flags |= PMinSize | PMaxSize;
        hints.min_width = hints.max_width = size.width;
        hints.min_height = hints.max_height = size.height;
        XSetWMNormalHints(display, window, &hints);
    }

    void handleEvents()
    {
        while (XPending(display) > 0)
        {
            XEvent event{};
            XNextEvent(display, &event);
            if (event.type == PropertyNotify && event.xproperty.atom == XA_WM_NORMAL_HINTS &&
                event.xproperty.state == PropertyNewValue)
                ensure(event.xproperty.window);
            else if (event.type == DestroyNotify)
                wanted.erase(event.xdestroywindow.window);
        }
        XFlush(display);
    }

    Display* const display;
    std::map<::Window, Size> wanted;
};

JUCE_IMPLEMENT_SINGLETON(SizeHintKeeper)

::Window nativeWindowOf(juce::Component& window, juce::ComponentPeer*& peer)
{
    peer = window.getPeer();
    return peer != nullptr ? static_cast<::Window>(reinterpret_cast<juce::pointer_sized_uint>(
                                 peer->getNativeHandle()))
                           : ::Window{};
}
} // namespace

bool tellFixedSize(juce::Component& window)
{
    juce::ComponentPeer* peer = nullptr;
    const auto handle = nativeWindowOf(window, peer);
    auto* keeper = SizeHintKeeper::getInstance();
    if (handle == ::Window{} || keeper == nullptr)
        return false;
    // The physical size as JUCE gives it to the window.
    const auto size =
        juce::Desktop::getInstance().getDisplays().logicalToPhysical(peer->getBounds());
    return keeper->keep(handle, std::max(1, size.getWidth()), std::max(1, size.getHeight()));
}

SizeHints readSizeHints(juce::Component& window)
{
    juce::ComponentPeer* peer = nullptr;
    const auto handle = nativeWindowOf(window, peer);
    auto* keeper = SizeHintKeeper::getInstance();
    auto* display = keeper != nullptr ? keeper->connection() : nullptr;
    if (handle == ::Window{} || display == nullptr)
        return {};
    // A question on JUCE's own connection: its replies come in order, so
    // what JUCE has written is on the server.
    peer->isMinimised();
    XSizeHints hints{};
    long supplied = 0;
    if (XGetWMNormalHints(display, handle, &hints, &supplied) == 0)
        return {};
    SizeHints result;
    if ((hints.flags & PMinSize) != 0)
        result.minimum = {hints.min_width, hints.min_height};
    if ((hints.flags & PMaxSize) != 0)
        result.maximum = {hints.max_width, hints.max_height};
    return result;
}

#else

bool tellFixedSize(juce::Component&)
{
    return false;
}

SizeHints readSizeHints(juce::Component&)
{
    return {};
}

#endif

} // namespace kestra
