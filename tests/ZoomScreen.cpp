#include "ZoomScreen.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace kestra::testing
{

namespace
{
::Window windowOf(juce::Component& window)
{
    auto* peer = window.getPeer();
    return peer != nullptr ? static_cast<::Window>(reinterpret_cast<juce::pointer_sized_uint>(
                                 peer->getNativeHandle()))
                           : ::Window{};
}
} // namespace

ZoomScreen::ZoomScreen() : display(XOpenDisplay(nullptr)) {}

ZoomScreen::~ZoomScreen()
{
    if (display != nullptr)
        XCloseDisplay(static_cast<Display*>(display));
}

juce::Rectangle<int> ZoomScreen::boundsOf(juce::Component& window)
{
    auto* x = static_cast<Display*>(display);
    const auto handle = windowOf(window);
    XWindowAttributes attributes{};
    if (handle == ::Window{} || XGetWindowAttributes(x, handle, &attributes) == 0)
        return {};
    int left = 0, top = 0;
    ::Window child{};
    XTranslateCoordinates(x, handle, DefaultRootWindow(x), 0, 0, &left, &top, &child);
    return {left, top, attributes.width, attributes.height};
}

std::pair<juce::Rectangle<int>, juce::Rectangle<int>>
ZoomScreen::sizeHintsOf(juce::Component& window)
{
    const auto handle = windowOf(window);
    XSizeHints hints{};
    long supplied = 0;
    if (handle == ::Window{} ||
        XGetWMNormalHints(static_cast<Display*>(display), handle, &hints, &supplied) == 0)
        return {};
    std::pair<juce::Rectangle<int>, juce::Rectangle<int>> result;
    if ((hints.flags & PMinSize) != 0)
        result.first = {hints.min_width, hints.min_height};
    if ((hints.flags & PMaxSize) != 0)
        result.second = {hints.max_width, hints.max_height};
    return result;
}

juce::Image ZoomScreen::grab(juce::Rectangle<int> area)
{
    auto* x = static_cast<Display*>(display);
    auto* shot = XGetImage(x, DefaultRootWindow(x), area.getX(), area.getY(),
                           static_cast<unsigned>(area.getWidth()),
                           static_cast<unsigned>(area.getHeight()), AllPlanes, ZPixmap);
    if (shot == nullptr)
        return {};
    juce::Image image(juce::Image::RGB, area.getWidth(), area.getHeight(), false);
    {
        const juce::Image::BitmapData pixels(image, juce::Image::BitmapData::writeOnly);
        for (int y = 0; y < area.getHeight(); ++y)
            for (int column = 0; column < area.getWidth(); ++column)
            {
                const auto p = XGetPixel(shot, column, y);
                pixels.setPixelColour(column, y,
                                      juce::Colour(static_cast<juce::uint8>((p >> 16) & 0xff),
                                                   static_cast<juce::uint8>((p >> 8) & 0xff),
                                                   static_cast<juce::uint8>(p & 0xff)));
            }
    }
    XDestroyImage(shot);
    return image;
}

} // namespace kestra::testing
