// The editor's boxes as the window shows them (JuceDialogs): one box at a
// time, answers through callbacks and never before the box has gone, the log
// line, progress handles, Escape, the keyboard focus, how every kind of box is
// dressed, the searching box's Cancel in the real editor, and the editor's
// pixels on screen once a box or a selector's list closes.

#include "support/EditorTestProbe.h"
#include "support/GuiTestSupport.h"
#include "support/LookAndFeelEnvironment.h"

#include "ScreenPixels.h"

#include "editor/MessageTexts.h"
#include "link/LinkTypes.h"
#include "ui/EditorLookAndFeel.h"
#include "ui/JuceDialogs.h"
#include "ui/XEventQueuePump.h"

#include <optional>

KESTRA_JUCE_TEST_ENVIRONMENT;
KESTRA_EDITOR_LOOK_AND_FEEL_ENVIRONMENT;

using namespace kestra;
using kestra::testing::pumpUntil;

namespace
{
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

std::vector<CustomAlertWindow*> boxesOnScreen()
{
    std::vector<CustomAlertWindow*> boxes;
    auto& desktop = juce::Desktop::getInstance();
    for (int i = 0; i < desktop.getNumComponents(); ++i)
        if (auto* box = dynamic_cast<CustomAlertWindow*>(desktop.getComponent(i)))
            boxes.push_back(box);
    return boxes;
}

template <typename Child> std::vector<Child*> childrenOf(juce::Component& box)
{
    std::vector<Child*> found;
    for (auto* child : box.getChildren())
        if (auto* c = dynamic_cast<Child*>(child))
            found.push_back(c);
    return found;
}

// Runs the message loop until everything posted so far has been delivered,
// the answers of closed boxes included.
void settle()
{
    auto delivered = std::make_shared<std::atomic<bool>>(false);
    juce::MessageManager::callAsync([delivered] { *delivered = true; });
    ASSERT_TRUE(pumpUntil([&] { return delivered->load(); }));
    kestra::testing::pumpFor(std::chrono::milliseconds(20));
}

void pressKey(juce::Component& box, int keyCode)
{
    auto* peer = box.getPeer();
    ASSERT_NE(peer, nullptr);
    peer->handleKeyPress(juce::KeyPress(keyCode));
}

struct MessageBoxes : ::testing::Test
{
    LogCapture log;
    std::unique_ptr<JuceDialogs> dialogs = std::make_unique<JuceDialogs>();
    std::vector<int> answers;

    void TearDown() override
    {
        dialogs.reset();
        settle();
    }

    CustomAlertWindow& box() const
    {
        auto* open = dialogs->current();
        if (open == nullptr)
            std::abort();
        return *open;
    }

    void askYesNo(int focused = -1)
    {
        dialogs->ask(texts::resetQuestion, {texts::yes, texts::no}, focused,
                     [this](int button) { answers.push_back(button); });
    }
};
} // namespace

// ---- answers --------------------------------------------------------------------------------

TEST_F(MessageBoxes, ANoticeStaysUntilOKThenRunsWhatFollowsIt)
{
    bool followed = false;
    dialogs->notice(texts::storeConfirmed, [&] { followed = true; });
    EXPECT_TRUE(box().isCurrentlyModal());
    EXPECT_TRUE(box().isVisible());
    settle();
    EXPECT_FALSE(followed);

    box().triggerButtonClick(texts::ok);
    ASSERT_TRUE(pumpUntil([&] { return followed; }));
    EXPECT_EQ(dialogs->current(), nullptr);
    EXPECT_TRUE(boxesOnScreen().empty());
    EXPECT_EQ(log.boxResults(), std::vector<juce::String>{resultLine(1)});
}

TEST_F(MessageBoxes, AQuestionAnswersWithTheButtonPressedAndOnlyOnce)
{
    const struct
    {
        std::vector<std::string> buttons;
        const char* pressed;
        int answer;
    } cases[] = {
        {{texts::yes, texts::no}, texts::yes, 0},
        {{texts::yes, texts::no}, texts::no, 1},
        {{"One", "Two", "Three"}, "Three", 2},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.pressed);
        answers.clear();
        dialogs->ask("  Which?  ", c.buttons, -1, [this](int b) { answers.push_back(b); });
        EXPECT_EQ(childrenOf<juce::TextButton>(box()).size(), c.buttons.size());
        box().triggerButtonClick(c.pressed);
        ASSERT_TRUE(pumpUntil([&] { return !answers.empty(); }));
        settle();
        EXPECT_EQ(answers, std::vector<int>{c.answer});
        EXPECT_EQ(dialogs->current(), nullptr);
    }
}

TEST_F(MessageBoxes, ABoxClosedOrReplacedAnswersClosedAMomentLater)
{
    const struct
    {
        const char* how;
        std::function<void(MessageBoxes&)> end;
        bool replaced;
    } cases[] = {
        {"closed", [](MessageBoxes& t) { t.dialogs->close(); }, false},
        {"replaced", [](MessageBoxes& t) { t.dialogs->notice(texts::connectionLost); }, true},
        // The user's press has not been delivered yet when the editor replaces
        // the box: the editor's end wins.
        {"replaced after a press",
         [](MessageBoxes& t)
         {
             t.box().exitModalState(1);
             t.dialogs->notice(texts::connectionLost);
         },
         true},
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.how);
        LogCapture caseLog;
        answers.clear();
        askYesNo();
        const juce::Component::SafePointer<CustomAlertWindow> first(dialogs->current());

        c.end(*this);
        EXPECT_TRUE(answers.empty()) << "not while the editor is still closing it";
        EXPECT_EQ(first.getComponent(), nullptr) << "the first box is destroyed at once";

        settle();
        EXPECT_EQ(answers, std::vector<int>{Dialogs::closed});
        EXPECT_EQ(caseLog.boxResults().front(), resultLine(0));
        if (c.replaced)
        {
            ASSERT_NE(dialogs->current(), nullptr);
            EXPECT_TRUE(box().isCurrentlyModal());
            EXPECT_EQ(boxesOnScreen().size(), 1u);
        }
        else
        {
            EXPECT_EQ(dialogs->current(), nullptr);
            EXPECT_TRUE(boxesOnScreen().empty());
        }
        dialogs->close();
        settle();
    }
}

TEST_F(MessageBoxes, ClosingWithTheEditorAnswersNothing)
{
    bool followed = false;
    askYesNo();
    dialogs->notice(texts::storeConfirmed, [&] { followed = true; }); // replaces the question
    dialogs.reset();
    settle();
    EXPECT_TRUE(answers.empty());
    EXPECT_FALSE(followed);
    EXPECT_TRUE(boxesOnScreen().empty());
}

// ---- progress -------------------------------------------------------------------------------

TEST_F(MessageBoxes, AProgressBoxShowsTextAndBarAndClosesWithItsHandle)
{
    int cancels = 0;
    auto handle = dialogs->progress(texts::transmittingTonewheel, [&] { ++cancels; });
    EXPECT_TRUE(handle->isShown());
    EXPECT_EQ(childrenOf<juce::TextButton>(box()).size(), 1u);
    EXPECT_TRUE(childrenOf<juce::ProgressBar>(box()).empty()) << "no bar until one is set";

    handle->setProgress(0.25);
    handle->setProgress(0.5);
    handle->setText(std::string(texts::transmittingTonewheel) + "196");
    EXPECT_EQ(childrenOf<juce::ProgressBar>(box()).size(), 1u);
    EXPECT_TRUE(
        box().getDescription().endsWith(juce::String(texts::transmittingTonewheel) + "196"));

    handle->close();
    EXPECT_FALSE(handle->isShown());
    EXPECT_EQ(dialogs->current(), nullptr);
    settle();
    EXPECT_EQ(cancels, 0);

    // Destroying the handle closes its box too.
    handle = dialogs->progress(texts::transmittingParameters, nullptr);
    EXPECT_TRUE(childrenOf<juce::TextButton>(box()).empty());
    handle.reset();
    EXPECT_EQ(dialogs->current(), nullptr);
}

TEST_F(MessageBoxes, CancelEndsTheProgressBoxThenCallsItsCancel)
{
    bool shownAtCancel = true;
    std::unique_ptr<Dialogs::Progress> handle;
    handle = dialogs->progress(texts::searching, [&] { shownAtCancel = handle->isShown(); });
    box().triggerButtonClick(texts::cancel);
    ASSERT_TRUE(pumpUntil([&] { return dialogs->current() == nullptr; }));
    settle();
    EXPECT_FALSE(shownAtCancel);
    EXPECT_EQ(log.boxResults(), std::vector<juce::String>{resultLine(1)});
}

TEST_F(MessageBoxes, AReplacedProgressHandleChangesNothing)
{
    int cancels = 0;
    auto handle = dialogs->progress(texts::transmittingTonewheel, [&] { ++cancels; });
    dialogs->notice(texts::connectionLost);
    auto& lost = box();

    EXPECT_FALSE(handle->isShown());
    handle->setText("  changed  ");
    handle->setProgress(0.5);
    handle->close();
    handle.reset();
    EXPECT_EQ(dialogs->current(), &lost);
    EXPECT_TRUE(lost.getDescription().endsWith(texts::connectionLost));
    EXPECT_TRUE(childrenOf<juce::ProgressBar>(lost).empty());
    settle();
    EXPECT_EQ(cancels, 0);
}

// ---- what a box looks like and what it ignores ------------------------------------------------

TEST_F(MessageBoxes, EveryKindOfBoxIsDressedAlike)
{
    const struct
    {
        const char* message;
        std::function<void(JuceDialogs&)> open;
        std::vector<juce::String> buttons;
    } cases[] = {
        {texts::storeConfirmed, [](JuceDialogs& d) { d.notice(texts::storeConfirmed); }, {"OK"}},
        {texts::resetQuestion,
         [](JuceDialogs& d) {
             d.ask(texts::resetQuestion, {texts::yes, texts::no}, 1, {});
         },
         {"Yes", "No"}},
        {texts::searching,
         [](JuceDialogs& d) { d.progress(texts::searching, [] {}).release(); },
         {"Cancel"}},
        {texts::transmittingParameters,
         [](JuceDialogs& d) { d.progress(texts::transmittingParameters, nullptr).release(); },
         {}},
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.message);
        c.open(*dialogs);
        auto& shown = box();
        EXPECT_EQ(shown.getName(), "Kestra Editor");
        EXPECT_TRUE(shown.getDescription().endsWith(c.message));
        EXPECT_EQ(shown.getAlertType(), juce::MessageBoxIconType::NoIcon);
        EXPECT_FALSE(shown.isOpaque());

        auto* lookAndFeel = dynamic_cast<AWLookAndFeel*>(&shown.getLookAndFeel());
        ASSERT_NE(lookAndFeel, nullptr);
        const auto font = lookAndFeel->getAlertWindowMessageFont();
        EXPECT_EQ(font.getTypefaceName(), "Arial");
        EXPECT_FLOAT_EQ(font.getHeight(), 20.0f);
        EXPECT_FALSE(font.isBold());

        EXPECT_EQ(shown.findColour(juce::AlertWindow::backgroundColourId),
                  juce::Colour(0xF8FFFFFF));
        EXPECT_EQ(shown.findColour(juce::AlertWindow::textColourId), juce::Colour(0xFF000000));
        EXPECT_EQ(shown.findColour(juce::AlertWindow::outlineColourId), juce::Colour(0xFF000000));

        EXPECT_EQ(shown.getNumButtons(), static_cast<int>(c.buttons.size()));
        std::vector<juce::String> texts;
        for (auto* button : childrenOf<juce::TextButton>(shown))
        {
            texts.push_back(button->getButtonText());
            EXPECT_EQ(button->getHeight(), 28);
            EXPECT_TRUE(button->isVisible());
            EXPECT_FLOAT_EQ(lookAndFeel->getTextButtonFont(*button, 28).getHeight(), 16.0f);
            EXPECT_EQ(button->findColour(juce::TextButton::buttonColourId),
                      juce::Colour(0xFFE2E2E2));
            EXPECT_EQ(button->findColour(juce::TextButton::textColourOffId),
                      juce::Colour(0xFF000000));
            EXPECT_TRUE(shown.getLocalBounds().contains(button->getBounds()));
        }
        EXPECT_EQ(texts, c.buttons);

        const auto image = shown.createComponentSnapshot(shown.getLocalBounds());
        EXPECT_EQ(image.getPixelAt(0, 0), juce::Colour(0xFF000000));
        EXPECT_EQ(image.getPixelAt(shown.getWidth() - 1, shown.getHeight() - 1),
                  juce::Colour(0xFF000000));
        dialogs->close();
    }
}

// A box with "No" or "Cancel" answers Escape with it (tests/AccessibilityTests.cpp).
TEST_F(MessageBoxes, EscapeClosesNoBoxWithoutNoOrCancel)
{
    const struct
    {
        const char* kind;
        std::function<void(MessageBoxes&)> open;
    } cases[] = {
        {"notice", [](MessageBoxes& t) { t.dialogs->notice(texts::resetConfirmed); }},
        {"progress without a button", [](MessageBoxes& t)
         { t.dialogs->progress(texts::transmittingParameters, nullptr).release(); }},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.kind);
        LogCapture caseLog;
        answers.clear();
        c.open(*this);
        auto* shown = dialogs->current();
        pressKey(*shown, juce::KeyPress::escapeKey);
        EXPECT_FALSE(static_cast<juce::Component&>(*shown).keyPressed(
            juce::KeyPress(juce::KeyPress::escapeKey)));
        settle();
        EXPECT_EQ(dialogs->current(), shown);
        EXPECT_TRUE(shown->isCurrentlyModal());
        EXPECT_TRUE(caseLog.boxResults().empty());
        EXPECT_TRUE(answers.empty());
        dialogs->close();
        settle();
    }
}

// Return presses the button with the keyboard focus: a destructive question
// starts on "No", so that Return cannot answer it with "Yes".
TEST_F(MessageBoxes, TheKeyboardFocusStartsOnTheButtonAskedFor)
{
    for (const int focus : {1, 0})
    {
        SCOPED_TRACE(focus);
        answers.clear();
        askYesNo(focus);
        auto* focused =
            dynamic_cast<juce::TextButton*>(juce::Component::getCurrentlyFocusedComponent());
        ASSERT_NE(focused, nullptr);
        EXPECT_EQ(focused->getButtonText(), focus == 1 ? texts::no : texts::yes);
        EXPECT_EQ(focused->getParentComponent(), dialogs->current());

        pressKey(box(), juce::KeyPress::returnKey);
        ASSERT_TRUE(pumpUntil([&] { return !answers.empty(); }));
        EXPECT_EQ(answers, std::vector<int>{focus});
    }
}

TEST_F(MessageBoxes, OpeningABoxClosesTheOneBefore)
{
    auto searching = dialogs->progress(texts::searching, [] {});
    auto transfer = dialogs->progress(texts::transmittingTonewheel, [] {});
    auto parameters = dialogs->progress(texts::transmittingParameters, nullptr);

    const auto boxes = boxesOnScreen();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes.front(), dialogs->current());
    EXPECT_TRUE(boxes.front()->getDescription().contains(texts::transmittingParameters));
    EXPECT_FALSE(searching->isShown());
    EXPECT_FALSE(transfer->isShown());
    EXPECT_TRUE(parameters->isShown());

    ASSERT_TRUE(pumpUntil([&] { return log.boxResults().size() >= 2; }));
    EXPECT_EQ(log.boxResults(), (std::vector<juce::String>{resultLine(0), resultLine(0)}));
}

// ---- the editor's searching box ---------------------------------------------------------------

TEST(SearchingBox, CancelStopsTheSearchAndShowsTheEditorNotConnected)
{
    auto* midi = new VirtualMidiServices;
    // A pair that never answers: the search waits on it.
    RecordingDevice silent(*midi, "Silent");
    MainContentComponent editor{std::unique_ptr<MidiServices>(midi)};
    EditorTestProbe probe(editor);

    kestra::testing::click(probe.connectButton());
    ASSERT_TRUE(pumpUntil([&] { return probe.messageBox() != nullptr; }));
    EXPECT_TRUE(probe.messageBox()->getDescription().endsWith(texts::searching));
    EXPECT_TRUE(probe.isTimerRunning(PortScanTimer));

    probe.messageBox()->triggerButtonClick(texts::cancel);
    ASSERT_TRUE(pumpUntil([&] { return probe.messageBox() == nullptr; }));
    EXPECT_TRUE(boxesOnScreen().empty());
    EXPECT_FALSE(probe.isTimerRunning(PortScanTimer));
    EXPECT_FALSE(probe.isTimerRunning(DumpTimeoutTimer));
    EXPECT_TRUE(kestra::testing::isReleased(probe.connectButton()));
    EXPECT_FALSE(probe.supervisor().isConnected());
    EXPECT_TRUE(probe.deviceLabel().getText().isEmpty());
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
    JuceDialogs boxes;
    std::unique_ptr<Dialogs::Progress> searching;
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
         [&] { searching = boxes.progress(texts::searching, [] {}); },
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
            // On a busy display the list may not have been drawn yet when the
            // picture was taken: nothing covered, nothing to compare.
            if (differenceOf(*before, *covered).pixels == 0)
                continue;

            compared = true;
            const auto left = differenceOf(*reference, *after);
            EXPECT_EQ(left.pixels, 0) << "still painted over: " << left.area.toString();
        }
        EXPECT_TRUE(compared) << "windows of other programs kept lying over the editor, or "
                                 "the box or list never showed over it";
    }
    editor.removeFromDesktop();
}
