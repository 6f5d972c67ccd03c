#pragma once

// Dialogs answered at once, from a table, as a user who knows the answers
// would: a question by the start of its text, a file chooser by its kind.
// Every box is remembered in order. One box at a time, as the window has it:
// a new box takes the place of the open one, which then counts as closed.

#include "editor/Dialogs.h"

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace kestra::testing
{

class FakeDialogs final : public Dialogs
{
public:
    // The button a question gets, by the start of its text; a question with
    // no answer in the table gets Dialogs::closed.
    void answer(const std::string& prefix, int button) { answers[prefix] = button; }
    // What a text box gets, by the start of its text; none: its initial text.
    // An empty optional: the user cancels.
    void answerText(const std::string& prefix, std::optional<std::string> typed)
    {
        textAnswers[prefix] = std::move(typed);
    }
    // The file a chooser of that kind gets; none: the user cancels.
    void chooseWith(FileKind kind, const juce::File& file) { files[kind] = file; }

    struct Box
    {
        std::string text;
        std::vector<std::string> buttons;
        int focusedButton = -1;
    };
    std::vector<Box> boxes;                // every box and question, in order
    std::vector<FileKind> choosers;        // every file chooser, in order
    std::vector<std::string> progressText; // what the progress boxes said, in order
    std::vector<double> progressValues;    // their bars

    std::vector<std::string> texts() const
    {
        std::vector<std::string> all;
        for (const auto& b : boxes)
            all.push_back(b.text);
        return all;
    }
    // The text of the box open now; empty when none is.
    std::string openText() const { return isOpen() ? boxes.back().text : std::string(); }

    // The user presses Cancel in the open progress box.
    void cancel()
    {
        if (!isOpen() || !onCancel)
            return;
        auto cancelled = std::exchange(onCancel, nullptr);
        ++shown; // the box goes first
        open = false;
        cancelled();
    }

    // ---- Dialogs ----
    void notice(const std::string& text, std::function<void()> then) override
    {
        show({text, {"OK"}, -1});
        open = false; // read and answered at once
        if (then)
            then();
    }

    void ask(const std::string& text, const std::vector<std::string>& buttons, int focusedButton,
             std::function<void(int)> onAnswer) override
    {
        show({text, buttons, focusedButton});
        open = false;
        int button = closed;
        for (const auto& [prefix, answerButton] : answers)
            if (text.rfind(prefix, 0) == 0)
                button = answerButton;
        onAnswer(button);
    }

    void askText(const std::string& text, const std::string& initial,
                 std::function<void(std::optional<std::string>)> onAnswer) override
    {
        show({text, {"OK", "Cancel"}, 0});
        open = false;
        std::optional<std::string> typed = initial;
        for (const auto& [prefix, answerText] : textAnswers)
            if (text.rfind(prefix, 0) == 0)
                typed = answerText;
        onAnswer(typed);
    }

    std::unique_ptr<Progress> progress(const std::string& text,
                                       std::function<void()> cancelled) override
    {
        show({text, cancelled ? std::vector<std::string>{"Cancel"} : std::vector<std::string>{},
              -1});
        onCancel = std::move(cancelled);
        progressText.push_back(text);
        return std::make_unique<FakeProgress>(*this, shown);
    }

    void chooseFile(FileKind kind, const juce::File&,
                    std::function<void(const juce::File&)> onChosen) override
    {
        choosers.push_back(kind);
        const auto found = files.find(kind);
        onChosen(found != files.end() ? found->second : juce::File());
    }

    void close() override
    {
        ++shown;
        open = false;
        onCancel = nullptr;
    }
    bool isOpen() const override { return open; }

private:
    class FakeProgress final : public Progress
    {
    public:
        FakeProgress(FakeDialogs& owner, int box) : dialogs(owner), number(box) {}
        ~FakeProgress() override { close(); }
        void setText(const std::string& text) override
        {
            if (isShown())
                dialogs.progressText.push_back(text);
        }
        void setProgress(double done) override
        {
            if (isShown())
                dialogs.progressValues.push_back(done);
        }
        bool isShown() const override { return dialogs.open && dialogs.shown == number; }
        void close() override
        {
            if (isShown())
                dialogs.close();
        }

    private:
        FakeDialogs& dialogs;
        const int number;
    };

    void show(Box box)
    {
        ++shown; // takes the place of the open one
        onCancel = nullptr;
        open = true;
        boxes.push_back(std::move(box));
    }

    std::map<std::string, int> answers;
    std::map<std::string, std::optional<std::string>> textAnswers;
    std::map<FileKind, juce::File> files;
    std::function<void()> onCancel;
    int shown = 0; // the number of the open box
    bool open = false;
};

} // namespace kestra::testing
