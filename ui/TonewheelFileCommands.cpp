// Loading a tonewheel file: the file dialog, and the question that the
// controller (files/TonewheelFileController) asks before a slot's tonewheel
// is lost.

#include "ui/MainContentComponent.h"
#include "ui/MessageTexts.h"

namespace kestra
{

void MainContentComponent::loadTonewheelFile(juce::uint8 slot)
{
    if (!tonewheelFiles.canLoad())
        return;

    juce::FileChooser chooser("Load Tonewheel File", lastFileFolder, "*.ktw");
    if (!chooser.browseForFileToOpen())
        return;
    loadTonewheelFrom(chooser.getResult(), slot);
}

void MainContentComponent::loadTonewheelFrom(const juce::File& file, juce::uint8 slot)
{
    tonewheelFiles.loadFrom(file, slot);
}

bool MainContentComponent::confirmTonewheelReplacement(const std::string& slotName)
{
    const juce::String question = juce::String(texts::tonewheelWarningPrefix) + "\"" +
                                  juce::String(slotName) + "\"" + texts::tonewheelWillBeLost;
    return showMessageBox(texts::boxTitle, question, texts::yes, 1, texts::no, 0, {}, 3, nullptr) ==
           1;
}

} // namespace kestra
