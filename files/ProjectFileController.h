#pragma once

// Saving and opening project files for the editor: the file is written whole
// or not at all, an opened file is read and checked, its project goes into the
// record under the record's lock, and a connected instrument gets it with the
// full send. Choosing the file (the dialog) and the boxes are the window's: it
// reaches them through a View and hands the chosen file in here.
//
// No component: it uses JUCE's files (juce_core) only, so that tests run it
// headless. Every function runs on the message thread.

#include "files/ProjectSendController.h"
#include "model/ProjectRecord.h"

#include <juce_core/juce_core.h>

namespace kestra
{

// The boxes with an OK button that the file commands show.
enum class FileNotice
{
    notValid,  // not a file of that kind, or it could not be read
    corrupted, // its contents fail the checks
    notSaved,  // the project could not be written
};

class ProjectFileController
{
public:
    class View
    {
    public:
        virtual ~View() = default;
        virtual void showFileNotice(FileNotice notice) = 0;
        // The record has taken an opened project: the controls show it, and
        // the current page is shown again when the model changed (its rows do).
        virtual void showOpenedProject(bool modelChanged) = 0;
        // An opening from a file, for the undo history (not an undo's own).
        virtual void projectOpened(const ProjectRecord& before, const ProjectRecord& opened) = 0;
    };

    // lastFolder is where the file dialogs start; opening a file moves it,
    // saving never does.
    ProjectFileController(DeviceLink& link, LinkSupervisor& supervisor, ProjectSendController& send,
                          View& view, juce::File& lastFolder);

    // Writes the record to file; an existing file stays as it was when that fails.
    void saveTo(const juce::File& file);
    // Reads, checks and takes a project file.
    void openFrom(const juce::File& file);
    // Takes a project already read and accepted (or one an undo brings back):
    // into the record, then to a connected instrument with its box, then shown.
    void take(const ProjectRecord& opened);

private:
    DeviceLink& link;
    LinkSupervisor& supervisor;
    ProjectSendController& send;
    View& view;
    juce::File& lastFolder;
};

} // namespace kestra
