// Saving and opening project files, and sending an opened project.

#include "ui/MainContentComponent.h"
#include "ui/MessageTexts.h"

namespace kestra
{

void MainContentComponent::saveProjectFile() {}
void MainContentComponent::openProjectFile() {}
void MainContentComponent::saveProjectTo(const juce::File&) {}
void MainContentComponent::openProjectFrom(const juce::File&) {}

void MainContentComponent::runProjectTransmission()
{
    sendBulkModeMessage(1);
    sendAllParameters();
    sendBulkModeMessage(0);
    closeMessageBox();
}

} // namespace kestra
