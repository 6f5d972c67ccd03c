#include "files/ProjectFileController.h"

#include "files/ProjectFile.h"
#include "link/NativeFile.h"

namespace kestra
{

ProjectFileController::ProjectFileController(DeviceLink& deviceLink, LinkSupervisor& linkSupervisor,
                                             ProjectSendController& projectSend, View& fileView,
                                             juce::File& folder)
    : link(deviceLink), supervisor(linkSupervisor), send(projectSend), view(fileView),
      lastFolder(folder)
{
}

void ProjectFileController::saveTo(const juce::File& file)
{
    // Written beside and moved over the target only when every byte has
    // reached the disk, so that a failed save (no permission, disk full)
    // leaves an existing file as it was. A folder, a FIFO or a device of that
    // name is never replaced.
    const auto image = projectfile::toImage(link.record());
    if (!nativefile::replaceWith(file, image.data(), image.size()))
        view.showFileNotice(FileNotice::notSaved);
}

void ProjectFileController::openFrom(const juce::File& file)
{
    if (!projectfile::hasProjectExtension(file.getFileExtension().toStdString()))
    {
        view.showFileNotice(FileNotice::notValid);
        return;
    }
    lastFolder = file.getParentDirectory();

    // The record's length is all that is read; anything after it is ignored.
    // A file that cannot be read (missing, a folder, a FIFO or a device, no
    // permission, a failing disk) says nothing about its contents: it is not
    // called corrupted, but not valid, the closest text the editor has. Only
    // a regular file is opened, so that nothing waits for a FIFO's writer. A
    // file that was read and is too short or wrong is corrupted.
    const auto head = nativefile::readRegular(file, projectfile::fileSize);
    if (!head.read)
    {
        view.showFileNotice(FileNotice::notValid);
        return;
    }
    const auto contents = projectfile::parse(head.bytes.data(), head.bytes.size());
    if (contents.fault != projectfile::Fault::none)
    {
        view.showFileNotice(FileNotice::corrupted);
        return;
    }

    const auto before = link.record();
    take(contents.record);
    view.projectOpened(before, contents.record);
}

void ProjectFileController::take(const ProjectRecord& opened)
{
    // The project goes into the record under the record's lock, so that a
    // value the instrument reports meanwhile (85 ... 98 under model 3, which
    // the project leaves alone) is never put back to what it was.
    const bool connected = supervisor.isConnected();
    int modelBefore = 0;
    const auto record = link.updateRecord(
        [&](ProjectRecord& r)
        {
            modelBefore = r.modelIndex;
            projectfile::takeProject(r, opened, connected);
            return r;
        });

    if (connected)
        send.start(lastParameterForModel(record.modelIndex));

    view.showOpenedProject(record.modelIndex != modelBefore);
}

} // namespace kestra
