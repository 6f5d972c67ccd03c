#include "link/PortConnector.h"

#include "link/SettingsFile.h"

namespace kestra
{

namespace
{
constexpr const char* portName = "Tollmark Kestra MIDI Port";
constexpr const char* inputIndexKey = "MidiInputIndex";
constexpr const char* outputIndexKey = "MidiOutputIndex";

} // namespace

PortConnector::PortConnector(std::unique_ptr<MidiServices> services,
                             juce::MidiInputCallback& inputReceiver)
    : midiServices(std::move(services)), receiver(inputReceiver)
{
    settings.setStorageParameters(settingsFileOptions());

    if (auto* user = settings.getUserSettings())
    {
        inputIndex = user->getIntValue(inputIndexKey, -1);
        outputIndex = user->getIntValue(outputIndexKey, -1);
    }
}

PortConnector::~PortConnector()
{
    close();
}

void PortConnector::savePortIndices()
{
    if (auto* user = settings.getUserSettings())
    {
        setAsideDamagedSettings(); // never read a damaged file
        user->reload();            // what others have written since
        user->setValue(inputIndexKey, inputIndex);
        user->setValue(outputIndexKey, outputIndex);
        user->saveIfNeeded();
    }
}

void PortConnector::rememberPair()
{
    savePortIndices();
}

bool PortConnector::findPortsByName()
{
    const int i = midiServices->getInputDeviceNames().indexOf(portName);
    if (i < 0)
        return false;
    const int j = midiServices->getOutputDeviceNames().indexOf(portName);
    if (j < 0)
        return false;
    inputIndex = i;
    outputIndex = j;
    return true;
}

bool PortConnector::openInput()
{
    midiInput.reset();
    midiInput = midiServices->openInputDevice(inputIndex, &receiver);
    if (midiInput == nullptr)
        return false;
    midiInput->start();
    return true;
}

bool PortConnector::openOutput()
{
    auto output = midiServices->openOutputDevice(outputIndex);
    const std::lock_guard<std::mutex> lock(outputLock);
    midiOutput = std::move(output);
    return midiOutput != nullptr;
}

void PortConnector::openPair(int input, int output)
{
    inputIndex = input;
    openInput();
    outputIndex = output;
    openOutput();
}

bool PortConnector::openForSearch()
{
    scanFromTop = true;
    numInputs = midiServices->getInputDeviceNames().size();
    numOutputs = midiServices->getOutputDeviceNames().size();

    if (findPortsByName())
        return openInput() && openOutput();

    openInput(); // the stored pair; a failure only means the scan starts at once
    openOutput();
    return true;
}

bool PortConnector::openNextPair()
{
    if (scanFromTop)
    {
        inputIndex = numInputs;
        outputIndex = numOutputs;
        scanFromTop = false;
    }

    for (;;)
    {
        if (inputIndex == numInputs)
        {
            // Next output, skipping those that cannot be opened.
            do
            {
                if (--outputIndex < 0)
                    return false; // the last opened ports stay open
            } while (!openOutput());
        }

        --inputIndex;
        while (inputIndex >= 0 && !openInput())
            --inputIndex;

        if (inputIndex >= 0)
            return true;
        inputIndex = numInputs;
    }
}

void PortConnector::close()
{
    midiInput.reset(); // stops the MIDI input thread's calls
    const std::lock_guard<std::mutex> lock(outputLock);
    midiOutput.reset();
}

bool PortConnector::isOpen() const
{
    return hasOutput();
}

bool PortConnector::hasOutput() const
{
    const std::lock_guard<std::mutex> lock(outputLock);
    return midiOutput != nullptr;
}

void PortConnector::send(const uint8_t* data, size_t size)
{
    const std::lock_guard<std::mutex> lock(outputLock);
    if (midiOutput == nullptr)
        return;
    if (sentLog != nullptr)
        sentLog->append(MessageDirection::out, data, size);
    midiOutput->sendMessageNow(juce::MidiMessage(data, static_cast<int>(size)));
}

} // namespace kestra
