#pragma once

// A user at the window who reads every modal box, remembers it with the time
// it appeared, and presses a button: the one given for the box's text, else
// "OK" where there is one. Other boxes (the searching box) are left alone.

#include "GuiTestSupport.h"

#include "editor/MessageTexts.h"

#include <algorithm>
#include <chrono>
#include <map>
#include <vector>

namespace kestra::testing
{

class BoxWatcher final : private juce::Timer
{
public:
    struct Seen
    {
        juce::String title;
        juce::String message;
        juce::StringArray buttons;
        std::chrono::steady_clock::time_point at;
    };

    BoxWatcher() { startTimer(2); }
    ~BoxWatcher() override { stopTimer(); }

    void answer(const juce::String& message, const juce::String& button)
    {
        answers[message] = button;
    }

    std::vector<juce::String> messages() const
    {
        std::vector<juce::String> texts;
        for (const auto& s : seen)
            texts.push_back(s.message);
        return texts;
    }

    // The boxes seen apart from the searching box, which an instrument that
    // answers at once may replace before anybody could read it.
    std::vector<juce::String> notices() const
    {
        std::vector<juce::String> texts;
        for (const auto& s : seen)
            if (s.message != texts::searching)
                texts.push_back(s.message);
        return texts;
    }

    bool saw(const juce::String& message) const
    {
        return std::any_of(seen.begin(), seen.end(),
                           [&](const Seen& s) { return s.message == message; });
    }

    // When the last box with this text appeared (the epoch if none has).
    std::chrono::steady_clock::time_point when(const juce::String& message) const
    {
        std::chrono::steady_clock::time_point at{};
        for (const auto& s : seen)
            if (s.message == message)
                at = s.at;
        return at;
    }

    // Runs the message loop until every box open now has been read and, if
    // it has an answer, answered: a box opens at once but is answered a
    // moment later, as a user would.
    bool settle(std::chrono::milliseconds deadline = std::chrono::milliseconds(5000))
    {
        return pumpUntil(
            [&]
            {
                auto* box =
                    dynamic_cast<juce::AlertWindow*>(juce::Component::getCurrentlyModalComponent());
                return box == nullptr || (box == lastSeen.getComponent() && !hasAnswer(*box));
            },
            deadline);
    }

    std::vector<Seen> seen;

private:
    bool hasAnswer(juce::AlertWindow& box) const
    {
        const auto message = messageOf(box);
        return answers.count(message) != 0 || buttonTextsOf(box).contains(texts::ok);
    }

    void timerCallback() override
    {
        auto* box = dynamic_cast<juce::AlertWindow*>(juce::Component::getCurrentlyModalComponent());
        if (box == nullptr || box == lastSeen.getComponent())
            return;
        lastSeen = box;
        seen.push_back({box->getName(), messageOf(*box), buttonTextsOf(*box),
                        std::chrono::steady_clock::now()});
        const auto answer = answers.find(seen.back().message);
        if (answer != answers.end())
            box->triggerButtonClick(answer->second);
        else if (seen.back().buttons.contains(texts::ok))
            box->triggerButtonClick(texts::ok);
    }

    std::map<juce::String, juce::String> answers;
    juce::Component::SafePointer<juce::Component> lastSeen;
};

} // namespace kestra::testing
