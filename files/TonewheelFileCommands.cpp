// Loading a tonewheel file and handing it to the transfer.

#include "ui/MainContentComponent.h"
#include "ui/MessageTexts.h"

namespace kestra
{

void MainContentComponent::loadTonewheelFile(juce::uint8) {}
void MainContentComponent::loadTonewheelFrom(const juce::File&, juce::uint8) {}

} // namespace kestra
