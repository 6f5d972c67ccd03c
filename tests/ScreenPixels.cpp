// The X declarations come with juce_gui_basics.h only when this is defined
// before its first inclusion.
#define JUCE_GUI_BASICS_INCLUDE_XHEADERS 1

#include "ScreenPixels.h"

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

} // namespace kestra::testing
