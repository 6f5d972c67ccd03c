#pragma once

// What the connect and handshake tests share: the real editor on simulated
// MIDI services, a user who reads and answers the boxes, clicks on the
// toolbar, port pairs that record what the editor sends, and the settings
// file that remembers the port pair.

#include "support/EditorTestProbe.h"
#include "support/GuiTestSupport.h"

#include "sim/SimulatorOptions.h"
#include "ui/MessageTexts.h"
#include "ui/Pictures.h"

#include <algorithm>
#include <chrono>
#include <map>
#include <string>
#include <vector>

namespace kestra::connecttest
{

using Clock = std::chrono::steady_clock;
using Bytes = std::vector<uint8_t>;
using namespace std::chrono_literals;

constexpr const char* portName = "Tollmark Kestra MIDI Port";

inline double millisecondsBetween(Clock::time_point from, Clock::time_point to)
{
    return std::chrono::duration<double, std::milli>(to - from).count();
}

inline juce::String messageOf(const juce::AlertWindow& box)
{
    return box.getDescription().substring(box.getName().length() + 2);
}

inline juce::StringArray buttonTextsOf(const juce::Component& box)
{
    juce::StringArray texts;
    for (auto* child : box.getChildren())
        if (auto* button = dynamic_cast<juce::TextButton*>(child))
            texts.add(button->getButtonText());
    return texts;
}

// Reads every modal box as a user would, remembers it with the time it
// appeared, and presses a button: the one given for the box's text, else "OK"
// where there is one. Other boxes (the searching box) are left alone.
class BoxWatcher final : private juce::Timer
{
public:
    struct Seen
    {
        juce::String title;
        juce::String message;
        juce::StringArray buttons;
        Clock::time_point at;
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
    Clock::time_point when(const juce::String& message) const
    {
        Clock::time_point at{};
        for (const auto& s : seen)
            if (s.message == message)
                at = s.at;
        return at;
    }

    std::vector<Seen> seen;

private:
    void timerCallback() override
    {
        auto* box = dynamic_cast<juce::AlertWindow*>(juce::Component::getCurrentlyModalComponent());
        if (box == nullptr || box == lastSeen.getComponent())
            return;
        lastSeen = box;
        seen.push_back({box->getName(), messageOf(*box), buttonTextsOf(*box), Clock::now()});
        const auto answer = answers.find(seen.back().message);
        if (answer != answers.end())
            box->triggerButtonClick(answer->second);
        else if (seen.back().buttons.contains(texts::ok))
            box->triggerButtonClick(texts::ok);
    }

    std::map<juce::String, juce::String> answers;
    juce::Component::SafePointer<juce::Component> lastSeen;
};

// A click on a toolbar button: the framework flips its toggle state and tells
// the editor, which may run a box of its own before this returns.
inline void click(juce::Button& button)
{
    button.setToggleState(!button.getToggleState(), juce::sendNotificationSync);
}

inline bool isReleased(const juce::Button& button)
{
    return !button.getToggleState() && button.getState() == juce::Button::buttonNormal;
}

// ---- the settings file --------------------------------------------------------------------------

// Where the editor keeps the port pair: the XDG configuration folder (Windows:
// %APPDATA%), which the test environment points at a temporary folder of the
// test program's own.
inline juce::File settingsFile()
{
    return juce::File(
               juce::SystemStats::getEnvironmentVariable(kestra::testing::settingsBaseVariable, {}))
        .getChildFile("Kestra Editor")
        .getChildFile("Kestra Editor.settings");
}

inline void removeSettings()
{
    settingsFile().getParentDirectory().deleteRecursively();
}

inline void writeSettings(int input, int output)
{
    auto file = settingsFile();
    file.getParentDirectory().createDirectory();
    file.replaceWithText("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n\n<PROPERTIES>\n"
                         "  <VALUE name=\"MidiInputIndex\" val=\"" +
                         juce::String(input) +
                         "\"/>\n"
                         "  <VALUE name=\"MidiOutputIndex\" val=\"" +
                         juce::String(output) + "\"/>\n</PROPERTIES>\n");
}

// The values in the settings file by key; empty when there is no file.
inline std::map<juce::String, juce::String> readSettings()
{
    std::map<juce::String, juce::String> values;
    if (auto xml = juce::parseXML(settingsFile()))
    {
        EXPECT_EQ(xml->getTagName(), "PROPERTIES");
        for (auto* value : xml->getChildWithTagNameIterator("VALUE"))
            values[value->getStringAttribute("name")] = value->getStringAttribute("val");
    }
    return values;
}

inline std::map<juce::String, juce::String> storedPair(int input, int output)
{
    return {{"MidiInputIndex", juce::String(input)}, {"MidiOutputIndex", juce::String(output)}};
}

// ---- the editor on the simulated instrument ---------------------------------------------------

inline SimulatorConfig configFrom(const std::string& options)
{
    SimulatorConfig config;
    std::string error;
    EXPECT_TRUE(parseSimulatorOptions(options, config, &error)) << error;
    return config;
}

// The editor owns the services and with them the instrument. Unless told
// otherwise, the editor starts without a stored port pair.
struct SimulatedRig
{
    explicit SimulatedRig(const std::string& options = {}, bool keepSettings = false)
        : SimulatedRig(configFrom(options), keepSettings)
    {
    }

    explicit SimulatedRig(const SimulatorConfig& config, bool keepSettings = false)
        : services(makeServices(config, keepSettings)),
          editor(std::unique_ptr<MidiServices>(services))
    {
    }

    static SimulatedMidiServices* makeServices(const SimulatorConfig& config, bool keepSettings)
    {
        if (!keepSettings)
            removeSettings();
        return new SimulatedMidiServices(config);
    }

    SimulatedInstrument& instrument() { return services->instrument(); }
    VirtualMidiServices& midi() { return services->virtualMidi(); }

    void sendToEditor(const Bytes& message)
    {
        midi().sendToEditor(instrument().inputIndex(), message);
    }

    int received(SimulatedInstrument::Received kind) { return instrument().receivedCount(kind); }

    // The messages the instrument received, from log entry `from` on.
    std::vector<Bytes> receivedMessages(size_t from = 0)
    {
        std::vector<Bytes> messages;
        const auto log = instrument().log();
        for (size_t i = from; i < log.size(); ++i)
            if (log[i].direction == SimulatedInstrument::Direction::in)
                messages.push_back(log[i].bytes);
        return messages;
    }

    bool isConnectedAndIdle() const
    {
        return probe.link().connected.load() && probe.link().linkState.load() == Idle &&
               probe.messageBox() == nullptr;
    }

    juce::String boxText() const
    {
        return probe.messageBox() != nullptr ? messageOf(*probe.messageBox()) : juce::String();
    }

    // Clicks CONNECT, sees the searching box, and waits for the end of the handshake.
    bool connect()
    {
        click(probe.connectButton());
        EXPECT_EQ(boxText(), texts::searching);
        return kestra::testing::pumpUntil([this] { return isConnectedAndIdle(); });
    }

    bool showsConnected() const
    {
        return probe.connectionIndicator().getImage() == pictures::connectedOn() &&
               probe.connectButton().getToggleState();
    }

    bool showsDisconnected() const
    {
        return probe.connectionIndicator().getImage() == pictures::connectedOff() &&
               probe.deviceLabel().getText().isEmpty() &&
               probe.firmwareLabel().getText().isEmpty() && !probe.link().connected.load() &&
               !probe.isTimerRunning(HeartbeatTimer);
    }

    SimulatedMidiServices* services;
    MainContentComponent editor;
    EditorTestProbe probe{editor};
};

} // namespace kestra::connecttest
