#pragma once

// What the connect and handshake tests share: the real editor on simulated
// MIDI services, a user who reads and answers the boxes, clicks on the
// toolbar, port pairs that record what the editor sends, and the settings
// file that remembers the port pair.

#include "support/BoxWatcher.h"
#include "support/EditorTestProbe.h"
#include "support/GuiTestSupport.h"
#include "support/SimulatorConfigs.h"

#include "editor/MessageTexts.h"
#include "sim/SimulatorOptions.h"
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

using kestra::testing::BoxWatcher;
using kestra::testing::buttonTextsOf;
using kestra::testing::click;
using kestra::testing::configFrom;
using kestra::testing::isReleased;
using kestra::testing::messageOf;

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
        return probe.supervisor().isConnected() && probe.supervisor().state() == Idle &&
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
               probe.firmwareLabel().getText().isEmpty() && !probe.supervisor().isConnected() &&
               !probe.isTimerRunning(HeartbeatTimer);
    }

    SimulatedMidiServices* services;
    MainContentComponent editor;
    EditorTestProbe probe{editor};
};

} // namespace kestra::connecttest
