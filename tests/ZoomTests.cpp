// The zoomed editor on a screen: the window's size in physical pixels and
// what the window manager is told, a box opened while zoomed, the 2x pictures
// on the screen, the keys, the background menu and the kept choice.
//
// Runs in an X display of its own, 2400 x 1600 (tests/tools/large-screen.sh),
// where the window fits at 200 %; the window, boxes and pixels are read back
// from the X server itself.

#include "support/EditorTestProbe.h"
#include "support/GuiTestSupport.h"

#include "BinaryData.h"
#include "BinaryData2x.h"
#include "ZoomScreen.h"
#include "link/SettingsFile.h"
#include "ui/EditorLookAndFeel.h"
#include "ui/JuceDialogs.h"
#include "ui/MainContentComponent.h"
#include "ui/Pictures.h"
#include "ui/Zoom.h"

#include <gtest/gtest.h>

#include <cmath>

KESTRA_JUCE_TEST_ENVIRONMENT;

using namespace std::chrono_literals;
using namespace kestra;
using kestra::testing::pumpFor;
using kestra::testing::pumpUntil;

namespace
{
// As the program's main window (app/Main.cpp): native title bar, not resizable, centred.
class EditorWindow final : public juce::DocumentWindow
{
public:
    explicit EditorWindow(MainContentComponent& editor)
        : DocumentWindow("Kestra Editor", juce::Colours::black,
                         DocumentWindow::minimiseButton | DocumentWindow::closeButton)
    {
        setUsingNativeTitleBar(true);
        setContentNonOwned(&editor, true);
        setResizable(false, false);
        centreWithSize(getWidth(), getHeight());
        setVisible(true);
    }
    void closeButtonPressed() override {}
};

// Pixels of two images that differ (images of the same size).
int differingPixels(const juce::Image& a, const juce::Image& b)
{
    if (a.getWidth() != b.getWidth() || a.getHeight() != b.getHeight())
        return a.getWidth() * a.getHeight() + 1;
    int differing = 0;
    for (int y = 0; y < a.getHeight(); ++y)
        for (int x = 0; x < a.getWidth(); ++x)
            differing += a.getPixelAt(x, y) != b.getPixelAt(x, y) ? 1 : 0;
    return differing;
}

// A picture as it shows over an opaque ground.
juce::Image over(juce::Colour ground, const juce::Image& picture, int scale = 1,
                 juce::Graphics::ResamplingQuality quality = juce::Graphics::lowResamplingQuality)
{
    juce::Image shown(juce::Image::RGB, picture.getWidth() * scale, picture.getHeight() * scale,
                      false);
    juce::Graphics g(shown);
    g.fillAll(ground);
    g.setImageResamplingQuality(quality);
    g.drawImageTransformed(picture, juce::AffineTransform::scale(static_cast<float>(scale)));
    return shown;
}

juce::Image decoded(const char* data, int size)
{
    return juce::ImageFileFormat::loadFrom(data, static_cast<size_t>(size));
}

juce::File settingsFile()
{
    return settingsFileOptions().getDefaultFile();
}

juce::String keptZoom()
{
    juce::PropertiesFile settings(settingsFileOptions());
    return settings.getValue(Zoom::settingsKey, "(none)");
}

struct Zoomed : ::testing::Test
{
    kestra::testing::ZoomScreen screen;
    EditorLookAndFeel lookAndFeel;
    VirtualMidiServices* midi = nullptr;
    std::unique_ptr<MainContentComponent> editor;
    std::unique_ptr<EditorWindow> window;

    void SetUp() override
    {
        ASSERT_TRUE(screen.isOpen());
        settingsFile().deleteFile();
        juce::LookAndFeel::setDefaultLookAndFeel(&lookAndFeel);
        const auto* display = juce::Desktop::getInstance().getDisplays().getPrimaryDisplay();
        ASSERT_NE(display, nullptr);
        ASSERT_GE(display->userArea.getWidth(), 2048) << "run in a display of 2400 x 1600";
        ASSERT_GE(display->userArea.getHeight(), 1370) << "run in a display of 2400 x 1600";
    }

    void TearDown() override
    {
        window.reset();
        editor.reset();
        juce::LookAndFeel::setDefaultLookAndFeel(nullptr);
        settingsFile().deleteFile();
        Zoom::startWith({}); // no --scale, nothing kept: Auto, 100 % on this display
        juce::Desktop::getInstance().setGlobalScaleFactor(1.0f);
    }

    // The program's start, with these arguments.
    void start(const juce::StringArray& arguments = {})
    {
        Zoom::startWith(arguments);
        midi = new VirtualMidiServices;
        editor = std::make_unique<MainContentComponent>(std::unique_ptr<MidiServices>(midi));
        window = std::make_unique<EditorWindow>(*editor);
        settle();
    }

    // Until the window has been painted and the X server has it all.
    void settle()
    {
        pumpFor(100ms);
        if (auto* peer = window != nullptr ? window->getPeer() : nullptr)
        {
            peer->performAnyPendingRepaintsNow();
            peer->isMinimised(); // a question: JUCE's drawing is on the server
        }
        pumpFor(50ms);
    }

    juce::Rectangle<int> expectedSize(int percent) const
    {
        return {juce::roundToInt(1024 * percent / 100.0), juce::roundToInt(685 * percent / 100.0)};
    }

    bool windowIs(int percent)
    {
        const auto size = expectedSize(percent);
        const auto bounds = screen.boundsOf(*window);
        const auto hints = screen.sizeHintsOf(*window);
        return bounds.getWidth() == size.getWidth() && bounds.getHeight() == size.getHeight() &&
               hints.first == size && hints.second == size;
    }

    juce::ComponentPeer& peer() { return *window->getPeer(); }

    // A key as the platform hands it to the window that has the focus.
    void press(const juce::KeyPress& key)
    {
        juce::ModifierKeys::currentModifiers = key.getModifiers();
        peer().handleKeyPress(key);
        juce::ModifierKeys::currentModifiers = {};
        settle();
    }

    // The physical screen area of a component of the editor.
    juce::Rectangle<int> physicalAreaOf(juce::Component& component, int percent)
    {
        const auto origin = screen.boundsOf(*window).getPosition();
        const auto logical = editor->getLocalArea(&component, component.getLocalBounds());
        return (logical.toDouble() * (percent / 100.0)).toNearestInt() + origin;
    }
};

// The menu window that is open, if any.
juce::Component* openMenu()
{
    auto& desktop = juce::Desktop::getInstance();
    for (int i = 0; i < desktop.getNumComponents(); ++i)
        if (auto* c = desktop.getComponent(i))
            if (auto* handler = c->getAccessibilityHandler())
                if (handler->getRole() == juce::AccessibilityRole::popupMenu && c->isShowing())
                    return c;
    return nullptr;
}

void findMenuItems(const juce::AccessibilityHandler& handler,
                   std::vector<const juce::AccessibilityHandler*>& items)
{
    for (const auto* child : handler.getChildren())
    {
        if (child->getRole() == juce::AccessibilityRole::menuItem)
            items.push_back(child);
        findMenuItems(*child, items);
    }
}
} // namespace

TEST_F(Zoomed, At200TheWindowIs2048By1370AndTellsTheWindowManagerSo)
{
    start({"--scale", "200"});
    ASSERT_TRUE(pumpUntil([this] { return windowIs(200); })) << screen.boundsOf(*window).toString();
    // The layout in logical pixels is today's.
    EXPECT_EQ(editor->getWidth(), 1024);
    EXPECT_EQ(editor->getHeight(), 685);
    EXPECT_EQ(editor->zoom.outcome().percent, 200);
    EXPECT_FALSE(editor->zoom.outcome().clamped);
    // Within the screen.
    const auto bounds = screen.boundsOf(*window);
    EXPECT_TRUE(juce::Rectangle<int>(2400, 1600).contains(bounds)) << bounds.toString();
    // --scale is for the one run.
    EXPECT_EQ(keptZoom(), "(none)");
}

TEST_F(Zoomed, EveryStepGivesTheWindowItsSizeAndTellsTheWindowManager)
{
    start();
    for (const int percent : {125, 150, 175, 200, 100})
    {
        SCOPED_TRACE(percent);
        editor->zoom.choose(percent);
        settle();
        EXPECT_TRUE(pumpUntil([&] { return windowIs(percent); }))
            << screen.boundsOf(*window).toString();
        EXPECT_TRUE(juce::Rectangle<int>(2400, 1600).contains(screen.boundsOf(*window)));
        EXPECT_EQ(editor->getWidth(), 1024);
    }
}

TEST_F(Zoomed, ABoxOpenedAt200IsTwiceItsSizeAt100)
{
    JuceDialogs dialogs;
    const auto boxSize = [this, &dialogs]
    {
        dialogs.notice("A message of some length, for its box.");
        EditorTestProbe probe(*editor);
        auto* box = probe.messageBox();
        EXPECT_NE(box, nullptr);
        if (box == nullptr)
            return juce::Rectangle<int>();
        settle();
        const auto bounds = screen.boundsOf(*box);
        dialogs.close();
        settle();
        return bounds;
    };
    start();
    const auto at100 = boxSize();
    ASSERT_FALSE(at100.isEmpty());
    editor->zoom.choose(200);
    settle();
    const auto at200 = boxSize();
    EXPECT_NEAR(at200.getWidth(), 2 * at100.getWidth(), 1)
        << at100.toString() << " / " << at200.toString();
    EXPECT_NEAR(at200.getHeight(), 2 * at100.getHeight(), 1);
}

TEST_F(Zoomed, At100TheScreenShowsWhatTheEditorDrawsAtItsOwnSize)
{
    start({"--scale", "100"});
    ASSERT_TRUE(pumpUntil([this] { return windowIs(100); }));
    // What scripts/screenshots.sh renders into docs/screenshots.
    const auto drawn = editor->createComponentSnapshot(editor->getLocalBounds(), true, 1.0f)
                           .convertedToFormat(juce::Image::RGB);
    EXPECT_EQ(differingPixels(screen.grab(screen.boundsOf(*window)), drawn), 0);
}

TEST_F(Zoomed, At200TheScreenShowsThe2xPicturesNotThe1xEnlarged)
{
    start({"--scale", "200"});
    ASSERT_TRUE(pumpUntil([this] { return windowIs(200); }));
    EditorTestProbe probe(*editor);

    // The OPEN button, an opaque picture.
    const auto shownOpen = screen.grab(physicalAreaOf(probe.openButton(), 200));
    const auto open2x = decoded(BinaryData2x::open_off_png, BinaryData2x::open_off_pngSize);
    const auto open1x = decoded(BinaryData::open_off_png, BinaryData::open_off_pngSize);
    ASSERT_EQ(shownOpen.getWidth(), open2x.getWidth());
    EXPECT_EQ(differingPixels(shownOpen, over(juce::Colours::black, open2x)), 0);
    // The 1x picture enlarged, as without the 2x pictures, differs at its edges.
    for (const auto quality :
         {juce::Graphics::lowResamplingQuality, juce::Graphics::mediumResamplingQuality})
        EXPECT_GT(differingPixels(shownOpen, over(juce::Colours::black, open1x, 2, quality)), 500);

    // The page's icon, a picture with transparency, over the white page.
    const auto iconArea =
        (juce::Rectangle<int>(220, 88, 88, 70) * 2) + screen.boundsOf(*window).getPosition();
    const auto shownIcon = screen.grab(iconArea);
    const auto icon2x = decoded(BinaryData2x::tonegen_icon_png, BinaryData2x::tonegen_icon_pngSize);
    EXPECT_EQ(differingPixels(shownIcon, over(juce::Colours::white, icon2x)), 0);

    // The whole window is what the editor draws at twice its size (as
    // scripts/screenshots.sh renders docs/screenshots/zoom-200.png).
    const auto shownWindow = screen.grab(screen.boundsOf(*window));
    const auto drawn = editor->createComponentSnapshot(editor->getLocalBounds(), true, 2.0f)
                           .convertedToFormat(juce::Image::RGB);
    EXPECT_EQ(differingPixels(shownWindow, drawn), 0);
}

TEST_F(Zoomed, KeysStepTheZoomWhicheverControlHasTheFocus)
{
    start({"--scale", "100"});
    EditorTestProbe probe(*editor);
    ASSERT_TRUE(pumpUntil(
        [this]
        {
            peer().grabFocus();
            return peer().isFocused();
        }));
    auto* slider = probe.slider(0);
    ASSERT_NE(slider, nullptr);
    slider->grabKeyboardFocus();
    ASSERT_TRUE(slider->hasKeyboardFocus(false));

    const auto ctrl = juce::ModifierKeys::ctrlModifier;
    const auto shift = juce::ModifierKeys::shiftModifier;
    const struct
    {
        juce::KeyPress key;
        int choice;
    } steps[] = {
        {juce::KeyPress('=', ctrl, '='), 125},
        {juce::KeyPress('+', juce::ModifierKeys(ctrl | shift), '+'), 150},
        {juce::KeyPress(juce::KeyPress::numberPadAdd, ctrl, '+'), 175},
        {juce::KeyPress('-', ctrl, '-'), 150},
        {juce::KeyPress('0', ctrl, '0'), ZoomSteps::automatic},
    };
    for (const auto& step : steps)
    {
        SCOPED_TRACE(step.key.getTextDescription());
        press(step.key);
        EXPECT_EQ(editor->zoom.choice(), step.choice);
    }
    EXPECT_TRUE(pumpUntil([this] { return windowIs(100); })); // Auto on this display
    // A plain = or - is the slider's.
    press(juce::KeyPress('=', {}, '='));
    EXPECT_EQ(editor->zoom.choice(), ZoomSteps::automatic);
}

TEST_F(Zoomed, TheBackgroundMenuListsTheStepsAndChoosesOne)
{
    start({"--scale", "125"});
    ASSERT_TRUE(pumpUntil([this] { return windowIs(125); }));
    // A right-click on the page's empty background, under the rows.
    juce::ModifierKeys::currentModifiers = juce::ModifierKeys::rightButtonModifier;
    const auto at = juce::Point<float>(600.0f, 660.0f) * 1.25f;
    const auto time = juce::Time::currentTimeMillis();
    peer().handleMouseEvent(
        juce::MouseInputSource::InputSourceType::mouse, at, juce::ModifierKeys::rightButtonModifier,
        juce::MouseInputSource::defaultPressure, juce::MouseInputSource::defaultOrientation, time);
    juce::ModifierKeys::currentModifiers = {};
    peer().handleMouseEvent(juce::MouseInputSource::InputSourceType::mouse, at, {},
                            juce::MouseInputSource::defaultPressure,
                            juce::MouseInputSource::defaultOrientation, time + 50);
    ASSERT_TRUE(pumpUntil([] { return openMenu() != nullptr; }));

    std::vector<const juce::AccessibilityHandler*> items;
    findMenuItems(*openMenu()->getAccessibilityHandler(), items);
    juce::StringArray texts, ticked;
    for (const auto* item : items)
    {
        texts.add(item->getTitle());
        if (item->getCurrentState().isChecked())
            ticked.add(item->getTitle());
    }
    EXPECT_EQ(texts, juce::StringArray(
                         {"Zoom", "Auto (100 %)", "100 %", "125 %", "150 %", "175 %", "200 %"}))
        << texts.joinIntoString(" | ").toStdString();
    EXPECT_EQ(ticked, juce::StringArray({"125 %"}));

    for (const auto* item : items)
        if (item->getTitle() == "150 %")
            item->getActions().invoke(juce::AccessibilityActionType::press);
    EXPECT_TRUE(pumpUntil([this] { return editor->zoom.choice() == 150; }));
    EXPECT_TRUE(pumpUntil([this] { return windowIs(150); }));
    EXPECT_EQ(openMenu(), nullptr);
    EXPECT_EQ(keptZoom(), "150");
}

TEST_F(Zoomed, TheChoiceIsKeptWithThePortsAndTheStartOptionOverridesItForOneRun)
{
    start();
    EditorTestProbe probe(*editor);
    // The ports' pair is written before and after the zoom: neither loses the other.
    probe.openPorts(0, 0);
    probe.core().midiPorts().savePortIndices();
    editor->zoom.choose(175);
    probe.core().midiPorts().savePortIndices();
    {
        juce::PropertiesFile settings(settingsFileOptions());
        EXPECT_EQ(settings.getValue(Zoom::settingsKey), "175");
        EXPECT_EQ(settings.getIntValue("MidiInputIndex", -1), 0);
    }
    window.reset();
    editor.reset();
    juce::Desktop::getInstance().setGlobalScaleFactor(1.0f);

    // The next start opens at the kept choice.
    start();
    EXPECT_EQ(editor->zoom.choice(), 175);
    EXPECT_TRUE(pumpUntil([this] { return windowIs(175); }));
    window.reset();
    editor.reset();

    // --scale wins for its run and is not kept; a wrong one changes nothing.
    start({"--scale=auto"});
    EXPECT_EQ(editor->zoom.choice(), ZoomSteps::automatic);
    EXPECT_TRUE(pumpUntil([this] { return windowIs(100); }));
    EXPECT_EQ(keptZoom(), "175");
    window.reset();
    editor.reset();
    start({"--scale", "130", "song.tkp"});
    EXPECT_EQ(editor->zoom.choice(), 175);
    EXPECT_EQ(Zoom::withoutStartOption({"--scale", "130", "song.tkp"}),
              juce::StringArray({"song.tkp"}));
}

TEST_F(Zoomed, PictureButtonsTakeTheirClicksAtEveryStep)
{
    start();
    EditorTestProbe probe(*editor);
    int page = 0;
    for (const int percent : {100, 125, 150, 175, 200})
    {
        SCOPED_TRACE(percent);
        editor->zoom.choose(percent);
        settle();
        page = (page + 1) % 5;
        auto& button = probe.pageButton(page);
        // The button's centre, in the window's own pixels (as the platform hands them on).
        const auto centre = editor->getLocalArea(&button, button.getLocalBounds()).getCentre();
        const auto at = centre.toFloat() * (static_cast<float>(percent) / 100.0f);
        const auto time = juce::Time::currentTimeMillis();
        juce::ModifierKeys::currentModifiers = juce::ModifierKeys::leftButtonModifier;
        peer().handleMouseEvent(juce::MouseInputSource::InputSourceType::mouse, at,
                                juce::ModifierKeys::leftButtonModifier,
                                juce::MouseInputSource::defaultPressure,
                                juce::MouseInputSource::defaultOrientation, time);
        juce::ModifierKeys::currentModifiers = {};
        peer().handleMouseEvent(juce::MouseInputSource::InputSourceType::mouse, at, {},
                                juce::MouseInputSource::defaultPressure,
                                juce::MouseInputSource::defaultOrientation, time + 30);
        EXPECT_TRUE(pumpUntil([&] { return probe.currentPage() == page; }));
    }
}
