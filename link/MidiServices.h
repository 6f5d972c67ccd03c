#pragma once

// The MIDI services the editor talks through: device lists, opening a port by
// its position in the list, receiving complete messages on a driver thread,
// and sending. Two implementations: the system's ports (JUCE) for real use,
// and in-process virtual ports for the simulated instrument and the tests.

#include <juce_audio_devices/juce_audio_devices.h>

#include <memory>

namespace kestra
{

// An open input. Once started it calls its callback on a thread of its own;
// destroying it stops those calls before it returns.
class MidiInputPort
{
public:
    virtual ~MidiInputPort() = default;
    virtual void start() = 0;
    virtual void stop() = 0;
};

// An open output. Safe to call from several threads at once: each call sends
// one complete message.
class MidiOutputPort
{
public:
    virtual ~MidiOutputPort() = default;
    virtual void sendMessageNow(const juce::MidiMessage& message) = 0;
};

class MidiServices
{
public:
    virtual ~MidiServices() = default;

    virtual juce::StringArray getInputDeviceNames() = 0;
    virtual juce::StringArray getOutputDeviceNames() = 0;

    // Null when the index is outside the list or the port cannot be opened.
    virtual std::unique_ptr<MidiInputPort> openInputDevice(int index,
                                                           juce::MidiInputCallback* callback) = 0;
    virtual std::unique_ptr<MidiOutputPort> openOutputDevice(int index) = 0;
};

// The operating system's MIDI ports.
std::unique_ptr<MidiServices> createSystemMidiServices();

} // namespace kestra
