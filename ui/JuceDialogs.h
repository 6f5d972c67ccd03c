#pragma once

// The editor's Dialogs as the window shows them: every notice, question and
// progress window is the one kind of message box (CustomAlertWindow), one at
// a time; files are chosen with JUCE's file chooser. Nothing runs a modal
// loop: a box is modal to the window but returns at once, and its answer
// comes through its callback.
//
// The open box is owned here alone: the modal manager is never asked to
// delete one. A box the user answers is destroyed right after its answer has
// been handled; a box that the editor closes, or another box replaces, is
// destroyed at once and answers Dialogs::closed a moment later.

#include "editor/Dialogs.h"
#include "ui/Announcer.h"
#include "ui/CustomAlertWindow.h"
#include "ui/FocusRing.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <functional>
#include <memory>

namespace kestra
{

class JuceDialogs final : public Dialogs
{
public:
    JuceDialogs() = default;
    ~JuceDialogs() override;

    // Dialogs
    void notice(const std::string& text, std::function<void()> then) override;
    using Dialogs::notice;
    void ask(const std::string& text, const std::vector<std::string>& buttons, int focusedButton,
             std::function<void(int button)> onAnswer) override;
    void askText(const std::string& text, const std::string& initial,
                 std::function<void(std::optional<std::string> typed)> onAnswer) override;
    std::unique_ptr<Progress> progress(const std::string& text,
                                       std::function<void()> onCancel) override;
    void chooseFile(FileKind kind, const juce::File& startAt,
                    std::function<void(const juce::File& chosen)> onChosen) override;
    void close() override { closeMessageBox(); }
    bool isOpen() const override { return box != nullptr; }

    // The open box; nullptr when none is open.
    CustomAlertWindow* current() const { return box.get(); }
    // The open box's focus ring (ui/FocusRing.h): its buttons' outline for a
    // keyboard user; nullptr when no box is open.
    const FocusRing* currentFocusRing() const { return boxRing.get(); }

    // Speaks every box's text as it opens, and a bar's progress by quarters;
    // nullptr: nothing is spoken.
    void setAnnouncer(Announcer* announcerToUse) { announcer = announcerToUse; }
    static juce::String progressText(int percent) { return juce::String(percent) + " %"; }

private:
    class ProgressBox;

    // Shows a box with the given buttons, left to right (none: a box without
    // buttons), closing the open one first. onResult gets the index of the
    // button pressed, or `closed`.
    void showMessageBox(const juce::String& message, const std::vector<std::string>& buttons,
                        int focusedButton, std::function<void(int)> onResult);
    void closeMessageBox();

    std::unique_ptr<CustomAlertWindow> box;
    std::unique_ptr<FocusRing> boxRing; // over the open box's buttons; goes before it
    // The open box's answer, until it has been given.
    std::shared_ptr<const std::function<void(int)>> onBoxResult;
    std::unique_ptr<juce::FileChooser> chooser;
    Announcer* announcer = nullptr;

    JUCE_DECLARE_WEAK_REFERENCEABLE(JuceDialogs)
    JUCE_DECLARE_NON_COPYABLE(JuceDialogs)
};

} // namespace kestra
