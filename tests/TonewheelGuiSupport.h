#pragma once

// What the editor's tonewheel tests share: the text and bar of a box, a user
// who answers boxes, and tonewheel files.

#include "TonewheelTestSupport.h"
#include "support/EditorTestProbe.h"
#include "support/GuiTestSupport.h"

#include "editor/MessageTexts.h"

#include <functional>

namespace kestra::tonewheeltest
{

using kestra::testing::messageOf;

inline juce::ProgressBar* progressBarOf(juce::Component* box)
{
    if (box != nullptr)
        for (auto* child : box->getChildren())
            if (auto* bar = dynamic_cast<juce::ProgressBar*>(child))
                return bar;
    return nullptr;
}

inline double progressOf(juce::ProgressBar& bar)
{
    return bar.getAccessibilityHandler()->getValueInterface()->getCurrentValue();
}

// Answers modal boxes as a user would: a rule picks the button by the start of
// the box's text; every box seen is remembered with what held at that moment.
class BoxAnswerer final : private juce::Timer
{
public:
    struct Seen
    {
        juce::String message;
        bool heartbeatRunning;
        bool connected;
    };

    explicit BoxAnswerer(EditorTestProbe& editorProbe) : probe(editorProbe) { startTimer(2); }
    ~BoxAnswerer() override { stopTimer(); }

    // Presses button on every box whose text starts with prefix; before
    // runs first, with the box. A patient user reads the box for that many
    // timer ticks first, while the editor goes on working.
    void answer(const juce::String& prefix, const juce::String& button,
                std::function<void(juce::AlertWindow&)> before = nullptr, int patience = 0)
    {
        rules.push_back({prefix, button, std::move(before), 0, patience});
    }
    int presses(const juce::String& prefix) const
    {
        for (const auto& r : rules)
            if (r.prefix == prefix)
                return r.presses;
        return 0;
    }
    // Runs the message loop until every box open now has been read and, if a
    // rule answers it, answered: a box opens at once but is answered a moment
    // later, as a user would.
    bool settle()
    {
        return kestra::testing::pumpUntil(
            [&]
            {
                auto* box =
                    dynamic_cast<juce::AlertWindow*>(juce::Component::getCurrentlyModalComponent());
                if (box == nullptr)
                    return true;
                if (box != lastSeen.getComponent() || box == pressed.getComponent())
                    return false;
                const auto message = messageOf(*box);
                for (const auto& r : rules)
                    if (message.startsWith(r.prefix))
                        return false;
                return true;
            });
    }

    std::vector<Seen> seen;

private:
    struct Rule
    {
        juce::String prefix;
        juce::String button;
        std::function<void(juce::AlertWindow&)> before;
        int presses;
        int patience;
    };

    void timerCallback() override
    {
        auto* box = dynamic_cast<juce::AlertWindow*>(juce::Component::getCurrentlyModalComponent());
        if (box == nullptr || box == pressed.getComponent())
            return;
        const auto message = messageOf(*box);
        if (box != lastSeen.getComponent())
        {
            lastSeen = box;
            ticksSeen = 0;
            seen.push_back(
                {message, probe.isTimerRunning(HeartbeatTimer), probe.supervisor().isConnected()});
        }
        for (auto& r : rules)
            if (message.startsWith(r.prefix))
            {
                if (ticksSeen++ < r.patience)
                    return;
                if (r.before)
                    r.before(*box);
                ++r.presses;
                pressed = box;
                box->triggerButtonClick(r.button);
                return;
            }
        // A box nobody expected is closed, so that the test fails instead of waiting.
        if (!message.startsWith(texts::transmittingTonewheel))
        {
            pressed = box;
            box->exitModalState(0);
        }
    }

    EditorTestProbe& probe;
    std::vector<Rule> rules;
    juce::Component::SafePointer<juce::Component> lastSeen;
    juce::Component::SafePointer<juce::Component> pressed;
    int ticksSeen = 0;
};

inline Bytes tonewheelFileImage(const Bytes& data, const std::string& name,
                                uint32_t magic = 0x27071963)
{
    Bytes image(64, 0x5A);
    for (size_t i = 0; i < 4; ++i)
        image[i] = static_cast<uint8_t>(magic >> (8 * i));
    for (size_t i = 0; i < 32; ++i)
        image[32 + i] = i < name.size() ? static_cast<uint8_t>(name[i]) : 0;
    image.insert(image.end(), data.begin(), data.end());
    return image;
}

inline bool isInstrumentMessage(const Bytes& m)
{
    return m.size() >= 4 && m[0] == 0xF0 && m[1] == 0x7D && m[2] == 0x1E;
}

} // namespace kestra::tonewheeltest
