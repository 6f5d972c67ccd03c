#include "files/ProjectFileController.h"

#include "files/ProjectFile.h"

namespace kestra
{

namespace
{
// Writes the whole image into a temporary file beside the target and moves it
// over the target only when every byte has reached the disk, so that a failed
// save (no permission, disk full) leaves an existing file as it was. Unlike
// File::replaceWithData, a short write is noticed before the move.
bool writeThroughTemporary(const juce::File& target, const projectfile::Image& image)
{
    // A folder of that name is never replaced by the file. Linux refuses the
    // move anyway; the Windows call that replaces a file (ReplaceFile) did
    // replace a folder under Wine.
    if (target.isDirectory())
        return false;
    const juce::TemporaryFile temporary(target, juce::TemporaryFile::useHiddenFile);
    {
        juce::FileOutputStream out(temporary.getFile());
        if (out.failedToOpen() || !out.write(image.data(), image.size()))
            return false;
        out.flush();
        if (out.getStatus().failed())
            return false;
    }
    return temporary.getFile().getSize() == static_cast<juce::int64>(image.size()) &&
           temporary.overwriteTargetFileWithTemporary();
}
} // namespace

ProjectFileController::ProjectFileController(DeviceLink& deviceLink, LinkSupervisor& linkSupervisor,
                                             ProjectSendController& projectSend, View& fileView,
                                             juce::File& folder)
    : link(deviceLink), supervisor(linkSupervisor), send(projectSend), view(fileView),
      lastFolder(folder)
{
}

void ProjectFileController::saveTo(const juce::File& file)
{
    if (!writeThroughTemporary(file, projectfile::toImage(link.record())))
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
    // A file that cannot be read (missing, a folder, no permission, a failing
    // disk) says nothing about its contents: it is not called corrupted, but
    // not valid, the closest text the editor has. A file that was read and is
    // too short or wrong is corrupted.
    juce::MemoryBlock head;
    bool read = false;
    if (file.existsAsFile())
        if (juce::FileInputStream in(file); in.openedOk())
        {
            in.readIntoMemoryBlock(head, static_cast<ssize_t>(projectfile::fileSize));
            read = !in.getStatus().failed();
        }
    if (!read)
    {
        view.showFileNotice(FileNotice::notValid);
        return;
    }
    const auto contents =
        projectfile::parse(static_cast<const uint8_t*>(head.getData()), head.getSize());
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
