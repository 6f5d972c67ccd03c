#pragma once

// The editor's boxes on a terminal. A notice goes to the command that runs
// (which prints it and decides how the program ends); a question is answered
// by --yes, or asked on the terminal, or refused when there is no terminal to
// ask on; a progress box prints its text and a bar on stderr when stderr is a
// terminal, otherwise plain percentage lines; nothing chooses files (the
// command line names them).

#include "editor/Dialogs.h"

#include <functional>
#include <memory>
#include <string>

namespace kestra::cli
{

// A text of the editor's boxes as a terminal prints it: every line without
// the blanks that pad it, and no empty line at the end.
std::string trimmedText(const std::string& boxText);

class TerminalDialogs final : public Dialogs
{
public:
    struct Settings
    {
        bool quiet = false;     // no progress, no searching line
        bool assumeYes = false; // --yes: every question answered with Yes
        bool canAsk = false;    // stdin and stderr are a terminal
        bool drawsBar = false;  // stderr is a terminal
    };
    explicit TerminalDialogs(Settings settings);
    ~TerminalDialogs() override;

    // Every notice's text, as the editor has it; then runs once it returns.
    std::function<void(const std::string& text)> onNotice;
    // A question that nobody can answer: not on a terminal and no --yes.
    std::function<void(const std::string& text)> onUnanswerable;

    // Every question's answer, before the editor hears it: whether it was Yes.
    std::function<void(bool yes)> onAnswered;

    // A bar for the open progress box, whose own handle shows none (the
    // project send's box): how far the work is, 0 ... 1, as its owner counts it.
    void showProgressOfOpenBox(double done);

    // Presses Cancel in the open progress box, if it has one; false if none.
    bool cancelOpenBox();

    // ---- Dialogs ----
    void notice(const std::string& text, std::function<void()> then) override;
    void ask(const std::string& text, const std::vector<std::string>& buttons, int focusedButton,
             std::function<void(int button)> onAnswer) override;
    // The command line names what it wants: a text box takes its initial text.
    void askText(const std::string& text, const std::string& initial,
                 std::function<void(std::optional<std::string> typed)> onAnswer) override;
    std::unique_ptr<Progress> progress(const std::string& text,
                                       std::function<void()> onCancel) override;
    void chooseFile(FileKind kind, const juce::File& startAt,
                    std::function<void(const juce::File& chosen)> onChosen) override;
    void close() override;
    bool isOpen() const override { return open; }

private:
    class TerminalProgress;
    void show();
    void endBarLine();
    void drawProgress(double done);

    const Settings settings;
    std::function<void()> cancelOfOpenBox;
    int shown = 0; // the number of the open box
    bool open = false;
    bool barOnLine = false; // a bar is on the terminal's last line
    int lastPercent = -1;
    // Cleared when this goes: an answer typed later reaches nothing.
    std::shared_ptr<bool> alive = std::make_shared<bool>(true);
};

} // namespace kestra::cli
