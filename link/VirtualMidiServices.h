#pragma once

// In-process MIDI ports. A device (the simulated instrument, or a test) adds
// input and output ports by name; the editor sees them in its device lists and
// opens them by index like system ports.
//
//  - What the device sends on an input port is queued and delivered to every
//    open, started input of that port on the input's own delivery thread, as a
//    driver would, one complete message per call, in order. Stopping an input
//    drops what it has not delivered yet. Its callback may stop, restart or
//    destroy the input it is called from; the delivery thread then ends after
//    that call (it cannot wait for itself). From any other thread, stop() and
//    the destructor return only once no call is running any more.
//  - What the editor sends on an output port reaches the port's receiver
//    function at once, on the sending thread; sends on one port are
//    serialised. The receiver holds no lock of the services: it may send, open
//    and close ports and ask about them. A device that answers on its own
//    thread queues there.
//  - A port marked busy cannot be opened (as when another program holds it).

#include "link/MidiServices.h"

#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace kestra
{

class VirtualMidiServices final : public MidiServices
{
public:
    using Receiver = std::function<void(const uint8_t* data, size_t size)>;

    VirtualMidiServices();
    ~VirtualMidiServices() override;

    // Device side. Both return the port's index in the editor's device list.
    int addInputPort(const std::string& name, bool busy = false);
    int addOutputPort(const std::string& name, Receiver receiver, bool busy = false);

    void setInputBusy(int index, bool busy);
    void setOutputBusy(int index, bool busy);

    // Replaces an output's receiver (null: what the editor sends there is
    // dropped). Waits for a send in progress, so that the old receiver is not
    // called any more once this returns.
    void setOutputReceiver(int index, Receiver receiver);

    // Queues a complete message for the editor on input port index; dropped
    // when nobody has the port open and started.
    void sendToEditor(int inputIndex, const uint8_t* data, size_t size);
    void sendToEditor(int inputIndex, const std::vector<uint8_t>& message)
    {
        sendToEditor(inputIndex, message.data(), message.size());
    }

    // How many inputs of a port are open right now (for tests and the simulator).
    int openInputCount(int index) const;
    int openOutputCount(int index) const;

    // MidiServices
    juce::StringArray getInputDeviceNames() override;
    juce::StringArray getOutputDeviceNames() override;
    std::unique_ptr<MidiInputPort> openInputDevice(int index,
                                                   juce::MidiInputCallback* callback) override;
    std::unique_ptr<MidiOutputPort> openOutputDevice(int index) override;

    struct InputPortState;
    struct OutputPortState;

private:
    mutable std::mutex portsLock;
    std::vector<std::shared_ptr<InputPortState>> inputs;
    std::vector<std::shared_ptr<OutputPortState>> outputs;

    std::shared_ptr<InputPortState> input(int index) const;
    std::shared_ptr<OutputPortState> output(int index) const;
};

} // namespace kestra
