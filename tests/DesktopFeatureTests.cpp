// Undo and redo of the user's edits with the exact bytes on the wire, the MIDI
// monitor window, and files dropped on the window or named on the command
// line: the real editor against the simulated instrument.

#include "ConnectTestSupport.h"
#include "TonewheelGuiSupport.h"

#include "editor/EditHistory.h"
#include "files/ProjectFile.h"
#include "link/NativeFile.h"
#include "model/Conversions.h"
#include "ui/MidiMonitorWindow.h"

#include <set>

#if !JUCE_WINDOWS
#include <sys/stat.h>
#endif

KESTRA_JUCE_TEST_ENVIRONMENT;

namespace juce
{
// Rectangles in failures as "x y w h".
inline void PrintTo(const Rectangle<int>& r, std::ostream* os)
{
    *os << r.toString();
}
} // namespace juce

using namespace kestra;
using namespace kestra::connecttest;
using kestra::testing::pumpFor;
using kestra::testing::pumpUntil;

namespace
{
// What the editor sends for parameter n holding value v.
Bytes parameterMessage(int n, float v)
{
    return n < firstSettingParameter
               ? sysex::parameterValueMessage(n, v)
               : sysex::parameterByteMessage(n, static_cast<uint8_t>(settingByteFor(n, v)));
}

std::vector<Bytes> parameterMessages(const std::vector<int>& numbers, const ParameterValues& v)
{
    std::vector<Bytes> messages;
    for (int n : numbers)
        messages.push_back(parameterMessage(n, v[static_cast<size_t>(n)]));
    return messages;
}

std::vector<int> numbersOf(const std::vector<Bytes>& messages)
{
    std::vector<int> numbers;
    for (const auto& m : messages)
        numbers.push_back(sysex::decode(m).number);
    return numbers;
}

juce::MouseEvent mouseAt(juce::Slider& slider, float x, bool dragged, juce::Point<float> downAt,
                         int clicks = 1,
                         juce::ModifierKeys mods = juce::ModifierKeys::leftButtonModifier)
{
    const auto source = juce::Desktop::getInstance().getMainMouseSource();
    const auto now = juce::Time::getCurrentTime();
    const juce::Point<float> position{x, static_cast<float>(slider.getHeight()) / 2.0f};
    return juce::MouseEvent(source, position, mods, 1.0f, 0.0f, 0.0f, 0.0f, 0.0f, &slider, &slider,
                            now, downAt, now, clicks, dragged);
}

// A user's mouse on a slider: down, three moves, up; one gesture.
void drag(juce::Slider& slider, std::initializer_list<float> fractions)
{
    const float width = static_cast<float>(slider.getWidth());
    const juce::Point<float> downAt{0.5f * width, static_cast<float>(slider.getHeight()) / 2.0f};
    slider.mouseDown(mouseAt(slider, downAt.x, false, downAt));
    float last = downAt.x;
    for (float f : fractions)
    {
        last = f * width;
        slider.mouseDrag(mouseAt(slider, last, true, downAt));
    }
    slider.mouseUp(mouseAt(slider, last, true, downAt));
}

void wheel(juce::Slider& slider, float deltaY)
{
    const juce::Point<float> at{10.0f, 5.0f};
    juce::MouseWheelDetails details{0.0f, deltaY, false, false, false};
    slider.mouseWheelMove(mouseAt(slider, at.x, false, at, 0, juce::ModifierKeys()), details);
}

juce::File writeProject(const juce::File& file, const ProjectRecord& record)
{
    const auto image = projectfile::toImage(record);
    file.replaceWithData(image.data(), image.size());
    return file;
}

struct ConnectedEditor : ::testing::Test
{
    SimulatedRig rig;
    BoxWatcher boxes;
    juce::TemporaryFile folderName;
    juce::File folder = folderName.getFile();
    size_t mark = 0;

    void SetUp() override
    {
        folder.createDirectory();
        ASSERT_TRUE(rig.connect());
        sent();
    }
    void TearDown() override { folder.deleteRecursively(); }

    // A valid tonewheel file in the test's folder.
    juce::File tonewheelFile()
    {
        const auto file = folder.getChildFile("wheel.ktw");
        const auto image = tonewheeltest::tonewheelFileImage(Bytes(300, 0x11), "Dropped");
        file.replaceWithData(image.data(), image.size());
        return file;
    }

    // The tonewheel menu answered with slot 4; how often it was asked.
    int menus = 0;
    void answerMenusWithSlot4()
    {
        rig.probe.answerTonewheelMenu(
            [this](const juce::PopupMenu&)
            {
                ++menus;
                return 4;
            });
    }

    // What reached the instrument since the last call.
    std::vector<Bytes> sent()
    {
        const auto messages = rig.receivedMessages(mark);
        mark = rig.instrument().log().size();
        return messages;
    }

    // Waits until the instrument has had nothing new for a moment.
    std::vector<Bytes> sentOnceQuiet()
    {
        size_t size = rig.instrument().log().size();
        for (int quiet = 0; quiet < 10;)
        {
            pumpFor(std::chrono::milliseconds(20));
            const size_t now = rig.instrument().log().size();
            quiet = now == size && rig.probe.messageBox() == nullptr ? quiet + 1 : 0;
            size = now;
        }
        return sent();
    }

    ParameterValues values() const { return rig.probe.link().parameterValues(); }

    // The full send of an opened project, with these values.
    static std::vector<Bytes> fullSend(const ParameterValues& v, int model)
    {
        std::vector<Bytes> messages{sysex::bulkModeMessage(1)};
        for (int n = 0; n <= lastParameterForModel(model); ++n)
            messages.push_back(parameterMessage(n, v[static_cast<size_t>(n)]));
        messages.push_back(sysex::bulkModeMessage(0));
        return messages;
    }
};
} // namespace

// ---- undo and redo ---------------------------------------------------------------------------

TEST_F(ConnectedEditor, EveryKindOfEditIsOneStepUndoneAndRedoneWithItsOwnMessages)
{
    auto& p = rig.probe;
    struct Edit
    {
        const char* what;
        std::function<void()> make;
    };
    const Edit edits[] = {
        {"slider gesture, Hall Time",
         [&] {
             drag(*p.slider(23), {0.6f, 0.7f, 0.8f});
         }},
        {"slider gesture, Chorus Mix",
         [&] {
             drag(*p.slider(31), {0.2f, 0.1f});
         }},
        {"slider gesture, Horn Rise Time", [&] { drag(*p.slider(45), {0.9f}); }},
        {"keyboard, Hall Size",
         [&] { p.slider(25)->keyPressed(juce::KeyPress(juce::KeyPress::leftKey)); }},
        {"wheel, Spring Damp", [&] { wheel(*p.slider(27), 0.5f); }},
        {"selector, Overdrive Model",
         [&] { p.selector(9)->setSelectedItemIndex(3, juce::sendNotificationSync); }},
        {"selector, Tonewheel Model",
         [&] { p.selector(97)->setSelectedItemIndex(4, juce::sendNotificationSync); }},
        {"double-click, Click Level Bass",
         [&]
         {
             auto& s = *p.slider(3);
             s.setValue(6.0, juce::dontSendNotification); // shown away from the default
             s.mouseDoubleClick(mouseAt(s, 5.0f, false, {5.0f, 5.0f}, 2));
         }},
    };

    for (const auto& e : edits)
    {
        SCOPED_TRACE(e.what);
        const auto before = values();
        e.make();
        const auto edit = sent();
        ASSERT_FALSE(edit.empty());
        const auto after = values();
        ASSERT_NE(before, after);

        // The last change's parameters, in its order: what one change sends.
        auto numbers = numbersOf(edit);
        const auto once = std::set<int>(numbers.begin(), numbers.end()).size();
        numbers.erase(numbers.begin(), numbers.end() - static_cast<std::ptrdiff_t>(once));

        ASSERT_TRUE(rig.editor.core().undo());
        EXPECT_EQ(sent(), parameterMessages(numbers, before));
        EXPECT_EQ(values(), before);

        ASSERT_TRUE(rig.editor.core().redo());
        EXPECT_EQ(sent(), parameterMessages(numbers, after));
        EXPECT_EQ(values(), after);
    }

    // All of them, newest first, back to where the handshake left the values.
    int undone = 0;
    while (rig.editor.core().undo())
        ++undone;
    EXPECT_EQ(undone, static_cast<int>(std::size(edits)));
}

TEST_F(ConnectedEditor, AGestureIsOneStepHoweverFarItMoves)
{
    auto& slider = *rig.probe.slider(23);
    const auto before = values();
    drag(slider, {0.1f, 0.2f, 0.3f, 0.4f, 0.9f});
    EXPECT_GE(sent().size(), 5u);
    const auto after = values();

    ASSERT_TRUE(rig.editor.core().undo());
    EXPECT_EQ(sent(), parameterMessages({23}, before));
    EXPECT_NEAR(slider.getValue(), static_cast<double>(before[23]), 1e-6);
    EXPECT_FALSE(rig.editor.core().undo());
    EXPECT_TRUE(sent().empty());

    ASSERT_TRUE(rig.editor.core().redo());
    EXPECT_EQ(sent(), parameterMessages({23}, after));
    EXPECT_FALSE(rig.editor.core().redo());
}

TEST_F(ConnectedEditor, AnOpenedProjectIsUndoneAndRedoneAsAnOpeningSendsIt)
{
    const int model = rig.probe.link().modelIndex();
    auto record = rig.probe.link().record();
    const auto before = record.parameterValues;
    for (int n = 0; n < 85; ++n)
        record.parameterValues[static_cast<size_t>(n)] += 0.5f;
    record.parameterValues[97] = 4.0f;
    const auto file = writeProject(folder.getChildFile("warm.tkp"), record);

    rig.editor.core().openProjectFrom(file);
    EXPECT_EQ(rig.boxText(), texts::transmittingParameters);
    const auto opened = values();
    EXPECT_EQ(sentOnceQuiet(), fullSend(opened, model));

    boxes.seen.clear();
    ASSERT_TRUE(rig.editor.core().undo());
    EXPECT_EQ(rig.boxText(), texts::transmittingParameters); // the same box
    EXPECT_EQ(sentOnceQuiet(), fullSend(before, model));
    EXPECT_EQ(values(), before);
    EXPECT_EQ(rig.probe.selector(97)->getSelectedItemIndex(), static_cast<int>(before[97]));

    ASSERT_TRUE(rig.editor.core().redo());
    EXPECT_EQ(sentOnceQuiet(), fullSend(opened, model));
    EXPECT_EQ(values(), opened);
    EXPECT_EQ(rig.probe.selector(97)->getSelectedItemIndex(), 4);
}

TEST_F(ConnectedEditor, ReportedValuesAreNotSteps)
{
    rig.sendToEditor(sysex::parameterValueMessage(5, 42.0f)); // Tone Control Position
    ASSERT_TRUE(pumpUntil([&] { return rig.probe.slider(5)->getValue() == 42.0; }));
    EXPECT_FALSE(rig.editor.core().undo());
    EXPECT_TRUE(sent().empty());
}

TEST_F(ConnectedEditor, AResetClearsTheHistory)
{
    drag(*rig.probe.slider(23), {0.9f});
    boxes.answer(texts::resetQuestion, texts::yes);
    click(rig.probe.resetButton());
    ASSERT_TRUE(pumpUntil([&] { return boxes.saw(texts::resetConfirmed); }));
    ASSERT_TRUE(pumpUntil([&] { return rig.probe.messageBox() == nullptr; }));
    sent();
    EXPECT_FALSE(rig.editor.core().undo());
    EXPECT_FALSE(rig.editor.core().redo());
    EXPECT_TRUE(sent().empty());
}

TEST_F(ConnectedEditor, ANewConnectionClearsTheHistory)
{
    drag(*rig.probe.slider(23), {0.9f});
    rig.probe.selector(98)->setSelectedItemIndex(1, juce::sendNotificationSync);
    ASSERT_TRUE(rig.editor.core().undo()); // one step left to undo, one to redo

    click(rig.probe.connectButton()); // off
    ASSERT_TRUE(rig.connect());
    sent();
    EXPECT_FALSE(rig.editor.core().undo());
    EXPECT_FALSE(rig.editor.core().redo());
    EXPECT_TRUE(sent().empty());
}

TEST_F(ConnectedEditor, WhileNotConnectedUndoAndRedoChangeTheControlsAndSendNothing)
{
    auto& slider = *rig.probe.slider(23);
    const double start = slider.getValue();
    drag(slider, {0.9f});
    const double dragged = slider.getValue();
    ASSERT_NE(start, dragged);
    rig.probe.selector(98)->setSelectedItemIndex(1, juce::sendNotificationSync);

    click(rig.probe.connectButton()); // off: the ports close
    ASSERT_TRUE(rig.showsDisconnected());
    // Ports left open by a refused identity must not carry undo either.
    rig.probe.openPorts(rig.instrument().inputIndex(), rig.instrument().outputIndex());
    sent();

    ASSERT_TRUE(rig.editor.core().undo());
    EXPECT_EQ(rig.probe.selector(98)->getSelectedItemIndex(), 0);
    ASSERT_TRUE(rig.editor.core().undo());
    EXPECT_DOUBLE_EQ(slider.getValue(), start);
    ASSERT_TRUE(rig.editor.core().redo());
    EXPECT_DOUBLE_EQ(slider.getValue(), dragged);
    pumpFor(std::chrono::milliseconds(50));
    EXPECT_TRUE(sent().empty());
}

TEST_F(ConnectedEditor, TheHistoryKeepsItsLastHundredSteps)
{
    auto& selector = *rig.probe.selector(98);
    for (int i = 0; i < EditHistory::maxSteps + 20; ++i)
        selector.setSelectedItemIndex(i % 2 == 0 ? 1 : 0, juce::sendNotificationSync);
    int undone = 0;
    while (rig.editor.core().undo())
        ++undone;
    EXPECT_EQ(undone, EditHistory::maxSteps);
}

TEST_F(ConnectedEditor, KeysUndoAndRedoWhicheverControlHasTheFocus)
{
    auto& p = rig.probe;
    const auto before = values();
    drag(*p.slider(23), {0.9f});
    const auto after = values();
    sent();

    const auto ctrl = juce::ModifierKeys::commandModifier;
    const auto shift = juce::ModifierKeys::shiftModifier;
    // A selector with the focus hears the key first and passes it on.
    EXPECT_FALSE(p.selector(9)->keyPressed(juce::KeyPress('z', ctrl, 0)));
    EXPECT_TRUE(rig.editor.keyPressed(juce::KeyPress('z', ctrl, 0)));
    EXPECT_EQ(sent(), parameterMessages({23}, before));
    EXPECT_TRUE(rig.editor.keyPressed(juce::KeyPress('Z', ctrl | shift, 0)));
    EXPECT_EQ(sent(), parameterMessages({23}, after));
    EXPECT_TRUE(rig.editor.keyPressed(juce::KeyPress('z', ctrl, 0)));
    sent();
    EXPECT_TRUE(rig.editor.keyPressed(juce::KeyPress('y', ctrl, 0)));
    EXPECT_EQ(sent(), parameterMessages({23}, after));
    EXPECT_FALSE(rig.editor.keyPressed(juce::KeyPress('z', 0, 0)));
    EXPECT_FALSE(rig.editor.keyPressed(juce::KeyPress('z', juce::ModifierKeys::altModifier, 0)));
}

// ---- the MIDI monitor ------------------------------------------------------------------------

TEST_F(ConnectedEditor, CtrlMShowsAndHidesTheMonitorWhichListsEveryMessage)
{
    const auto ctrlM = juce::KeyPress('m', juce::ModifierKeys::commandModifier, 0);
    ASSERT_TRUE(rig.editor.keyPressed(ctrlM));
    auto* window = rig.probe.midiMonitor();
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->getName(), "MIDI Monitor");
    EXPECT_FALSE(window->isCurrentlyModal());

    // Beside the editor, as far as the screen allows.
    const auto* display =
        juce::Desktop::getInstance().getDisplays().getDisplayForRect(rig.editor.getScreenBounds());
    ASSERT_NE(display, nullptr);
    EXPECT_EQ(window->getBounds(),
              placeBeside(rig.editor.getScreenBounds(), display->userArea, {960, 420},
                          {MidiMonitorWindow::minimumWidth, MidiMonitorWindow::minimumHeight}));

    // The whole handshake is there already, its identity request and reply
    // folded into the heartbeat's line until the switch shows them.
    auto& monitor = window->monitor();
    monitor.update();
    EXPECT_TRUE(monitor.hideHeartbeatButton().getToggleState());
    EXPECT_TRUE(monitor.rowText(0).contains("OUT/IN  F0 7D 1E 07 "));
    EXPECT_TRUE(monitor.rowText(0).contains("Heartbeat: 1 identity request, 1 reply, until "));
    monitor.hideHeartbeatButton().triggerClick();
    ASSERT_TRUE(pumpUntil(
        [&]
        {
            monitor.update();
            return monitor.rowText(0).contains("OUT  F0 7D 1E 06 01 F7  Identity request");
        }));
    monitor.hideHeartbeatButton().triggerClick();
    ASSERT_TRUE(pumpUntil(
        [&]
        {
            monitor.update();
            return monitor.rowText(0).contains("Heartbeat: ");
        }));
    rig.probe.slider(23)->setValue(3.0, juce::sendNotificationSync);
    // (Not necessarily the last line: a heartbeat may have come after it.)
    ASSERT_TRUE(pumpUntil(
        [&]
        {
            monitor.update();
            for (int row = monitor.numRowsShown(); --row >= 0;)
                if (monitor.rowText(row).contains("Hall Time = 3.0 sec"))
                    return true;
            return false;
        }));

    // The editor keeps working meanwhile.
    drag(*rig.probe.slider(25), {0.2f});
    EXPECT_FALSE(sent().empty());

    // Pause: nothing recorded until Resume. Clear: nothing left.
    monitor.pauseButton().triggerClick();
    pumpUntil([&] { return rig.probe.messageLog().isPaused(); });
    const auto shownPaused = rig.probe.messageLog().range().end;
    rig.probe.slider(23)->setValue(3.5, juce::sendNotificationSync);
    EXPECT_EQ(rig.probe.messageLog().range().end, shownPaused);
    monitor.pauseButton().triggerClick();
    pumpUntil([&] { return !rig.probe.messageLog().isPaused(); });

    const auto saved = folder.getChildFile("monitor.txt");
    ASSERT_TRUE(monitor.saveTo(saved));
    const auto text = saved.loadFileAsString();
    EXPECT_TRUE(text.contains("Identity reply: protocol 5, Kestra, revision 0, rel "));
    EXPECT_TRUE(text.contains("Parameter 23 Hall Time = 3.0 sec"));
    EXPECT_FALSE(text.contains("Hall Time = 3.5 sec"));
    EXPECT_TRUE(text.contains("Paused: messages are not recorded"));

    monitor.clearButton().triggerClick();
    ASSERT_TRUE(pumpUntil([&] { return monitor.numRowsShown() == 0; }));

    // Ctrl+M again, in either window, or the close button hides it.
    ASSERT_TRUE(rig.editor.keyPressed(ctrlM));
    EXPECT_FALSE(window->isVisible());
    ASSERT_TRUE(rig.editor.keyPressed(ctrlM));
    EXPECT_TRUE(window->isVisible());
    EXPECT_TRUE(window->keyPressed(ctrlM));
    EXPECT_FALSE(window->isVisible());
    rig.editor.toggleMidiMonitor();
    window->closeButtonPressed();
    EXPECT_FALSE(window->isVisible());
}

TEST_F(ConnectedEditor, TheMonitorStaysUsableWhileABoxBlocksTheEditor)
{
    rig.editor.toggleMidiMonitor();
    auto& monitor = rig.probe.openedMidiMonitor().monitor();
    rig.editor.core().openProjectFrom(
        writeProject(folder.getChildFile("p.tkp"), rig.probe.link().record()));
    ASSERT_NE(rig.probe.messageBox(), nullptr); // the transmitting box, modal
    EXPECT_TRUE(rig.probe.slider(23)->isCurrentlyBlockedByAnotherModalComponent());
    EXPECT_FALSE(monitor.pauseButton().isCurrentlyBlockedByAnotherModalComponent());
    sentOnceQuiet();
}

TEST_F(ConnectedEditor, TheMonitorRepaintsAtMostThirtyTimesASecond)
{
    rig.editor.toggleMidiMonitor();
    auto& monitor = rig.probe.openedMidiMonitor().monitor();
    pumpFor(std::chrono::milliseconds(100));
    const int start = monitor.repaintsRequested();
    const auto begin = std::chrono::steady_clock::now();
    // Far more changes than frames: a knob turned as fast as the loop allows.
    for (int i = 0; i < 400; ++i)
    {
        rig.probe.slider(23)->setValue(i % 2 == 0 ? 1.0 : 2.0, juce::sendNotificationSync);
        kestra::testing::dispatchMessagesFor(1);
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
    EXPECT_LE(monitor.repaintsRequested() - start,
              static_cast<int>(seconds * MidiMonitorComponent::refreshesPerSecond) + 2);
}

TEST(MonitorPlacement, BesideTheEditorInsideTheScreen)
{
    using R = juce::Rectangle<int>;
    const juce::Point<int> size{960, 420}, smallest{480, 200};
    struct Case
    {
        const char* what;
        R editor, screen, expected;
    };
    const Case cases[] = {
        {"room on the right", {0, 0, 1024, 685}, {0, 0, 2560, 1400}, {1032, 0, 960, 420}},
        {"room on the left only", {1536, 100, 1024, 685}, {0, 0, 2560, 1400}, {568, 100, 960, 420}},
        {"on a second display", {1920, 40, 1024, 685}, {1920, 0, 2560, 1400}, {2952, 40, 960, 420}},
        {"beside, moved up into the screen",
         {0, 1000, 1024, 385},
         {0, 0, 2560, 1400},
         {1032, 980, 960, 420}},
        {"above: the whole size fits nowhere else",
         {0, 470, 1024, 685},
         {0, 0, 1920, 1160},
         {0, 42, 960, 420}},
        {"narrower on the right, where the smallest fits",
         {512, 233, 1024, 685},
         {0, 0, 2048, 1152},
         {1544, 233, 504, 420}},
        // No side has room for even the smallest size: where it covers least.
        {"1920 x 1080, editor centred: a strip above, over 3 px of it",
         {448, 197, 1024, 685},
         {0, 0, 1920, 1040},
         {448, 0, 960, 200}},
        {"1280 x 800: a strip over the editor's bottom",
         {128, 57, 1024, 685},
         {0, 0, 1280, 800},
         {128, 600, 960, 200}},
        {"the same a pixel lower: still below, not over the toolbar for a pixel's less",
         {128, 58, 1024, 685},
         {0, 0, 1280, 800},
         {128, 600, 960, 200}},
        {"a screen smaller than the monitor",
         {0, 0, 1024, 685},
         {0, 0, 800, 180},
         {320, 0, 480, 180}},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.what);
        const auto placed = placeBeside(c.editor, c.screen, size, smallest);
        EXPECT_EQ(placed, c.expected);
        EXPECT_TRUE(c.screen.contains(placed));
    }
}

// ---- files from the desktop ------------------------------------------------------------------

TEST_F(ConnectedEditor, ADroppedProjectOpensAsOpenWould)
{
    auto record = rig.probe.link().record();
    record.parameterValues[23] = 3.3f;
    const auto file = writeProject(folder.getChildFile("Dropped.TKP"), record);

    const juce::StringArray files{file.getFullPathName()};
    ASSERT_TRUE(rig.editor.isInterestedInFileDrag(files));
    rig.editor.filesDropped(files, 400, 300);
    ASSERT_TRUE(pumpUntil([&] { return boxes.saw(texts::transmittingParameters); }));
    // While its box is open, nothing more is taken.
    EXPECT_NE(rig.probe.messageBox(), nullptr);
    EXPECT_FALSE(rig.editor.isInterestedInFileDrag(files));
    const auto v = values();
    EXPECT_FLOAT_EQ(v[23], 3.3f);
    EXPECT_EQ(sentOnceQuiet(), fullSend(v, rig.probe.link().modelIndex()));
    EXPECT_EQ(rig.probe.lastFileFolder(), folder);
    // An opened project, so a step.
    EXPECT_TRUE(rig.editor.core().undo());
}

TEST_F(ConnectedEditor, ADroppedBrokenProjectGetsTheBoxOpenShows)
{
    const auto file = folder.getChildFile("broken.tkp");
    file.replaceWithText("not a project");
    rig.editor.filesDropped({file.getFullPathName()}, 10, 10);
    ASSERT_TRUE(pumpUntil([&] { return boxes.saw(texts::fileCorrupted); }));
    pumpFor(std::chrono::milliseconds(50));
    EXPECT_TRUE(sent().empty());
}

#if !JUCE_WINDOWS
// What is not a regular file is refused as "not valid" at once, dropped or
// named on the command line: nothing opens it, so nothing waits for a FIFO's
// writer, and the window goes on.
TEST_F(ConnectedEditor, SpecialFilesAreNotValidAndNothingWaits)
{
    const auto fifo = folder.getChildFile("fifo.tkp");
    ASSERT_EQ(::mkfifo(fifo.getFullPathName().toRawUTF8(), 0600), 0);
    const auto device = folder.getChildFile("device.ktw");
    ASSERT_TRUE(juce::File("/dev/zero").createSymbolicLink(device, false));
    const auto loop = folder.getChildFile("loop.tkp");
    ASSERT_TRUE(loop.createSymbolicLink(loop, false));
    answerMenusWithSlot4();
    boxes.answer(texts::fileNotValid, texts::ok);
    for (const auto& file : {fifo, device, loop})
    {
        SCOPED_TRACE(file.getFileName());
        boxes.seen.clear();
        rig.editor.filesDropped({file.getFullPathName()}, 10, 10);
        ASSERT_TRUE(pumpUntil([&] { return boxes.saw(texts::fileNotValid); }));
        ASSERT_TRUE(pumpUntil([&] { return rig.probe.messageBox() == nullptr; }));
    }
    boxes.seen.clear();
    rig.editor.openFile(MainContentComponent::fileFromCommandLine({fifo.getFullPathName()},
                                                                  nativefile::currentFolder()));
    ASSERT_TRUE(pumpUntil([&] { return boxes.saw(texts::fileNotValid); }));
    pumpFor(std::chrono::milliseconds(50));
    EXPECT_TRUE(sent().empty());
}
#endif

TEST_F(ConnectedEditor, ADroppedTonewheelAsksForTheSlotThenConfirms)
{
    const auto file = tonewheelFile();
    answerMenusWithSlot4();
    boxes.answer(juce::String(texts::tonewheelWarningPrefix) + "\"" +
                     juce::String(rig.probe.link().tonewheelName(4)) + "\"" +
                     texts::tonewheelWillBeLost,
                 texts::no);
    rig.editor.filesDropped({file.getFullPathName()}, 10, 10);
    ASSERT_TRUE(pumpUntil([&] { return menus == 1 && !boxes.seen.empty(); }));
    EXPECT_TRUE(boxes.seen.back().message.startsWith(texts::tonewheelWarningPrefix));
    EXPECT_TRUE(boxes.seen.back().message.contains("ALT2"));
    pumpFor(std::chrono::milliseconds(50));
    EXPECT_TRUE(sent().empty()); // answered No: nothing uploaded
}

TEST_F(ConnectedEditor, ADroppedTonewheelWhileNotConnectedDoesNothing)
{
    click(rig.probe.connectButton()); // off
    const auto file = tonewheelFile();
    answerMenusWithSlot4();
    boxes.seen.clear();
    rig.editor.filesDropped({file.getFullPathName()}, 10, 10);
    pumpFor(std::chrono::milliseconds(100));
    EXPECT_EQ(menus, 0);
    EXPECT_TRUE(boxes.seen.empty());
}

TEST_F(ConnectedEditor, OtherDropsAreRefused)
{
    boxes.seen.clear();
    const auto project = writeProject(folder.getChildFile("a.tkp"), rig.probe.link().record());
    const auto wheel = folder.getChildFile("b.ktw");
    for (const auto& files :
         {juce::StringArray{folder.getChildFile("notes.txt").getFullPathName()},
          juce::StringArray{folder.getChildFile("project.tkp.bak").getFullPathName()},
          juce::StringArray{project.getFullPathName(), wheel.getFullPathName()},
          juce::StringArray{}})
    {
        EXPECT_FALSE(rig.editor.isInterestedInFileDrag(files)) << files.joinIntoString(",");
        rig.editor.filesDropped(files, 10, 10);
    }
    pumpFor(std::chrono::milliseconds(50));
    EXPECT_TRUE(sent().empty());
    EXPECT_TRUE(boxes.seen.empty());
}

TEST(CommandLine, TheFirstArgumentThatIsNotAnOptionNamesTheFile)
{
    const juce::File cwd("/home/player/sets");
    EXPECT_EQ(MainContentComponent::fileFromCommandLine({"warm.tkp"}, cwd),
              cwd.getChildFile("warm.tkp"));
    EXPECT_EQ(MainContentComponent::fileFromCommandLine({"-psn_0_1", "/tmp/a b.tkp"}, cwd),
              juce::File("/tmp/a b.tkp"));
    EXPECT_EQ(MainContentComponent::fileFromCommandLine({"\"/tmp/quoted.tkp\""}, cwd),
              juce::File("/tmp/quoted.tkp"));
    EXPECT_EQ(MainContentComponent::fileFromCommandLine({}, cwd), juce::File());
    EXPECT_EQ(MainContentComponent::fileFromCommandLine({"--verbose"}, cwd), juce::File());
}

#if !JUCE_WINDOWS
// A name that is not UTF-8, as the program hands its arguments on
// (app/Main.cpp): the file of those bytes opens.
TEST(CommandLine, AFileNameThatIsNotUtf8OpensTheFileOfThoseBytes)
{
    auto* midi = new VirtualMidiServices;
    MainContentComponent editor{std::unique_ptr<MidiServices>(midi)};
    EditorTestProbe probe{editor};
    const juce::TemporaryFile folder;
    ASSERT_TRUE(folder.getFile().createDirectory());
    auto record = ProjectRecord::initial();
    record.parameterValues[23] = 3.9f;
    const auto latin1 = nativefile::bytesOf(folder.getFile().getFullPathName()) + "/Kl\xE4nge.tkp";
    const auto image = projectfile::toImage(record);
    ASSERT_TRUE(
        nativefile::replaceWith(nativefile::fileFromBytes(latin1), image.data(), image.size()));

    editor.openFile(MainContentComponent::fileFromCommandLine({nativefile::textFromBytes(latin1)},
                                                              nativefile::currentFolder()));
    EXPECT_FLOAT_EQ(probe.link().parameterValue(23), 3.9f);
    EXPECT_EQ(probe.messageBox(), nullptr);
    folder.getFile().deleteRecursively();
}
#endif

TEST(CommandLine, AProjectNamedOnTheCommandLineOpensWhileNotConnected)
{
    auto* midi = new VirtualMidiServices;
    MainContentComponent editor{std::unique_ptr<MidiServices>(midi)};
    EditorTestProbe probe{editor};
    juce::TemporaryFile temporary(".tkp");
    auto record = ProjectRecord::initial();
    record.modelIndex = 1;
    record.parameterValues[23] = 3.7f;
    writeProject(temporary.getFile(), record);

    editor.openFile(MainContentComponent::fileFromCommandLine(
        {temporary.getFile().getFullPathName()}, juce::File::getCurrentWorkingDirectory()));
    EXPECT_FLOAT_EQ(probe.link().parameterValue(23), 3.7f);
    EXPECT_EQ(probe.link().modelIndex(), 1);
    EXPECT_DOUBLE_EQ(probe.slider(23)->getValue(), 3.7);
    EXPECT_EQ(probe.messageBox(), nullptr);
}
