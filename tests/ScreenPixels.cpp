// The X declarations come with juce_gui_basics.h only when this is defined
// before its first inclusion.
#define JUCE_GUI_BASICS_INCLUDE_XHEADERS 1

#include "ScreenPixels.h"

#include <optional>
#include <set>

namespace kestra::testing
{

juce::Image screenPixels(juce::Rectangle<int> area)
{
#if JUCE_LINUX
    auto* windowSystem = juce::XWindowSystem::getInstanceWithoutCreating();
    if (windowSystem == nullptr || !windowSystem->isX11Available())
        return {};
    ::Window root = 0;
    {
        const juce::XWindowSystemUtilities::ScopedXLock lock;
        root = juce::X11Symbols::getInstance()->xDefaultRootWindow(windowSystem->getDisplay());
    }
    const auto screen = juce::createSnapshotOfNativeWindow(reinterpret_cast<void*>(root));
    const auto inside = area.getIntersection(screen.getBounds());
    if (inside.isEmpty())
        return {};
    return screen.getClippedImage(inside).createCopy();
#else
    juce::ignoreUnused(area);
    return {};
#endif
}

bool otherProgramsOver(const juce::Component& window)
{
#if JUCE_LINUX
    auto* windowSystem = juce::XWindowSystem::getInstanceWithoutCreating();
    auto* peer = window.getPeer();
    if (windowSystem == nullptr || !windowSystem->isX11Available() || peer == nullptr)
        return false;
    std::set<::Window> ours;
    for (int i = 0; i < juce::ComponentPeer::getNumPeers(); ++i)
        ours.insert(reinterpret_cast<::Window>(juce::ComponentPeer::getPeer(i)->getNativeHandle()));
    const auto own = reinterpret_cast<::Window>(peer->getNativeHandle());

    auto* display = windowSystem->getDisplay();
    auto& x = *juce::X11Symbols::getInstance();
    const juce::XWindowSystemUtilities::ScopedXLock lock;
    const auto bounds = [&](::Window w) -> std::optional<juce::Rectangle<int>>
    {
        XWindowAttributes a{};
        if (x.xGetWindowAttributes(display, w, &a) == 0 || a.map_state != IsViewable)
            return std::nullopt;
        return juce::Rectangle<int>(a.x, a.y, a.width, a.height);
    };
    const auto area = bounds(own);
    ::Window root = x.xDefaultRootWindow(display), parent = 0;
    ::Window* children = nullptr;
    unsigned int count = 0;
    if (!area || x.xQueryTree(display, root, &root, &parent, &children, &count) == 0)
        return false;
    // Bottom to top: the windows after the own one lie above it.
    bool above = false, covered = false;
    for (unsigned int i = 0; i < count; ++i)
    {
        if (children[i] == own)
            above = true;
        else if (above && ours.count(children[i]) == 0)
            if (const auto other = bounds(children[i]); other && other->intersects(*area))
                covered = true;
    }
    if (children != nullptr)
        x.xFree(children);
    return covered;
#else
    juce::ignoreUnused(window);
    return false;
#endif
}

} // namespace kestra::testing
