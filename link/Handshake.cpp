// The conversation with the instrument on the message thread: internal
// messages from the MIDI thread, the six timers, the end of the handshake,
// the connected display, the heartbeat, and store and reset.

#include "ui/MainContentComponent.h"
#include "ui/MessageTexts.h"
#include "ui/Pictures.h"

namespace kestra
{

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
        applyReceivedParameter(internal->value);
        break;
    case TonewheelNameChanged:
        showTonewheelName(internal->value);
        break;
    case IdentityRejected:
        onIdentityRejected(internal->value);
        break;
    case TransferEvent:
        handleTransferEvent(internal->value);
        break;
    case ProjectSendEnded:
        onProjectSendEnded(internal->value);
        break;
    default:
        break;
    }
}

void MainContentComponent::timerCallback(int timerId)
{
    stopTimer(timerId); // every timer fires once per start

    switch (timerId)
    {
    case PortScanTimer:
        scanNextPortPair();
        break;
    case DumpTimeoutTimer:
        showDumpFailure();
        break;
    case StoreTimeoutTimer:
        link.linkState = Idle;
        showMessageBox(texts::boxTitle, texts::storeNotConfirmed, texts::ok, 1, {}, 2, {}, 3,
                       nullptr);
        releaseButton(storeButton);
        break;
    case ResetTimeoutTimer:
        link.linkState = Idle;
        showMessageBox(texts::boxTitle, texts::resetNotConfirmed, texts::ok, 1, {}, 2, {}, 3,
                       nullptr);
        releaseButton(resetButton);
        break;
    case BulkSendTimer:
        runProjectTransmission();
        break;
    case HeartbeatTimer:
        heartbeat();
        break;
    default:
        break;
    }
}

void MainContentComponent::onIdentityRejected(int reason)
{
    releaseButton(connectButton); // the ports stay open until the next connect
    const char* text = reason == EditorOutOfDate     ? texts::editorOutOfDate
                       : reason == FirmwareOutOfDate ? texts::firmwareOutOfDate
                                                     : texts::modelNotSupported;
    showMessageBox(texts::boxTitle, text, texts::ok, 1, {}, 2, {}, 3, nullptr);
}

void MainContentComponent::onDoneReceived()
{
    switch (link.linkState.load())
    {
    case AwaitingSection7D:
        link.linkState = AwaitingSection7E;
        sendDumpRequest(sysex::dumpSections[1]);
        break;
    case AwaitingSection7E:
        link.linkState = AwaitingSection7C;
        sendDumpRequest(sysex::dumpSections[2]);
        break;
    case AwaitingSection7C:
        link.linkState = Idle;
        stopTimer(DumpTimeoutTimer);
        closeMessageBox();
        refreshControls();
        if (currentPage >= 0 && currentPage <= 5)
        {
            showPage(false, currentPage);
            showPage(true, currentPage);
        }
        setConnected(true);
        savePortIndices();
        break;
    case StorePending:
        link.linkState = Idle;
        stopTimer(StoreTimeoutTimer);
        showMessageBox(texts::boxTitle, texts::storeConfirmed, texts::ok, 1, {}, 2, {}, 3, nullptr);
        releaseButton(storeButton);
        break;
    case ResetPending:
        link.linkState = Idle;
        stopTimer(ResetTimeoutTimer);
        refreshControls();
        showMessageBox(texts::boxTitle, texts::resetConfirmed, texts::ok, 1, {}, 2, {}, 3, nullptr);
        releaseButton(resetButton);
        break;
    default: // Idle: a DoneMessage outside a dump, store or reset
        break;
    }
}

void MainContentComponent::setConnected(bool on)
{
    if (on)
    {
        link.connected = true;
        connectionIndicator.setImage(pictures::connectedOn());
        connectButton.setToggleState(true, juce::dontSendNotification);
        const int model = link.modelIndex();
        const int revision = link.hardwareRevision();
        deviceLabel.setText(juce::String(modelName(model)) + " " + revisionSuffix(revision),
                            juce::dontSendNotification);
        firmwareLabel.setText(juce::String(link.versionText()), juce::dontSendNotification);
        link.heartbeatAnswered = false;
        sendIdentityRequest();
        startTimer(HeartbeatTimer, heartbeatPeriodMs);
        return;
    }

    link.connected = false;
    // A dump still running is given up with the connection: otherwise the
    // sections that are still on their way would go on asking for the next
    // one and end the handshake connected after the user has cancelled or
    // disconnected. A pending store or reset keeps its state and time-out.
    int state = link.linkState.load();
    if (state == AwaitingSection7D || state == AwaitingSection7E || state == AwaitingSection7C)
        link.linkState.compare_exchange_strong(state, Idle);
    connectionIndicator.setImage(pictures::connectedOff());
    deviceLabel.setText({}, juce::dontSendNotification);
    firmwareLabel.setText({}, juce::dontSendNotification);
    stopTimer(HeartbeatTimer);
}

void MainContentComponent::heartbeat()
{
    if (link.heartbeatAnswered.exchange(false))
    {
        sendIdentityRequest();
        startTimer(HeartbeatTimer, heartbeatPeriodMs);
        return;
    }

    // Lost: the CONNECT handler disconnects and closes the ports.
    connectButton.setToggleState(false, juce::sendNotificationSync);
    connectButton.setState(juce::Button::buttonNormal);
    showMessageBox(texts::boxTitle, texts::connectionLost, texts::ok, 1, {}, 2, {}, 3, nullptr);
}

void MainContentComponent::showDumpFailure()
{
    link.linkState = Idle;
    connectButton.setToggleState(false, juce::sendNotificationSync);
    connectButton.setState(juce::Button::buttonNormal);
    showMessageBox(texts::boxTitle, texts::dumpFailed, texts::ok, 1, {}, 2, {}, 3, nullptr);
}

} // namespace kestra
