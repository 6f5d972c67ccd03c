// The application object and the one main window.

#include "app/LayoutDump.h"
#include "app/RepaintFallback.h"
#include "link/NativeFile.h"
#include "link/VirtualMidiServices.h"
#include "sim/SimulatorOptions.h"
#include "ui/EditorLookAndFeel.h"
#include "ui/MainContentComponent.h"
#include "ui/Pictures.h"
#include "ui/XEventQueuePump.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

// "1.00": the project's version (CMakeLists.txt), handed in by the build.
#ifndef KESTRA_VERSION_STRING
#error "KESTRA_VERSION_STRING is not defined: build with CMake"
#endif

namespace kestra
{

class KestraEditorApplication final : public juce::JUCEApplication
{
public:
    KestraEditorApplication() = default;
    ~KestraEditorApplication() override = default;

    const juce::String getApplicationName() override { return "Kestra Editor"; }
    const juce::String getApplicationVersion() override { return KESTRA_VERSION_STRING; }
    bool moreThanOneInstanceAllowed() override { return true; }

    // A project file named on the command line (a double-click in a file
    // manager) opens once the window is on screen.
    void initialise(const juce::String&) override
    {
        // KestraEditor --print-layout (app/LayoutDump.h): the layout on stdout,
        // then the end, with no MIDI port opened and no window shown.
        if (getCommandLineParameterArray().contains(printLayoutSwitch))
        {
            juce::LookAndFeel::setDefaultLookAndFeel(&lookAndFeel);
            MainWindow window(getApplicationName(), std::make_unique<VirtualMidiServices>(), false);
            std::cout << layoutAsJson(window, *window.getContentComponent()) << std::endl;
            quit();
            return;
        }

        std::unique_ptr<MidiServices> services; // null: the system's MIDI ports

        // With KESTRA_EDITOR_SIMULATOR set, the editor talks to the simulated
        // instrument instead (sim/README.md). A wrong option ends the program
        // before any window opens, so that nobody mistakes it for the organ.
        if (const char* options = std::getenv(simulatorEnvironmentVariable))
        {
            std::string error;
            services = createSimulatedMidiServices(options, &error);
            if (services == nullptr)
            {
                std::cerr << "Kestra Editor: " << error << std::endl;
                setApplicationReturnValue(2);
                quit();
                return;
            }
        }

        Zoom::startWith(getCommandLineParameterArray()); // --scale, else the kept zoom

        // The background, the largest picture, is decoded on a thread of its
        // own from here on, beside the building of the window, which the
        // first paint then finds done.
        const auto background = pictures::background();

        juce::LookAndFeel::setDefaultLookAndFeel(&lookAndFeel);
        mainWindow = std::make_unique<MainWindow>(getApplicationName(), std::move(services), true);
        repaintFallback = RepaintFallback::whereNeeded(*mainWindow);
        xEventQueuePump = XEventQueuePump::whereNeeded();

        const auto file = MainContentComponent::fileFromCommandLine(
            Zoom::withoutStartOption(getCommandLineParameterArray()), nativefile::currentFolder());
        if (file != juce::File())
            juce::MessageManager::callAsync(
                [this, file]
                {
                    if (mainWindow != nullptr)
                        if (auto* editor = dynamic_cast<MainContentComponent*>(
                                mainWindow->getContentComponent()))
                            editor->openFile(file);
                });
    }

    void shutdown() override
    {
        xEventQueuePump.reset();
        repaintFallback.reset();
        mainWindow.reset();
        juce::LookAndFeel::setDefaultLookAndFeel(nullptr);
    }

    void systemRequestedQuit() override { quit(); }
    void anotherInstanceStarted(const juce::String&) override {}

    class MainWindow final : public juce::DocumentWindow
    {
    public:
        MainWindow(const juce::String& name, std::unique_ptr<MidiServices> services, bool show)
            : DocumentWindow(name,
                             juce::Desktop::getInstance().getDefaultLookAndFeel().findColour(
                                 juce::ResizableWindow::backgroundColourId),
                             DocumentWindow::minimiseButton | DocumentWindow::closeButton)
        {
            setUsingNativeTitleBar(true);
            setContentOwned(new MainContentComponent(std::move(services)), true);
            setResizable(false, false);
            centreWithSize(getWidth(), getHeight());
            setName(juce::String("Kestra Editor") + " v" + KESTRA_VERSION_STRING);
            setVisible(show);
        }

        void closeButtonPressed() override
        {
            juce::JUCEApplication::getInstance()->systemRequestedQuit();
        }

    private:
        JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR(MainWindow)
    };

private:
    EditorLookAndFeel lookAndFeel;
    std::unique_ptr<MainWindow> mainWindow;
    std::unique_ptr<RepaintFallback> repaintFallback; // watches mainWindow (Windows)
    std::unique_ptr<XEventQueuePump> xEventQueuePump; // events Xlib holds back (Linux)
};

} // namespace kestra

#if JUCE_WINDOWS
START_JUCE_APPLICATION(kestra::KestraEditorApplication)
#else
JUCE_CREATE_APPLICATION_DEFINE(kestra::KestraEditorApplication)

// JUCE reads the arguments as UTF-8 without checking them: a file name that
// is not UTF-8 would become another name, and some bytes make it write past
// the end of a string. It is given them as the editor carries file names
// (link/NativeFile.h), which the file system gets back byte for byte.
int main(int argc, char* argv[])
{
    std::vector<std::string> carried;
    for (int i = 0; i < argc; ++i)
        carried.push_back(kestra::nativefile::textFromBytes(argv[i]).toStdString());
    std::vector<const char*> arguments;
    for (const auto& argument : carried)
        arguments.push_back(argument.c_str());
    arguments.push_back(nullptr);
    juce::JUCEApplicationBase::createInstance = &juce_CreateApplication;
    return juce::JUCEApplicationBase::main(argc, arguments.data());
}
#endif
