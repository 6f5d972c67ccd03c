#pragma once

// How the editor talks to its user: notices, questions, progress and file
// choices. Every call returns at once; the answer comes later, through the
// call's own callback, on the message thread. The window answers with its
// message boxes, the command line from its flags or the terminal, and tests
// from a table.
//
// One box at a time, as the window shows them: a new one takes the place of
// the one open. A question whose box was closed or replaced before the user
// answered gets Dialogs::closed; a notice's `then` runs once its box has gone,
// whichever way it went. A Dialogs being destroyed calls nothing back.

#include "editor/MessageTexts.h"

#include <juce_core/juce_core.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace kestra
{

class Dialogs
{
public:
    virtual ~Dialogs() = default;

    // The answer of a box that went without one of its buttons pressed.
    static constexpr int closed = -1;

    // A box with one "OK".
    virtual void notice(const std::string& text, std::function<void()> then) = 0;
    void notice(const std::string& text) { notice(text, {}); }

    // A question with its buttons, left to right; the keyboard focus starts on
    // focusedButton, so that Return answers with it. onAnswer gets the index
    // of the button pressed, or `closed`.
    virtual void ask(const std::string& text, const std::vector<std::string>& buttons,
                     int focusedButton, std::function<void(int button)> onAnswer) = 0;

    // A destructive question: "Yes" and "No", with the keyboard focus on "No",
    // so that Return never answers it with Yes. onAnswer gets true for Yes
    // only; a box that went without an answer is a No.
    void askYesOrNo(const std::string& text, std::function<void(bool yes)> onAnswer)
    {
        ask(text, {texts::yes, texts::no}, 1,
            [onAnswer = std::move(onAnswer)](int button) { onAnswer(button == 0); });
    }

    // A line of text to type, starting as `initial`, with "OK" and "Cancel".
    // onAnswer gets the text, or nothing when the box went without OK.
    virtual void askText(const std::string& text, const std::string& initial,
                         std::function<void(std::optional<std::string> typed)> onAnswer) = 0;

    // A box that stays while work goes on. Its handle changes the text, shows
    // a bar (from the first setProgress on) and closes it; a handle whose box
    // has been replaced changes nothing. Destroying the handle closes the box.
    class Progress
    {
    public:
        virtual ~Progress() = default;
        virtual void setText(const std::string& text) = 0;
        virtual void setProgress(double done) = 0; // 0 ... 1
        virtual bool isShown() const = 0;
        virtual void close() = 0;
    };
    // With onCancel, the box has "Cancel", which calls it; without, no button.
    virtual std::unique_ptr<Progress> progress(const std::string& text,
                                               std::function<void()> onCancel) = 0;

    enum class FileKind
    {
        openProject,
        saveProject,
        tonewheel,
    };
    // A file of that kind, starting in (or at) startAt; onChosen gets the
    // file chosen, or no file (juce::File()) when the user cancelled.
    virtual void chooseFile(FileKind kind, const juce::File& startAt,
                            std::function<void(const juce::File& chosen)> onChosen) = 0;

    // Closes the open box, if any.
    virtual void close() = 0;
    // Whether a box is open: the user has something to answer or to wait for.
    virtual bool isOpen() const = 0;
};

} // namespace kestra
