// The message boxes of the real content component: one box at a time, the
// results of synchronous and asynchronous boxes, the log line, what the
// editor does with a result, Escape, and how every kind of box is dressed;
// and the editor's pixels on screen once a box or a selector's list closes.
// Modal boxes are answered from a timer, since timers keep running inside
// modal loops.

#include "support/EditorTestProbe.h"
#include "support/GuiTestSupport.h"

#include "ScreenPixels.h"

#include <optional>

#include "link/LinkTypes.h"
#include "ui/EditorLookAndFeel.h"
#include "ui/MessageBoxPresenter.h"
#include "ui/MessageTexts.h"
#include "ui/XEventQueuePump.h"

KESTRA_JUCE_TEST_ENVIRONMENT;

using namespace kestra;

namespace
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
::testing::Environment* const editorLookAndFeelEnvironment =
    ::testing::AddGlobalTestEnvironment(new EditorLookAndFeelEnvironment);

// Collects what is written with juce::Logger.
class LogCapture : public juce::Logger
{
public:
    LogCapture() { juce::Logger::setCurrentLogger(this); }
    ~LogCapture() override { juce::Logger::setCurrentLogger(nullptr); }

    std::vector<juce::String> boxResults() const
    {
        const std::lock_guard<std::mutex> guard(lock);
        std::vector<juce::String> found;
        for (const auto& line : lines)
            if (line.startsWith("messageBoxCallback:"))
                found.push_back(line);
        return found;
    }

    void clear()
    {
        const std::lock_guard<std::mutex> guard(lock);
        lines.clear();
    }

private:
    void logMessage(const juce::String& message) override
    {
        const std::lock_guard<std::mutex> guard(lock);
        lines.push_back(message);
    }

    mutable std::mutex lock;
    std::vector<juce::String> lines;
};

juce::String resultLine(int result)
{
    return "messageBoxCallback: exit with result = " + juce::String(result);
}

// Answers the boxes while the test waits in a modal loop: each step runs
// once, on the first modal box whose message contains its key. A box left
// waiting far too long is ended with -1, so that a broken test fails instead
// of hanging.
class BoxAnswerer : private juce::Timer
{
public:
    using Action = std::function<void(CustomAlertWindow&)>;

    BoxAnswerer() { startTimer(5); }
    ~BoxAnswerer() override { stopTimer(); }

    void on(const juce::String& key, Action action)
    {
        steps.push_back({key, std::move(action), false});
    }

private:
    struct Step
    {
        juce::String key;
        Action action;
        bool done;
    };

    void timerCallback() override
    {
        auto* box = dynamic_cast<CustomAlertWindow*>(juce::Component::getCurrentlyModalComponent());
        if (box == nullptr)
        {
            waiting = nullptr;
            return;
        }
        for (auto& step : steps)
            if (!step.done && box->getDescription().contains(step.key))
            {
                step.done = true; // before the action, which may wait in a box of its own
                step.action(*box);
                return;
            }

        if (waiting != box)
        {
            waiting = box;
            since = juce::Time::getMillisecondCounter();
        }
        else if (juce::Time::getMillisecondCounter() - since > 60000)
        {
            ADD_FAILURE() << "a box was left waiting: " << box->getDescription();
            box->exitModalState(-1);
        }
    }

    std::vector<Step> steps;
    juce::Component::SafePointer<CustomAlertWindow> waiting;
    juce::uint32 since = 0;
};

std::vector<CustomAlertWindow*> boxesOnScreen()
{
    std::vector<CustomAlertWindow*> boxes;
    auto& desktop = juce::Desktop::getInstance();
    for (int i = 0; i < desktop.getNumComponents(); ++i)
        if (auto* box = dynamic_cast<CustomAlertWindow*>(desktop.getComponent(i)))
            boxes.push_back(box);
    return boxes;
}

std::vector<juce::TextButton*> buttonsOf(CustomAlertWindow& box)
{
    std::vector<juce::TextButton*> buttons;
    for (auto* child : box.getChildren())
        if (auto* button = dynamic_cast<juce::TextButton*>(child))
            buttons.push_back(button);
    return buttons;
}

// Runs the message loop until everything posted so far has been delivered,
// the results of closed boxes included.
void settle()
{
    auto delivered = std::make_shared<std::atomic<bool>>(false);
    juce::MessageManager::callAsync([delivered] { *delivered = true; });
    ASSERT_TRUE(kestra::testing::pumpUntil([&] { return delivered->load(); }));
}

void pressEscape(CustomAlertWindow& box)
{
    auto* peer = box.getPeer();
    ASSERT_NE(peer, nullptr);
    peer->handleKeyPress(juce::KeyPress(juce::KeyPress::escapeKey));
}

struct MessageBoxes : ::testing::Test
{
    LogCapture log;
    VirtualMidiServices* midi = new VirtualMidiServices;
    MainContentComponent editor{std::unique_ptr<MidiServices>(midi)};
    EditorTestProbe probe{editor};
    BoxAnswerer answerer;

    void TearDown() override
    {
        editor.closeMessageBox();
        // Deliver what closed boxes still have to report, in this test.
        settle();
    }

    int show(const juce::String& message, const juce::String& b1, int v1, const juce::String& b2,
             int v2, const juce::String& b3, int v3,
             MainContentComponent::MessageBoxCallback callback = nullptr)
    {
        return editor.showMessageBox(texts::boxTitle, message, b1, v1, b2, v2, b3, v3, callback);
    }

    int showOk(const juce::String& message) { return show(message, texts::ok, 1, {}, 2, {}, 3); }

    // The searching box, asynchronous, as the connect command shows it.
    void showSearching()
    {
        show(texts::searching, texts::cancel, 1, {}, 0, {}, 0, messageBoxCallback);
    }

    bool logged(size_t count)
    {
        return kestra::testing::pumpUntil([&] { return log.boxResults().size() >= count; });
    }

    // The state that a cancelled search takes away: a connection, its
    // button lit, the search and heartbeat timers running.
    void pretendConnecting()
    {
        probe.pretendConnected(true);
        probe.deviceLabel().setText("Kestra", juce::dontSendNotification);
        probe.connectButton().setToggleState(true, juce::dontSendNotification);
        probe.connectButton().setState(juce::Button::buttonDown);
        for (const int timer : {PortScanTimer, DumpTimeoutTimer, HeartbeatTimer})
            probe.startTimer(timer, 600000);
    }

    void expectStillConnecting()
    {
        EXPECT_TRUE(probe.supervisor().isConnected());
        EXPECT_EQ(probe.deviceLabel().getText(), "Kestra");
        EXPECT_TRUE(probe.connectButton().getToggleState());
        EXPECT_EQ(probe.connectButton().getState(), juce::Button::buttonDown);
        for (const int timer : {PortScanTimer, DumpTimeoutTimer, HeartbeatTimer})
            EXPECT_TRUE(probe.isTimerRunning(timer)) << timer;
    }
};
} // namespace

// ---- synchronous boxes ------------------------------------------------------------------------

TEST_F(MessageBoxes, ASynchronousBoxReturnsTheValueOfThePressedButton)
{
    struct Case
    {
        const char* message;
        const char *b1, *b2, *b3;
        int v1, v2, v3;
        const char* pressed;
        int result;
    };
    const Case cases[] = {
        {texts::storeConfirmed, texts::ok, "", "", 1, 2, 3, texts::ok, 1},
        {texts::resetQuestion, texts::yes, texts::no, "", 1, 0, 3, texts::yes, 1},
        {texts::resetQuestion, texts::yes, texts::no, "", 1, 0, 3, texts::no, 0},
        {"  Three  ", "One", "Two", "Three", 11, 12, 13, "Three", 13},
    };

    for (const auto& c : cases)
    {
        answerer.on(c.message, [&](CustomAlertWindow& box) { box.triggerButtonClick(c.pressed); });
        EXPECT_EQ(show(c.message, c.b1, c.v1, c.b2, c.v2, c.b3, c.v3), c.result) << c.pressed;
        EXPECT_EQ(probe.messageBox(), nullptr);
        EXPECT_TRUE(boxesOnScreen().empty());
    }
    EXPECT_TRUE(log.boxResults().empty()) << "synchronous boxes write no log line";
}

TEST_F(MessageBoxes, AWaitingSynchronousBoxReturnsZeroWhenAnotherBoxReplacesIt)
{
    int secondResult = -1;
    size_t boxesWhileSecondWaits = 0;
    answerer.on("first", [&](CustomAlertWindow&) { secondResult = showOk("  second  "); });
    answerer.on("second",
                [&](CustomAlertWindow& box)
                {
                    boxesWhileSecondWaits = boxesOnScreen().size();
                    box.triggerButtonClick(texts::ok);
                });

    // For the tonewheel confirmation a 0 counts as "No".
    EXPECT_EQ(show("  first  ", texts::yes, 1, texts::no, 0, {}, 3), 0);
    EXPECT_EQ(secondResult, 1);
    EXPECT_EQ(boxesWhileSecondWaits, 1u);
    EXPECT_EQ(probe.messageBox(), nullptr);
    EXPECT_TRUE(boxesOnScreen().empty());
}

TEST_F(MessageBoxes, AnAsynchronousBoxThatReplacesAWaitingOneStaysOpen)
{
    answerer.on("first", [&](CustomAlertWindow&) { showSearching(); });

    EXPECT_EQ(showOk("  first  "), 0);

    auto* box = probe.messageBox();
    ASSERT_NE(box, nullptr);
    EXPECT_TRUE(box->getDescription().contains(texts::searching));
    EXPECT_TRUE(box->isCurrentlyModal());
    EXPECT_EQ(boxesOnScreen().size(), 1u);
}

TEST_F(MessageBoxes, ABoxClosedByTheEditorReturnsZero)
{
    answerer.on(texts::transmittingParameters,
                [&](CustomAlertWindow&) { editor.closeMessageBox(); });
    EXPECT_EQ(show(texts::transmittingParameters, {}, 3, {}, 0, {}, 0), 0);
    EXPECT_EQ(probe.messageBox(), nullptr);
}

// ---- asynchronous boxes -------------------------------------------------------------------------

TEST_F(MessageBoxes, AnAsynchronousBoxReturnsAtOnceAndStaysOpen)
{
    EXPECT_EQ(show(texts::searching, texts::cancel, 1, {}, 0, {}, 0, messageBoxCallback), 0);
    auto* box = probe.messageBox();
    ASSERT_NE(box, nullptr);
    EXPECT_TRUE(box->isCurrentlyModal());
    EXPECT_TRUE(box->isVisible());
    settle();
    EXPECT_TRUE(log.boxResults().empty());
}

TEST_F(MessageBoxes, CancellingTheSearchStopsItAndShowsTheEditorNotConnected)
{
    pretendConnecting();
    showSearching();
    probe.messageBox()->triggerButtonClick(texts::cancel);

    ASSERT_TRUE(logged(1));
    EXPECT_EQ(log.boxResults(), std::vector<juce::String>{resultLine(1)});
    EXPECT_EQ(probe.messageBox(), nullptr);
    EXPECT_TRUE(boxesOnScreen().empty());
    EXPECT_FALSE(probe.isTimerRunning(PortScanTimer));
    EXPECT_FALSE(probe.isTimerRunning(DumpTimeoutTimer));
    EXPECT_FALSE(probe.connectButton().getToggleState());
    EXPECT_EQ(probe.connectButton().getState(), juce::Button::buttonNormal);
    EXPECT_FALSE(probe.supervisor().isConnected());
    EXPECT_TRUE(probe.deviceLabel().getText().isEmpty());
}

TEST_F(MessageBoxes, AnAsynchronousBoxEndedByTheEditorLogsZeroAndNothingMore)
{
    struct Case
    {
        const char* how;
        std::function<void(MessageBoxes&)> end;
        bool replaced;
    };
    const Case cases[] = {
        {"closed", [](MessageBoxes& t) { t.editor.closeMessageBox(); }, false},
        {"replaced", [](MessageBoxes& t) { t.showSearching(); }, true},
        // The user's "Cancel" has not been delivered yet when the editor
        // replaces the box: the editor's end wins.
        {"replaced after a press",
         [](MessageBoxes& t)
         {
             t.probe.messageBox()->exitModalState(1);
             t.showSearching();
         },
         true},
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.how);
        LogCapture caseLog;
        pretendConnecting();
        showSearching();
        // A new box may well be built at the address of the old one.
        const juce::Component::SafePointer<CustomAlertWindow> first(probe.messageBox());

        c.end(*this);

        ASSERT_TRUE(kestra::testing::pumpUntil([&] { return !caseLog.boxResults().empty(); }));
        EXPECT_EQ(caseLog.boxResults(), std::vector<juce::String>{resultLine(0)});
        expectStillConnecting();
        EXPECT_EQ(first.getComponent(), nullptr) << "the first box is destroyed";
        if (c.replaced)
        {
            ASSERT_NE(probe.messageBox(), nullptr);
            EXPECT_TRUE(probe.messageBox()->isCurrentlyModal());
            EXPECT_EQ(boxesOnScreen().size(), 1u);
        }
        else
        {
            EXPECT_EQ(probe.messageBox(), nullptr);
            EXPECT_TRUE(boxesOnScreen().empty());
        }
        editor.closeMessageBox();
        settle();
    }
}

// Whatever the result does, a dismissed box is gone afterwards, and only once.
TEST_F(MessageBoxes, ADismissedAsynchronousBoxIsDestroyedAfterItsResult)
{
    struct Case
    {
        const char* message;
        int value;
    };
    const Case cases[] = {
        {texts::transmittingTonewheel, 2}, // cancel a transfer that has already ended
        {"  Three  ", 3},                  // the result closes the box itself
        {"  Seven  ", 7},                  // no reaction at all
        {"  Zero  ", 0},
    };

    size_t lines = 0;
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.message);
        show(c.message, texts::cancel, c.value, {}, 0, {}, 0, messageBoxCallback);
        probe.messageBox()->triggerButtonClick(texts::cancel);

        ASSERT_TRUE(logged(++lines));
        EXPECT_EQ(log.boxResults().back(), resultLine(c.value));
        EXPECT_EQ(probe.messageBox(), nullptr);
        EXPECT_TRUE(boxesOnScreen().empty());
    }
}

// ---- what a box looks like and what it ignores
// ----------------------------------------------------

TEST_F(MessageBoxes, EveryKindOfBoxIsDressedAlike)
{
    struct Case
    {
        const char* message;
        const char *b1, *b2, *b3;
        std::vector<juce::String> buttons;
    };
    const Case cases[] = {
        {texts::storeConfirmed, texts::ok, "", "", {"OK"}},
        {texts::resetQuestion, texts::yes, texts::no, "", {"Yes", "No"}},
        {texts::searching, texts::cancel, "", "", {"Cancel"}},
        {texts::transmittingParameters, "", "", "", {}},
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.message);
        bool checked = false;
        answerer.on(c.message,
                    [&](CustomAlertWindow& box)
                    {
                        checked = true;
                        EXPECT_EQ(box.getName(), "Kestra Editor");
                        EXPECT_TRUE(box.getDescription().endsWith(c.message));
                        EXPECT_EQ(box.getAlertType(), juce::MessageBoxIconType::NoIcon);
                        EXPECT_FALSE(box.isOpaque());

                        auto* lookAndFeel = dynamic_cast<AWLookAndFeel*>(&box.getLookAndFeel());
                        ASSERT_NE(lookAndFeel, nullptr);
                        const auto font = lookAndFeel->getAlertWindowMessageFont();
                        EXPECT_EQ(font.getTypefaceName(), "Arial");
                        EXPECT_FLOAT_EQ(font.getHeight(), 20.0f);
                        EXPECT_FALSE(font.isBold());

                        EXPECT_EQ(box.findColour(juce::AlertWindow::backgroundColourId),
                                  juce::Colour(0xF8FFFFFF));
                        EXPECT_EQ(box.findColour(juce::AlertWindow::textColourId),
                                  juce::Colour(0xFF000000));
                        EXPECT_EQ(box.findColour(juce::AlertWindow::outlineColourId),
                                  juce::Colour(0xFF000000));

                        EXPECT_EQ(box.getNumButtons(), static_cast<int>(c.buttons.size()));
                        std::vector<juce::String> texts;
                        for (auto* button : buttonsOf(box))
                        {
                            texts.push_back(button->getButtonText());
                            EXPECT_EQ(button->getHeight(), 28);
                            EXPECT_TRUE(button->isVisible());
                            EXPECT_FLOAT_EQ(lookAndFeel->getTextButtonFont(*button, 28).getHeight(),
                                            16.0f);
                            EXPECT_EQ(button->findColour(juce::TextButton::buttonColourId),
                                      juce::Colour(0xFFE2E2E2));
                            EXPECT_EQ(button->findColour(juce::TextButton::textColourOffId),
                                      juce::Colour(0xFF000000));
                            EXPECT_TRUE(box.getLocalBounds().contains(button->getBounds()));
                        }
                        EXPECT_EQ(texts, c.buttons);

                        const auto image = box.createComponentSnapshot(box.getLocalBounds());
                        EXPECT_EQ(image.getPixelAt(0, 0), juce::Colour(0xFF000000));
                        EXPECT_EQ(image.getPixelAt(box.getWidth() - 1, box.getHeight() - 1),
                                  juce::Colour(0xFF000000));

                        editor.closeMessageBox();
                    });
        EXPECT_EQ(show(c.message, c.b1, 1, c.b2, 0, c.b3, 3), 0);
        EXPECT_TRUE(checked);
    }
}

TEST_F(MessageBoxes, EscapeClosesNoBox)
{
    // A synchronous box: after Escape it still waits, and its button still counts.
    bool modalAfterEscape = false;
    answerer.on(texts::resetConfirmed,
                [&](CustomAlertWindow& box)
                {
                    pressEscape(box);
                    modalAfterEscape = box.isCurrentlyModal() && probe.messageBox() == &box;
                    box.triggerButtonClick(texts::ok);
                });
    EXPECT_EQ(showOk(texts::resetConfirmed), 1);
    EXPECT_TRUE(modalAfterEscape);

    // Asynchronous boxes, with a button and without.
    for (const auto& button : {juce::String(texts::cancel), juce::String()})
    {
        SCOPED_TRACE(button);
        show(texts::searching, button, 1, {}, 0, {}, 0, messageBoxCallback);
        auto* box = probe.messageBox();
        pressEscape(*box);
        EXPECT_FALSE(static_cast<juce::Component&>(*box).keyPressed(
            juce::KeyPress(juce::KeyPress::escapeKey)));
        settle();
        EXPECT_EQ(probe.messageBox(), box);
        EXPECT_TRUE(box->isCurrentlyModal());
        EXPECT_TRUE(log.boxResults().empty());
        editor.closeMessageBox();
        ASSERT_TRUE(logged(1));
        EXPECT_EQ(log.boxResults(), std::vector<juce::String>{resultLine(0)});
        settle();
        log.clear();
    }
}

TEST_F(MessageBoxes, ABoxWithThreeEmptyButtonTextsShowsNoButton)
{
    for (const int value : {0, 1, 3})
    {
        size_t buttons = 99;
        answerer.on(texts::transmittingParameters,
                    [&](CustomAlertWindow& box)
                    {
                        buttons = buttonsOf(box).size();
                        EXPECT_EQ(box.getNumButtons(), 0);
                        editor.closeMessageBox();
                    });
        EXPECT_EQ(show(texts::transmittingParameters, {}, value, {}, value, {}, value), 0);
        EXPECT_EQ(buttons, 0u) << value;
    }
}

TEST_F(MessageBoxes, OpeningABoxClosesTheOneBefore)
{
    showSearching();
    show(texts::transmittingTonewheel, texts::cancel, 2, {}, 0, {}, 0, messageBoxCallback);
    show(texts::transmittingParameters, {}, 3, {}, 0, {}, 0, messageBoxCallback);

    const auto boxes = boxesOnScreen();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes.front(), probe.messageBox());
    EXPECT_TRUE(boxes.front()->getDescription().contains(texts::transmittingParameters));

    ASSERT_TRUE(logged(2));
    EXPECT_EQ(log.boxResults(), (std::vector<juce::String>{resultLine(0), resultLine(0)}));
}

// ---- the area a box or a list uncovers ---------------------------------------------------------

namespace
{
// The window's area of the screen: what the X server shows there, the
// pixels of other windows and stale ones included.
juce::Image onScreen(juce::Component& window)
{
    return kestra::testing::screenPixels(window.getScreenBounds());
}

struct Difference
{
    int pixels = 0;
    juce::Rectangle<int> area;
};

// The same colour, give or take the rounding of an edge drawn in another
// clip (a corner may differ by a level or two).
bool looksAlike(juce::Colour a, juce::Colour b)
{
    const auto near = [](juce::uint8 x, juce::uint8 y) { return std::abs(x - y) <= 8; };
    return near(a.getRed(), b.getRed()) && near(a.getGreen(), b.getGreen()) &&
           near(a.getBlue(), b.getBlue());
}

// The pixels that differ, and the area they cover.
Difference differenceOf(const juce::Image& a, const juce::Image& b)
{
    Difference d;
    if (a.getBounds() != b.getBounds())
        return {a.getWidth() * a.getHeight(), a.getBounds()};
    for (int y = 0; y < a.getHeight(); ++y)
        for (int x = 0; x < a.getWidth(); ++x)
            if (!looksAlike(a.getPixelAt(x, y), b.getPixelAt(x, y)))
            {
                ++d.pixels;
                d.area = d.area.isEmpty() ? juce::Rectangle<int>(x, y, 1, 1)
                                          : d.area.getUnion({x, y, 1, 1});
            }
    return d;
}
} // namespace

// Under X without a compositor (Xvfb here) the area a closed box uncovered
// kept the box's picture until something else was drawn there: Xlib held back
// the Expose events that ask for it to be drawn again (ui/XEventQueuePump.h).
// Once a box or a list has closed, no event may stay held back, and the area
// must show what a window that never had a box shows.
TEST(UncoveredArea, IsDrawnAgainAsSoonAsABoxOrASelectorsListCloses)
{
    const auto pump = XEventQueuePump::whereNeeded();
    MainContentComponent editor{std::make_unique<VirtualMidiServices>()};
    EditorTestProbe probe{editor};
    MessageBoxPresenter boxes;
    editor.addToDesktop(0);
    editor.setVisible(true);

    struct Case
    {
        const char* what;
        int page;
        std::function<void()> open;
        std::function<bool()> isOpen;
        std::function<void()> close;
    };
    const Case cases[] = {
        {"the searching box over the Click rows", 0,
         [&] {
             boxes.show(texts::boxTitle, texts::searching, texts::cancel, 1, {}, 0, {}, 0,
                        [](int) {});
         },
         [&] { return boxes.current() != nullptr && boxes.current()->isShowing(); },
         [&] { boxes.close(); }},
        {"the list of USB MIDI Mode over the rows below it", 5,
         [&] { probe.selector(86)->showPopup(); },
         [&] { return probe.selector(86)->isPopupActive(); },
         [&] { juce::PopupMenu::dismissAllActiveMenus(); }},
    };
    // The test programs that run beside this one share the display: a window
    // of theirs over the editor spoils a picture, and the case starts again.
    const auto shot = [&]() -> std::optional<juce::Image>
    {
        if (!kestra::testing::pumpUntil([&] { return !kestra::testing::otherProgramsOver(editor); },
                                        std::chrono::seconds(20)))
            return std::nullopt;
        auto image = onScreen(editor);
        if (!image.isValid() || kestra::testing::otherProgramsOver(editor))
            return std::nullopt;
        return image;
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.what);
        bool compared = false;
        for (int attempt = 0; attempt < 5 && !compared; ++attempt)
        {
            probe.pageButton(c.page).setToggleState(true, juce::sendNotificationSync);
            kestra::testing::pumpFor(std::chrono::milliseconds(300));
            if (!onScreen(editor).isValid())
                GTEST_SKIP() << "no X display: nothing is held back elsewhere";
            const auto before = shot();

            c.open();
            ASSERT_TRUE(kestra::testing::pumpUntil(c.isOpen));
            kestra::testing::pumpFor(std::chrono::milliseconds(300));
            const auto covered = shot();

            // Once closed, the screen shows what the window paints when drawn
            // whole (the selector itself may look other than before: it has
            // the keyboard focus now).
            c.close();
            kestra::testing::pumpFor(std::chrono::milliseconds(300));
            EXPECT_TRUE(
                kestra::testing::pumpUntil([] { return XEventQueuePump::heldEvents() == 0; }))
                << "Xlib still holds back events, the uncovered area's Expose among them";
            const auto after = shot();
            editor.repaint();
            kestra::testing::pumpFor(std::chrono::milliseconds(300));
            const auto reference = shot();
            if (!before || !covered || !after || !reference)
                continue;

            compared = true;
            EXPECT_GT(differenceOf(*before, *covered).pixels, 0) << "not over the editor";
            const auto left = differenceOf(*reference, *after);
            EXPECT_EQ(left.pixels, 0) << "still painted over: " << left.area.toString();
        }
        EXPECT_TRUE(compared) << "windows of other programs kept lying over the editor";
    }
    editor.removeFromDesktop();
}
