#pragma once

// JUCE's message loop for a test program without a display: the message
// manager on the test's thread, settings in a folder of the program's own,
// and JUCE's singletons (the settings file's timer thread among them) gone
// before the message manager at the end, as JUCE's own shutdown does.

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
