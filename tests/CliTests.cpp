// kestra-cli's backup and restore beside the core's own SAVE and OPEN: the
// program runs as a child process against a simulated instrument, the core
// runs here against another one configured alike, and what each writes to
// the file and sends to the instrument must be the same, byte for byte. No
// display: DISPLAY is unset for the program.

#include "support/Environment.h"
#include "support/FakeDialogs.h"
#include "support/MessageLoop.h"

#include "editor/Editor.h"
#include "sim/SimulatorOptions.h"

#include <gtest/gtest.h>

#include <stdlib.h>

using namespace kestra;
using namespace kestra::testing;

namespace
{
class MessageLoopEnvironment : public ::testing::Environment
{
public:
    void SetUp() override
    {
        settings = juce::File::createTempFile("kestra-cli-settings");
        settings.createDirectory();
        setEnvironmentVariable(settingsBaseVariable, settings.getFullPathName());
        unsetenv("DISPLAY");
        juce::MessageManager::getInstance()->setCurrentThreadAsMessageThread();
    }
    void TearDown() override
    {
        juce::MessageManager::deleteInstance();
        settings.deleteRecursively();
    }

private:
    juce::File settings;
};
::testing::Environment* const environment =
    ::testing::AddGlobalTestEnvironment(new MessageLoopEnvironment);

class CliBesideCore : public ::testing::TestWithParam<const char*>
{
protected:
    juce::TemporaryFile folder;
    void SetUp() override { ASSERT_TRUE(folder.getFile().createDirectory()); }
    juce::File file(const char* name) const { return folder.getFile().getChildFile(name); }

    // The program with these arguments against a simulator with these options.
    int runCli(const juce::StringArray& arguments, const std::string& simulator)
    {
        setEnvironmentVariable(simulatorEnvironmentVariable, simulator);
        juce::ChildProcess cli;
        juce::StringArray command{KESTRA_CLI_PATH};
        command.addArray(arguments);
        EXPECT_TRUE(cli.start(command));
        output = cli.readAllProcessOutput();
        EXPECT_TRUE(cli.waitForProcessToFinish(60000));
        return static_cast<int>(cli.getExitCode());
    }

    // The core connected to a simulator with these options, as the window has it.
    std::unique_ptr<Editor> connectedCore(const std::string& simulator)
    {
        auto services = createSimulatedMidiServices(simulator);
        EXPECT_NE(services, nullptr);
        auto editor = std::make_unique<Editor>(std::move(services), dialogs);
        editor->connect(true);
        EXPECT_TRUE(pumpUntil([&] { return editor->isConnected(); }));
        return editor;
    }

    // The messages of a simulator's log without their times, the heartbeat's left out.
    static juce::StringArray messagesOf(const juce::File& log)
    {
        juce::StringArray messages;
        juce::StringArray lines;
        lines.addLines(log.loadFileAsString());
        for (const auto& line : lines)
        {
            const auto message = line.fromFirstOccurrenceOf(" ", false, false);
            if (message.isNotEmpty() && !message.contains("F0 7D 1E 06 ") &&
                !message.contains("F0 7D 1E 07 "))
                messages.add(message);
        }
        return messages;
    }

    FakeDialogs dialogs;
    juce::String output;
};

TEST_P(CliBesideCore, BackupWritesWhatSaveWrites)
{
    const std::string simulator = GetParam();
    ASSERT_EQ(runCli({"backup", file("cli.tkp").getFullPathName()}, simulator), 0) << output;

    connectedCore(simulator)->saveProjectTo(file("core.tkp"));

    juce::MemoryBlock cli, core;
    ASSERT_TRUE(file("cli.tkp").loadFileAsData(cli));
    ASSERT_TRUE(file("core.tkp").loadFileAsData(core));
    EXPECT_EQ(cli.getSize(), 416u);
    EXPECT_EQ(cli, core);
}

TEST_P(CliBesideCore, RestoreSendsWhatOpenSends)
{
    const std::string simulator = GetParam();
    // A project of another instrument, so that every value differs from the instrument's.
    ASSERT_EQ(runCli({"backup", file("project.tkp").getFullPathName()}, "model=2,revision=1"), 0);

    const auto cliLog = file("cli.log"), coreLog = file("core.log");
    const auto withLog = [&](const juce::File& log)
    {
        return simulator + (simulator.empty() ? "" : ",") +
               "log=" + log.getFullPathName().toStdString();
    };
    ASSERT_EQ(runCli({"restore", file("project.tkp").getFullPathName()}, withLog(cliLog)), 0)
        << output;

    {
        auto core = connectedCore(withLog(coreLog));
        core->openProjectFrom(file("project.tkp"));
        ASSERT_TRUE(core->isSendingProject());
        ASSERT_TRUE(
            pumpUntil([&] { return !core->isSendingProject(); }, std::chrono::milliseconds(20000)));
    }

    const auto cli = messagesOf(cliLog), core = messagesOf(coreLog);
    EXPECT_GT(cli.size(), 99);
    EXPECT_EQ(cli, core);
}

INSTANTIATE_TEST_SUITE_P(Instruments, CliBesideCore,
                         ::testing::Values("", "model=1,revision=1", "model=3"));

} // namespace
