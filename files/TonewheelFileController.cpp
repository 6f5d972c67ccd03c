#include "files/TonewheelFileController.h"

#include "files/TonewheelFile.h"
#include "link/NativeFile.h"

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

    // Only a regular file is opened (a FIFO would block, a device never
    // end); a file beyond the limit is refused by its size and never read whole.
    const auto contents = nativefile::readRegular(file, maxFileSize);

    // A read that fails says nothing about the file's contents: it is not
    // called corrupted, but not valid, the closest text the editor has.
    if (!contents.read)
    {
        view.showFileNotice(FileNotice::notValid);
        return;
    }
    if (checkContents(contents.bytes.data(), contents.bytes.size(), contents.size) !=
        Verdict::accepted)
    {
        view.showFileNotice(FileNotice::corrupted);
        return;
    }

    // The file's bytes wait with the question for its answer.
    auto kept = std::make_shared<juce::MemoryBlock>(contents.bytes.data(), contents.bytes.size());
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
