#pragma once

// The instrument's MIDI port pair: finding it by name, the stored pair that
// last worked (in the settings file), the search over every pair from the
// last one up, and the open input and output. Sends may come from both
// threads; the ports are opened and closed on the message thread only.

#include "link/LinkSupervisor.h"
#include "link/MessageLog.h"
#include "link/MidiServices.h"

#include <juce_data_structures/juce_data_structures.h>

#include <memory>
#include <mutex>

namespace kestra
{

class PortConnector final : public LinkSupervisor::Ports
{
public:
    // receiver gets every message of the open input, on its thread.
    PortConnector(std::unique_ptr<MidiServices> services, juce::MidiInputCallback& receiver);
    ~PortConnector() override;

    // ---- LinkSupervisor::Ports --------------------------------------------------------
    bool openForSearch() override;
    bool openNextPair() override;
    void close() override;
    bool isOpen() const override;
    void rememberPair() override;

    // The pair named "Tollmark Kestra MIDI Port"; false, changing nothing, without one.
    bool findPortsByName();
    // Opens the input at inputIndex in place of the open one.
    bool openInput();
    // Opens the output at outputIndex in place of the open one.
    bool openOutput();
    void savePortIndices();

    // Either thread: one complete message to the open output, if any. What is
    // sent is appended to the log given, if any (the MIDI monitor's).
    void send(const uint8_t* data, size_t size);
    void logSentMessagesTo(MessageLog* log) { sentLog = log; }

    // ---- a pair opened directly (the command line's --port, tests), and what is open ----
    void openPair(int input, int output);
    bool hasInput() const { return midiInput != nullptr; }
    bool hasOutput() const;
    int inputIndexInUse() const { return inputIndex; }
    int outputIndexInUse() const { return outputIndex; }

private:
    std::unique_ptr<MidiServices> midiServices;
    juce::MidiInputCallback& receiver;
    juce::ApplicationProperties settings;
    std::unique_ptr<MidiInputPort> midiInput;
    std::unique_ptr<MidiOutputPort> midiOutput;
    mutable std::mutex outputLock; // midiOutput is replaced on the message thread, used on both
    MessageLog* sentLog = nullptr; // set once, before any port opens
    int inputIndex = -1;
    int outputIndex = -1;
    int numInputs = 0;
    int numOutputs = 0;
    bool scanFromTop = false;
};

} // namespace kestra
