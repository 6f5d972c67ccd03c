#include "ui/MainContentComponent.h"

#include "model/Conversions.h"
#include "ui/EditHistory.h"
#include "ui/MidiMonitorWindow.h"
#include "ui/ParameterSlider.h"
#include "ui/Pictures.h"

namespace kestra
{

namespace
{
// Views are bits of a mask: page 0 uses 3 (MAIN) and 4 (DRAWBAR), page 2 uses
// 0 (CLASSIC) and 1 (ROCK), page 3 uses 0 (CLASSIC), 1 (ROCK) and 2 (COMMON).
constexpr unsigned allViews = ~0u;
constexpr unsigned view(int v)
{
    return 1u << v;
}

constexpr juce::uint32 textColour = 0xFF2D2D2D;
constexpr int labelX = 251, labelWidth = 160;
constexpr int controlX = 431, sliderWidth = 579, rowHeight = 24;
constexpr int wideSelectorWidth = 280, selectorWidth = 140;

juce::Font arial(float height, bool bold = false)
{
    return juce::Font("Arial", height, bold ? juce::Font::bold : juce::Font::plain);
}
} // namespace

// One page's components, each tagged with the views it belongs to.
struct MainContentComponent::PageEntry
{
    juce::Component* component;
    unsigned views;
    bool hiddenForModel2; // the Gospel Set and Upper Layer Mode rows
};

struct MainContentComponent::Page
{
    juce::ImageComponent icon;
    juce::Label title;
    std::vector<std::unique_ptr<juce::Label>> labels; // section headers and parameter labels
    std::vector<PageEntry> entries;                   // in building order
};

MainContentComponent::MainContentComponent(std::unique_ptr<MidiServices> services)
    : ports(services != nullptr ? std::move(services) : createSystemMidiServices(), *this)
{
    ports.logSentMessagesTo(&messageLog);
    setUpDesktopFeatures();
    link.setRecord(ProjectRecord::initial());
    lastFileFolder =
        juce::File::getSpecialLocation(juce::File::currentApplicationFile).getParentDirectory();

    setSize(width, height);

    sliderLookAndFeel.setColour(juce::Slider::backgroundColourId, juce::Colour(0xFFF1F1F1));
    sliderLookAndFeel.setColour(juce::Slider::thumbColourId, juce::Colour(0xFF7BB9F8));
    sliderLookAndFeel.setColour(juce::Slider::textBoxOutlineColourId, juce::Colour(0xFFCCCCCC));
    sliderLookAndFeel.setColour(juce::Slider::textBoxHighlightColourId, juce::Colour(0xFF7BB9F8));
    sliderLookAndFeel.setColour(juce::Label::outlineWhenEditingColourId, juce::Colour(0xFF7BB9F8));

    backgroundImage.setImage(pictures::background(), juce::RectanglePlacement::xLeft |
                                                         juce::RectanglePlacement::yTop |
                                                         juce::RectanglePlacement::doNotResize);
    backgroundImage.setBounds(0, 0, width, height);
    backgroundImage.setInterceptsMouseClicks(false, false);
    addAndMakeVisible(backgroundImage);

    const std::array<juce::ImageButton*, 6> toolbar = {
        &openButton, &saveButton, &connectButton, &storeButton, &resetButton, &tonewheelButton};
    const auto toolbarPictures = pictures::toolbar();
    for (size_t k = 0; k < toolbar.size(); ++k)
        addToolbarButton(*toolbar[k], 242 + 104 * static_cast<int>(k), toolbarPictures[k].off,
                         toolbarPictures[k].over, toolbarPictures[k].on);

    connectionIndicator.setImage(pictures::connectedOff());
    connectionIndicator.setBounds(975, 11, 35, 18);
    connectionIndicator.setInterceptsMouseClicks(false, false);
    addAndMakeVisible(connectionIndicator);

    for (auto* label : {&deviceLabel, &firmwareLabel})
    {
        label->setFont(arial(14.0f, true));
        label->setJustificationType(juce::Justification::centredRight);
        label->setWantsKeyboardFocus(false);
        addAndMakeVisible(label);
    }
    deviceLabel.setBounds(872, 38, 140, 14);
    deviceLabel.setColour(juce::Label::textColourId, juce::Colour(0xFFF0F0F0));
    firmwareLabel.setBounds(872, 52, 140, 14);
    firmwareLabel.setColour(juce::Label::textColourId, juce::Colour(0xFFA0A0A0));

    const auto pagePictures = pictures::pageButtons();
    for (size_t k = 0; k < pageButtons.size(); ++k)
        addPageButton(pageButtons[k], 78 + 40 * static_cast<int>(k), pagePictures[k].off,
                      pagePictures[k].over, pagePictures[k].on);

    buildPages();

    popupLookAndFeel.setMenuFont(arial(15.0f));
    popupLookAndFeel.setColour(juce::PopupMenu::backgroundColourId, juce::Colour(0xFFFEFEFE));
    popupLookAndFeel.setColour(juce::PopupMenu::highlightedBackgroundColourId,
                               juce::Colour(0xFF7BB9F8));
    tonewheelMenu.setLookAndFeel(&popupLookAndFeel);

    mainViewButton.setToggleState(true, juce::dontSendNotification);
    overdriveClassicButton.setToggleState(true, juce::dontSendNotification);
    rotaryCommonButton.setToggleState(true, juce::dontSendNotification);

    refreshControls();

    pageButtons[0].setToggleState(true, juce::sendNotificationSync);
}

MainContentComponent::~MainContentComponent()
{
    // Timers and ports go first, so that nothing calls back into a half-destroyed component.
    timers.stopAll();
    // Closed in the middle of a project send or a tonewheel upload: the
    // instrument must not be left in bulk mode, nor waiting for the rest.
    projectSend.shutDown();
    link.endTransfer();
    ports.close(); // stops the MIDI input thread's calls
    closeMessageBox();
    tearDownDesktopFeatures();
    tonewheelMenu.setLookAndFeel(nullptr);
    for (auto& slider : sliders)
        if (slider != nullptr)
            slider->setLookAndFeel(nullptr);
    if (chorusLevelSlider != nullptr)
        chorusLevelSlider->setLookAndFeel(nullptr);
}

void MainContentComponent::paint(juce::Graphics&) {}

void MainContentComponent::resized() {}

// ---- building --------------------------------------------------------------------------

void MainContentComponent::addToolbarButton(juce::ImageButton& button, int x,
                                            const juce::Image& off, const juce::Image& over,
                                            const juce::Image& on)
{
    button.setImages(true, false, true, off, 1.0f, {}, over, 1.0f, {}, on, 1.0f, {}, 0.0f);
    button.setTopLeftPosition(x, 0);
    button.setClickingTogglesState(true);
    button.addListener(this);
    button.setWantsKeyboardFocus(false);
    addAndMakeVisible(button);
}

void MainContentComponent::addPageButton(juce::ImageButton& button, int y, const juce::Image& off,
                                         const juce::Image& over, const juce::Image& on)
{
    addToolbarButton(button, 0, off, over, on);
    button.setTopLeftPosition(0, y);
    button.setRadioGroupId(1);
    button.setTriggeredOnMouseDown(true);
}

void MainContentComponent::addViewButton(juce::ImageButton& button, int x, int radioGroup,
                                         const juce::Image& off, const juce::Image& over,
                                         const juce::Image& on)
{
    button.setImages(true, false, true, off, 1.0f, {}, over, 1.0f, {}, on, 1.0f, {}, 0.0f);
    button.setTopLeftPosition(x, 135);
    button.setRadioGroupId(radioGroup);
    button.setClickingTogglesState(true);
    button.setTriggeredOnMouseDown(true);
    button.addListener(this);
    button.setWantsKeyboardFocus(false);
    addChildComponent(button);
}

void MainContentComponent::addPageIcon(juce::ImageComponent& icon, const juce::Image& image)
{
    icon.setBounds(220, 88, 88, 70);
    icon.setImage(image);
    icon.setWantsKeyboardFocus(false);
    icon.setInterceptsMouseClicks(false, false);
    addChildComponent(icon);
}

void MainContentComponent::addPageTitle(juce::Label& label, const juce::String& text)
{
    label.setFont(arial(40.0f));
    label.setBounds(310, 104, 400, 40);
    label.setColour(juce::Label::textColourId, juce::Colour(textColour));
    label.setText(text, juce::dontSendNotification);
    label.setWantsKeyboardFocus(false);
    addChildComponent(label);
}

void MainContentComponent::addSectionHeader(juce::Label& label, int y, const juce::String& text)
{
    label.setFont(arial(18.0f, true));
    label.setBounds(231, y, 779, 34);
    label.setColour(juce::Label::textColourId, juce::Colour(textColour));
    label.setColour(juce::Label::backgroundColourId, juce::Colour(0xFFF8F8F8));
    label.setBorderSize(juce::BorderSize<int>(0, 15, 0, 0));
    label.setText(text, juce::dontSendNotification);
    label.setWantsKeyboardFocus(false);
    addChildComponent(label);
}

void MainContentComponent::addParameterLabel(juce::Label& label, int y, const juce::String& text)
{
    label.setFont(arial(16.0f));
    label.setBounds(labelX, y, labelWidth, rowHeight);
    label.setColour(juce::Label::textColourId, juce::Colour(textColour));
    label.setText(text, juce::dontSendNotification);
    label.setWantsKeyboardFocus(false);
    addChildComponent(label);
}

void MainContentComponent::addParameterSlider(juce::Slider& slider, int y,
                                              const ParameterInfo& info)
{
    slider.setComponentID(juce::String(info.number));
    slider.setBounds(controlX, y, sliderWidth, rowHeight);
    slider.setSliderStyle(juce::Slider::LinearBar);
    slider.setWantsKeyboardFocus(true); // the last control of a page takes the focus
    slider.setLookAndFeel(&sliderLookAndFeel);
    // The step as a clean decimal, so the text shows exactly its number of decimals.
    const double step = std::round(static_cast<double>(info.step) * 1.0e6) / 1.0e6;
    slider.setRange(info.minimum, info.maximum, step);
    slider.setTextValueSuffix(info.suffix);
    slider.addListener(this);

    // Double-click returns to the revision-0 default as shown; Chorus Level to 0 dB.
    // (A ParameterSlider lets the double-click through its value box.)
    const auto& defaults = defaultValues(0);
    const double returnValue =
        &info == &chorusLevelControl
            ? 0.0
            : static_cast<double>(kestra::toControlValue(info.number, defaults, defaults));
    slider.setDoubleClickReturnValue(true, returnValue);
    addChildComponent(slider);
}

void MainContentComponent::addOptionSelector(CustomComboBox& selector, int y, int selectorWidth_,
                                             const ParameterInfo& info)
{
    selector.setComboBoxFont(arial(15.0f));
    selector.setPopupMenuFont(arial(15.0f));
    selector.setComponentID(juce::String(info.number));
    selector.setBounds(controlX, y, selectorWidth_, rowHeight);
    auto& look = selector.getLookAndFeel();
    look.setColour(juce::ComboBox::backgroundColourId, juce::Colour(0xFFF1F1F1));
    look.setColour(juce::ComboBox::outlineColourId, juce::Colour(0xFFCCCCCC));
    look.setColour(juce::PopupMenu::backgroundColourId, juce::Colour(0xFFFEFEFE));
    look.setColour(juce::PopupMenu::highlightedBackgroundColourId, juce::Colour(0xFF7BB9F8));
    selector.setEditableText(false);
    selector.setJustificationType(juce::Justification::left);
    for (int i = 0; i < info.options->count; ++i)
        selector.addItem((*info.options)[i], i + 1);
    selector.addListener(this);
    addChildComponent(selector);
}

void MainContentComponent::buildPages()
{
    const auto icons = pictures::pageIcons();
    const char* const pageTitles[6] = {"Tone Generator", "Vibrato and Chorus",
                                       "Overdrive",      "Rotary",
                                       "Reverb",         "Additional Functions"};

    for (int p = 0; p < 6; ++p)
    {
        auto page = std::make_unique<Page>();
        addPageIcon(page->icon, icons[static_cast<size_t>(p)]);
        addPageTitle(page->title, pageTitles[p]);
        page->entries.push_back({&page->icon, allViews, false});
        page->entries.push_back({&page->title, allViews, false});
        pages.push_back(std::move(page));
    }

    // Small builders over the current page.
    Page* page = nullptr;
    auto entry = [&](juce::Component& c, unsigned views, bool hiddenForModel2 = false) {
        page->entries.push_back({&c, views, hiddenForModel2});
    };
    auto header = [&](int y, const char* text, unsigned views = allViews)
    {
        page->labels.push_back(std::make_unique<juce::Label>());
        addSectionHeader(*page->labels.back(), y, text);
        entry(*page->labels.back(), views);
    };
    auto label = [&](int y, const char* text, unsigned views,
                     bool hiddenForModel2 = false) -> juce::Label&
    {
        page->labels.push_back(std::make_unique<juce::Label>());
        addParameterLabel(*page->labels.back(), y, text);
        entry(*page->labels.back(), views, hiddenForModel2);
        return *page->labels.back();
    };
    auto control = [&](int y, int n, unsigned views, bool hiddenForModel2 = false)
    {
        const auto& info = parameterInfo(n);
        if (info.control == ControlKind::slider)
        {
            sliders[static_cast<size_t>(n)] = std::make_unique<ParameterSlider>();
            addParameterSlider(*sliders[static_cast<size_t>(n)], y, info);
            entry(*sliders[static_cast<size_t>(n)], views, hiddenForModel2);
        }
        else
        {
            selectors[static_cast<size_t>(n)] = std::make_unique<CustomComboBox>();
            const int w = (n == 9 || n == 16 || n == 97) ? wideSelectorWidth : selectorWidth;
            addOptionSelector(*selectors[static_cast<size_t>(n)], y, w, info);
            entry(*selectors[static_cast<size_t>(n)], views, hiddenForModel2);
        }
    };
    auto row = [&](int y, int n, unsigned views = allViews, bool hiddenForModel2 = false)
    {
        label(y, parameterInfo(n).label, views, hiddenForModel2);
        control(y, n, views, hiddenForModel2);
    };

    // Page 0, Tone Generator: MAIN and DRAWBAR.
    page = pages[0].get();
    {
        const auto main = pictures::viewTab(pictures::View::main);
        const auto drawbar = pictures::viewTab(pictures::View::drawbar);
        addViewButton(mainViewButton, 827, 2, main.off, main.over, main.on);
        addViewButton(drawbarViewButton, 916, 2, drawbar.off, drawbar.over, drawbar.on);
        entry(mainViewButton, allViews);
        entry(drawbarViewButton, allViews);
    }
    header(182, "Pedals", view(3));
    header(278, "Click", view(3));
    header(524, "Preamp AO-28", view(3));
    row(230, 4, view(3));
    row(326, 0, view(3));
    row(354, 2, view(3));
    row(382, 3, view(3));
    row(420, 6, view(3));
    row(448, 8, view(3));
    row(476, 7, view(3));
    row(572, 5, view(3));
    header(182, "Drawbar", view(4));
    for (int i = 0; i < 9; ++i)
        row(230 + 28 * i, 76 + i, view(4));

    // Page 1, Vibrato and Chorus.
    page = pages[1].get();
    header(182, "Vibrato and Chorus");
    row(230, 29);
    row(258, 39);
    row(286, 35);
    row(324, 32);
    row(352, 33);
    row(390, 37);
    row(418, 38);
    row(456, 31); // Chorus Mix
    row(494, 30);
    label(522, chorusLevelControl.label, allViews);
    chorusLevelSlider = std::make_unique<ParameterSlider>();
    addParameterSlider(*chorusLevelSlider, 522, chorusLevelControl);
    entry(*chorusLevelSlider, allViews);

    // Page 2, Overdrive: CLASSIC and ROCK.
    page = pages[2].get();
    {
        const auto classic = pictures::viewTab(pictures::View::classic);
        const auto rock = pictures::viewTab(pictures::View::rock);
        addViewButton(overdriveClassicButton, 827, 3, classic.off, classic.over, classic.on);
        addViewButton(overdriveRockButton, 916, 3, rock.off, rock.over, rock.on);
        entry(overdriveClassicButton, allViews);
        entry(overdriveRockButton, allViews);
    }
    header(182, "Overdrive");
    label(230, "Overdrive Model", allViews);
    control(230, 9, view(0));
    control(230, 16, view(1));

    // Page 3, Rotary: COMMON, CLASSIC and ROCK.
    page = pages[3].get();
    {
        const auto common = pictures::viewTab(pictures::View::common);
        const auto classic = pictures::viewTab(pictures::View::classic);
        const auto rock = pictures::viewTab(pictures::View::rock);
        addViewButton(rotaryCommonButton, 738, 4, common.off, common.over, common.on);
        addViewButton(rotaryClassicButton, 827, 4, classic.off, classic.over, classic.on);
        addViewButton(rotaryRockButton, 916, 4, rock.off, rock.over, rock.on);
        entry(rotaryCommonButton, allViews);
        entry(rotaryClassicButton, allViews);
        entry(rotaryRockButton, allViews);
    }
    header(182, "Horn");
    header(362, "Drum");
    for (const auto& [y, n] : {std::pair{230, 42},
                               {258, 43},
                               {286, 45},
                               {314, 49},
                               {410, 50},
                               {438, 51},
                               {466, 53},
                               {494, 57}})
        row(y, n, view(2));
    header(486, "Microphones", view(0) | view(1));
    // The CLASSIC and ROCK banks share their labels; each view shows its own bank.
    for (const auto& [y, offset] :
         {std::pair{230, 0}, {258, 1}, {286, 6}, {314, 5}, {410, 8}, {438, 7}, {534, 2}, {562, 4}})
    {
        label(y, parameterInfo(58 + offset).label, view(0) | view(1));
        control(y, 58 + offset, view(0));
        control(y, 67 + offset, view(1));
    }

    // Page 4, Reverb.
    page = pages[4].get();
    header(182, "Hall");
    row(230, 23);
    row(258, 25);
    row(286, 24);
    header(334, "Spring");
    row(382, 26);
    row(410, 28);
    row(438, 27);

    // Page 5, Additional Functions.
    page = pages[5].get();
    header(182, "Functions");
    row(230, 97);
    row(268, 85, allViews, true);
    row(296, 86);
    row(334, 87, allViews, true);
    layerModeLabel = &label(362, parameterInfo(88).label, allViews);
    control(362, 88, allViews);
    row(390, 89);
    row(428, 92);
    row(456, 93);
    row(484, 94);
    row(522, 90);
    row(550, 91);
    row(578, 95);
    row(606, 96);
    row(644, 98);

    // LOAD... beside the Tonewheel Model selector.
    const auto load = pictures::load();
    loadTonewheelButton.setImages(true, false, true, load.off, 1.0f, {}, load.over, 1.0f, {},
                                  load.on, 1.0f, {}, 0.0f);
    loadTonewheelButton.setTopLeftPosition(721, 230);
    loadTonewheelButton.setTriggeredOnMouseDown(true);
    loadTonewheelButton.addListener(this);
    loadTonewheelButton.setWantsKeyboardFocus(false);
    addChildComponent(loadTonewheelButton);
    page->entries.insert(page->entries.end() - 1, {&loadTonewheelButton, allViews, false});
}

// ---- pages ---------------------------------------------------------------------------------

int MainContentComponent::viewOfPage(int page) const
{
    switch (page)
    {
    case 0:
        return toneGeneratorView;
    case 2:
        return overdriveView;
    case 3:
        return rotaryView;
    default:
        return 0;
    }
}

void MainContentComponent::showPage(bool visible, int page)
{
    if (page < 0 || page >= static_cast<int>(pages.size()))
        return;

    const bool model2 = link.modelIndex() == 2;
    if (page == 5 && layerModeLabel != nullptr)
        layerModeLabel->setText(model2 ? "Layer Mode" : parameterInfo(88).label,
                                juce::dontSendNotification);

    const unsigned currentView = view(viewOfPage(page));
    juce::Component* focusTarget = nullptr;
    for (const auto& e : pages[static_cast<size_t>(page)]->entries)
    {
        if ((e.views & currentView) == 0)
            continue; // another view's component: not touched
        const bool show = visible && !(e.hiddenForModel2 && model2);
        e.component->setVisible(show);
        if (dynamic_cast<juce::Slider*>(e.component) != nullptr ||
            dynamic_cast<juce::ComboBox*>(e.component) != nullptr)
            focusTarget = e.component;
    }

    if (page == 5)
        updateLoadTonewheelButton();

    if (focusTarget != nullptr && focusTarget->isShowing())
        focusTarget->grabKeyboardFocus();
}

juce::Slider* MainContentComponent::sliderFor(int number) const
{
    return isValidParameterNumber(number) ? sliders[static_cast<size_t>(number)].get() : nullptr;
}

CustomComboBox* MainContentComponent::selectorFor(int number) const
{
    return isValidParameterNumber(number) ? selectors[static_cast<size_t>(number)].get() : nullptr;
}

CustomComboBox& MainContentComponent::tonewheelModelBox() const
{
    return *selectors[97];
}

} // namespace kestra
