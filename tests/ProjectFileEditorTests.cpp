// Project files in the real editor: saving a given file, its failure box,
// opening with every refusal and the folder the choosers start in, what an
// opened project does to the controls, and the paced send to a connected
// instrument (on the wire, against a disconnect or a closed editor mid-send,
// and into the simulated instrument).

#include "support/BoxWatcher.h"
#include "support/EditorTestProbe.h"
#include "support/GuiTestSupport.h"

#include "editor/MessageTexts.h"
#include "files/ProjectFile.h"
#include "model/Conversions.h"
#include "sim/SimulatedInstrument.h"

#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <limits>
#include <thread>

KESTRA_JUCE_TEST_ENVIRONMENT;

using namespace kestra;
using kestra::testing::pumpFor;
using kestra::testing::pumpUntil;
using Bytes = std::vector<uint8_t>;
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

namespace
{
// A device on a virtual port pair that keeps what the editor sends with the
// time it arrived (the virtual output calls back on the sending thread).
class TimedRecorder
{
public:
    struct Message
    {
        Bytes bytes;
        Clock::time_point at;
    };

    explicit TimedRecorder(VirtualMidiServices& services) : midi(services)
    {
        input = midi.addInputPort("Timed Recorder");
        output =
            midi.addOutputPort("Timed Recorder",
                               [this](const uint8_t* data, size_t size)
                               {
                                   const std::lock_guard<std::mutex> lock(mutex);
                                   messages.push_back({Bytes(data, data + size), Clock::now()});
                               });
    }

    std::vector<Message> all()
    {
        const std::lock_guard<std::mutex> lock(mutex);
        return messages;
    }
    size_t count()
    {
        const std::lock_guard<std::mutex> lock(mutex);
        return messages.size();
    }
    void clear()
    {
        const std::lock_guard<std::mutex> lock(mutex);
        messages.clear();
    }
    void send(const Bytes& message) { midi.sendToEditor(input, message); }

    int input = -1;
    int output = -1;

private:
    VirtualMidiServices& midi;
    std::mutex mutex;
    std::vector<Message> messages;
};

using kestra::testing::BoxWatcher;
using kestra::testing::messageOf;

uint32_t bitsOf(float value)
{
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

Bytes readAll(const juce::File& file)
{
    juce::MemoryBlock block;
    file.loadFileAsData(block);
    const auto* data = static_cast<const uint8_t*>(block.getData());
    return Bytes(data, data + block.getSize());
}

Bytes asBytes(const projectfile::Image& image)
{
    return Bytes(image.begin(), image.end());
}

// A project that differs from the start-up state in every value; 85 ... 98 are
// valid option indices, so that they travel unchanged.
ProjectRecord projectOf(int model, int revision, float seed)
{
    ProjectRecord record = ProjectRecord::initial();
    record.modelIndex = model;
    record.hardwareRevision = revision;
    for (int n = 0; n < numParameters; ++n)
        record.parameterValues[static_cast<size_t>(n)] =
            n < firstSettingParameter ? seed + 0.5f * static_cast<float>(n) - 3.25f
                                      : static_cast<float>((n + static_cast<int>(seed)) % 2);
    return record;
}

// What the editor sends for parameter n with value v.
Bytes parameterMessage(int n, float v)
{
    return n < firstSettingParameter
               ? sysex::parameterValueMessage(n, v)
               : sysex::parameterByteMessage(n, static_cast<uint8_t>(settingByteFor(n, v)));
}

// A folder of this test's own: test programs run side by side, and a name
// that is merely free now may be taken by another one before it is created.
juce::File uniqueFolder(const juce::String& prefix)
{
    return juce::File::getSpecialLocation(juce::File::tempDirectory)
        .getChildFile(prefix + "-" + juce::Uuid().toDashedString());
}

double millisecondsBetween(Clock::time_point from, Clock::time_point to)
{
    return std::chrono::duration<double, std::milli>(to - from).count();
}

struct ProjectFiles : ::testing::Test
{
    VirtualMidiServices* midi = new VirtualMidiServices;
    TimedRecorder device{*midi};
    MainContentComponent editor{std::unique_ptr<MidiServices>(midi)};
    EditorTestProbe probe{editor};
    BoxWatcher boxes;
    juce::File folder;
    juce::File startFolder;

    void SetUp() override
    {
        folder = uniqueFolder("kestra-projects");
        ASSERT_TRUE(folder.createDirectory());
        startFolder = probe.lastFileFolder();
    }

    void TearDown() override
    {
        folder.setReadOnly(false, true);
        folder.deleteRecursively();
    }

    // "Connected" as far as opening and sending are concerned: ports open on the
    // recorder and the flag set; no handshake, no heartbeat.
    void connectToRecorder(int model = 0, int revision = 0)
    {
        probe.openPorts(device.input, device.output);
        probe.link().setIdentity(model, revision);
        probe.connectWithoutHandshake();
        device.clear();
    }

    // The recorder answers an identity request, as an instrument answers the heartbeat.
    void answerHeartbeat()
    {
        device.send(sysex::identityReply({}));
        ASSERT_TRUE(pumpUntil([&] { return probe.supervisor().isHeartbeatAnswered(); }));
    }

    juce::File write(const juce::String& name, const Bytes& bytes)
    {
        auto file = folder.getChildFile(name);
        file.getParentDirectory().createDirectory();
        // (Writing no bytes would delete the file: an empty one is created.)
        EXPECT_TRUE(bytes.empty() ? file.create().wasOk()
                                  : file.replaceWithData(bytes.data(), bytes.size()));
        return file;
    }

    juce::File writeProject(const juce::String& name, const ProjectRecord& record)
    {
        return write(name, asBytes(projectfile::toImage(record)));
    }

    bool transmissionOver() const
    {
        return probe.messageBox() == nullptr && !probe.isTimerRunning(BulkSendTimer);
    }
};

const Bytes bulkModeOn = {0xF0, 0x7D, 0x1E, 0x0A, 0x01, 0xF7};
const Bytes bulkModeOff = {0xF0, 0x7D, 0x1E, 0x0A, 0x00, 0xF7};
} // namespace

// ---- saving -------------------------------------------------------------------------------

TEST_F(ProjectFiles, SavingRightAfterStartUpWritesTheStartUpRecord)
{
    const auto file = folder.getChildFile("start.tkp");
    editor.core().saveProjectTo(file);

    const auto bytes = readAll(file);
    ASSERT_EQ(bytes.size(), 416u);
    EXPECT_EQ(Bytes(bytes.begin(), bytes.begin() + 20),
              (Bytes{0x63, 0x19, 0x07, 0x27, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 99, 0, 0, 0}));
    for (int n = 0; n < numParameters; ++n)
    {
        const auto bits = bitsOf(defaultValues(0)[static_cast<size_t>(n)]);
        const auto at = bytes.begin() + 20 + 4 * n;
        EXPECT_EQ(Bytes(at, at + 4),
                  (Bytes{static_cast<uint8_t>(bits), static_cast<uint8_t>(bits >> 8),
                         static_cast<uint8_t>(bits >> 16), static_cast<uint8_t>(bits >> 24)}))
            << n;
    }

    EXPECT_TRUE(boxes.seen.empty());
    EXPECT_EQ(probe.lastFileFolder(), startFolder); // saving never moves it
    // Only the project is left: the temporary file it went through is gone.
    EXPECT_EQ(folder.getNumberOfChildFiles(
                  juce::File::findFilesAndDirectories | juce::File::ignoreHiddenFiles, "*"),
              1);
    EXPECT_EQ(folder.getNumberOfChildFiles(juce::File::findFilesAndDirectories, "*"), 1);
}

TEST_F(ProjectFiles, SavingOverAnExistingFileReplacesItWhole)
{
    const auto file = write("old.tkp", Bytes(5000, 0xEE));
    editor.core().saveProjectTo(file);
    EXPECT_EQ(readAll(file), asBytes(projectfile::toImage(ProjectRecord::initial())));
    EXPECT_TRUE(boxes.seen.empty());
}

TEST_F(ProjectFiles, AFailedSaveShowsItsBoxAndLeavesWhatWasThere)
{
    struct Case
    {
        const char* what;
        std::function<juce::File()>
            prepare; // returns the target; null file: case not possible here
        std::function<void(const juce::File&)> check;
    };
    const Bytes old(300, 0x11);
    const Case cases[] = {
        {"an existing file in a read-only folder",
         [&]
         {
             auto locked = folder.getChildFile("locked");
             locked.createDirectory();
             auto file = locked.getChildFile("keep.tkp");
             file.replaceWithData(old.data(), old.size());
#if JUCE_WINDOWS
             // A read-only folder takes new files on Windows; a read-only
             // file cannot be replaced.
             file.setReadOnly(true);
#else
             locked.setReadOnly(true);
             // Permissions do not stop the superuser: then this case cannot fail.
             if (::access(locked.getFullPathName().toRawUTF8(), W_OK) == 0)
                 return juce::File();
#endif
             return file;
         },
         [&](const juce::File& file)
         {
             EXPECT_EQ(readAll(file), old);
             EXPECT_EQ(file.getParentDirectory().getNumberOfChildFiles(
                           juce::File::findFilesAndDirectories, "*"),
                       1);
         }},
        {"a folder that is a file",
         [&]
         {
             write("plain", old);
             return folder.getChildFile("plain").getChildFile("song.tkp");
         },
         [&](const juce::File&) { EXPECT_EQ(readAll(folder.getChildFile("plain")), old); }},
        {"a name that is a folder",
         [&]
         {
             auto taken = folder.getChildFile("taken.tkp");
             taken.createDirectory();
             taken.getChildFile("inside").replaceWithData(old.data(), old.size());
             return taken;
         },
         [&](const juce::File& file)
         {
             EXPECT_TRUE(file.isDirectory());
             EXPECT_EQ(readAll(file.getChildFile("inside")), old);
         }},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.what);
        const auto target = c.prepare();
        if (target == juce::File())
            continue;
        boxes.seen.clear();

        editor.core().saveProjectTo(target);
        ASSERT_TRUE(boxes.settle());

        ASSERT_EQ(boxes.seen.size(), 1u);
        EXPECT_EQ(boxes.seen[0].title, texts::boxTitle);
        EXPECT_EQ(boxes.seen[0].message, texts::projectNotSaved);
        EXPECT_EQ(boxes.seen[0].buttons, juce::StringArray(texts::ok));
        EXPECT_EQ(probe.messageBox(), nullptr);
        c.check(target);
    }
}

// ---- opening while not connected ------------------------------------------------------------

TEST_F(ProjectFiles, OpeningWhileNotConnectedTakesTheWholeProjectAndShowsIt)
{
    probe.openPorts(device.input, device.output); // ports open, but not connected
    device.clear();

    auto project = projectOf(1, 1, 2.0f);
    project.parameterValues[4] = 3.5f;  // Pedals Level, shown as it is stored
    project.parameterValues[23] = 3.1f; // Hall Time
    project.parameterValues[85] = 1.0f; // Gospel Set ON
    project.parameterValues[97] = 4.0f; // ALT2
    const auto file = writeProject("sub/song.tkp", project);

    editor.core().openProjectFrom(file);

    // The record is the file, byte for byte; so is a save of it.
    EXPECT_EQ(projectfile::toImage(probe.link().record()), projectfile::toImage(project));
    const auto again = folder.getChildFile("again.tkp");
    editor.core().saveProjectTo(again);
    EXPECT_EQ(readAll(again), readAll(file));

    EXPECT_DOUBLE_EQ(probe.slider(4)->getValue(), 3.5);
    EXPECT_NEAR(probe.slider(23)->getValue(), 3.1, 1e-6);
    EXPECT_EQ(probe.selector(85)->getSelectedItemIndex(), 1);
    EXPECT_EQ(probe.selector(97)->getSelectedItemIndex(), 4);
    EXPECT_TRUE(probe.loadTonewheelButton().isEnabled());
    EXPECT_TRUE(probe.pageButton(5).isVisible());

    EXPECT_EQ(probe.lastFileFolder(), folder.getChildFile("sub"));
    EXPECT_TRUE(boxes.seen.empty());
    EXPECT_EQ(probe.messageBox(), nullptr);
    EXPECT_FALSE(probe.isTimerRunning(BulkSendTimer));
    pumpFor(300ms);
    EXPECT_EQ(device.count(), 0u); // nothing goes out while not connected
}

TEST_F(ProjectFiles, AnOpeningNeverUndoesAValueTheInstrumentReportsMeanwhile)
{
    // A model 3 file leaves 85 ... 98 to the instrument. While the file is
    // opened again and again, the MIDI input thread keeps storing a rising
    // value of 90: no opening may put back a value it read before.
    const auto file = writeProject("three.tkp", projectOf(3, 0, 2.0f));
    editor.core().openProjectFrom(file);
    ASSERT_EQ(probe.link().modelIndex(), 3);

    std::atomic<int> written{0};
    std::atomic<bool> stop{false};
    std::thread midiThread(
        [&]
        {
            for (int k = 1; !stop.load(); ++k)
            {
                probe.link().setParameterValue(90, static_cast<float>(k));
                written.store(k);
            }
        });
    int undone = 0;
    for (int round = 0; round < 20000 && undone == 0; ++round)
    {
        editor.core().openProjectFrom(file);
        const int before = written.load();
        if (probe.link().parameterValue(90) < static_cast<float>(before))
            ++undone;
    }
    stop = true;
    midiThread.join();
    EXPECT_EQ(undone, 0);
}

TEST_F(ProjectFiles, AModelThreeFileGivesEightyFiveValuesAndWithdrawsTheSettingsPage)
{
    const auto before = probe.link().parameterValues();
    const auto project = projectOf(3, 1, 9.0f);
    editor.core().openProjectFrom(writeProject("tavo.tkp", project));

    const auto after = probe.link().record();
    for (int n = 0; n < numParameters; ++n)
    {
        const auto k = static_cast<size_t>(n);
        EXPECT_EQ(bitsOf(after.parameterValues[k]),
                  bitsOf(n <= 84 ? project.parameterValues[k] : before[k]))
            << n;
    }
    EXPECT_EQ(after.modelIndex, 3);
    EXPECT_EQ(after.hardwareRevision, 1);
    EXPECT_FALSE(probe.pageButton(5).isVisible());

    // Back from model 3: a model-0 file under model 3 also gives 85 values only.
    const auto next = projectOf(0, 0, 4.0f);
    editor.core().openProjectFrom(writeProject("brio.tkp", next));
    const auto last = probe.link().record();
    EXPECT_EQ(bitsOf(last.parameterValues[84]), bitsOf(next.parameterValues[84]));
    EXPECT_EQ(bitsOf(last.parameterValues[85]), bitsOf(before[85]));
    EXPECT_EQ(last.modelIndex, 0);
    EXPECT_TRUE(probe.pageButton(5).isVisible());
}

TEST_F(ProjectFiles, AMixedCaseExtensionOpensAndALongerFileLoadsItsFirst416Bytes)
{
    const auto project = projectOf(2, 0, 6.0f);
    auto bytes = asBytes(projectfile::toImage(project));
    bytes.insert(bytes.end(), 600, 0xFF);
    editor.core().openProjectFrom(write("Mixed/Song.TkP", bytes));

    EXPECT_TRUE(boxes.seen.empty());
    EXPECT_EQ(projectfile::toImage(probe.link().record()), projectfile::toImage(project));
    EXPECT_EQ(probe.lastFileFolder(), folder.getChildFile("Mixed"));
}

TEST_F(ProjectFiles, RefusedFilesChangeNothingButTheFolderOnceTheExtensionPassed)
{
    const auto good = asBytes(projectfile::toImage(projectOf(1, 0, 8.0f)));
    auto with = [&](size_t offset, uint32_t word)
    {
        auto bytes = good;
        for (size_t i = 0; i < 4; ++i)
            bytes[offset + i] = static_cast<uint8_t>(word >> (8 * i));
        return bytes;
    };
    const auto nan = bitsOf(std::numeric_limits<float>::quiet_NaN());
    const auto inf = bitsOf(std::numeric_limits<float>::infinity());

    struct Case
    {
        const char* name;
        Bytes bytes;
        const char* text;
        bool folderMoves;
    };
    const Case cases[] = {
        {"song.tkp.bak", good, texts::fileNotValid, false},
        {"song", good, texts::fileNotValid, false},
        {"song.ktw", good, texts::fileNotValid, false},
        {"song.tkpx", good, texts::fileNotValid, false},
        {"wrong-magic.tkp", with(0, 0x27071964), texts::fileCorrupted, true},
        {"empty.tkp", {}, texts::fileCorrupted, true},
        {"three.tkp", Bytes(good.begin(), good.begin() + 3), texts::fileCorrupted, true},
        {"short.tkp", Bytes(good.begin(), good.begin() + 415), texts::fileCorrupted, true},
        {"model-4.tkp", with(8, 4), texts::fileCorrupted, true},
        {"model-minus-1.tkp", with(8, 0xFFFFFFFF), texts::fileCorrupted, true},
        {"revision-2.tkp", with(12, 2), texts::fileCorrupted, true},
        {"nan.tkp", with(20 + 4 * 30, nan), texts::fileCorrupted, true},
        {"inf.tkp", with(20 + 4 * 97, inf), texts::fileCorrupted, true},
    };

    // The same refusals while not connected and while connected, where the
    // model and revision would not even be taken.
    for (const bool connected : {false, true})
    {
        if (connected)
            connectToRecorder(1, 1);
        for (size_t k = 0; k < std::size(cases); ++k)
        {
            const auto& c = cases[k];
            SCOPED_TRACE(juce::String(c.name) + (connected ? " connected" : " not connected"));
            const auto caseName =
                juce::String(connected ? "c" : "n") + juce::String(static_cast<int>(k));
            const auto caseFolder = folder.getChildFile(caseName);
            const auto file = write(caseName + "/" + c.name, c.bytes);
            const auto folderBefore = probe.lastFileFolder();
            const auto recordBefore = projectfile::toImage(probe.link().record());
            const auto shownBefore = probe.slider(4)->getValue();
            boxes.seen.clear();

            editor.core().openProjectFrom(file);
            ASSERT_TRUE(boxes.settle());

            ASSERT_EQ(boxes.seen.size(), 1u);
            EXPECT_EQ(boxes.seen[0].title, texts::boxTitle);
            EXPECT_EQ(boxes.seen[0].message, c.text);
            EXPECT_EQ(boxes.seen[0].buttons, juce::StringArray(texts::ok));
            EXPECT_EQ(probe.lastFileFolder(), c.folderMoves ? caseFolder : folderBefore);
            EXPECT_EQ(projectfile::toImage(probe.link().record()), recordBefore);
            EXPECT_EQ(probe.slider(4)->getValue(), shownBefore);
            EXPECT_FALSE(probe.isTimerRunning(BulkSendTimer));
            EXPECT_EQ(probe.messageBox(), nullptr);
        }
    }
    EXPECT_EQ(probe.link().modelIndex(), 1);
    pumpFor(300ms);
    EXPECT_EQ(device.count(), 0u);
}

// Nothing was read, so nothing is claimed about the contents.
TEST_F(ProjectFiles, AFileThatCannotBeReadIsNotValid)
{
    folder.getChildFile("folder.tkp").createDirectory();
    for (const char* name : {"missing.tkp", "folder.tkp"})
    {
        SCOPED_TRACE(name);
        boxes.seen.clear();
        editor.core().openProjectFrom(folder.getChildFile(name));
        ASSERT_TRUE(boxes.settle());
        ASSERT_EQ(boxes.seen.size(), 1u);
        EXPECT_EQ(boxes.seen[0].message, texts::fileNotValid);
        EXPECT_EQ(probe.lastFileFolder(), folder);
    }
}

// ---- opening while connected: the paced send -------------------------------------------------

TEST_F(ProjectFiles, OpeningWhileConnectedSendsEveryValuePacedBetweenTheBulkModeMessages)
{
    struct Case
    {
        const char* what;
        int instrumentModel;
        int fileModel;
        int taken; // values copied from the file
        int sent;  // parameters on the wire
    };
    const Case cases[] = {
        {"model 0 instrument, model 3 file", 0, 3, 85, 99},
        {"model 3 instrument, model 0 file", 3, 0, 85, 85},
        {"model 1 instrument, model 2 file", 1, 2, 99, 99},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.what);
        connectToRecorder(c.instrumentModel, 1);
        const auto before = probe.link().parameterValues();
        const auto project = projectOf(c.fileModel, 0, static_cast<float>(c.fileModel) + 1.0f);
        const auto file = writeProject(juce::String(c.fileModel) + ".tkp", project);
        boxes.seen.clear();

        const auto openedAt = Clock::now();
        editor.core().openProjectFrom(file);

        // At once: the values are in, the button-less box is up, nothing has gone out.
        ASSERT_NE(probe.messageBox(), nullptr);
        EXPECT_EQ(messageOf(*probe.messageBox()), texts::transmittingParameters);
        EXPECT_EQ(probe.messageBox()->getName(), texts::boxTitle);
        EXPECT_EQ(probe.messageBox()->getNumButtons(), 0);
        EXPECT_TRUE(probe.isTimerRunning(BulkSendTimer));
        EXPECT_EQ(device.count(), 0u);
        EXPECT_EQ(probe.link().modelIndex(), c.instrumentModel); // the instrument's stay
        EXPECT_EQ(probe.link().hardwareRevision(), 1);
        ParameterValues expected = before;
        for (int n = 0; n < c.taken; ++n)
            expected[static_cast<size_t>(n)] = project.parameterValues[static_cast<size_t>(n)];
        EXPECT_EQ(probe.link().parameterValues(), expected);

        ASSERT_TRUE(pumpUntil([&] { return transmissionOver(); }, 20000ms));

        const auto sent = device.all();
        ASSERT_EQ(sent.size(), static_cast<size_t>(c.sent + 2));
        EXPECT_EQ(sent.front().bytes, bulkModeOn);
        for (int n = 0; n < c.sent; ++n)
            EXPECT_EQ(sent[static_cast<size_t>(n + 1)].bytes,
                      parameterMessage(n, expected[static_cast<size_t>(n)]))
                << n;
        EXPECT_EQ(sent.back().bytes, bulkModeOff);

        // Never sooner than the delay and the pacing (lower bounds only: a busy
        // machine makes the gaps longer, never shorter).
        EXPECT_GE(millisecondsBetween(openedAt, sent.front().at), 195.0);
        for (size_t k = 2; k < sent.size(); ++k)
            EXPECT_GE(millisecondsBetween(sent[k - 1].at, sent[k].at), 19.5) << k;

        // The box saw no button from start to end.
        ASSERT_FALSE(boxes.seen.empty());
        EXPECT_EQ(boxes.seen[0].message, texts::transmittingParameters);
        EXPECT_TRUE(boxes.seen[0].buttons.isEmpty());
    }
}

TEST_F(ProjectFiles, SettingsGoAsStoredAndOnlyUnframeableOnesAreMendedInTheStoreAndTheFile)
{
    struct Case
    {
        int n;
        float stored; // in the opened file
        uint8_t byte; // on the wire
        float kept;   // in the store and the saved file afterwards
        int shown;    // selected item index, -1 for none
    };
    const Case cases[] = {
        {86, 0.0f, 0x00, 0.0f, 0},  // in range
        {87, 1.9f, 0x01, 1.9f, 1},  // in range, truncated on the wire only
        {90, 3.7f, 0x03, 3.7f, -1}, // out of range, 7-bit: as it is
        {88, 127.0f, 0x7F, 127.0f, -1}, {97, 6.0f, 0x06, 6.0f, -1},
        {85, 200.0f, 0x01, 1.0f, 1}, // cannot be framed: mended, and kept mended
        {91, -2.0f, 0x00, 0.0f, 0},     {98, -1.0e9f, 0x00, 0.0f, 0},
        {96, 1.0e9f, 0x01, 1.0f, 1}, // (a file holds no NaN or infinity: it is refused)
    };
    connectToRecorder();
    auto project = ProjectRecord::initial();
    for (const auto& c : cases)
        project.parameterValues[static_cast<size_t>(c.n)] = c.stored;
    editor.core().openProjectFrom(writeProject("settings.tkp", project));
    ASSERT_TRUE(pumpUntil([&] { return transmissionOver(); }, 20000ms));

    const auto sent = device.all();
    ASSERT_EQ(sent.size(), 101u);
    const auto saved = folder.getChildFile("saved.tkp");
    editor.core().saveProjectTo(saved);
    const auto savedRecord = projectfile::parse(readAll(saved).data(), 416);
    for (const auto& c : cases)
    {
        SCOPED_TRACE(::testing::Message() << c.n << " stored " << c.stored);
        EXPECT_EQ(sent[static_cast<size_t>(c.n + 1)].bytes,
                  (Bytes{0xF0, 0x7D, 0x1E, 0x02, static_cast<uint8_t>(c.n - 85), c.byte, 0xF7}));
        EXPECT_EQ(bitsOf(probe.link().parameterValue(c.n)), bitsOf(c.kept));
        EXPECT_EQ(bitsOf(savedRecord.record.parameterValues[static_cast<size_t>(c.n)]),
                  bitsOf(c.kept));
        EXPECT_EQ(probe.selector(c.n)->getSelectedItemIndex(), c.shown);
    }
}

TEST_F(ProjectFiles, TheHeartbeatWaitsUntilTheSendIsOver)
{
    connectToRecorder();
    answerHeartbeat(); // so that its next check passes
    probe.startTimer(HeartbeatTimer, heartbeatPeriodMs);

    editor.core().openProjectFrom(writeProject("beat.tkp", projectOf(0, 0, 3.0f)));
    ASSERT_TRUE(pumpUntil([&] { return device.count() >= 2; }));
    EXPECT_FALSE(probe.isTimerRunning(HeartbeatTimer));
    ASSERT_TRUE(pumpUntil([&] { return transmissionOver(); }, 20000ms));
    EXPECT_TRUE(probe.isTimerRunning(HeartbeatTimer));

    const auto sent = device.all();
    ASSERT_EQ(sent.size(), 101u);
    for (const auto& m : sent)
        EXPECT_NE(sysex::decode(m.bytes).kind, sysex::Decoded::Kind::identityRequest);
    probe.stopTimer(HeartbeatTimer);
}

TEST_F(ProjectFiles, ADisconnectMidSendEndsItWithBulkModeOffAndClosesTheBox)
{
    connectToRecorder();
    answerHeartbeat();
    probe.startTimer(HeartbeatTimer, heartbeatPeriodMs);
    const auto project = projectOf(0, 0, 5.0f);
    editor.core().openProjectFrom(writeProject("cut.tkp", project));

    ASSERT_TRUE(pumpUntil([&] { return device.count() >= 12; }));
    probe.supervisor().setConnected(false);
    ASSERT_TRUE(pumpUntil([&] { return transmissionOver(); }));
    pumpFor(200ms);

    const auto sent = device.all();
    ASSERT_GE(sent.size(), 13u);
    ASSERT_LT(sent.size(), 101u);
    EXPECT_EQ(sent.front().bytes, bulkModeOn);
    for (size_t k = 1; k + 1 < sent.size(); ++k)
        EXPECT_EQ(sent[k].bytes,
                  parameterMessage(static_cast<int>(k - 1), project.parameterValues[k - 1]))
            << k;
    EXPECT_EQ(sent.back().bytes, bulkModeOff);
    EXPECT_FALSE(probe.isTimerRunning(HeartbeatTimer)); // not resumed for a link that is gone
}

TEST_F(ProjectFiles, OpeningAgainMidSendEndsTheFirstSendAndStartsAfresh)
{
    connectToRecorder();
    const auto first = projectOf(0, 0, 1.0f);
    const auto second = projectOf(0, 0, 7.0f);
    editor.core().openProjectFrom(writeProject("first.tkp", first));
    ASSERT_TRUE(pumpUntil([&] { return device.count() >= 6; }));
    editor.core().openProjectFrom(writeProject("second.tkp", second));
    ASSERT_TRUE(probe.messageBox() != nullptr);
    EXPECT_EQ(messageOf(*probe.messageBox()), texts::transmittingParameters);
    ASSERT_TRUE(pumpUntil([&] { return transmissionOver(); }, 20000ms));

    const auto sent = device.all();
    ASSERT_GE(sent.size(), 6u + 101u);
    const size_t cut = sent.size() - 101; // the second send is the last 101 messages
    EXPECT_EQ(sent[cut - 1].bytes, bulkModeOff);
    EXPECT_EQ(sent.front().bytes, bulkModeOn);
    for (size_t k = 1; k + 1 < cut; ++k)
        EXPECT_EQ(sent[k].bytes,
                  parameterMessage(static_cast<int>(k - 1), first.parameterValues[k - 1]));
    EXPECT_EQ(sent[cut].bytes, bulkModeOn);
    for (int n = 0; n < numParameters; ++n)
        EXPECT_EQ(sent[cut + 1 + static_cast<size_t>(n)].bytes,
                  parameterMessage(n, second.parameterValues[static_cast<size_t>(n)]));
    EXPECT_EQ(sent.back().bytes, bulkModeOff);
}

TEST(ProjectFilesClosing, ClosingTheEditorMidSendStopsItSafely)
{
    auto* midi = new VirtualMidiServices;
    TimedRecorder device(*midi);
    auto editor = std::make_unique<MainContentComponent>(std::unique_ptr<MidiServices>(midi));
    EditorTestProbe probe(*editor);
    probe.openPorts(device.input, device.output);
    probe.connectWithoutHandshake();

    const auto folder = uniqueFolder("kestra-closing");
    ASSERT_TRUE(folder.createDirectory());
    const auto file = folder.getChildFile("close.tkp");
    const auto image = projectfile::toImage(projectOf(0, 0, 2.0f));
    ASSERT_TRUE(file.replaceWithData(image.data(), image.size()));

    editor->core().openProjectFrom(file);
    ASSERT_TRUE(pumpUntil([&] { return device.count() >= 5; }));
    editor.reset();
    const auto count = device.count();
    pumpFor(300ms); // a timer still due would send or touch the gone editor now
    EXPECT_EQ(device.count(), count);
    EXPECT_EQ(juce::Component::getCurrentlyModalComponent(), nullptr);
    folder.deleteRecursively();
}

// ---- end to end: the simulated instrument --------------------------------------------------

TEST_F(ProjectFiles, TheSimulatedInstrumentEndsUpHoldingTheOpenedProject)
{
    struct Case
    {
        const char* what;
        int modelCode;
        int exchanged;
    };
    for (const auto& c : {Case{"Kestra Mira", 5, 99}, Case{"Kestra Tavo", 6, 85}})
    {
        SCOPED_TRACE(c.what);
        // The editor owns the ports, so it comes first and goes last.
        auto* simMidi = new VirtualMidiServices;
        MainContentComponent connectedEditor{std::unique_ptr<MidiServices>(simMidi)};
        EditorTestProbe simProbe(connectedEditor);
        SimulatorConfig config;
        config.identity.modelCode = c.modelCode;
        config.identity.hardwareRevision = 1;
        SimulatedInstrument instrument(*simMidi, config);

        simProbe.openPorts(instrument.inputIndex(), instrument.outputIndex());
        EditorTestProbe(connectedEditor).startHandshake();
        ASSERT_TRUE(pumpUntil(
            [&]
            {
                return simProbe.supervisor().isConnected() &&
                       simProbe.supervisor().state() == Idle && simProbe.messageBox() == nullptr;
            }));
        const auto instrumentBefore = instrument.values();

        const auto project = projectOf(0, 0, 12.0f);
        connectedEditor.core().openProjectFrom(
            writeProject(juce::String(c.modelCode) + ".tkp", project));
        ASSERT_TRUE(pumpUntil(
            [&]
            { return simProbe.messageBox() == nullptr && !simProbe.isTimerRunning(BulkSendTimer); },
            20000ms));
        ASSERT_TRUE(instrument.waitUntilIdle(5000ms));

        const auto held = instrument.values();
        for (int n = 0; n < numParameters; ++n)
        {
            const auto k = static_cast<size_t>(n);
            EXPECT_EQ(bitsOf(held[k]),
                      bitsOf(n < c.exchanged ? project.parameterValues[k] : instrumentBefore[k]))
                << n;
        }
        EXPECT_FALSE(instrument.bulkMode());
        EXPECT_EQ(instrument.receivedCount(SimulatedInstrument::Received::bulkMode), 2);
        EXPECT_EQ(instrument.receivedCount(SimulatedInstrument::Received::parameterValue), 85);
        EXPECT_EQ(instrument.receivedCount(SimulatedInstrument::Received::parameterByte),
                  c.exchanged - 85);
        EXPECT_EQ(instrument.receivedCount(SimulatedInstrument::Received::other), 0);
        // The editor kept the instrument's model and revision, and the link its heartbeat.
        EXPECT_EQ(simProbe.link().modelIndex(), c.modelCode - 3);
        EXPECT_EQ(simProbe.link().hardwareRevision(), 1);
        EXPECT_TRUE(simProbe.supervisor().isConnected());
        EXPECT_TRUE(simProbe.isTimerRunning(HeartbeatTimer));
    }
}
