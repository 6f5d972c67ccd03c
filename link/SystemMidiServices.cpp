#include "link/MidiServices.h"

#include <mutex>

namespace kestra
{

namespace
{
class SystemInput final : public MidiInputPort
{
public:
    explicit SystemInput(std::unique_ptr<juce::MidiInput> input) : device(std::move(input)) {}

    void start() override { device->start(); }
    void stop() override { device->stop(); }

private:
    std::unique_ptr<juce::MidiInput> device; // deleting it stops and closes the port
};

class SystemOutput final : public MidiOutputPort
{
public:
    explicit SystemOutput(std::unique_ptr<juce::MidiOutput> output) : device(std::move(output)) {}

    void sendMessageNow(const juce::MidiMessage& message) override
    {
        // JUCE's ALSA back end keeps per-port encoder state without a lock, and
        // the editor sends from the message thread and the MIDI input thread.
        const std::lock_guard<std::mutex> lock(sendLock);
        device->sendMessageNow(message);
    }

private:
    std::mutex sendLock;
    std::unique_ptr<juce::MidiOutput> device;
};

juce::StringArray namesOf(const juce::Array<juce::MidiDeviceInfo>& devices)
{
    juce::StringArray names;
    for (const auto& device : devices)
        names.add(device.name);
    return names;
}

class SystemMidiServices final : public MidiServices
{
public:
    juce::StringArray getInputDeviceNames() override
    {
        return namesOf(juce::MidiInput::getAvailableDevices());
    }

    juce::StringArray getOutputDeviceNames() override
    {
        return namesOf(juce::MidiOutput::getAvailableDevices());
    }

    // The editor keeps positions in the device list; JUCE opens by identifier.
    std::unique_ptr<MidiInputPort> openInputDevice(int index,
                                                   juce::MidiInputCallback* callback) override
    {
        const auto devices = juce::MidiInput::getAvailableDevices();
        if (index < 0 || index >= devices.size())
            return nullptr;
        auto device = juce::MidiInput::openDevice(devices[index].identifier, callback);
        if (device == nullptr)
            return nullptr;
        return std::make_unique<SystemInput>(std::move(device));
    }

    std::unique_ptr<MidiOutputPort> openOutputDevice(int index) override
    {
        const auto devices = juce::MidiOutput::getAvailableDevices();
        if (index < 0 || index >= devices.size())
            return nullptr;
        auto device = juce::MidiOutput::openDevice(devices[index].identifier);
        if (device == nullptr)
            return nullptr;
        return std::make_unique<SystemOutput>(std::move(device));
    }
};
} // namespace

std::unique_ptr<MidiServices> createSystemMidiServices()
{
    return std::make_unique<SystemMidiServices>();
}

} // namespace kestra
