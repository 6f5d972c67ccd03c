// Loading a tonewheel file and handing it to the transfer.

#include "files/TonewheelFile.h"
#include "ui/MainContentComponent.h"
#include "ui/MessageTexts.h"

namespace kestra
{

void MainContentComponent::loadTonewheelFile(juce::uint8 slot)
{
    if (!supervisor.isConnected())
        return;

    juce::FileChooser chooser("Load Tonewheel File", lastFileFolder, "*.ktw");
    if (!chooser.browseForFileToOpen())
        return;
    loadTonewheelFrom(chooser.getResult(), slot);
}

void MainContentComponent::loadTonewheelFrom(const juce::File& file, juce::uint8 slot)
{
    using namespace tonewheelfile;

    if (!supervisor.isConnected())
        return;
    if (slot < firstAlternativeSlot || slot >= numTonewheelSlots)
        return; // only the alternative slots take a tonewheel

    if (checkExtension(file.getFileExtension().toStdString()) != Verdict::accepted)
    {
        showMessageBox(texts::boxTitle, texts::fileNotValid, texts::ok, 1, {}, 2, {}, 3, nullptr);
        return;
    }
    lastFileFolder = file.getParentDirectory();

    // A file beyond the limit is refused by its size and never read whole.
    const auto size = static_cast<uint64_t>(juce::jmax<juce::int64>(0, file.getSize()));
    juce::MemoryBlock contents;
    bool read = false;
    if (size <= maxFileSize)
        read = file.loadFileAsData(contents);
    else if (juce::FileInputStream in(file); in.openedOk())
        read = in.readIntoMemoryBlock(contents, 4) == 4 && !in.getStatus().failed();

    // A read that fails says nothing about the file's contents: it is not
    // called corrupted, but not valid, the closest text the editor has.
    if (!read)
    {
        showMessageBox(texts::boxTitle, texts::fileNotValid, texts::ok, 1, {}, 2, {}, 3, nullptr);
        return;
    }

    const auto* bytes = static_cast<const uint8_t*>(contents.getData());
    const uint64_t fileSize = size <= maxFileSize ? contents.getSize() : size;
    if (checkContents(bytes, contents.getSize(), fileSize) != Verdict::accepted)
    {
        showMessageBox(texts::boxTitle, texts::fileCorrupted, texts::ok, 1, {}, 2, {}, 3, nullptr);
        return;
    }

    const juce::String question = juce::String(texts::tonewheelWarningPrefix) + "\"" +
                                  juce::String(link.tonewheelName(slot)) + "\"" +
                                  texts::tonewheelWillBeLost;
    if (showMessageBox(texts::boxTitle, question, texts::yes, 1, texts::no, 0, {}, 3, nullptr) != 1)
        return;
    // The question ran a modal loop: the link may have gone, or an upload
    // started, before the answer.
    if (!supervisor.isConnected() || link.transfer.phase() != TonewheelTransfer::Ended)
        return;

    const int32_t length = dataLength(contents.getSize());
    link.transfer.load(bytes + nameOffset, bytes + dataOffset, length);
    startTonewheelTransfer(slot, length);
}

} // namespace kestra
