// The application object and the one main window.

#include "app/RepaintFallback.h"
#include "sim/SimulatorOptions.h"
#include "ui/EditorLookAndFeel.h"
#include "ui/MainContentComponent.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <cstdlib>
#include <iostream>

namespace kestra
{

class KestraEditorApplication final : public juce::JUCEApplication
{
public:
    KestraEditorApplication() = default;
    ~KestraEditorApplication() override = default;

    const juce::String getApplicationName() override { return "Kestra Editor"; }
    const juce::String getApplicationVersion() override { return "1.00"; }
    bool moreThanOneInstanceAllowed() override { return true; }

    void initialise(const juce::String&) override // the command line is ignored
    {
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

        juce::LookAndFeel::setDefaultLookAndFeel(&lookAndFeel);
        mainWindow = std::make_unique<MainWindow>(getApplicationName(), std::move(services));
        repaintFallback = RepaintFallback::whereNeeded(*mainWindow);
    }

    void shutdown() override
    {
        repaintFallback.reset();
        mainWindow.reset();
        juce::LookAndFeel::setDefaultLookAndFeel(nullptr);
    }

    void systemRequestedQuit() override { quit(); }
    void anotherInstanceStarted(const juce::String&) override {}

    class MainWindow final : public juce::DocumentWindow
    {
    public:
        MainWindow(const juce::String& name, std::unique_ptr<MidiServices> services)
            : DocumentWindow(name,
                             juce::Desktop::getInstance().getDefaultLookAndFeel().findColour(
                                 juce::ResizableWindow::backgroundColourId),
                             DocumentWindow::minimiseButton | DocumentWindow::closeButton)
        {
            setUsingNativeTitleBar(true);
            setContentOwned(new MainContentComponent(std::move(services)), true);
            setResizable(false, false);
            centreWithSize(getWidth(), getHeight());
            setName(juce::String("Kestra Editor") + " v" + "1.00");
            setVisible(true);
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
};

} // namespace kestra

START_JUCE_APPLICATION(kestra::KestraEditorApplication)
