#pragma once

// JUCE 7 on Windows paints the areas components asked to repaint when the
// display's vertical blank arrives: a thread per display waits for it with
// DXGI's IDXGIOutput::WaitForVBlank. Where that wait fails (Wine does not
// implement it; a session without a display output may not have one either),
// JUCE paints nothing after a window's first paint, and the editor would look
// frozen while it works. This timer watches the vertical blanks of the main
// window and, while none has arrived for a while, paints the pending areas of
// every window itself, at the display's usual rate. Where the wait works it
// finds vertical blanks arriving and does nothing.

#include <juce_gui_basics/juce_gui_basics.h>

namespace kestra
{

class RepaintFallback final : private juce::Timer
{
public:
    // The window must outlive this object.
    explicit RepaintFallback(juce::Component& window)
        : vBlank(&window, [this] { lastVBlank = juce::Time::getMillisecondCounter(); })
    {
        startTimerHz(60);
    }

    ~RepaintFallback() override { stopTimer(); }

    // A fallback for the window on Windows; none elsewhere, where JUCE
    // paints without waiting for the vertical blank.
    static std::unique_ptr<RepaintFallback> whereNeeded(juce::Component& window)
    {
#if JUCE_WINDOWS
        return std::make_unique<RepaintFallback>(window);
#else
        juce::ignoreUnused(window);
        return nullptr;
#endif
    }

    // Whether the last tick painted in place of the vertical blank.
    bool isStandingIn() const noexcept
    {
        return standingIn;
    }

private:
    static constexpr juce::uint32 silenceMs = 100; // six vertical blanks at 60 Hz

    void timerCallback() override
    {
        standingIn = juce::Time::getMillisecondCounter() - lastVBlank >= silenceMs;
        if (!standingIn)
            return;
        // Painting dispatches nothing that adds or removes windows, but the
        // count is read again each time all the same.
        for (int i = 0; i < juce::ComponentPeer::getNumPeers(); ++i)
            if (auto* peer = juce::ComponentPeer::getPeer(i))
                peer->performAnyPendingRepaintsNow();
    }

    juce::VBlankAttachment vBlank;
    juce::uint32 lastVBlank = 0; // none yet: standing in from the start
    bool standingIn = false;

    JUCE_DECLARE_NON_COPYABLE(RepaintFallback)
};

} // namespace kestra
