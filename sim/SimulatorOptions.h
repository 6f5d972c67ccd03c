#pragma once

// The simulated instrument as the editor's MIDI services, configured by the
// environment variable KESTRA_EDITOR_SIMULATOR: a comma-separated list of
// options, for example "model=1,revision=1,dump-delay=2500,log=/tmp/kestra.log".
// The empty list is a healthy "Kestra". sim/README.md lists every option.

#include "link/MidiServices.h"
#include "link/VirtualMidiServices.h"
#include "sim/SimulatedInstrument.h"

#include <memory>
#include <string>

namespace kestra
{

constexpr const char* simulatorEnvironmentVariable = "KESTRA_EDITOR_SIMULATOR";

// Applies the options to `config`. On any error `config` is left as it was,
// `error` (when given) receives one text naming every faulty option, and the
// result is false.
bool parseSimulatorOptions(const std::string& options, SimulatorConfig& config,
                           std::string* error = nullptr);

// Virtual MIDI services with a simulated instrument attached: what the editor
// uses instead of the system's MIDI when KESTRA_EDITOR_SIMULATOR is set.
class SimulatedMidiServices final : public MidiServices
{
public:
    explicit SimulatedMidiServices(const SimulatorConfig& config);
    ~SimulatedMidiServices() override;

    SimulatedInstrument& instrument() { return simulated; }
    VirtualMidiServices& virtualMidi() { return midi; }

    juce::StringArray getInputDeviceNames() override;
    juce::StringArray getOutputDeviceNames() override;
    std::unique_ptr<MidiInputPort> openInputDevice(int index,
                                                   juce::MidiInputCallback* callback) override;
    std::unique_ptr<MidiOutputPort> openOutputDevice(int index) override;

private:
    VirtualMidiServices midi;      // declared first: outlives the instrument
    SimulatedInstrument simulated; // sits on `midi`
};

// Parses `options` and builds the services. Null, with `error` set, when an
// option is wrong or the log file cannot be opened.
std::unique_ptr<MidiServices> createSimulatedMidiServices(const std::string& options,
                                                          std::string* error = nullptr);

} // namespace kestra
