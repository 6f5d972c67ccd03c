// Saving and opening project files, and sending an opened project to the
// instrument, as the window shows them: the file dialogs, and the boxes and
// the display that the controllers (files/ProjectFileController,
// files/ProjectSendController) ask for. Choosing a file is kept apart from
// saving and opening a given file, which tests and other callers use directly.

#include "files/ProjectFile.h"
#include "ui/EditHistory.h"
#include "ui/MainContentComponent.h"
#include "ui/MessageTexts.h"

namespace kestra
{

namespace
{
juce::String fromUtf8(const std::string& text)
{
    return juce::String::fromUTF8(text.data(), static_cast<int>(text.size()));
}

const char* noticeText(FileNotice notice)
{
    switch (notice)
    {
    case FileNotice::notValid:
        return texts::fileNotValid;
    case FileNotice::corrupted:
        return texts::fileCorrupted;
    case FileNotice::notSaved:
        return texts::projectNotSaved;
    }
    return "";
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
    projectFiles.saveTo(file);
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
    projectFiles.openFrom(file);
}

void MainContentComponent::takeOpenedProject(const ProjectRecord& opened)
{
    projectFiles.take(opened);
}

// BulkSendTimer, 200 ms after the opening: the paced send (ProjectSendController).
void MainContentComponent::sendAllParameters()
{
    projectSend.timerExpired();
}

// ---- ProjectFileController::View, TonewheelFileController::View ----------------------------

void MainContentComponent::showFileNotice(FileNotice notice)
{
    showMessageBox(texts::boxTitle, noticeText(notice), texts::ok, 1, {}, 2, {}, 3, nullptr);
}

void MainContentComponent::showOpenedProject(bool modelChanged)
{
    refreshControls();

    // A new model from the file changes which rows the current page shows.
    if (modelChanged)
        reshowCurrentPage();
}

void MainContentComponent::projectOpened(const ProjectRecord& before, const ProjectRecord& opened)
{
    editHistory->projectOpened(before, opened);
}

// ---- ProjectSendController::View ---------------------------------------------------------------

void MainContentComponent::showTransmissionBox()
{
    showMessageBox(texts::boxTitle, texts::transmittingParameters, {}, 3, {}, 0, {}, 0,
                   messageBoxCallback);
    projectTransmissionBox = messageBoxes.current();
}

void MainContentComponent::closeTransmissionBox()
{
    // Unless another box has replaced it meanwhile.
    if (projectTransmissionBox != nullptr &&
        messageBoxes.current() == projectTransmissionBox.getComponent())
        closeMessageBox();
    projectTransmissionBox = nullptr;
}

} // namespace kestra
