#pragma once

// JUCE's message loop for a test program without a display: the message
// manager on the test's thread, settings in a folder of the program's own,
// and JUCE's singletons (the settings file's timer thread among them) gone
// before the message manager at the end, as JUCE's own shutdown does. The
// display is taken away, so that nothing headless can lean on one.

#include "Environment.h"

#include <juce_events/juce_events.h>

#include <gtest/gtest.h>

namespace kestra::testing
{

class HeadlessJuceEnvironment : public ::testing::Environment
{
public:
    void SetUp() override
    {
#if !JUCE_WINDOWS
        unsetenv("DISPLAY");
#endif
        settings = juce::File::createTempFile("kestra-test-settings");
        settings.createDirectory();
        setEnvironmentVariable(settingsBaseVariable, settings.getFullPathName());
        juce::MessageManager::getInstance()->setCurrentThreadAsMessageThread();
    }
    void TearDown() override
    {
        juce::DeletedAtShutdown::deleteAll();
        juce::MessageManager::deleteInstance();
        settings.deleteRecursively();
    }

private:
    juce::File settings;
};

} // namespace kestra::testing

// Use in every file of a headless test program that needs the message loop:
// the program gets one environment however many files say so.
#define KESTRA_HEADLESS_TEST_ENVIRONMENT                                                           \
    inline ::testing::Environment* const kestraHeadlessEnvironment =                               \
        ::testing::AddGlobalTestEnvironment(new ::kestra::testing::HeadlessJuceEnvironment)
