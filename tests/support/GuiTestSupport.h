#pragma once

// Support for tests that need JUCE's message loop and, for windows, an X
// display (run them under xvfb-run).

#include "Environment.h"
#include "MessageLoop.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <functional>

namespace kestra::testing
{

// Starts JUCE's GUI support once for the whole test program. Without a
// JUCEApplication, JUCE installs no X error handler unless createInstance is
// set, and the first harmless X error under Xvfb would end the process.
class JuceEnvironment : public ::testing::Environment
{
public:
    void SetUp() override
    {
        // Settings files go to a folder of the test's own, never the user's.
        settingsFolder = juce::File::createTempFile("kestra-test-settings");
        settingsFolder.createDirectory();
        setEnvironmentVariable(settingsBaseVariable, settingsFolder.getFullPathName());
        juce::JUCEApplicationBase::createInstance = []() -> juce::JUCEApplicationBase*
        { return nullptr; };
        initialiser = std::make_unique<juce::ScopedJuceInitialiser_GUI>();
    }

    void TearDown() override
    {
        initialiser.reset();
        settingsFolder.deleteRecursively();
    }

private:
    juce::File settingsFolder;
    std::unique_ptr<juce::ScopedJuceInitialiser_GUI> initialiser;
};

// What a message box says, as the user reads it: JUCE describes a box as its
// title, ": " and its message.
inline juce::String messageOf(const juce::AlertWindow& box)
{
    return box.getDescription().substring(box.getName().length() + 2);
}

// The texts of a box's buttons, in order.
inline juce::StringArray buttonTextsOf(const juce::Component& box)
{
    juce::StringArray texts;
    for (auto* child : box.getChildren())
        if (auto* button = dynamic_cast<juce::TextButton*>(child))
            texts.add(button->getButtonText());
    return texts;
}

// A click on a toolbar button: the framework flips its toggle state and tells
// the editor, which may run a box of its own before this returns.
inline void click(juce::Button& button)
{
    button.setToggleState(!button.getToggleState(), juce::sendNotificationSync);
}

// The pixels of two images that differ; more than all of them when their sizes differ.
inline int differingPixels(const juce::Image& a, const juce::Image& b)
{
    if (a.getWidth() != b.getWidth() || a.getHeight() != b.getHeight())
        return a.getWidth() * a.getHeight() + 1;
    int differing = 0;
    for (int y = 0; y < a.getHeight(); ++y)
        for (int x = 0; x < a.getWidth(); ++x)
            differing += a.getPixelAt(x, y) != b.getPixelAt(x, y) ? 1 : 0;
    return differing;
}

// A toolbar button back in its normal state: not toggled, not pressed.
inline bool isReleased(const juce::Button& button)
{
    return !button.getToggleState() && button.getState() == juce::Button::buttonNormal;
}

} // namespace kestra::testing

// Use in every file of a window test program: the program gets one
// environment however many files say so.
#define KESTRA_JUCE_TEST_ENVIRONMENT                                                               \
    inline ::testing::Environment* const kestraJuceEnvironment =                                   \
        ::testing::AddGlobalTestEnvironment(new ::kestra::testing::JuceEnvironment)
