// The MIDI input and the senders of the content component. The bytes are the
// device link's business; here they only cross between JUCE and it.

#include "ui/MainContentComponent.h"

namespace kestra
{

// MIDI input thread: never touches a component.
void MainContentComponent::handleIncomingMidiMessage(juce::MidiInput*,
                                                     const juce::MidiMessage& message)
{
    messageLog.append(MessageDirection::in, message.getRawData(),
                      static_cast<size_t>(message.getRawDataSize()));
    link.handleIncoming(message.getRawData(), static_cast<size_t>(message.getRawDataSize()));
}

void MainContentComponent::sendParameterValueMessage(int number, float value)
{
    link.sendParameterValueMessage(number, value);
}

void MainContentComponent::sendParameterByteMessage(int number, juce::uint8 value)
{
    link.sendParameterByteMessage(number, value);
}

void MainContentComponent::sendStoreRequest()
{
    link.sendStoreRequest();
}

void MainContentComponent::sendDumpRequest(juce::uint8 section)
{
    link.sendDumpRequest(section);
}

void MainContentComponent::sendIdentityRequest()
{
    link.sendIdentityRequest();
}

void MainContentComponent::sendResetRequest()
{
    link.sendResetRequest();
}

void MainContentComponent::sendBulkModeMessage(juce::uint8 mode)
{
    link.sendBulkModeMessage(mode);
}

// ---- LinkHost: what the device link needs from the component ----------------------------

void MainContentComponent::sendToInstrument(const uint8_t* data, size_t size)
{
    const std::lock_guard<std::mutex> lock(outputLock);
    if (midiOutput == nullptr)
        return;
    messageLog.append(MessageDirection::out, data, size);
    midiOutput->sendMessageNow(juce::MidiMessage(data, static_cast<int>(size)));
}

void MainContentComponent::startLinkTimer(int timerId, int milliseconds)
{
    startTimer(timerId, milliseconds);
}

void MainContentComponent::stopLinkTimer(int timerId)
{
    stopTimer(timerId);
}

void MainContentComponent::postInternalMessage(int type, int value)
{
    postMessage(new InternalMessage(type, value));
}

} // namespace kestra
