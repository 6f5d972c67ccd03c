// The tonewheel transfer as the window shows it: progress, end, errors and the
// user's cancel, and the re-synchronisation after every end.

#include "ui/MainContentComponent.h"
#include "ui/MessageTexts.h"

namespace kestra
{

namespace
{
// The transfer's messages from the message thread (the header, the user's
// CANCEL) take the same way out as those the MIDI thread sends.
class HostIo final : public TonewheelTransfer::Io
{
public:
    explicit HostIo(LinkHost& linkHost) : host(linkHost) {}

    void sendToInstrument(const uint8_t* data, size_t size) override
    {
        host.sendToInstrument(data, size);
    }
    void postTransferEvent(int value) override { host.postInternalMessage(TransferEvent, value); }

private:
    LinkHost& host;
};

// Only the transfer box carries a progress bar: it tells that box from one
// that has replaced it (a lost connection, say).
bool isTransferBox(const juce::Component* box)
{
    if (box == nullptr)
        return false;
    for (auto* child : box->getChildren())
        if (dynamic_cast<const juce::ProgressBar*>(child) != nullptr)
            return true;
    return false;
}
} // namespace

void MainContentComponent::startTonewheelTransfer(juce::uint8 slot, juce::int32 length)
{
    showMessageBox(texts::boxTitle, texts::transmittingTonewheel, texts::cancel, 2, {}, 0, {}, 0,
                   messageBoxCallback);
    // A 1 MiB upload takes minutes on a real MIDI link: a bar beneath the text
    // shows how far it is.
    transferProgress = 0.0;
    if (messageBoxes.isOpen())
        messageBoxes.current()->addProgressBarComponent(transferProgress);

    HostIo io(*this);
    link.transfer.start(slot, length, io);
}

void MainContentComponent::handleTransferEvent(int value)
{
    if (value == TransferProgress)
    {
        showTransferProgress();
        return;
    }

    // A link lost during the transfer has been closed and reported already.
    if (!ports.isOpen())
        return;

    supervisor.suspendHeartbeat();
    if (value == TransferFinished)
    {
        if (isTransferBox(messageBoxes.current()))
            closeMessageBox();
    }
    else if (value == TransferFailed)
    {
        // The instrument may refuse the tonewheel after its EOF, when the
        // handshake that the finish started is under way. Hold that handshake
        // while the error is shown (its end would close the box), and start it
        // again afterwards. During a transfer these are as they already were.
        supervisor.holdHandshake();
        showTransferError();
        if (!ports.isOpen())
            return; // the box ran a modal loop, and the link ended meanwhile
    }

    // However it ended, the instrument has a new slot: run the whole handshake
    // again. The display keeps its connected look until the handshake decides.
    supervisor.restartHandshake(true);
}

void MainContentComponent::showTransferProgress()
{
    if (link.transfer.phase() == TonewheelTransfer::Ended || !isTransferBox(messageBoxes.current()))
        return; // cancelled or ended since, or another box has taken its place

    const auto remaining = link.transfer.bytesRemaining();
    const auto total = link.transfer.totalLength();
    messageBoxes.current()->setMessage(juce::String(texts::transmittingTonewheel) +
                                       juce::String(remaining));
    if (total > 0)
        transferProgress = 1.0 - static_cast<double>(remaining) / static_cast<double>(total);
}

void MainContentComponent::showTransferError()
{
    const char* text = tonewheelErrorText(link.transfer.errorCode());
    showMessageBox(texts::boxTitle,
                   juce::String(texts::transmissionAborted) +
                       (text != nullptr ? text : texts::unknownTransferError),
                   texts::ok, 1, {}, 2, {}, 3, nullptr);
}

void MainContentComponent::cancelTonewheelTransfer()
{
    HostIo io(*this);
    if (!link.transfer.cancel(io))
        return; // it ended on its own meanwhile: the event that says so follows

    supervisor.suspendHeartbeat();
    loadTonewheelButton.setState(juce::Button::buttonNormal);
    showMessageBox(texts::boxTitle,
                   juce::String(texts::transmissionAborted) + texts::tonewheelDeleted, texts::ok, 1,
                   {}, 2, {}, 3, nullptr);

    // The handshake again, as after every end, but without the time-out.
    supervisor.restartHandshake(false);
}

} // namespace kestra
