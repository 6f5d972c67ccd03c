// The link as the window sees it: the internal messages from the MIDI input
// thread, the timers' expiries, the supervisor's window (boxes, buttons, the
// connected display), and the senders and ports under the names the rest of
// the editor knows them by. The decisions are the supervisor's.

#include "ui/EditHistory.h"
#include "ui/MainContentComponent.h"
#include "ui/MessageTexts.h"
#include "ui/Pictures.h"

namespace kestra
{

namespace
{
const char* noticeText(LinkNotice notice)
{
    switch (notice)
    {
    case LinkNotice::portBusy:
        return texts::portBusy;
    case LinkNotice::deviceNotFound:
        return texts::deviceNotFound;
    case LinkNotice::dumpFailed:
        return texts::dumpFailed;
    case LinkNotice::connectionLost:
        return texts::connectionLost;
    case LinkNotice::storeConfirmed:
        return texts::storeConfirmed;
    case LinkNotice::storeNotConfirmed:
        return texts::storeNotConfirmed;
    case LinkNotice::resetConfirmed:
        return texts::resetConfirmed;
    case LinkNotice::resetNotConfirmed:
        return texts::resetNotConfirmed;
    }
    return "";
}
} // namespace

// ---- the message thread's side of the MIDI input ----------------------------------------------

void MainContentComponent::handleMessage(const juce::Message& message)
{
    const auto* internal = dynamic_cast<const InternalMessage*>(&message);
    if (internal == nullptr)
        return;

    switch (internal->type)
    {
    case DoneReceived:
        onDoneReceived();
        break;
    case ParameterChanged:
        // Values that come with a dump, a store or a reset are shown at its end.
        if (supervisor.state() == Idle)
            applyReceivedParameter(internal->value);
        break;
    case TonewheelNameChanged:
        if (supervisor.state() == Idle)
            showTonewheelName(internal->value);
        break;
    case IdentityReceived:
        supervisor.identityReceived();
        break;
    case TransferEvent:
        handleTransferEvent(internal->value);
        break;
    case ProjectSendEnded:
        projectSend.sendEnded(internal->value);
        break;
    default:
        break;
    }
}

void MainContentComponent::timerCallback(int timerId)
{
    if (timerId == BulkSendTimer)
        sendAllParameters();
    else
        supervisor.timerExpired(timerId);
}

// ---- ports, connection and handshake: the supervisor's and the port connector's --------------

void MainContentComponent::connect(bool on)
{
    supervisor.connect(on);
}

bool MainContentComponent::findPortsByName()
{
    return ports.findPortsByName();
}

bool MainContentComponent::openInput()
{
    return ports.openInput();
}

void MainContentComponent::scanNextPortPair()
{
    supervisor.scanNextPortPair();
}

void MainContentComponent::savePortIndices()
{
    ports.savePortIndices();
}

void MainContentComponent::setConnected(bool on)
{
    supervisor.setConnected(on);
}

void MainContentComponent::onDoneReceived()
{
    supervisor.doneReceived();
}

// ---- LinkSupervisor::Window -------------------------------------------------------------------

void MainContentComponent::showLinkNotice(LinkNotice notice)
{
    showMessageBox(texts::boxTitle, noticeText(notice), texts::ok, 1, {}, 2, {}, 3, nullptr);
}

void MainContentComponent::showSearchingBox()
{
    showMessageBox(texts::boxTitle, texts::searching, texts::cancel, 1, {}, 0, {}, 0,
                   messageBoxCallback);
}

void MainContentComponent::releaseLinkButton(LinkButton button)
{
    releaseButton(button == LinkButton::connect ? connectButton
                  : button == LinkButton::store ? storeButton
                                                : resetButton);
}

void MainContentComponent::onIdentityRejected(int reason)
{
    releaseButton(connectButton); // the ports stay open until the next connect
    const char* text = reason == EditorOutOfDate     ? texts::editorOutOfDate
                       : reason == FirmwareOutOfDate ? texts::firmwareOutOfDate
                                                     : texts::modelNotSupported;
    showMessageBox(texts::boxTitle, text, texts::ok, 1, {}, 2, {}, 3, nullptr);
}

bool MainContentComponent::confirmReset()
{
    return showMessageBox(texts::boxTitle, texts::resetQuestion, texts::yes, 1, texts::no, 0, {}, 3,
                          nullptr) != 0;
}

void MainContentComponent::showLinkUp()
{
    projectSend.setLinkUp(true);
    connectionIndicator.setImage(pictures::connectedOn());
    connectButton.setToggleState(true, juce::dontSendNotification);
    const int model = link.modelIndex();
    const int revision = link.hardwareRevision();
    deviceLabel.setText(juce::String(modelName(model)) + " " + revisionSuffix(revision),
                        juce::dontSendNotification);
    firmwareLabel.setText(juce::String(link.versionText()), juce::dontSendNotification);
}

void MainContentComponent::showLinkDown()
{
    projectSend.setLinkUp(false);
    connectionIndicator.setImage(pictures::connectedOff());
    deviceLabel.setText({}, juce::dontSendNotification);
    firmwareLabel.setText({}, juce::dontSendNotification);
}

void MainContentComponent::dropConnection()
{
    // The CONNECT handler disconnects and closes the ports.
    connectButton.setToggleState(false, juce::sendNotificationSync);
    connectButton.setState(juce::Button::buttonNormal);
}

void MainContentComponent::showInstrumentValues()
{
    closeMessageBox();
    editHistory->clear(); // the instrument's values replace everything the steps knew
    refreshControls();
    reshowCurrentPage();
}

void MainContentComponent::showResetValues()
{
    editHistory->clear();
    refreshControls();
}

// ---- senders (either thread) -------------------------------------------------------------------

void MainContentComponent::handleIncomingMidiMessage(juce::MidiInput*,
                                                     const juce::MidiMessage& message)
{
    // MIDI input thread: never touches a component.
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

void MainContentComponent::sendToInstrument(const uint8_t* data, size_t size)
{
    ports.send(data, size);
}

void MainContentComponent::postInternalMessage(int type, int value)
{
    postMessage(new InternalMessage(type, value));
}

} // namespace kestra
