#include "ui/ToolWindow.h"

#include "ui/CustomAlertWindow.h"

namespace kestra
{

ToolWindow::ToolWindow(const juce::String& title, juce::Component* content,
                       juce::Point<int> smallestSize,
                       std::function<bool(const juce::KeyPress&)> keyHandler)
    : juce::DocumentWindow(title, juce::Colour(0xFFF1F1F1),
                           juce::DocumentWindow::minimiseButton |
                               juce::DocumentWindow::closeButton),
      smallest(smallestSize), keys(std::move(keyHandler))
{
    setUsingNativeTitleBar(true);
    setContentOwned(content, true);
    setResizable(true, false);
    setResizeLimits(smallest.x, smallest.y, 4096, 4096);
    setWantsKeyboardFocus(true);
    // Usable while a box blocks the editor.
    setComponentID(CustomAlertWindow::notBlockedId);
}

void ToolWindow::closeButtonPressed()
{
    setVisible(false);
}

bool ToolWindow::keyPressed(const juce::KeyPress& key)
{
    return (keys && keys(key)) || juce::DocumentWindow::keyPressed(key);
}

void ToolWindow::placeBeside(const juce::Component& editorWindow)
{
    // The frames the window manager puts around both windows, alike; none
    // known (no window manager, or not yet mapped): none counted.
    juce::BorderSize<int> frame;
    if (auto* peer = editorWindow.getPeer())
        if (const auto size = peer->getFrameSizeIfPresent())
            frame = *size;
    const auto editor = frame.addedTo(editorWindow.getScreenBounds());
    const auto* display = juce::Desktop::getInstance().getDisplays().getDisplayForRect(editor);
    const auto screen = display != nullptr ? display->userArea : editor;
    const juce::Point<int> frameSize{frame.getLeftAndRight(), frame.getTopAndBottom()};
    const auto outer =
        kestra::placeBeside(editor, screen, juce::Point<int>{getWidth(), getHeight()} + frameSize,
                            smallest + frameSize);
    setBounds(frame.subtractedFrom(outer));
}

// ---- where it opens ----------------------------------------------------------------------

juce::Rectangle<int> placeBeside(juce::Rectangle<int> editor, juce::Rectangle<int> screen,
                                 juce::Point<int> size, juce::Point<int> smallest)
{
    constexpr int gap = 8;
    enum Side
    {
        right,
        left,
        below,
        above
    };
    const Side sides[] = {right, left, below, above};
    const int room[] = {
        screen.getRight() - editor.getRight() - gap,
        editor.getX() - screen.getX() - gap,
        screen.getBottom() - editor.getBottom() - gap,
        editor.getY() - screen.getY() - gap,
    };
    const auto across = [](Side side) { return side == right || side == left; };
    // The monitor on a side, `extent` wide (beside) or high (below, above),
    // lined up with the editor's top or left edge, then moved into the screen.
    const auto on = [&](Side side, int extent)
    {
        juce::Rectangle<int> r;
        switch (side)
        {
        case right:
            r = {editor.getRight() + gap, editor.getY(), extent, size.y};
            break;
        case left:
            r = {editor.getX() - gap - extent, editor.getY(), extent, size.y};
            break;
        case below:
            r = {editor.getX(), editor.getBottom() + gap, size.x, extent};
            break;
        case above:
            r = {editor.getX(), editor.getY() - gap - extent, size.x, extent};
            break;
        }
        r.setSize(juce::jmin(r.getWidth(), screen.getWidth()),
                  juce::jmin(r.getHeight(), screen.getHeight()));
        return r.constrainedWithin(screen);
    };

    for (const auto side : sides)
        if (room[side] >= (across(side) ? size.x : size.y))
            return on(side, across(side) ? size.x : size.y);
    for (const auto side : sides)
        if (room[side] >= (across(side) ? smallest.x : smallest.y))
            return on(side, room[side]);

    // No room anywhere: at the smallest size, where it covers the least of
    // the editor. Below comes first, then right, left and above: a later side
    // must cover clearly less (by a twentieth) to be taken, so that the
    // monitor does not move over the toolbar for a few pixels.
    juce::Rectangle<int> best;
    juce::int64 bestCovered = 0;
    for (const auto side : {below, right, left, above})
    {
        const auto r = on(side, across(side) ? smallest.x : smallest.y);
        const auto covered = r.getIntersection(editor);
        const auto area = static_cast<juce::int64>(covered.getWidth()) * covered.getHeight();
        if (best.isEmpty() || area * 20 < bestCovered * 19)
        {
            best = r;
            bestCovered = area;
        }
    }
    return best;
}

} // namespace kestra
