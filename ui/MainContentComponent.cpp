#include "ui/MainContentComponent.h"

#include "model/Conversions.h"
#include "model/PageLayout.h"
#include "ui/EditHistory.h"
#include "ui/MidiMonitorWindow.h"
#include "ui/ParameterSlider.h"
#include "ui/Pictures.h"

namespace kestra
{

namespace
{
// Views are bits of a mask (views:: in model/ParameterCatalogue.h): page 0
// uses 3 (MAIN) and 4 (DRAWBAR), page 2 uses 0 (CLASSIC) and 1 (ROCK), page 3
// uses 0 (CLASSIC), 1 (ROCK) and 2 (COMMON).
constexpr unsigned allViews = views::all;

constexpr juce::uint32 textColour = 0xFF2D2D2D;
constexpr int labelX = 251, labelWidth = 160;
constexpr int controlX = 431, sliderWidth = 579, rowHeight = pageRowHeight;
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
    pictures::PictureComponent icon;
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
    // It covers the whole window: nothing beneath it needs painting.
    backgroundImage.setOpaque(true);
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
    label.setBounds(231, y, 779, pageSectionHeight);
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

juce::Component& MainContentComponent::addControl(const ParameterInfo& info)
{
    const auto y = info.place.y;
    const auto n = static_cast<size_t>(info.number);
    if (&info == &chorusLevelControl)
    {
        chorusLevelSlider = std::make_unique<ParameterSlider>();
        addParameterSlider(*chorusLevelSlider, y, info);
        return *chorusLevelSlider;
    }
    if (info.control == ControlKind::slider)
    {
        sliders[n] = std::make_unique<ParameterSlider>();
        addParameterSlider(*sliders[n], y, info);
        return *sliders[n];
    }
    selectors[n] = std::make_unique<CustomComboBox>();
    addOptionSelector(*selectors[n], y, info.place.wide ? wideSelectorWidth : selectorWidth, info);
    return *selectors[n];
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

    // The view buttons of the pages that have views.
    {
        const auto main = pictures::viewTab(pictures::View::main);
        const auto drawbar = pictures::viewTab(pictures::View::drawbar);
        const auto common = pictures::viewTab(pictures::View::common);
        const auto classic = pictures::viewTab(pictures::View::classic);
        const auto rock = pictures::viewTab(pictures::View::rock);
        const struct
        {
            juce::ImageButton& button;
            int page;
            int x;
            int radioGroup;
            const pictures::ButtonImages& pictures;
        } viewButtons[] = {
            {mainViewButton, 0, 827, 2, main},
            {drawbarViewButton, 0, 916, 2, drawbar},
            {overdriveClassicButton, 2, 827, 3, classic},
            {overdriveRockButton, 2, 916, 3, rock},
            {rotaryCommonButton, 3, 738, 4, common},
            {rotaryClassicButton, 3, 827, 4, classic},
            {rotaryRockButton, 3, 916, 4, rock},
        };
        for (const auto& v : viewButtons)
        {
            addViewButton(v.button, v.x, v.radioGroup, v.pictures.off, v.pictures.over,
                          v.pictures.on);
            pages[static_cast<size_t>(v.page)]->entries.push_back({&v.button, allViews, false});
        }
    }

    // Section headers and parameter rows, as the catalogue places them.
    for (int p = 0; p < numPages; ++p)
    {
        auto& page = *pages[static_cast<size_t>(p)];
        for (const auto& section : pageSections())
        {
            if (section.page != p)
                continue;
            page.labels.push_back(std::make_unique<juce::Label>());
            addSectionHeader(*page.labels.back(), section.y, section.title);
            page.entries.push_back({page.labels.back().get(), section.views, false});
        }
        for (const auto& row : pageRows(p))
        {
            page.labels.push_back(std::make_unique<juce::Label>());
            auto& label = *page.labels.back();
            addParameterLabel(label, row.y, row.label);
            page.entries.push_back({&label, row.views, row.hiddenForModel2});
            if (row.controls.front()->number == 88)
                layerModeLabel = &label;
            for (const auto* info : row.controls)
                page.entries.push_back(
                    {&addControl(*info), info->place.views, info->place.hiddenForModel2});
        }
    }

    // LOAD... beside the Tonewheel Model selector.
    const auto load = pictures::load();
    loadTonewheelButton.setImages(true, false, true, load.off, 1.0f, {}, load.over, 1.0f, {},
                                  load.on, 1.0f, {}, 0.0f);
    loadTonewheelButton.setTopLeftPosition(721, 230);
    loadTonewheelButton.setTriggeredOnMouseDown(true);
    loadTonewheelButton.addListener(this);
    loadTonewheelButton.setWantsKeyboardFocus(false);
    addChildComponent(loadTonewheelButton);
    pages[5]->entries.push_back({&loadTonewheelButton, allViews, false});
}

// ---- pages ---------------------------------------------------------------------------------

int MainContentComponent::viewOfPage(int page) const
{
    return pageViews.viewOfPage(page);
}

void MainContentComponent::showPage(bool visible, int page)
{
    if (page < 0 || page >= static_cast<int>(pages.size()))
        return;

    const int model = link.modelIndex();
    if (page == 5 && layerModeLabel != nullptr)
        layerModeLabel->setText(PageViews::layerModeLabel(model), juce::dontSendNotification);

    const unsigned currentView = pageViews.viewBitOfPage(page);
    juce::Component* focusTarget = nullptr;
    for (const auto& e : pages[static_cast<size_t>(page)]->entries)
    {
        if ((e.views & currentView) == 0)
            continue; // another view's component: not touched
        const bool show = visible && PageViews::rowShown(e.hiddenForModel2, model);
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

void MainContentComponent::reshowCurrentPage()
{
    showPage(false, pageViews.currentPage());
    showPage(true, pageViews.currentPage());
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
