// Snapshots: the store on disk (damage, pruning), the table of differences,
// and the core taking them by itself, recalling and comparing them against
// the simulated instrument, headless, on the test's clock.

#include "support/FakeDialogs.h"
#include "support/FakeLinkTimers.h"
#include "support/HeadlessEnvironment.h"
#include "support/MessageLoop.h"
#include "support/SimulatorConfigs.h"

#include "editor/Editor.h"
#include "editor/MessageTexts.h"
#include "files/ProjectFile.h"
#include "files/SnapshotDifference.h"
#include "files/SnapshotStore.h"
#include "link/Sysex.h"
#include "link/VirtualMidiServices.h"
#include "sim/SimulatedInstrument.h"

#include <gtest/gtest.h>

#include <limits>
#include <map>
#include <mutex>
#include <set>
#include <thread>

using namespace kestra;
using namespace kestra::testing;
using namespace std::chrono_literals;

KESTRA_HEADLESS_TEST_ENVIRONMENT;

namespace
{
juce::File freshFolder(const char* name)
{
    auto folder = juce::File::createTempFile(name);
    folder.deleteRecursively();
    return folder;
}

ProjectRecord recordWith(std::initializer_list<std::pair<int, float>> values)
{
    auto record = ProjectRecord::initial();
    for (const auto& [n, value] : values)
        record.parameterValues[static_cast<size_t>(n)] = value;
    return record;
}

SnapshotInfo labelled(const std::string& label, bool automatic)
{
    SnapshotInfo info;
    info.label = label;
    info.automatic = automatic;
    return info;
}

std::vector<std::string> labelsOf(const std::vector<SnapshotInfo>& list)
{
    std::vector<std::string> labels;
    for (const auto& info : list)
        labels.push_back(info.label);
    return labels;
}
} // namespace

// ---- the store on disk ----------------------------------------------------------------------

struct StoreOnDisk : ::testing::Test
{
    ~StoreOnDisk() override { folder.deleteRecursively(); }
    juce::File folder = freshFolder("kestra-snapshots");
};

// Whatever is damaged, a fresh store starts, says so once (load() is true
// the first time only) and keeps every snapshot that can still be read.
TEST_F(StoreOnDisk, DamageIsSkippedOnceAndTheRestIsKept)
{
    struct Case
    {
        const char* what;
        std::function<void(SnapshotStore&)> damage;
        std::vector<std::string> labelsKept; // newest first
        std::vector<std::string> setAside;   // moved into the folder "Damaged"
    };
    const std::string recovered = "Recovered snapshot";
    const Case cases[] = {
        {"index damaged",
         [](SnapshotStore& s) { s.indexFile().replaceWithText("<snapsh&ts"); },
         {recovered, recovered, recovered},
         {"index.xml"}},
        {"index truncated",
         [](SnapshotStore& s)
         {
             const auto text = s.indexFile().loadFileAsString();
             s.indexFile().replaceWithText(text.substring(0, text.length() / 2));
         },
         {recovered, recovered, recovered},
         {"index.xml"}},
        {"index missing",
         [](SnapshotStore& s) { s.indexFile().deleteFile(); },
         {recovered, recovered, recovered},
         {}},
        {"a file refused: wrong magic",
         [](SnapshotStore& s) { s.fileOf(2).replaceWithText("not a project"); },
         {"third", "first"},
         {"snapshot-2.tkp"}},
        {"a file refused: too short",
         [](SnapshotStore& s)
         {
             const auto image = projectfile::toImage(ProjectRecord::initial());
             s.fileOf(2).replaceWithData(image.data(), 100);
         },
         {"third", "first"},
         {"snapshot-2.tkp"}},
        {"a file missing",
         [](SnapshotStore& s) { s.fileOf(2).deleteFile(); },
         {"third", "first"},
         {}},
        {"a file refused: not finite",
         [](SnapshotStore& s)
         {
             auto image = projectfile::toImage(ProjectRecord::initial());
             for (size_t i = 0; i < 4; ++i)
                 image[20 + 4 * 23 + i] = i < 2 ? 0x00 : (i == 2 ? 0xC0 : 0x7F); // NaN
             s.fileOf(2).replaceWithData(image.data(), image.size());
         },
         {"third", "first"},
         {"snapshot-2.tkp"}},
        {"index nested 50,000 deep",
         [](SnapshotStore& s)
         {
             std::string deep;
             for (int k = 0; k < 50000; ++k)
                 deep += "<snapshots>";
             s.indexFile().replaceWithData(deep.data(), deep.size());
         },
         {recovered, recovered, recovered},
         {"index.xml"}},
        {"index declares an entity",
         [](SnapshotStore& s)
         {
             s.indexFile().replaceWithText("<!DOCTYPE snapshots [<!ENTITY e \"<snapshots>\">]>"
                                           "<snapshots>&e;</snapshots>");
         },
         {recovered, recovered, recovered},
         {"index.xml"}},
        {"index is a folder",
         [](SnapshotStore& s)
         {
             s.indexFile().deleteFile();
             s.indexFile().createDirectory();
         },
         {recovered, recovered, recovered},
         {"index.xml"}},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.what);
        folder.deleteRecursively();
        SnapshotStore written(folder);
        ASSERT_FALSE(written.load()); // no folder yet: an empty store, nothing to say
        const auto a = recordWith({{4, 1.0f}}), b = recordWith({{4, 2.0f}}),
                   c3 = recordWith({{4, 3.0f}});
        ASSERT_EQ(written.add(labelled("first", true), a), 1);
        ASSERT_EQ(written.add(labelled("second", false), b), 2);
        ASSERT_EQ(written.add(labelled("third", true), c3), 3);
        c.damage(written);

        SnapshotStore reread(folder);
        EXPECT_TRUE(reread.load());
        EXPECT_EQ(labelsOf(reread.list()), c.labelsKept);
        // What could not be read is kept aside, never dropped.
        std::vector<std::string> setAside;
        for (const auto& file :
             reread.damagedFolder().findChildFiles(juce::File::findFilesAndDirectories, false))
            setAside.push_back(file.getFileName().toStdString());
        EXPECT_EQ(setAside, c.setAside);
        EXPECT_EQ(reread.record(1)->parameterValues, a.parameterValues);
        EXPECT_EQ(reread.record(3)->parameterValues, c3.parameterValues);
        // A new snapshot never takes the place of a file that was refused.
        EXPECT_GE(reread.add(labelled("fourth", false), a), 4);

        SnapshotStore again(folder);
        EXPECT_FALSE(again.load()); // said once: the index was mended
        EXPECT_EQ(again.list().size(), c.labelsKept.size() + 1);
    }
}

TEST_F(StoreOnDisk, PruningKeepsTheNewestAutomaticAndEveryOnDemandOne)
{
    SnapshotStore store(folder);
    store.load();
    const int total = SnapshotStore::maxAutomatic + 10;
    for (int k = 0; k < total; ++k)
        store.add(labelled(std::to_string(k), k % 50 != 0), recordWith({{4, float(k)}}));

    const auto list = store.list();
    int automatic = 0;
    std::vector<std::string> onDemand;
    for (const auto& info : list)
        info.automatic ? ++automatic : (onDemand.push_back(info.label), 0);
    EXPECT_EQ(automatic, SnapshotStore::maxAutomatic);
    EXPECT_EQ(onDemand, (std::vector<std::string>{"200", "150", "100", "50", "0"}));
    EXPECT_EQ(list.front().label, std::to_string(total - 1));
    // The oldest automatic ones went, files and all.
    EXPECT_FALSE(store.info(2).has_value());
    EXPECT_FALSE(store.fileOf(2).exists());
    EXPECT_TRUE(store.fileOf(1).exists());

    SnapshotStore reread(folder);
    EXPECT_FALSE(reread.load());
    EXPECT_EQ(labelsOf(reread.list()), labelsOf(list));
}

namespace
{
// An XML 1.0 checker of our own, as strict as xmllint about characters: the
// bytes are UTF-8, and no character or character reference is one XML forbids.
bool readableByAnyXmlParser(const std::string& text)
{
    auto forbidden = [](uint32_t c)
    {
        return (c < 0x20 && c != 0x09 && c != 0x0A && c != 0x0D) || (c >= 0xD800 && c <= 0xDFFF) ||
               c == 0xFFFE || c == 0xFFFF || c > 0x10FFFF;
    };
    const juce::String decoded = juce::String::fromUTF8(text.data(), static_cast<int>(text.size()));
    if (!juce::CharPointer_UTF8::isValidString(text.data(), static_cast<int>(text.size())) ||
        decoded.toStdString() != text)
        return false;
    for (auto p = decoded.getCharPointer(); !p.isEmpty(); ++p)
        if (forbidden(static_cast<uint32_t>(*p)))
            return false;
    for (int at = decoded.indexOf("&#"); at >= 0; at = decoded.indexOf(at + 2, "&#"))
    {
        const auto reference = decoded.substring(at + 2).upToFirstOccurrenceOf(";", false, false);
        const auto value = reference.startsWithIgnoreCase("x")
                               ? static_cast<uint32_t>(reference.substring(1).getHexValue32())
                               : static_cast<uint32_t>(reference.getIntValue());
        if (forbidden(value))
            return false;
    }
    return true;
}
} // namespace

// Labels, models and versions are written as XML any parser reads: what XML
// forbids is escaped, everything else kept as typed.
TEST_F(StoreOnDisk, LabelsAreWrittenAsXmlAnyParserReads)
{
    struct Case
    {
        const char* what;
        std::string label;
        std::string kept;
    };
    const Case cases[] = {
        {"plain", "Warm & bright <B>", "Warm & bright <B>"},
        {"control characters",
         "a\x01"
         "b\x1B[31mc",
         "a\\x01b\\x1B[31mc"},
        {"tab and line break stay", "a\tb\nc", "a\tb\nc"},
        {"a byte that is not UTF-8", "Kl\xE4nge", "Kl\\xE4nge"},
        {"a file name's byte as the editor carries it", "Kl\xED\xB3\xA4nge", "Kl\\xE4nge"},
        {"not a character", "a\xEF\xBF\xBE", "a\\uFFFE"},
        {"Arabic-Indic digits", "\xD9\xA1\xD9\xA2", "\xD9\xA1\xD9\xA2"},
    };
    SnapshotStore store(folder);
    store.load();
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.what);
        auto info = labelled(c.label, false);
        info.model = c.label;
        info.version = c.label;
        const int id = store.add(info, ProjectRecord::initial());
        ASSERT_GT(id, 0);
        EXPECT_EQ(store.info(id)->label, c.kept);
        juce::MemoryBlock bytes;
        ASSERT_TRUE(store.indexFile().loadFileAsData(bytes));
        EXPECT_TRUE(readableByAnyXmlParser(bytes.toString().toStdString())) << bytes.toString();

        SnapshotStore reread(folder);
        EXPECT_FALSE(reread.load());
        EXPECT_EQ(reread.info(id)->label, c.kept);
        EXPECT_EQ(reread.info(id)->model, c.kept);
        EXPECT_EQ(reread.info(id)->version, c.kept);
        EXPECT_TRUE(store.rename(id, c.label));
        EXPECT_EQ(store.info(id)->label, c.kept);
    }
}

// Nothing is kept that OPEN would refuse: a record with a value that is not
// a number is not written.
TEST_F(StoreOnDisk, ARecordOpenWouldRefuseIsNotKept)
{
    SnapshotStore store(folder);
    store.load();
    for (const float value :
         {std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(),
          -std::numeric_limits<float>::infinity()})
        EXPECT_EQ(store.add(labelled("not finite", true), recordWith({{23, value}})), -1);
    auto wrongModel = ProjectRecord::initial();
    wrongModel.modelIndex = 7;
    EXPECT_EQ(store.add(labelled("model 7", true), wrongModel), -1);
    EXPECT_TRUE(store.list().empty());
}

// Two stores of one process, on two threads, each with its own list in
// memory: every snapshot of each is kept, each under an id of its own.
TEST_F(StoreOnDisk, TwoWritersOfOneProcessLoseNothing)
{
    constexpr int each = 40;
    auto write = [this](const std::string& prefix)
    {
        SnapshotStore store(folder);
        store.load();
        for (int k = 0; k < each; ++k)
            EXPECT_GT(
                store.add(labelled(prefix + std::to_string(k), false), ProjectRecord::initial()),
                0);
    };
    std::thread other(write, "other ");
    write("this ");
    other.join();

    SnapshotStore reread(folder);
    EXPECT_FALSE(reread.load());
    std::set<std::string> labels;
    for (const auto& info : reread.list())
        labels.insert(info.label);
    EXPECT_EQ(labels.size(), 2u * each);
    EXPECT_EQ(reread.list().size(), 2u * each);
}

#ifdef KESTRA_SNAPSHOT_WRITER_PATH
// Twenty processes (kestra-cli runs, say) keep snapshots in one folder while
// the window's core, whose list was read before they started, takes, renames
// and deletes its own: every snapshot survives under an id of its own, with
// its own label and its own values, and the window's changes hold.
TEST_F(StoreOnDisk, TwentyProcessesAndTheWindowLoseNothing)
{
    constexpr int processes = 20, perProcess = 6;
    FakeDialogs dialogs;
    FakeLinkTimers timers;
    Editor window(std::make_unique<VirtualMidiServices>(), dialogs, &timers, nullptr, folder);
    auto& snapshots = window.snapshots();

    std::vector<std::unique_ptr<juce::ChildProcess>> children;
    for (int p = 0; p < processes; ++p)
    {
        children.push_back(std::make_unique<juce::ChildProcess>());
        ASSERT_TRUE(children.back()->start(
            juce::StringArray{KESTRA_SNAPSHOT_WRITER_PATH, folder.getFullPathName(),
                              "process " + juce::String(p), juce::String(1000 * (p + 1)),
                              juce::String(perProcess)},
            juce::ChildProcess::wantStdErr));
    }
    std::map<std::string, float> expected; // label: the value of parameter 4
    std::vector<int> windowIds;
    for (int k = 0; k < 12; ++k)
    {
        const auto label = "window " + std::to_string(k);
        window.deviceLink().setRecord(recordWith({{4, float(k)}}));
        windowIds.push_back(snapshots.take(label)); // Ctrl+Shift+S, the label typed
        ASSERT_GT(windowIds.back(), 0);
        expected[label] = float(k);
        if (k == 4)
        {
            ASSERT_TRUE(snapshots.rename(windowIds[1], "window renamed"));
            expected.erase("window 1");
            expected["window renamed"] = 1.0f;
        }
        if (k == 8)
        {
            ASSERT_TRUE(snapshots.remove(windowIds[2]));
            expected.erase("window 2");
        }
    }
    for (int p = 0; p < processes; ++p)
    {
        auto& child = *children[size_t(p)];
        ASSERT_TRUE(child.waitForProcessToFinish(120000));
        EXPECT_EQ(child.getExitCode(), 0u) << child.readAllProcessOutput();
        for (int k = 0; k < perProcess; ++k)
            expected["process " + std::to_string(p) + " " + std::to_string(k)] =
                float(1000 * (p + 1) + k);
    }

    SnapshotStore reread(folder);
    EXPECT_FALSE(reread.load()); // nothing damaged, nothing recovered
    std::map<std::string, float> found;
    std::set<int> ids;
    for (const auto& info : reread.list())
    {
        EXPECT_TRUE(found.emplace(info.label, reread.record(info.id)->parameterValues[4]).second)
            << info.label << " twice";
        ids.insert(info.id);
    }
    EXPECT_EQ(found, expected);
    EXPECT_EQ(ids.size(), expected.size());
    // The window's list, read again as opening the Snapshots window reads it, holds everyone's.
    snapshots.refresh();
    EXPECT_EQ(snapshots.store().list().size(), expected.size());
    EXPECT_TRUE(dialogs.texts().empty()); // nothing to say
}
#endif

// ---- the table of differences ----------------------------------------------------------------

TEST(SnapshotDifference, OneRowPerControlThatShowsADifferentValue)
{
    // A fixture pair: a level in dB, a frequency, the chorus pair's second
    // value (shown by Chorus Level only), a setting and a bit-level change.
    const auto current = ProjectRecord::initial();
    auto snapshot = current;
    auto& v = snapshot.parameterValues;
    v[6] += 1000.0f;
    v[chorusSecondParameter] += 0.25f;
    v[tonewheelModelParameter] = 4.0f;
    v[2] = std::nextafter(v[2], 1e9f);

    const std::array<std::string, numTonewheelSlots> names{"S0", "S1", "S2", "S3", "S4", "S5"};
    const auto rows = differenceRows(snapshot, current, names);
    std::vector<std::string> shown;
    for (const auto& row : rows)
        shown.push_back(row.page + " | " + row.name + " | " + row.snapshot + " | " + row.current);
    // The bit-level change shows the same text, but a recall would send it:
    // it is listed. Chorus Mix reads both values of the pair.
    EXPECT_EQ(shown, (std::vector<std::string>{
                         "Tone Generator | Click Level Percussion | -0.9 dB | -0.9 dB",
                         "Tone Generator | Click Eq Frequency | 3500 Hz | 2500 Hz",
                         "Vibrato and Chorus | Chorus Mix | 99 % | 100 %",
                         "Vibrato and Chorus | Chorus Level | 0.2 dB | 0.0 dB",
                         "Additional Functions | Tonewheel Model | S4 | S2",
                     }));
    // Model 3 has no settings page: the setting neither shows nor goes out.
    auto tavo = current;
    tavo.modelIndex = 3;
    EXPECT_EQ(differenceRows(snapshot, tavo, names).size(), 4u);
    EXPECT_EQ(differingParameters(v, current.parameterValues, 0),
              (std::vector<int>{2, 6, chorusSecondParameter, tonewheelModelParameter}));
    EXPECT_EQ(differingParameters(v, current.parameterValues, 3),
              (std::vector<int>{2, 6, chorusSecondParameter}));
    EXPECT_TRUE(differenceRows(current, current, names).empty());
}

// ---- the core on the simulated instrument ----------------------------------------------------

namespace
{
// The send's pacing without waiting: every deadline the pacer waits for is
// noted; time moves only as the test moves it.
struct NotingClock final : projectfile::PacingClock
{
    std::atomic<double> now{0.0};
    double nowMs() override { return now.load(); }
    void waitUntil(double deadlineMs, std::unique_lock<std::mutex>&, std::condition_variable&,
                   const bool&) override
    {
        const std::lock_guard<std::mutex> guard(lock);
        deadlines.push_back(deadlineMs);
    }
    std::vector<double> takeDeadlines()
    {
        const std::lock_guard<std::mutex> guard(lock);
        return std::exchange(deadlines, {});
    }
    std::mutex lock;
    std::vector<double> deadlines;
};

struct Heard final : EditorListener
{
    std::atomic<int> sendsEnded{0};
    int listChanges = 0;
    void projectSendEnded() override { ++sendsEnded; }
    void snapshotsChanged() override { ++listChanges; }
};

struct CoreSnapshots : ::testing::Test
{
    CoreSnapshots()
        : editor(std::unique_ptr<MidiServices>(midi), dialogs, &timers, &clock, folder),
          instrument(*midi, configFrom("model=1")) // a "Kestra Brio"
    {
        timers.onExpiry = [this](int id) { editor.timerExpired(id); };
        editor.addListener(&heard);
    }
    ~CoreSnapshots() override
    {
        editor.removeListener(&heard);
        folder.deleteRecursively();
        files.deleteRecursively();
    }

    void advance(long long milliseconds)
    {
        while (milliseconds > 0)
        {
            const auto step = std::min<long long>(milliseconds, 500);
            clock.now = static_cast<double>(timers.time() + step);
            timers.advance(step);
            milliseconds -= step;
            pumpFor(10ms);
        }
    }
    bool connect()
    {
        editor.connect(true);
        return pumpUntil(
            [&] {
                return editor.isConnected() && editor.linkSupervisor().state() == Idle &&
                       !dialogs.isOpen();
            });
    }
    // A send started by an opening, a recall or a compare: its 200 ms, then its end.
    bool sendCompletes()
    {
        const int before = heard.sendsEnded;
        advance(projectfile::transmissionDelayMs);
        return pumpUntil([&] { return heard.sendsEnded > before; }) && instrument.waitUntilIdle(2s);
    }
    std::vector<std::string> labels() const { return labelsOf(editor.snapshots().store().list()); }
    // What the instrument received from its log position `from` on, heartbeats left out.
    std::vector<sysex::Bytes> receivedSince(size_t from) const
    {
        const auto request = sysex::identityRequest();
        std::vector<sysex::Bytes> received;
        const auto log = instrument.log();
        for (size_t k = from; k < log.size(); ++k)
            if (log[k].direction == SimulatedInstrument::Direction::in && log[k].bytes != request)
                received.push_back(log[k].bytes);
        return received;
    }
    // The bytes of a paced send of these parameters, as they are stored now.
    std::vector<sysex::Bytes> bulkSendOf(const std::vector<int>& numbers) const
    {
        std::vector<sysex::Bytes> bytes{sysex::bulkModeMessage(1)};
        for (int n : numbers)
            bytes.push_back(sysex::parameterValueMessage(n, editor.deviceLink().parameterValue(n)));
        bytes.push_back(sysex::bulkModeMessage(0));
        return bytes;
    }
    // Paced as an opening: every message 20 ms after the one before, from the first on.
    static void expectPacedAsAnOpening(const std::vector<double>& deadlines, size_t parameters)
    {
        ASSERT_EQ(deadlines.size(), parameters + 1);
        for (size_t k = 1; k < deadlines.size(); ++k)
            EXPECT_DOUBLE_EQ(deadlines[k] - deadlines[k - 1], projectfile::transmissionPacingMs);
    }
    void edit(int n, float shown) { editor.setValue(parameterInfo(n), shown); }

    juce::File folder = freshFolder("kestra-core-snapshots");
    juce::File files = freshFolder("kestra-core-files");
    VirtualMidiServices* midi = new VirtualMidiServices;
    FakeLinkTimers timers;
    NotingClock clock;
    FakeDialogs dialogs;
    Heard heard;
    Editor editor; // before the instrument, which goes first
    SimulatedInstrument instrument;
};
} // namespace

// Each command that overwrites a sound keeps it first, once, under its label.
TEST_F(CoreSnapshots, EachAutomaticTriggerTakesOneSnapshotWithItsLabel)
{
    const std::string connected = "Connected: Kestra Brio 1.5";

    // Values changed while not connected are kept before the dump replaces them.
    edit(6, 3000.0f);
    const auto offline = editor.deviceLink().record();
    ASSERT_TRUE(connect());
    EXPECT_EQ(labels(), (std::vector<std::string>{connected, "Offline edits before connecting"}));
    EXPECT_EQ(
        editor.snapshots().store().record(editor.snapshots().store().list()[1].id)->parameterValues,
        offline.parameterValues);
    EXPECT_EQ(editor.snapshots().store().list()[0].model, "Kestra Brio");
    EXPECT_EQ(editor.snapshots().store().list()[0].version, "1.5");

    // Connecting again without such edits: the instrument as found, and nothing else.
    editor.connect(false);
    ASSERT_TRUE(connect());
    EXPECT_EQ(labels().size(), 3u);
    EXPECT_EQ(labels().front(), connected);

    // OPEN: the values it replaces.
    const auto beforeOpening = editor.deviceLink().record();
    auto project = beforeOpening;
    project.parameterValues[6] = 1234.0f;
    const auto image = projectfile::toImage(project);
    files.createDirectory();
    const auto song = files.getChildFile("song.tkp");
    ASSERT_TRUE(song.replaceWithData(image.data(), image.size()));
    editor.openProjectFrom(song);
    EXPECT_EQ(labels().front(), "Before opening song.tkp");
    EXPECT_EQ(
        editor.snapshots().store().record(editor.snapshots().store().newest())->parameterValues,
        beforeOpening.parameterValues);
    ASSERT_TRUE(sendCompletes());

    // STORE, once confirmed; RESET, before it goes out (and not when answered No).
    editor.store(true);
    ASSERT_TRUE(pumpUntil([&] { return labels().front() == "Stored"; }));
    dialogs.answer(texts::resetQuestion, 1);
    editor.reset(true);
    EXPECT_EQ(labels().front(), "Stored");
    const auto beforeReset = editor.deviceLink().record();
    dialogs.answer(texts::resetQuestion, 0);
    editor.reset(true);
    EXPECT_EQ(labels().front(), "Before reset");
    ASSERT_TRUE(pumpUntil([&] { return dialogs.texts().back() == texts::resetConfirmed; }));

    EXPECT_EQ(labels(),
              (std::vector<std::string>{"Before reset", "Stored", "Before opening song.tkp",
                                        connected, connected, "Offline edits before connecting"}));
    for (const auto& info : editor.snapshots().store().list())
        EXPECT_TRUE(info.automatic);

    // Recalling "Before reset" brings every value back to the instrument.
    ASSERT_TRUE(editor.snapshots().recall(editor.snapshots().store().list()[0].id));
    ASSERT_TRUE(sendCompletes());
    EXPECT_EQ(instrument.values(), beforeReset.parameterValues);
}

// Recall sends exactly the parameters that differ, framed in bulk mode and
// paced as an opening, and is one undo step.
TEST_F(CoreSnapshots, RecallSendsOnlyWhatDiffersAndUndoesInOneStep)
{
    ASSERT_TRUE(connect());
    const auto snapshotValues = editor.deviceLink().parameterValues();
    const int id = editor.snapshots().take("mine");
    ASSERT_GT(id, 0);
    EXPECT_FALSE(editor.snapshots().store().info(id)->automatic);

    edit(4, -3.0f);
    edit(6, 3000.0f);
    edit(23, 3.0f);
    ASSERT_TRUE(instrument.waitUntilIdle(2s));
    const auto edited = editor.deviceLink().parameterValues();
    const std::vector<int> differing = differingParameters(edited, snapshotValues, 1);
    ASSERT_EQ(differing.size(), 3u);
    EXPECT_EQ(editor.snapshots().differences(id).size(), 3u);

    clock.takeDeadlines();
    const auto mark = instrument.log().size();
    ASSERT_TRUE(editor.snapshots().recall(id));
    EXPECT_EQ(dialogs.openText(), texts::transmittingParameters);
    EXPECT_FALSE(editor.snapshots().recall(id)); // not while a send runs
    ASSERT_TRUE(sendCompletes());
    EXPECT_EQ(receivedSince(mark), bulkSendOf(differing));
    expectPacedAsAnOpening(clock.takeDeadlines(), differing.size());
    EXPECT_EQ(instrument.values(), snapshotValues);
    EXPECT_TRUE(editor.snapshots().differences(id).empty());

    // Undo: the three edits come back, the same way; the edit before is the next step.
    const auto undoMark = instrument.log().size();
    ASSERT_TRUE(editor.undo());
    ASSERT_TRUE(sendCompletes());
    EXPECT_EQ(receivedSince(undoMark), bulkSendOf(differing));
    EXPECT_EQ(instrument.values(), edited);
    ASSERT_TRUE(editor.undo());
    ASSERT_TRUE(instrument.waitUntilIdle(2s));
    EXPECT_EQ(instrument.values()[23], snapshotValues[23]);
    EXPECT_EQ(instrument.values()[6], edited[6]);
}

// A/B: each switch sends only what differs; A is kept as a snapshot at the
// first switch only; an edit on B makes B the current edit.
TEST_F(CoreSnapshots, CompareSwitchesSendOnlyWhatDiffers)
{
    ASSERT_TRUE(connect());
    const auto b = editor.deviceLink().parameterValues();
    const int bId = editor.snapshots().take("B");
    edit(4, -3.0f);
    edit(6, 3000.0f);
    ASSERT_TRUE(instrument.waitUntilIdle(2s));
    const auto a = editor.deviceLink().parameterValues();
    const auto differing = differingParameters(a, b, 1);
    ASSERT_EQ(differing.size(), 2u);
    editor.snapshots().select(bId);

    for (int round = 0; round < 2; ++round)
    {
        SCOPED_TRACE(round);
        auto mark = instrument.log().size();
        ASSERT_TRUE(editor.snapshots().compare());
        EXPECT_TRUE(editor.snapshots().isPlayingB());
        ASSERT_TRUE(sendCompletes());
        EXPECT_EQ(receivedSince(mark), bulkSendOf(differing));
        EXPECT_EQ(instrument.values(), b);

        mark = instrument.log().size();
        ASSERT_TRUE(editor.snapshots().compare());
        EXPECT_FALSE(editor.snapshots().isPlayingB());
        EXPECT_TRUE(editor.snapshots().isComparing());
        ASSERT_TRUE(sendCompletes());
        EXPECT_EQ(receivedSince(mark), bulkSendOf(differing));
        EXPECT_EQ(instrument.values(), a);
    }
    EXPECT_EQ(labels(),
              (std::vector<std::string>{"Before compare", "B", "Connected: Kestra Brio 1.5"}));
    EXPECT_EQ(editor.snapshots().store().record(editor.snapshots().compareA())->parameterValues, a);
    EXPECT_EQ(editor.snapshots().compareB(), bId);

    // On B, an edit: B becomes the current edit, and A stays as its snapshot.
    ASSERT_TRUE(editor.snapshots().compare());
    ASSERT_TRUE(sendCompletes());
    edit(23, 3.0f);
    EXPECT_FALSE(editor.snapshots().isComparing());
    EXPECT_EQ(editor.deviceLink().parameterValues()[6], b[6]);
    EXPECT_EQ(labels().front(), "Before compare");
}

// While not connected, recall and compare change the controls only.
TEST_F(CoreSnapshots, WhileNotConnectedOnlyTheControlsChange)
{
    const auto initial = editor.deviceLink().parameterValues();
    const int id = editor.snapshots().take("start");
    edit(6, 3000.0f);
    const auto sent = instrument.log().size();
    ASSERT_TRUE(editor.snapshots().recall(id));
    EXPECT_FALSE(dialogs.isOpen());
    EXPECT_EQ(editor.deviceLink().parameterValues(), initial);
    edit(6, 2000.0f);
    ASSERT_TRUE(editor.snapshots().compare());
    EXPECT_EQ(editor.deviceLink().parameterValues(), initial);
    advance(1000);
    EXPECT_EQ(instrument.log().size(), sent);
    EXPECT_EQ(editor.snapshots().store().list()[0].model, "");
}

// The label is asked for; Cancel takes nothing.
// The organ reports values that are not finite numbers (NaN, +infinity,
// -infinity): each is refused where it arrives, the controls keep what they
// showed, the MIDI Monitor marks the message refused, and the snapshot STORE
// takes afterwards opens again as a project file, at the next start too.
TEST_F(CoreSnapshots, ValuesThatAreNotNumbersNeverReachASnapshot)
{
    ASSERT_TRUE(connect());
    const auto before = editor.deviceLink().record();
    const float notFinite[] = {std::numeric_limits<float>::quiet_NaN(),
                               std::numeric_limits<float>::infinity(),
                               -std::numeric_limits<float>::infinity()};
    for (const float value : notFinite)
        ASSERT_TRUE(instrument.turnKnob(23, value));
    ASSERT_TRUE(instrument.turnKnob(6, 3000.0f)); // a number: taken, after the others
    ASSERT_TRUE(pumpUntil([&] { return editor.deviceLink().parameterValue(6) == 3000.0f; }));
    EXPECT_EQ(editor.deviceLink().parameterValue(23), before.parameterValues[23]);
    const auto monitor = editor.messageLog().toText();
    int refusedLines = 0;
    for (size_t at = monitor.find("(refused: not a finite number)"); at != std::string::npos;
         at = monitor.find("(refused: not a finite number)", at + 1))
        ++refusedLines;
    EXPECT_EQ(refusedLines, 3);

    editor.store(true);
    ASSERT_TRUE(pumpUntil([&] { return labels().front() == "Stored"; }));
    const auto stored = editor.snapshots().store().newest();
    editor.openProjectFrom(editor.snapshots().store().fileOf(stored));
    EXPECT_EQ(dialogs.texts().back(), texts::transmittingParameters); // not "corrupted"
    ASSERT_TRUE(sendCompletes());
    EXPECT_EQ(editor.deviceLink().parameterValue(23), before.parameterValues[23]);

    SnapshotStore nextStart(folder);
    EXPECT_FALSE(nextStart.load());
    EXPECT_TRUE(nextStart.info(stored).has_value());
}

// The folder cannot be used (a file has its name): the automatic snapshots
// are said once and the commands go on; one asked for is said each time.
TEST_F(CoreSnapshots, ASnapshotThatCannotBeKeptIsSaidOnce)
{
    ASSERT_TRUE(folder.replaceWithText("not a folder"));
    ASSERT_TRUE(connect());
    editor.connect(false);
    ASSERT_TRUE(connect());
    auto notSaved = [&]
    {
        const auto all = dialogs.texts();
        return std::count(all.begin(), all.end(), std::string(texts::snapshotNotSaved));
    };
    EXPECT_EQ(notSaved(), 1);
    EXPECT_TRUE(editor.isConnected());
    EXPECT_EQ(editor.snapshots().take("Asked for"), -1);
    EXPECT_EQ(notSaved(), 2);
    EXPECT_TRUE(editor.snapshots().store().list().empty());
    EXPECT_FALSE(editor.snapshots().store().canKeep());
}

TEST_F(CoreSnapshots, OnDemandAsksForTheLabel)
{
    dialogs.answerText(texts::snapshotLabelQuestion, std::string("Warm"));
    editor.snapshots().take();
    dialogs.answerText(texts::snapshotLabelQuestion, std::nullopt);
    editor.snapshots().take();
    EXPECT_EQ(labels(), std::vector<std::string>{"Warm"});
    EXPECT_EQ(dialogs.texts(), (std::vector<std::string>{texts::snapshotLabelQuestion,
                                                         texts::snapshotLabelQuestion}));
    EXPECT_GT(heard.listChanges, 0);
}

// A damaged store: the editor starts, says so once, and keeps the rest;
// export and rename still work on what is kept.
TEST(CoreSnapshotStore, ADamagedStoreIsSaidOnceAtStart)
{
    auto folder = freshFolder("kestra-damaged");
    {
        SnapshotStore store(folder);
        store.load();
        store.add(labelled("kept", false), recordWith({{6, 1500.0f}}));
        store.add(labelled("refused", true), ProjectRecord::initial());
        store.fileOf(2).replaceWithText("garbage");
    }
    FakeDialogs dialogs;
    FakeLinkTimers timers;
    NotingClock clock;
    {
        Editor editor(std::make_unique<VirtualMidiServices>(), dialogs, &timers, &clock, folder);
        pumpFor(50ms);
        EXPECT_EQ(dialogs.texts(), std::vector<std::string>{texts::snapshotsLeftOut});
        EXPECT_EQ(labelsOf(editor.snapshots().store().list()), std::vector<std::string>{"kept"});

        EXPECT_TRUE(editor.snapshots().rename(1, "Bright"));
        const auto exported = folder.getSiblingFile("kestra-exported.tkp");
        editor.snapshots().exportTo(1, exported);
        juce::MemoryBlock bytes;
        ASSERT_TRUE(exported.loadFileAsData(bytes));
        const auto contents =
            projectfile::parse(static_cast<const uint8_t*>(bytes.getData()), bytes.getSize());
        EXPECT_EQ(contents.fault, projectfile::Fault::none);
        EXPECT_EQ(contents.record.parameterValues[6], 1500.0f);
        exported.deleteFile();
        EXPECT_TRUE(editor.snapshots().remove(1));
    }
    {
        Editor editor(std::make_unique<VirtualMidiServices>(), dialogs, &timers, &clock, folder);
        pumpFor(50ms);
        EXPECT_EQ(dialogs.texts().size(), 1u); // said once
        EXPECT_TRUE(editor.snapshots().store().list().empty());
    }
    folder.deleteRecursively();
}
