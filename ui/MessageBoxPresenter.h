#pragma once

// Every notice, question and progress window of the editor: one box at a time.
//
// A box is owned by the presenter alone, synchronous or not: the modal
// manager is never asked to delete one. A box the user dismisses is destroyed
// right after its result has been handled; a box the editor closes or
// replaces is destroyed at once and its result arrives later, as 0, when the
// box is gone.

#include "ui/CustomAlertWindow.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <functional>
#include <memory>

namespace kestra
{

class MessageBoxPresenter
{
public:
    MessageBoxPresenter() = default;
    ~MessageBoxPresenter();

    // What an asynchronous box reports: the value of the button the user
    // pressed, or 0 when the editor closed or replaced the box.
    using ResultHandler = std::function<void(int result)>;

    // Shows a box with up to three buttons (an empty text leaves its button
    // out), closing the open one first. With a handler the box is
    // asynchronous and this returns 0; without one it runs a modal loop and
    // returns the value of the button pressed.
    int show(const juce::String& title, const juce::String& message,
             const juce::String& button1Text, int button1Value, const juce::String& button2Text,
             int button2Value, const juce::String& button3Text, int button3Value,
             ResultHandler onResult);

    // Closes the open box, if any; an asynchronous one reports 0 later.
    void close();

    // The open box; nullptr when none is open.
    CustomAlertWindow* current() const { return box.get(); }
    bool isOpen() const { return box != nullptr; }

private:
    std::unique_ptr<CustomAlertWindow> box;

    JUCE_DECLARE_WEAK_REFERENCEABLE(MessageBoxPresenter)
    JUCE_DECLARE_NON_COPYABLE(MessageBoxPresenter)
};

} // namespace kestra
