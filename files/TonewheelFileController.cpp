#include "files/TonewheelFileController.h"

#include "files/TonewheelFile.h"

#include <algorithm>
#include <memory>

namespace kestra
{

TonewheelFileController::TonewheelFileController(DeviceLink& deviceLink,
                                                 LinkSupervisor& linkSupervisor,
                                                 TonewheelUploadController& tonewheelUpload,
                                                 View& fileView, juce::File& folder)
    : link(deviceLink), supervisor(linkSupervisor), upload(tonewheelUpload), view(fileView),
      lastFolder(folder)
{
}

void TonewheelFileController::loadFrom(const juce::File& file, uint8_t slot)
{
    using namespace tonewheelfile;

    if (!supervisor.isConnected())
        return;
    if (slot < firstAlternativeSlot || slot >= numTonewheelSlots)
        return; // only the alternative slots take a tonewheel

    if (checkExtension(file.getFileExtension().toStdString()) != Verdict::accepted)
    {
        view.showFileNotice(FileNotice::notValid);
        return;
    }
    lastFolder = file.getParentDirectory();

    // A file beyond the limit is refused by its size and never read whole.
    const auto size = static_cast<uint64_t>(std::max<juce::int64>(0, file.getSize()));
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
        view.showFileNotice(FileNotice::notValid);
        return;
    }

    const auto* bytes = static_cast<const uint8_t*>(contents.getData());
    const uint64_t fileSize = size <= maxFileSize ? contents.getSize() : size;
    if (checkContents(bytes, contents.getSize(), fileSize) != Verdict::accepted)
    {
        view.showFileNotice(FileNotice::corrupted);
        return;
    }

    // The file's bytes wait with the question for its answer.
    auto kept = std::make_shared<juce::MemoryBlock>(std::move(contents));
    view.askTonewheelReplacement(
        link.tonewheelName(slot),
        [this, kept, slot](bool yes)
        {
            // The link may have gone, or an upload started, before the answer.
            if (!yes || !supervisor.isConnected() ||
                link.transfer.phase() != TonewheelTransfer::Ended)
                return;
            const auto* data = static_cast<const uint8_t*>(kept->getData());
            const int32_t length = dataLength(kept->getSize());
            link.transfer.load(data + nameOffset, data + dataOffset, length);
            upload.start(slot, length);
        });
}

} // namespace kestra
