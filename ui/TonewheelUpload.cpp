// The tonewheel transfer as the window shows it: the transfer box with its
// progress bar, the error and cancel boxes. What happens when is decided by
// the controller (link/TonewheelUploadController).

#include "ui/MainContentComponent.h"
#include "ui/MessageTexts.h"

namespace kestra
{

namespace
{
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
    tonewheelUpload.start(slot, length);
}

void MainContentComponent::handleTransferEvent(int value)
{
    tonewheelUpload.handleEvent(value);
}

void MainContentComponent::showTransferProgress()
{
    tonewheelUpload.showProgress();
}

void MainContentComponent::showTransferError()
{
    showTransferErrorBox(link.transfer.errorCode());
}

void MainContentComponent::cancelTonewheelTransfer()
{
    tonewheelUpload.cancel();
}

// ---- TonewheelUploadController::View -----------------------------------------------------------

void MainContentComponent::showTransferBox()
{
    showMessageBox(texts::boxTitle, texts::transmittingTonewheel, texts::cancel, 2, {}, 0, {}, 0,
                   messageBoxCallback);
    // A 1 MiB upload takes minutes on a real MIDI link: a bar beneath the text
    // shows how far it is.
    transferProgress = 0.0;
    if (currentMessageBox != nullptr)
        currentMessageBox->addProgressBarComponent(transferProgress);
}

bool MainContentComponent::isTransferBoxShown() const
{
    return isTransferBox(currentMessageBox.get());
}

void MainContentComponent::showBytesRemaining(int32_t remaining)
{
    if (currentMessageBox != nullptr)
        currentMessageBox->setMessage(juce::String(texts::transmittingTonewheel) +
                                      juce::String(remaining));
}

void MainContentComponent::showProgress(double done)
{
    transferProgress = done;
}

void MainContentComponent::closeTransferBox()
{
    closeMessageBox();
}

void MainContentComponent::showTransferErrorBox(int errorCode)
{
    const char* text = tonewheelErrorText(errorCode);
    showMessageBox(texts::boxTitle,
                   juce::String(texts::transmissionAborted) +
                       (text != nullptr ? text : texts::unknownTransferError),
                   texts::ok, 1, {}, 2, {}, 3, nullptr);
}

void MainContentComponent::showTransferCancelled()
{
    loadTonewheelButton.setState(juce::Button::buttonNormal);
    showMessageBox(texts::boxTitle,
                   juce::String(texts::transmissionAborted) + texts::tonewheelDeleted, texts::ok, 1,
                   {}, 2, {}, 3, nullptr);
}

} // namespace kestra
