#include "cli/TerminalDialogs.h"

#include "cli/TerminalOutput.h"

#include <juce_events/juce_events.h>

#include <cmath>
#include <cstdio>
#include <iostream>
#include <thread>

namespace kestra::cli
{

std::string trimmedText(const std::string& boxText)
{
    juce::StringArray lines;
    lines.addLines(juce::String::fromUTF8(boxText.data(), static_cast<int>(boxText.size())));
    for (auto& line : lines)
        line = line.trim();
    lines.removeEmptyStrings();
    return lines.joinIntoString("\n").toStdString();
}

// ---- progress ---------------------------------------------------------------------------

class TerminalDialogs::TerminalProgress final : public Dialogs::Progress
{
public:
    TerminalProgress(TerminalDialogs& owner, int box, std::shared_ptr<bool> ownerAlive)
        : dialogs(owner), number(box), alive(std::move(ownerAlive))
    {
    }
    ~TerminalProgress() override { close(); }

    void setText(const std::string&) override {} // the bar says how far it is

    void setProgress(double done) override
    {
        if (isShown())
            dialogs.drawProgress(done);
    }

    bool isShown() const override { return *alive && dialogs.open && dialogs.shown == number; }

    void close() override
    {
        if (isShown())
            dialogs.close();
    }

private:
    TerminalDialogs& dialogs;
    const int number;
    std::shared_ptr<bool> alive;
};

// ---- the boxes ------------------------------------------------------------------------------

TerminalDialogs::TerminalDialogs(Settings chosen) : settings(chosen) {}

TerminalDialogs::~TerminalDialogs()
{
    *alive = false;
    endBarLine();
}

void TerminalDialogs::show()
{
    endBarLine();
    ++shown; // takes the place of the open one
    cancelOfOpenBox = nullptr;
    open = true;
    lastPercent = -1;
}

void TerminalDialogs::endBarLine()
{
    if (barOnLine)
        std::cerr << std::endl;
    barOnLine = false;
}

void TerminalDialogs::drawProgress(double done)
{
    if (settings.quiet)
        return;
    const int percent = static_cast<int>(std::floor(juce::jlimit(0.0, 1.0, done) * 100.0));
    if (percent == lastPercent)
        return;
    lastPercent = percent;
    if (settings.drawsBar)
    {
        constexpr int width = 40;
        const int filled = percent * width / 100;
        writeUnescaped(std::cerr, "\r"); // the bar's line, drawn again
        std::cerr << "[" << std::string(static_cast<size_t>(filled), '#')
                  << std::string(static_cast<size_t>(width - filled), '-') << "] " << percent << "%"
                  << std::flush;
        barOnLine = true;
    }
    else
    {
        std::cerr << percent << "%" << std::endl;
    }
}

void TerminalDialogs::showProgressOfOpenBox(double done)
{
    if (open)
        drawProgress(done);
}

void TerminalDialogs::notice(const std::string& text, std::function<void()> then)
{
    show();
    open = false; // a notice is read at once
    if (onNotice)
        onNotice(text);
    if (then)
        juce::MessageManager::callAsync(
            [then, stillAlive = alive]
            {
                if (*stillAlive)
                    then();
            });
}

void TerminalDialogs::askText(const std::string&, const std::string& initial,
                              std::function<void(std::optional<std::string> typed)> onAnswer)
{
    juce::MessageManager::callAsync(
        [initial, onAnswer, stillAlive = alive]
        {
            if (*stillAlive)
                onAnswer(initial);
        });
}

void TerminalDialogs::ask(const std::string& text, const std::vector<std::string>& buttons,
                          int focusedButton, std::function<void(int button)> onAnswer)
{
    show();
    const int box = shown;
    auto answer = [this, box, buttons, onAnswer, stillAlive = alive](int button)
    {
        if (!*stillAlive)
            return;
        if (open && shown == box)
            open = false;
        else
            button = closed; // replaced or closed meanwhile
        if (onAnswered)
            onAnswered(button >= 0 && button < static_cast<int>(buttons.size()) &&
                       juce::String(buttons[static_cast<size_t>(button)]).equalsIgnoreCase("Yes"));
        onAnswer(button);
    };

    if (settings.assumeYes)
    {
        int yes = 0;
        for (size_t i = 0; i < buttons.size(); ++i)
            if (juce::String(buttons[i]).equalsIgnoreCase("Yes"))
                yes = static_cast<int>(i);
        juce::MessageManager::callAsync([answer, yes] { answer(yes); });
        return;
    }
    if (!settings.canAsk)
    {
        open = false;
        if (onUnanswerable)
            onUnanswerable(text);
        juce::MessageManager::callAsync([answer] { answer(closed); });
        return;
    }

    // On the terminal: the buttons by their first letters, the focused one
    // taken by a bare Return. The line is read on a thread of its own, so
    // that the link's timers and replies go on meanwhile.
    juce::StringArray choices;
    for (size_t i = 0; i < buttons.size(); ++i)
    {
        auto name = juce::String(buttons[i]);
        choices.add(static_cast<int>(i) == focusedButton ? name.toUpperCase() : name);
    }
    std::cerr << trimmedText(text) << " [" << choices.joinIntoString("/") << "] " << std::flush;
    std::thread(
        [answer, buttons, focusedButton]
        {
            std::string line;
            const bool read = static_cast<bool>(std::getline(std::cin, line));
            int button = read ? focusedButton : closed;
            const auto typed = juce::String(line).trim();
            if (read && typed.isNotEmpty())
            {
                button = closed;
                for (size_t i = 0; i < buttons.size(); ++i)
                    if (juce::String(buttons[i]).startsWithIgnoreCase(typed))
                        button = static_cast<int>(i);
            }
            juce::MessageManager::callAsync([answer, button] { answer(button); });
        })
        .detach();
}

std::unique_ptr<Dialogs::Progress> TerminalDialogs::progress(const std::string& text,
                                                             std::function<void()> onCancel)
{
    show();
    cancelOfOpenBox = std::move(onCancel);
    if (!settings.quiet)
        std::cerr << trimmedText(text) << std::endl;
    return std::make_unique<TerminalProgress>(*this, shown, alive);
}

void TerminalDialogs::chooseFile(FileKind, const juce::File&,
                                 std::function<void(const juce::File&)> onChosen)
{
    // The command line names its files: a chooser is cancelled.
    juce::MessageManager::callAsync(
        [onChosen, stillAlive = alive]
        {
            if (*stillAlive)
                onChosen(juce::File());
        });
}

bool TerminalDialogs::cancelOpenBox()
{
    if (!open || !cancelOfOpenBox)
        return false;
    auto cancel = std::exchange(cancelOfOpenBox, nullptr);
    close(); // the box goes first
    cancel();
    return true;
}

void TerminalDialogs::close()
{
    endBarLine();
    ++shown;
    open = false;
    cancelOfOpenBox = nullptr;
}

} // namespace kestra::cli
