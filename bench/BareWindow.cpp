// The floor of the start-up benchmark: a JUCE application with one window of
// the editor's size, built from the same JUCE library, with nothing in it.
// bench/startup.sh starts it beside the editor in the same run, and reports
// the editor's first complete paint and peak memory against this window's.
//
// Its content fills the window with the window's background colour and draws a
// one-pixel frame: FirstPaintProbe counts a window as painted only when it
// shows more than one colour (a window that was never painted, copied along
// by the server, shows one).
//
// "--scale 200" opens it zoomed as the editor's --scale does: the desktop's
// global scale set before the window opens.

#include <juce_gui_basics/juce_gui_basics.h>

namespace
{

class Bare final : public juce::Component
{
public:
    void paint(juce::Graphics& g) override
    {
        g.fillAll(findColour(juce::ResizableWindow::backgroundColourId));
        g.setColour(juce::Colours::white);
        g.drawRect(getLocalBounds());
    }
};

class BareWindowApplication final : public juce::JUCEApplication
{
public:
    const juce::String getApplicationName() override { return "Bare Window"; }
    const juce::String getApplicationVersion() override { return "1.00"; }
    bool moreThanOneInstanceAllowed() override { return true; }

    void initialise(const juce::String&) override
    {
        const auto arguments = getCommandLineParameterArray();
        const int at = arguments.indexOf("--scale");
        if (at >= 0 && at + 1 < arguments.size())
            juce::Desktop::getInstance().setGlobalScaleFactor(
                static_cast<float>(arguments[at + 1].getIntValue()) / 100.0f);
        window = std::make_unique<Window>();
    }
    void shutdown() override { window.reset(); }
    void systemRequestedQuit() override { quit(); }
    void anotherInstanceStarted(const juce::String&) override {}

private:
    // As the editor's main window: native title bar, not resizable, centred.
    class Window final : public juce::DocumentWindow
    {
    public:
        Window()
            : DocumentWindow("Bare Window",
                             juce::Desktop::getInstance().getDefaultLookAndFeel().findColour(
                                 juce::ResizableWindow::backgroundColourId),
                             DocumentWindow::minimiseButton | DocumentWindow::closeButton)
        {
            setUsingNativeTitleBar(true);
            auto* content = new Bare;
            content->setSize(1024, 685);
            setContentOwned(content, true);
            setResizable(false, false);
            centreWithSize(getWidth(), getHeight());
            setVisible(true);
        }
        void closeButtonPressed() override
        {
            juce::JUCEApplication::getInstance()->systemRequestedQuit();
        }
    };

    std::unique_ptr<Window> window;
};

} // namespace

START_JUCE_APPLICATION(BareWindowApplication)
