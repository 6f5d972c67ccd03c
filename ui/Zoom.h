#pragma once

// The zoom of the editor: Auto, 100, 125, 150, 175 and 200 % (the steps and
// the rule that keeps the window within the screen are model/ZoomSteps.h).
//
// A step is applied with juce::Desktop::setGlobalScaleFactor, so that
// everything scales together: the editor's window, every box, the selectors'
// lists and the menus, the MIDI Monitor, and the file chooser where JUCE
// draws it. The layout in logical pixels does not change. Windows already
// open keep their centre on the screen as they grow or shrink.
//
// The user chooses with the keys (keyPressed, from the editor's key handling)
// or the menu that a right-click on the window's background opens; the choice
// is kept in the settings file (link/SettingsFile.h) under "Zoom". The start
// option --scale chooses for one run (startWith, before the window opens).
// After every change of its size or place the window tells the window manager
// its one size (ui/FixedSizeHints.h).
//
// On Windows the program is per-monitor DPI aware (JUCE makes a standalone
// program so, JUCE_WIN_PER_MONITOR_DPI_AWARE): Auto follows the scale of the
// monitor the window is on, and a chosen step stays that size in pixels on
// any monitor.

#include "model/ZoomSteps.h"
#include "ui/LookAndFeels.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <optional>

namespace kestra
{

class Zoom final : private juce::ComponentListener,
                   private juce::MouseListener,
                   private juce::ComponentPeer::ScaleFactorListener
{
public:
    // editor: the window's content, whose background the right-click is on.
    // The zoom applies to the window it is in, once it is in one.
    explicit Zoom(juce::Component& editor);
    ~Zoom() override;

    // Ctrl+= and Ctrl++ one step bigger, Ctrl+- one step smaller, Ctrl+0 back
    // to Auto (Cmd on macOS; the number pad's + - 0 too). True when it was one of them.
    bool keyPressed(const juce::KeyPress& key);

    // The menu of the steps (the current choice ticked), as the right-click opens it.
    juce::PopupMenu menu() const;
    // Opens it at a point of the editor; the answer comes later, by itself.
    void showMenu(juce::Point<int> where);

    // ZoomSteps::automatic or a step.
    int choice() const { return chosen; }
    // The step used, and whether the choice is larger than the screen allows.
    ZoomSteps::Outcome outcome() const { return used; }
    // What the user chose, with the keys or the menu: applied and kept.
    void choose(int newChoice);

    // ---- the program's start ------------------------------------------------------------
    // Before the window opens: takes --scale from the command line ("--scale
    // 150" or "--scale=auto"; a wrong value is reported on the standard error
    // and changes nothing), else the kept choice, and sets the scale for the
    // main display, so that the window opens at its size. --scale is not kept.
    static void startWith(const juce::StringArray& arguments);
    // The arguments without --scale and its value.
    static juce::StringArray withoutStartOption(const juce::StringArray& arguments);

    // The key the choice is kept under in the settings file.
    static constexpr const char* settingsKey = "Zoom";

private:
    // The window's steps and the screen it is on (the editor's, or the main
    // display, while it is in no window on the desktop).
    struct Place
    {
        ZoomSteps steps;
        ZoomSteps::Screen screen;
    };
    std::optional<Place> screenNow() const;
    void attachTo(juce::Component* window);
    void apply();
    void watchPeer();
    void unwatchPeer();

    // juce::ComponentListener
    void componentMovedOrResized(juce::Component&, bool moved, bool resized) override;
    void componentVisibilityChanged(juce::Component&) override;
    void componentParentHierarchyChanged(juce::Component&) override;
    void componentBeingDeleted(juce::Component&) override;
    // juce::MouseListener: the right-click on the editor's background
    void mouseDown(const juce::MouseEvent&) override;
    // juce::ComponentPeer::ScaleFactorListener: the window went to a display of another scale
    void nativeScaleFactorChanged(double newScaleFactor) override;

    juce::Component& editor;
    mutable PopupLookAndFeel menuLook; // as the editor's other menus look
    juce::Component::SafePointer<juce::Component> window;
    juce::ComponentPeer* watchedPeer = nullptr;
    int chosen = ZoomSteps::automatic;
    ZoomSteps::Outcome used;
    std::optional<juce::Rectangle<int>> lastDisplay; // physical: moving to another re-applies
    bool applying = false;

    JUCE_DECLARE_WEAK_REFERENCEABLE(Zoom)
    JUCE_DECLARE_NON_COPYABLE(Zoom)
};

} // namespace kestra
