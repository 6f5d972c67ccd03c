// Saving and opening project files, and sending an opened project to the
// instrument. Choosing a file (the dialogs) is kept apart from saving and
// opening a given file, which tests and other callers use directly.

#include "files/ProjectFile.h"
#include "ui/EditHistory.h"
#include "ui/MainContentComponent.h"
#include "ui/MessageTexts.h"

#include <cmath>
#include <utility>

namespace kestra
{

namespace
{
juce::String fromUtf8(const std::string& text)
{
    return juce::String::fromUTF8(text.data(), static_cast<int>(text.size()));
}

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

void showOkBox(MainContentComponent& editor, const char* text)
{
    editor.showMessageBox(texts::boxTitle, text, texts::ok, 1, {}, 2, {}, 3, nullptr);
}
} // namespace

void MainContentComponent::saveProjectFile()
{
    auto startAt = lastFileFolder; // saving never moves it
    for (;;)
    {
        juce::FileChooser chooser("Save Project File", startAt, "*.tkp");
        if (!chooser.browseForFileToSave(true))
            return;

        // A name without the project extension gets it, so that the open
        // command takes the file again. The chooser has only warned about the
        // name as typed: when the name with ".tkp" belongs to an existing file,
        // the chooser asks again with that name, and its warning covers it.
        const auto chosen = chooser.getResult();
        const auto target = chosen.getSiblingFile(
            fromUtf8(projectfile::withProjectExtension(chosen.getFileName().toStdString())));
        if (target == chosen || !target.exists())
        {
            saveProjectTo(target);
            return;
        }
        startAt = target;
    }
}

void MainContentComponent::saveProjectTo(const juce::File& file)
{
    if (!writeThroughTemporary(file, projectfile::toImage(link.record())))
        showOkBox(*this, texts::projectNotSaved);
}

void MainContentComponent::openProjectFile()
{
    juce::FileChooser chooser("Open Project File", lastFileFolder, "*.tkp");
    if (!chooser.browseForFileToOpen())
        return;
    openProjectFrom(chooser.getResult());
}

void MainContentComponent::openProjectFrom(const juce::File& file)
{
    if (!projectfile::hasProjectExtension(file.getFileExtension().toStdString()))
    {
        showOkBox(*this, texts::fileNotValid);
        return;
    }
    lastFileFolder = file.getParentDirectory();

    // The record's length is all that is read; anything after it is ignored.
    // A file that cannot be read reads as empty, which fails the magic.
    juce::MemoryBlock head;
    if (juce::FileInputStream in(file); in.openedOk())
        in.readIntoMemoryBlock(head, static_cast<ssize_t>(projectfile::fileSize));
    const auto contents =
        projectfile::parse(static_cast<const uint8_t*>(head.getData()), head.getSize());
    if (contents.fault != projectfile::Fault::none)
    {
        showOkBox(*this, texts::fileCorrupted);
        return;
    }

    const auto before = link.record();
    takeOpenedProject(contents.record);
    editHistory->projectOpened(before, contents.record);
}

void MainContentComponent::takeOpenedProject(const ProjectRecord& opened)
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
    {
        endProjectTransmission(); // a send still running gives way to this one
        showMessageBox(texts::boxTitle, texts::transmittingParameters, {}, 3, {}, 0, {}, 0,
                       messageBoxCallback);
        projectTransmissionBox = messageBoxes.current();
        projectSendLastParameter = lastParameterForModel(record.modelIndex);
        projectSendDueMs =
            juce::Time::getMillisecondCounterHiRes() + projectfile::transmissionDelayMs;
        timers.start(BulkSendTimer, projectfile::transmissionDelayMs);
    }

    refreshControls();

    // A new model from the file changes which rows the current page shows.
    if (record.modelIndex != modelBefore && pageViews.currentPage() >= 0 &&
        pageViews.currentPage() <= 5)
    {
        showPage(false, pageViews.currentPage());
        showPage(true, pageViews.currentPage());
    }
}

// BulkSendTimer, 200 ms after the opening: the send itself, BulkModeMessage 1
// with parameter 0, each further parameter 20 ms after the one before and
// BulkModeMessage 0 20 ms after the last, paced by projectSender on its own
// thread, so that the message thread stays free and the window keeps painting.
// Its end comes back as ProjectSendEnded. A JUCE timer may fire a little
// early; the send then waits for the rest of its 200 ms.
void MainContentComponent::sendAllParameters()
{
    if (projectSendLastParameter < 0)
        return;
    const double early = projectSendDueMs - juce::Time::getMillisecondCounterHiRes();
    if (early > 0.0)
    {
        timers.start(BulkSendTimer, juce::jmax(1, static_cast<int>(std::ceil(early))));
        return;
    }
    const int last = std::exchange(projectSendLastParameter, -1);

    // A link that went away takes the rest of the send with it.
    if (!supervisor.isConnected())
    {
        endProjectTransmission();
        return;
    }

    // Nothing else goes to the instrument between the two bulk mode
    // messages: the heartbeat waits until the send is over.
    heartbeatSuspended = supervisor.suspendHeartbeat();
    projectSender.start(last);
}

// The pacer's word that its send is over (complete, or the link went down);
// a late word of a send already ended or replaced is ignored.
void MainContentComponent::onProjectSendEnded(int send)
{
    if (projectSender.isRunning() && send == projectSender.currentSend())
        endProjectTransmission();
}

// Ends the send, complete or not: a send cut short still gets its
// BulkModeMessage 0 (the senders drop it when the port is closed), the
// heartbeat resumes if the link is still up, and the transmission box closes
// unless another box has replaced it meanwhile.
void MainContentComponent::endProjectTransmission()
{
    timers.stop(BulkSendTimer);
    projectSendLastParameter = -1;
    if (projectSender.stop())
        sendBulkModeMessage(0);

    if (heartbeatSuspended)
        supervisor.resumeHeartbeat(); // if the link is still up
    heartbeatSuspended = false;

    if (projectTransmissionBox != nullptr &&
        messageBoxes.current() == projectTransmissionBox.getComponent())
        closeMessageBox();
    projectTransmissionBox = nullptr;
}

} // namespace kestra
