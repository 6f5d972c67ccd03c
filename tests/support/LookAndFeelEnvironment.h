#pragma once

// The application's default look-and-feel, as the editor installs it, made the
// default before any test measures a font or draws a box.

#include "GuiTestSupport.h"

#include "ui/EditorLookAndFeel.h"

#include <memory>

namespace kestra::testing
{

class EditorLookAndFeelEnvironment : public ::testing::Environment
{
public:
    void SetUp() override
    {
        lookAndFeel = std::make_unique<EditorLookAndFeel>();
        juce::LookAndFeel::setDefaultLookAndFeel(lookAndFeel.get());
    }
    void TearDown() override
    {
        juce::LookAndFeel::setDefaultLookAndFeel(nullptr);
        lookAndFeel.reset();
    }

private:
    std::unique_ptr<EditorLookAndFeel> lookAndFeel;
};

} // namespace kestra::testing

// Use in every file of a test program that wants it, after
// KESTRA_JUCE_TEST_ENVIRONMENT, so that it is set up after JUCE is.
#define KESTRA_EDITOR_LOOK_AND_FEEL_ENVIRONMENT                                                    \
    inline ::testing::Environment* const kestraEditorLookAndFeelEnvironment =                      \
        ::testing::AddGlobalTestEnvironment(new ::kestra::testing::EditorLookAndFeelEnvironment)
