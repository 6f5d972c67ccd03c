// kestra-cli's backup and restore beside the core's own SAVE and OPEN: the
// program runs as a child process against a simulated instrument, the core
// runs here against another one configured alike, and what each writes to
// the file and sends to the instrument must be the same, byte for byte. No
// display: DISPLAY is unset for the program.

#include "support/FakeDialogs.h"
#include "support/HeadlessEnvironment.h"
#include "support/MessageLoop.h"

#include "editor/Editor.h"
#include "editor/MessageTexts.h"
#include "sim/SimulatorOptions.h"

#include <gtest/gtest.h>

#include <stdlib.h>

using namespace kestra;
using namespace kestra::testing;

// No display either: the command line needs none.
KESTRA_HEADLESS_TEST_ENVIRONMENT;

namespace
{
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

// Editor::connectTo, for --port: the handshake on the pair given, no search.
TEST_F(CliBesideCore, ConnectToAPairHandshakesOnItWithoutASearch)
{
    auto editor = std::make_unique<Editor>(
        createSimulatedMidiServices("extra-inputs=2,extra-outputs=1"), dialogs);
    editor->connectTo(2, 1);
    ASSERT_TRUE(pumpUntil([&] { return editor->isConnected(); }));
    EXPECT_EQ(editor->midiPorts().inputIndexInUse(), 2);
    EXPECT_EQ(editor->midiPorts().outputIndexInUse(), 1);
    const auto shown = dialogs.texts(); // no search: no searching box
    EXPECT_EQ(std::find(shown.begin(), shown.end(), std::string(texts::searching)), shown.end());

    // A pair that cannot be opened: the busy port's notice, and no link.
    editor->connectTo(7, 7);
    EXPECT_FALSE(editor->isConnected());
    EXPECT_EQ(dialogs.texts().back(), texts::portBusy);
}

INSTANTIATE_TEST_SUITE_P(Instruments, CliBesideCore,
                         ::testing::Values("", "model=1,revision=1", "model=3"));

} // namespace

// ---- the controls' names and values on the command line (model/ParameterText.h) ----------------

#include "model/ParameterText.h"

namespace
{
const std::array<std::string, numTonewheelSlots> noNames{};

TEST(CliParameterText, EveryControlOfEveryModelIsFoundByItsOwnNameAndNoOther)
{
    for (int model = 0; model < numModels; ++model)
        for (const auto* control : controltext::controlsOfModel(model))
        {
            std::string error;
            EXPECT_EQ(controltext::findControl(controltext::controlName(*control), model, error),
                      control)
                << controltext::controlName(*control) << " (model " << model << "): " << error;
        }
}

TEST(CliParameterText, ModelsShowTheirOwnRows)
{
    std::string error;
    EXPECT_EQ(controltext::findControl("Memphis Style", 3, error), nullptr); // no settings page
    EXPECT_EQ(controltext::findControl("Gospel Set", 2, error), nullptr);
    EXPECT_NE(controltext::findControl("Gospel Set", 0, error), nullptr);
}

TEST(CliParameterText, ValuesAreReadAsTheValueBoxReadsThemAndCheckedAgainstTheRange)
{
    struct Case
    {
        const char* control;
        const char* text;
        std::optional<double> value; // nothing: refused
    };
    const Case cases[] = {
        {"Hall Time", "2,5", 2.5},
        {"Hall Time", "2.5 sec", 2.5},
        {"Hall Time", "2.54", 2.5},
        {"Hall Time", "4.04", 4.0},
        {"Hall Time", "4.1", std::nullopt},
        {"Hall Time", "0.4", std::nullopt},
        {"Hall Time", "2 dB", std::nullopt},
        {"Hall Damp", "4500 Hz", 4.5},
        {"Memphis Style", "on", 1.0},
        {"Memphis Style", "0", 0.0},
        {"Memphis Style", "2", std::nullopt},
        {"Memphis Style", "maybe", std::nullopt},
        {"Chorus Level", "-6", -6.0},
        {"Chorus Level", "6.1", std::nullopt},
    };
    for (const auto& c : cases)
    {
        std::string error;
        const auto* control = controltext::findControl(c.control, 0, error);
        ASSERT_NE(control, nullptr) << error;
        const auto value = controltext::readControlValue(*control, c.text, noNames, error);
        ASSERT_EQ(value.has_value(), c.value.has_value()) << c.control << " = " << c.text;
        if (value.has_value())
            EXPECT_NEAR(*value, *c.value, 1e-9) << c.control << " = " << c.text;
        else
            EXPECT_FALSE(error.empty());
    }
}

TEST(CliParameterText, ValuesShowAsTheWindowShowsThem)
{
    const auto& defaults = defaultValues(0);
    std::string error;
    const auto shown = [&](const char* name)
    {
        return controltext::showControl(*controltext::findControl(name, 0, error), defaults,
                                        defaults, noNames);
    };
    EXPECT_EQ(shown("Hall Time").value, "2.2");
    EXPECT_EQ(shown("Hall Time").unit, "sec");
    EXPECT_EQ(shown("V/C Frequency").value, "6.86"); // two decimals for a step of 0.01
    EXPECT_EQ(shown("Memphis Style").value, "OFF");
    EXPECT_EQ(shown("Memphis Style").unit, "");
}
} // namespace
