#pragma once

// Loading a tonewheel file into one of the alternative slots: the file is
// read and checked, the user is asked before the slot's tonewheel is lost,
// and the upload starts. Choosing the file (the dialog) and the boxes are the
// window's, through a View. No component (juce_core only); every function
// runs on the message thread.

#include "files/ProjectFileController.h"
#include "link/TonewheelUploadController.h"

#include <functional>
#include <string>

namespace kestra
{

class TonewheelFileController
{
public:
    class View
    {
    public:
        virtual ~View() = default;
        virtual void showFileNotice(FileNotice notice) = 0;
        // Whether the tonewheel now in the slot, named slotName, may be
        // replaced; onAnswer gets true for Yes.
        virtual void askTonewheelReplacement(const std::string& slotName,
                                             std::function<void(bool yes)> onAnswer) = 0;
    };

    // lastFolder is where the file dialogs start; a loaded file moves it.
    TonewheelFileController(DeviceLink& link, LinkSupervisor& supervisor,
                            TonewheelUploadController& upload, View& view, juce::File& lastFolder);

    // Only a connected instrument takes a tonewheel.
    bool canLoad() const { return supervisor.isConnected(); }
    // Reads and checks file, asks, and uploads it into slot.
    void loadFrom(const juce::File& file, uint8_t slot);

private:
    DeviceLink& link;
    LinkSupervisor& supervisor;
    TonewheelUploadController& upload;
    View& view;
    juce::File& lastFolder;
};

} // namespace kestra
