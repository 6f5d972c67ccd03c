#pragma once

// The outline around the focused control, for keyboard users only. It shows
// once the user moves with the keyboard (Tab, Shift+Tab, the arrow keys, Page
// Up and Down, Home, End) and follows the focus from then on; the next mouse
// click anywhere takes it away until the keyboard is used again. A mouse
// user's window therefore never shows it.
//
// It lies over the controls of the component it belongs to and hears the keys
// of every control it is told to watch (watch) before the control does.

#include <juce_gui_basics/juce_gui_basics.h>

namespace kestra
{

class FocusRing final : public juce::Component,
                        public juce::KeyListener,
                        private juce::FocusChangeListener
{
public:
    // Goes over the children of `area`; add it to `area` last.
    explicit FocusRing(juce::Component& area);
    ~FocusRing() override;

    // Hears that component's keys before it does.
    void watch(juce::Component& component) { component.addKeyListener(this); }

    // Whether the keyboard was used since the last mouse click.
    bool isKeyboardInUse() const { return keyboardInUse; }
    // The child of the area whose outline is shown; nullptr while none is.
    juce::Component* surrounded() const { return isVisible() ? around.getComponent() : nullptr; }

    // Puts the ring where the focus now is.
    void update();

    static bool isNavigationKey(const juce::KeyPress& key);

    // juce::KeyListener: notes a navigation key; never uses the key.
    bool keyPressed(const juce::KeyPress& key, juce::Component* origin) override;
    void paint(juce::Graphics& g) override;

    static constexpr juce::uint32 colour = 0xFF1E6FE0;
    static constexpr juce::uint32 edgeColour = 0xFFF4F8FF;
    static constexpr int gap = 3; // between the control and the outline

private:
    void globalFocusChanged(juce::Component* focused) override;
    void mouseClicked();

    struct ClickListener final : public juce::MouseListener
    {
        explicit ClickListener(FocusRing& ringToTell) : ring(ringToTell) {}
        void mouseDown(const juce::MouseEvent&) override { ring.mouseClicked(); }
        FocusRing& ring;
    };

    juce::Component& area;
    ClickListener clicks{*this};
    juce::Component::SafePointer<juce::Component> around;
    bool keyboardInUse = false;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR(FocusRing)
};

} // namespace kestra
