// The editor's look-and-feels and widgets on their own: the selector's text
// place, arrow and drop-down list, the message box's fonts and button height,
// the "Arial" substitute, and that no widget outlives its look-and-feel.

#include "support/GuiTestSupport.h"
#include "support/LookAndFeelEnvironment.h"

#include "editor/MessageTexts.h"
#include "ui/CustomAlertWindow.h"
#include "ui/CustomComboBox.h"
#include "ui/EditorLookAndFeel.h"
#include "ui/LookAndFeels.h"

#include <cmath>

KESTRA_JUCE_TEST_ENVIRONMENT;
KESTRA_EDITOR_LOOK_AND_FEEL_ENVIRONMENT;

using namespace kestra;

namespace
{
juce::Font arial(float height, int style = juce::Font::plain)
{
    return juce::Font("Arial", height, style);
}

bool installed(const char* family)
{
    return juce::Font::findAllTypefaceNames().contains(family, true);
}

juce::Label* labelOf(juce::ComboBox& box)
{
    for (auto* child : box.getChildren())
        if (auto* label = dynamic_cast<juce::Label*>(child))
            return label;
    return nullptr;
}

// Grey level of a pixel of an opaque rendering.
int grey(const juce::Image& image, int x, int y)
{
    return image.getPixelAt(x, y).getRed();
}
} // namespace

// ---- "Arial" ------------------------------------------------------------------------------

TEST(ArialSubstitute, EveryStyleOfArialResolvesToTheSameStyleOfItsSubstitute)
{
    if (!installed("Arial") && !installed("Liberation Sans"))
        GTEST_SKIP() << "neither Arial nor Liberation Sans is installed";
    const juce::String family = installed("Arial") ? "Arial" : "Liberation Sans";

    struct Case
    {
        int style;
        const char* styleName;
    };
    const Case cases[] = {{juce::Font::plain, "Regular"},
                          {juce::Font::bold, "Bold"},
                          {juce::Font::italic, "Italic"},
                          {juce::Font::bold | juce::Font::italic, "Bold Italic"}};

    EditorLookAndFeel lookAndFeel;
    for (const auto& c : cases)
    {
        const auto typeface = lookAndFeel.getTypefaceForFont(arial(15.0f, c.style));
        ASSERT_NE(typeface, nullptr) << c.styleName;
        EXPECT_EQ(typeface->getName(), family) << c.styleName;
        EXPECT_EQ(typeface->getStyle(), c.styleName);
    }
}

TEST(ArialSubstitute, OtherTypefacesAreLeftAlone)
{
    EditorLookAndFeel lookAndFeel;
    const auto typeface =
        lookAndFeel.getTypefaceForFont(juce::Font("DejaVu Sans", 15.0f, juce::Font::bold));
    ASSERT_NE(typeface, nullptr);
    EXPECT_EQ(typeface->getName(), "DejaVu Sans");
}

// Fonts resolve through JUCE's typeface cache and the default look-and-feel,
// whatever look-and-feel draws them: bold Arial must come out really bold.
TEST(ArialSubstitute, BoldArialIsBoldLiberationSansWhereArialIsMissing)
{
    if (installed("Arial"))
        GTEST_SKIP() << "Arial is installed here";
    ASSERT_TRUE(installed("Liberation Sans")) << "install fonts-liberation";

    const juce::String text = "Kestra Editor";
    const auto bold = arial(20.0f, juce::Font::bold);
    const auto plain = arial(20.0f);

    EXPECT_EQ(bold.getTypefacePtr()->getName(), "Liberation Sans");
    EXPECT_EQ(bold.getTypefacePtr()->getStyle(), "Bold");
    EXPECT_NE(bold.getStringWidthFloat(text), plain.getStringWidthFloat(text));
    EXPECT_FLOAT_EQ(
        bold.getStringWidthFloat(text),
        juce::Font("Liberation Sans", 20.0f, juce::Font::bold).getStringWidthFloat(text));
    EXPECT_FLOAT_EQ(
        plain.getStringWidthFloat(text),
        juce::Font("Liberation Sans", 20.0f, juce::Font::plain).getStringWidthFloat(text));

    // The box title: AWLookAndFeel leaves the title font to JUCE, which bolds
    // the message font.
    AWLookAndFeel boxLookAndFeel;
    boxLookAndFeel.setAlertFont(arial(20.0f));
    const auto title = boxLookAndFeel.getAlertWindowTitleFont();
    EXPECT_EQ(title.getTypefacePtr()->getName(), "Liberation Sans");
    EXPECT_EQ(title.getTypefacePtr()->getStyle(), "Bold");
}

// ---- CBLookAndFeel and CustomComboBox -----------------------------------------------------

TEST(CustomComboBox, PlacesItsTextLabelAndGivesItTheBoxFont)
{
    struct Case
    {
        int width, height;
        juce::Rectangle<int> label;
    };
    const Case cases[] = {
        {280, 24, {1, 1, 259, 22}}, {140, 24, {1, 1, 119, 22}}, {200, 30, {1, 1, 173, 28}}};

    for (const auto& c : cases)
    {
        CustomComboBox box;
        EXPECT_TRUE(box.getName().isEmpty());
        box.setComboBoxFont(arial(15.0f));
        box.setSize(c.width, c.height);
        auto* label = labelOf(box);
        ASSERT_NE(label, nullptr);
        EXPECT_EQ(label->getBounds(), c.label) << c.width << " x " << c.height;
        EXPECT_EQ(label->getFont().getTypefaceName(), "Arial");
        EXPECT_FLOAT_EQ(label->getFont().getHeight(), 15.0f);
        EXPECT_FALSE(label->getFont().isBold());
    }
}

TEST(CustomComboBox, ListItemsFollowTheFontWhateverHeightTheMenuAsks)
{
    CBLookAndFeel lookAndFeel;
    const auto font = arial(15.0f);
    lookAndFeel.setPopupMenuFont(font);

    const char* texts[] = {"Classic", "FAC1 -  TONEWHEEL BC_1936", ""};
    const int standardHeights[] = {0, 22, 40};
    for (const auto* text : texts)
        for (const int standard : standardHeights)
        {
            int width = 0, height = 0;
            lookAndFeel.getIdealPopupMenuItemSize(text, false, standard, width, height);
            EXPECT_EQ(height, 20) << text << ", standard " << standard;
            EXPECT_EQ(width, font.getStringWidth(text) + 40) << text << ", standard " << standard;
        }
}

TEST(CustomComboBox, SeparatorsAreFiftyWideAndHalfTheStandardHeight)
{
    struct Case
    {
        int standard, height;
    };
    const Case cases[] = {{0, 10}, {-1, 10}, {25, 12}, {22, 11}, {40, 20}};

    CBLookAndFeel lookAndFeel;
    lookAndFeel.setPopupMenuFont(arial(15.0f));
    for (const auto& c : cases)
    {
        int width = 0, height = 0;
        lookAndFeel.getIdealPopupMenuItemSize({}, true, c.standard, width, height);
        EXPECT_EQ(width, 50) << c.standard;
        EXPECT_EQ(height, c.height) << c.standard;
    }
}

TEST(CustomComboBox, ItsOpenListShowsTwentyPixelItems)
{
    juce::Component window;
    window.setBounds(100, 100, 400, 100);
    window.addToDesktop(0);
    window.setVisible(true);

    CustomComboBox box;
    box.setComboBoxFont(arial(15.0f));
    box.setPopupMenuFont(arial(15.0f));
    box.addItem("Classic", 1);
    box.addItem("Rock", 2);
    box.addSeparator();
    box.addItem("Common", 3);
    box.setBounds(10, 10, 280, 24);
    window.addAndMakeVisible(box);

    auto findList = [&]() -> juce::Component*
    {
        auto& desktop = juce::Desktop::getInstance();
        for (int i = 0; i < desktop.getNumComponents(); ++i)
            if (auto* c = desktop.getComponent(i);
                c != &window && c->isShowing() && c->getNumChildComponents() > 0)
                return c; // not a drop shadow (on Windows, windows of their own)
        return nullptr;
    };

    box.showPopup();
    ASSERT_TRUE(kestra::testing::pumpUntil([&] { return findList() != nullptr; }));
    auto* list = findList();
    ASSERT_NE(list, nullptr);

    std::vector<int> heights;
    for (int i = 0; i < list->getNumChildComponents(); ++i)
        heights.push_back(list->getChildComponent(i)->getHeight());
    // The list asks for items as high as the text label (22): the separator
    // takes half of it, the items keep their 20 pixels.
    EXPECT_EQ(heights, (std::vector<int>{20, 20, 11, 20}));
    EXPECT_EQ(&list->getLookAndFeel(), &box.getLookAndFeel());

    juce::PopupMenu::dismissAllActiveMenus();
    EXPECT_TRUE(kestra::testing::pumpUntil([&] { return findList() == nullptr; }));
}

TEST(CustomComboBox, DrawsItsArrowAtThirtyPercentAlphaWhenItOrItsParentIsDisabled)
{
    struct Case
    {
        bool enabled, parentEnabled;
        juce::uint32 arrow;
        float alphaFactor;
    };
    const Case cases[] = {
        {true, true, 0xFF000000, 1.0f},  {false, true, 0xFF000000, 0.3f},
        {true, false, 0xFF000000, 0.3f}, {false, false, 0xFF000000, 0.3f},
        {true, true, 0x99000000, 1.0f},  {true, false, 0x99000000, 0.3f},
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE(::testing::Message() << "enabled " << c.enabled << ", parent enabled "
                                          << c.parentEnabled << ", arrow " << std::hex << c.arrow);
        juce::Component parent;
        parent.setSize(300, 40);
        CustomComboBox box;
        box.setComboBoxFont(arial(15.0f));
        box.getLookAndFeel().setColour(juce::ComboBox::backgroundColourId,
                                       juce::Colour(0xFFFFFFFF));
        box.getLookAndFeel().setColour(juce::ComboBox::outlineColourId, juce::Colour(0xFFCCCCCC));
        box.setColour(juce::ComboBox::arrowColourId, juce::Colour(c.arrow));
        box.setBounds(0, 0, 280, 24);
        parent.addAndMakeVisible(box);
        box.setEnabled(c.enabled);
        parent.setEnabled(c.parentEnabled);

        const auto image = box.createComponentSnapshot(box.getLocalBounds());

        // The button area is x 260 to 280; the arrow spans x 265 to 275 at
        // y 9, narrowing to its apex at (270, 15). (270, 11) lies well inside.
        const float alpha = juce::Colour(c.arrow).getFloatAlpha() * c.alphaFactor;
        const int expected = juce::roundToInt(255.0f * (1.0f - alpha));
        EXPECT_NEAR(grey(image, 270, 11), expected, 2);

        // Background and outline are the same either way; the corners are round.
        EXPECT_EQ(image.getPixelAt(277, 4), juce::Colour(0xFFFFFFFF));
        EXPECT_EQ(image.getPixelAt(140, 0), juce::Colour(0xFFCCCCCC));
        EXPECT_LT(image.getPixelAt(0, 0).getAlpha(), 128);
    }
}

// A child sees the look-and-feel change when its parent's is detached; at that
// moment the old look-and-feel must still exist.
struct LookAndFeelWatcher : juce::Component
{
    juce::WeakReference<juce::LookAndFeel> watched;
    bool changedWhileAlive = false;
    bool changedAfterDeletion = false;

    void lookAndFeelChanged() override
    {
        if (watched == nullptr)
            changedAfterDeletion = true;
        else if (&getLookAndFeel() != watched.get())
            changedWhileAlive = true;
    }
};

TEST(LookAndFeelLifetime, WidgetsDetachTheirOwnLookAndFeelBeforeDeletingIt)
{
    struct Case
    {
        const char* name;
        std::function<std::unique_ptr<juce::Component>()> create;
    };
    const Case cases[] = {
        {"CustomComboBox", [] { return std::make_unique<CustomComboBox>(); }},
        {"CustomAlertWindow",
         [] { return std::make_unique<CustomAlertWindow>("Kestra Editor", "  Text  "); }},
    };

    for (const auto& c : cases)
    {
        LookAndFeelWatcher watcher;
        auto widget = c.create();
        auto& own = widget->getLookAndFeel();
        EXPECT_NE(&own, &juce::LookAndFeel::getDefaultLookAndFeel()) << c.name;
        widget->addChildComponent(watcher);
        watcher.watched = &own;

        widget.reset();

        EXPECT_TRUE(watcher.changedWhileAlive) << c.name;
        EXPECT_FALSE(watcher.changedAfterDeletion) << c.name;
        EXPECT_EQ(watcher.watched.get(), nullptr) << c.name << ": its look-and-feel is deleted";
    }
}

// ---- AWLookAndFeel and CustomAlertWindow ----------------------------------------------------

TEST(AWLookAndFeel, ButtonHeightAndButtonFontFollowTheBoxFont)
{
    struct Case
    {
        float fontHeight;
        int buttonHeight;
        float buttonFontHeight;
    };
    const Case cases[] = {{20.0f, 28, 16.0f}, {15.0f, 21, 12.0f}, {25.0f, 35, 20.0f}};

    for (const auto& c : cases)
    {
        AWLookAndFeel lookAndFeel;
        lookAndFeel.setAlertFont(arial(c.fontHeight));
        juce::TextButton button("OK");

        EXPECT_EQ(lookAndFeel.getAlertWindowButtonHeight(), c.buttonHeight) << c.fontHeight;
        for (const int askedHeight : {0, 28, 100})
        {
            const auto font = lookAndFeel.getTextButtonFont(button, askedHeight);
            EXPECT_EQ(font.getTypefaceName(), "Arial");
            EXPECT_FLOAT_EQ(font.getHeight(), c.buttonFontHeight) << c.fontHeight;
            EXPECT_FALSE(font.isBold());
        }
        for (const auto& font :
             {lookAndFeel.getAlertWindowMessageFont(), lookAndFeel.getAlertWindowFont()})
        {
            EXPECT_EQ(font.getTypefaceName(), "Arial");
            EXPECT_FLOAT_EQ(font.getHeight(), c.fontHeight);
        }
    }
}

TEST(CustomAlertWindow, HasNoIconIsNotOpaqueAndDrawsWithItsOwnLookAndFeel)
{
    CustomAlertWindow box("Kestra Editor", "  A message.  ");
    box.setAlertFont(arial(20.0f));
    box.setColour(juce::AlertWindow::backgroundColourId, juce::Colour(0xFF00FF00));
    box.setColour(juce::AlertWindow::outlineColourId, juce::Colour(0xFFFF0000));
    box.setColour(juce::AlertWindow::textColourId, juce::Colour(0xFF000000));
    box.addButton("OK", 1);

    EXPECT_EQ(box.getName(), "Kestra Editor");
    EXPECT_EQ(box.getAlertType(), juce::MessageBoxIconType::NoIcon);
    EXPECT_FALSE(box.isOpaque());
    EXPECT_EQ(&box.getLookAndFeel(), &box.getAlertLookAndFeel());
    EXPECT_EQ(box.getAlertLookAndFeel().getAlertWindowMessageFont().getHeight(), 20.0f);

    const auto image = box.createComponentSnapshot(box.getLocalBounds());
    const int w = box.getWidth(), h = box.getHeight();
    // A one-pixel outline all round, the background inside it.
    for (const auto& p : {juce::Point<int>(0, 0), juce::Point<int>(w - 1, h - 1),
                          juce::Point<int>(w / 2, 0), juce::Point<int>(0, h / 2)})
        EXPECT_EQ(image.getPixelAt(p.x, p.y), juce::Colour(0xFFFF0000)) << p.toString();
    EXPECT_EQ(image.getPixelAt(3, h / 2), juce::Colour(0xFF00FF00));
}

// ---- PopupLookAndFeel -------------------------------------------------------------------------

TEST(PopupLookAndFeel, GivesItsFontAndLeavesItemSizesToTheFramework)
{
    PopupLookAndFeel popup;
    popup.setMenuFont(arial(15.0f));
    EXPECT_EQ(popup.getPopupMenuFont().getTypefaceName(), "Arial");
    EXPECT_FLOAT_EQ(popup.getPopupMenuFont().getHeight(), 15.0f);

    CBLookAndFeel selector;
    selector.setPopupMenuFont(arial(15.0f));

    // Unlike a selector's list, the menu takes the standard height it is asked for.
    struct Case
    {
        int standard, popupHeight, selectorHeight;
    };
    const Case cases[] = {{0, 20, 20}, {30, 30, 20}, {24, 24, 20}};
    for (const auto& c : cases)
    {
        int width = 0, popupHeight = 0, selectorHeight = 0;
        popup.getIdealPopupMenuItemSize("Upload to ALT1", false, c.standard, width, popupHeight);
        selector.getIdealPopupMenuItemSize("Upload to ALT1", false, c.standard, width,
                                           selectorHeight);
        EXPECT_EQ(popupHeight, c.popupHeight) << c.standard;
        EXPECT_EQ(selectorHeight, c.selectorHeight) << c.standard;
    }
}

// ---- the texts of the boxes -------------------------------------------------------------------

TEST(MessageTexts, BoxTextsBeginAndEndWithTwoBlanksAndIndentEveryLine)
{
    const char* boxTexts[] = {
        texts::portBusy,
        texts::searching,
        texts::deviceNotFound,
        texts::dumpFailed,
        texts::connectionLost,
        texts::storeNotConfirmed,
        texts::resetNotConfirmed,
        texts::storeConfirmed,
        texts::resetConfirmed,
        texts::resetQuestion,
        texts::revisionNotSupported,
        texts::editorOutOfDate,
        texts::firmwareOutOfDate,
        texts::modelNotSupported,
        texts::fileNotValid,
        texts::fileCorrupted,
        texts::projectNotSaved,
        texts::transmittingParameters,
        texts::transmittingTonewheel,
        texts::tonewheelDeleted,
    };
    for (const juce::String text : boxTexts)
    {
        EXPECT_TRUE(text.startsWith("  ") && !text.startsWith("   ")) << text;
        EXPECT_TRUE(text.endsWith("  ") && !text.endsWith("   ")) << text;
        for (const auto& line : juce::StringArray::fromLines(text))
            EXPECT_TRUE(line.startsWith("  ") && line.endsWith("  ")) << text;
    }

    // The pieces that others join: the abort notice is followed by a second
    // line, the tonewheel question by a quoted name.
    EXPECT_TRUE(juce::String(texts::transmissionAborted).endsWith("\n  "));
    EXPECT_EQ(juce::String(texts::tonewheelWarningPrefix) + "\"ALT1 -  X\"" +
                  texts::tonewheelWillBeLost,
              "  Warning!  \"ALT1 -  X\" will be lost.  Are you sure ? ");
}
