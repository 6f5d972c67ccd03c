// Renders the window's pages and views to PNG files, for the README:
//   RenderScreenshots <folder>
// Runs with an X display (xvfb-run). The pages are shown with the editor not
// connected; one more picture shows it connected to a simulated "Kestra Brio",
// and one the first page at a zoom of 200 % (2048 x 1370, as the screen shows
// it: tests/ZoomTests.cpp compares the two).

#include "../support/EditorTestProbe.h"
#include "../support/Environment.h"
#include "../support/MessageLoop.h"
#include "sim/SimulatorOptions.h"
#include "ui/EditorLookAndFeel.h"

#include <chrono>

#include <functional>
#include <iostream>

using namespace kestra;

namespace
{
void click(juce::Button& button)
{
    button.setToggleState(true, juce::sendNotificationSync);
}

bool writePng(juce::Component& component, const juce::File& file, float scale = 1.0f)
{
    const auto image = component.createComponentSnapshot(component.getLocalBounds(), true, scale);
    file.deleteFile();
    juce::FileOutputStream out(file);
    juce::PNGImageFormat png;
    return out.openedOk() && png.writeImageToStream(image, out);
}
} // namespace

int main(int argc, char* argv[])
{
    if (argc < 2)
    {
        std::cerr << "usage: RenderScreenshots <folder>\n";
        return 2;
    }
    juce::JUCEApplicationBase::createInstance = []() -> juce::JUCEApplicationBase*
    { return nullptr; };
    juce::ScopedJuceInitialiser_GUI juce;
    EditorLookAndFeel lookAndFeel;
    juce::LookAndFeel::setDefaultLookAndFeel(&lookAndFeel);

    const juce::File folder = juce::File::getCurrentWorkingDirectory().getChildFile(argv[1]);
    folder.createDirectory();

    struct Shot
    {
        const char* name;
        std::function<void(EditorTestProbe&)> select;
    };
    const Shot shots[] = {
        {"tone-generator-main", [](EditorTestProbe&) {}},
        {"tone-generator-drawbar", [](EditorTestProbe& p) { click(p.drawbarViewButton()); }},
        {"vibrato-chorus", [](EditorTestProbe& p) { click(p.pageButton(1)); }},
        {"overdrive-classic", [](EditorTestProbe& p) { click(p.pageButton(2)); }},
        {"overdrive-rock",
         [](EditorTestProbe& p)
         {
             click(p.pageButton(2));
             click(p.overdriveRockButton());
         }},
        {"rotary-common", [](EditorTestProbe& p) { click(p.pageButton(3)); }},
        {"rotary-classic",
         [](EditorTestProbe& p)
         {
             click(p.pageButton(3));
             click(p.rotaryClassicButton());
         }},
        {"rotary-rock",
         [](EditorTestProbe& p)
         {
             click(p.pageButton(3));
             click(p.rotaryRockButton());
         }},
        {"reverb", [](EditorTestProbe& p) { click(p.pageButton(4)); }},
        {"additional-functions", [](EditorTestProbe& p) { click(p.pageButton(5)); }},
    };

    int failures = 0;
    for (const auto& shot : shots)
    {
        MainContentComponent editor(std::make_unique<VirtualMidiServices>());
        EditorTestProbe probe(editor);
        shot.select(probe);
        const auto file = folder.getChildFile(juce::String(shot.name) + ".png");
        if (!writePng(editor, file))
        {
            std::cerr << "could not write " << file.getFullPathName() << "\n";
            ++failures;
        }
    }
    {
        MainContentComponent editor(std::make_unique<VirtualMidiServices>());
        const auto file = folder.getChildFile("zoom-200.png");
        if (!writePng(editor, file, 2.0f))
        {
            std::cerr << "could not write " << file.getFullPathName() << "\n";
            ++failures;
        }
    }
    {
        // Settings stay out of the user's folder.
        const auto settings = juce::File::createTempFile("kestra-screenshot-settings");
        settings.createDirectory();
        kestra::testing::setEnvironmentVariable(kestra::testing::settingsBaseVariable,
                                                settings.getFullPathName());

        MainContentComponent editor(createSimulatedMidiServices("model=1"));
        EditorTestProbe probe(editor);
        click(probe.connectButton());
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (!probe.supervisor().isConnected() && std::chrono::steady_clock::now() < end)
            kestra::testing::dispatchMessagesFor(10);
        click(probe.pageButton(5));
        const auto file = folder.getChildFile("connected.png");
        if (!probe.supervisor().isConnected() || !writePng(editor, file))
        {
            std::cerr << "could not connect to the simulated instrument for "
                      << file.getFullPathName() << "\n";
            ++failures;
        }
        settings.deleteRecursively();
    }

    juce::LookAndFeel::setDefaultLookAndFeel(nullptr);
    return failures == 0 ? 0 : 1;
}
