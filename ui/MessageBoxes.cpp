// The editor's boxes (ui/MessageBoxPresenter.h) and what their results do.

#include "ui/MainContentComponent.h"

#include "link/LinkTypes.h"

namespace kestra
{

int MainContentComponent::showMessageBox(juce::String title, juce::String message,
                                         juce::String button1Text, int button1Value,
                                         juce::String button2Text, int button2Value,
                                         juce::String button3Text, int button3Value,
                                         MessageBoxCallback callback)
{
    MessageBoxPresenter::ResultHandler onResult;
    if (callback != nullptr)
        onResult = [callback, owner = juce::Component::SafePointer<MainContentComponent>(this)](
                       int result) { callback(result, owner.getComponent()); };
    return messageBoxes.show(title, message, button1Text, button1Value, button2Text, button2Value,
                             button3Text, button3Value, std::move(onResult));
}

void MainContentComponent::closeMessageBox()
{
    messageBoxes.close();
}

void MainContentComponent::handleMessageBoxResult(int result)
{
    // A box the editor closed or replaced reports 0 after it has gone.
    if (!messageBoxes.isOpen())
        return;

    switch (result)
    {
    case 1: // "Cancel" of the searching box
        closeMessageBox();
        supervisor.cancelSearch();
        break;
    case 2: // "Cancel" of the tonewheel transfer box
        cancelTonewheelTransfer();
        break;
    case 3:
        closeMessageBox();
        break;
    default:
        break;
    }
}

void messageBoxCallback(int result, MainContentComponent* owner)
{
    juce::Logger::writeToLog("messageBoxCallback: exit with result = " + juce::String(result));

    // The editor may be gone by the time a closed box reports.
    if (owner != nullptr)
        owner->handleMessageBoxResult(result);
}

} // namespace kestra
