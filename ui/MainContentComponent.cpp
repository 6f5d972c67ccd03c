#include "ui/MainContentComponent.h"

#include "model/Conversions.h"
#include "model/PageLayout.h"
#include "ui/MainContentPage.h"
#include "ui/MidiMonitorWindow.h"
#include "ui/ParameterSlider.h"
#include "ui/Pictures.h"
#include "ui/SnapshotsWindow.h"

namespace kestra
{

namespace
{
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

MainContentComponent::MainContentComponent(std::unique_ptr<MidiServices> services)
    : editor(std::move(services), dialogs)
{
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

    const struct
    {
        juce::ImageButton& button;
        const char* id;
    } toolbar[] = {{openButton, "open"},   {saveButton, "save"},   {connectButton, "connect"},
                   {storeButton, "store"}, {resetButton, "reset"}, {tonewheelButton, "tonewheel"}};
    const auto toolbarPictures = pictures::toolbar();
    for (size_t k = 0; k < std::size(toolbar); ++k)
        addToolbarButton(toolbar[k].button, toolbar[k].id, 242 + 104 * static_cast<int>(k),
                         toolbarPictures[k].off, toolbarPictures[k].over, toolbarPictures[k].on);
    // OPEN and SAVE stay pressed while their file chooser is up.
    openButton.onClick = [this] { editor.openProjectFile([this] { releaseButton(openButton); }); };
    saveButton.onClick = [this] { editor.saveProjectFile([this] { releaseButton(saveButton); }); };
    connectButton.onClick = [this] { editor.connect(connectButton.getToggleState()); };
    storeButton.onClick = [this] { editor.store(storeButton.getToggleState()); };
    resetButton.onClick = [this] { editor.reset(resetButton.getToggleState()); };
    tonewheelButton.onClick = [this]
    {
        if (!editor.isConnected())
        {
            releaseButton(tonewheelButton);
            return;
        }
        if (!tonewheelButton.getToggleState())
            return;
        showTonewheelMenu(
            [this](int slot)
            {
                releaseButton(tonewheelButton);
                // The link may have gone while the menu was open.
                if (slot != 0 && editor.isConnected())
                    editor.loadTonewheelFile(slot);
            });
    };

    connectionIndicator.setImage(pictures::connectedOff());
    connectionIndicator.setBounds(975, 11, 35, 18);
    connectionIndicator.setInterceptsMouseClicks(false, false);
    connectionIndicator.setComponentID("connection-indicator");
    addAndMakeVisible(connectionIndicator);

    for (auto* label : {&deviceLabel, &firmwareLabel})
    {
        label->setFont(arial(14.0f, true));
        label->setJustificationType(juce::Justification::centredRight);
        label->setWantsKeyboardFocus(false);
        addAndMakeVisible(label);
    }
    deviceLabel.setComponentID("device");
    deviceLabel.setBounds(872, 38, 140, 14);
    deviceLabel.setColour(juce::Label::textColourId, juce::Colour(0xFFF0F0F0));
    firmwareLabel.setComponentID("firmware");
    firmwareLabel.setBounds(872, 52, 140, 14);
    firmwareLabel.setColour(juce::Label::textColourId, juce::Colour(0xFFA0A0A0));

    const auto pagePictures = pictures::pageButtons();
    for (size_t k = 0; k < pageButtons.size(); ++k)
        addPageButton(pageButtons[k], static_cast<int>(k), pagePictures[k].off,
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

    describeForAccessibility();
    addChildComponent(focusRing);

    editor.addListener(this);
    refreshControls();

    pageButtons[toneGeneratorPage].setToggleState(true, juce::sendNotificationSync);
}

MainContentComponent::~MainContentComponent()
{
    editor.removeListener(this);
    tonewheelMenu.setLookAndFeel(nullptr);
    if (windowWithKeys != nullptr)
    {
        windowWithKeys->removeKeyListener(windowKeys.get());
        windowWithKeys->removeKeyListener(&focusRing);
    }
    midiMonitor.reset();
    snapshots.reset();
    for (auto& slider : sliders)
        if (slider != nullptr)
            slider->setLookAndFeel(nullptr);
    if (chorusLevelSlider != nullptr)
        chorusLevelSlider->setLookAndFeel(nullptr);
}

void MainContentComponent::paint(juce::Graphics&) {}

void MainContentComponent::resized() {}

// ---- building --------------------------------------------------------------------------

void MainContentComponent::addToolbarButton(juce::ImageButton& button, const char* id, int x,
                                            const juce::Image& off, const juce::Image& over,
                                            const juce::Image& on)
{
    button.setImages(true, false, true, off, 1.0f, {}, over, 1.0f, {}, on, 1.0f, {}, 0.0f);
    button.setComponentID(id);
    button.setTopLeftPosition(x, 0);
    button.setClickingTogglesState(true);
    button.setWantsKeyboardFocus(false);
    addAndMakeVisible(button);
}

void MainContentComponent::addPageButton(juce::ImageButton& button, int page,
                                         const juce::Image& off, const juce::Image& over,
                                         const juce::Image& on)
{
    addToolbarButton(button, "", 0, off, over, on);
    button.setComponentID("page-" + juce::String(page));
    button.setTopLeftPosition(0, 78 + 40 * page);
    button.setRadioGroupId(1);
    button.setTriggeredOnMouseDown(true);
    button.onClick = [this, page] { pageButtonClicked(page); };
}

void MainContentComponent::addViewButton(juce::ImageButton& button, const char* id, int page,
                                         int view, int x, const juce::Image& off,
                                         const juce::Image& over, const juce::Image& on)
{
    button.setImages(true, false, true, off, 1.0f, {}, over, 1.0f, {}, on, 1.0f, {}, 0.0f);
    button.setComponentID(id);
    button.setTopLeftPosition(x, 135);
    // One radio group for each page that has views.
    button.setRadioGroupId(2 + page);
    button.setClickingTogglesState(true);
    button.setTriggeredOnMouseDown(true);
    button.setWantsKeyboardFocus(false);
    button.onClick = [this, &button, page, view] { viewButtonClicked(button, page, view); };
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
    label.setDescription("Page heading");
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
    label.setDescription("Section heading");
    addChildComponent(label);
}

void MainContentComponent::addParameterLabel(juce::Label& label, int y, const juce::String& text)
{
    label.setFont(arial(16.0f));
    label.setBounds(labelX, y, labelWidth, rowHeight);
    label.setColour(juce::Label::textColourId, juce::Colour(textColour));
    label.setText(text, juce::dontSendNotification);
    label.setWantsKeyboardFocus(false);
    // A screen reader hears it as the title of its control.
    label.setAccessible(false);
    addChildComponent(label);
}

void MainContentComponent::addParameterSlider(juce::Slider& slider, const ParameterInfo& info)
{
    slider.setComponentID(&info == &chorusLevelControl ? juce::String("chorus-level")
                                                       : juce::String(info.number));
    slider.setBounds(controlX, info.place.y, sliderWidth, rowHeight);
    slider.setSliderStyle(juce::Slider::LinearBar);
    slider.setWantsKeyboardFocus(true); // the last control of a page takes the focus
    slider.setLookAndFeel(&sliderLookAndFeel);
    // The step as a clean decimal, so the text shows exactly its number of decimals.
    slider.setRange(info.minimum, info.maximum, sliderInterval(info));
    slider.setTextValueSuffix(info.suffix);
    slider.onValueChange = [this, &info, &slider] { editor.setValue(info, slider.getValue()); };
    slider.onDragStart = [this, &info] { editor.beginGesture(info); };
    slider.onDragEnd = [this, &info] { editor.endGesture(info); };

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

void MainContentComponent::addOptionSelector(CustomComboBox& selector, int selectorWidth_,
                                             const ParameterInfo& info)
{
    selector.setComboBoxFont(arial(15.0f));
    selector.setPopupMenuFont(arial(15.0f));
    selector.setComponentID(juce::String(info.number));
    selector.setBounds(controlX, info.place.y, selectorWidth_, rowHeight);
    auto& look = selector.getLookAndFeel();
    look.setColour(juce::ComboBox::backgroundColourId, juce::Colour(0xFFF1F1F1));
    look.setColour(juce::ComboBox::outlineColourId, juce::Colour(0xFFCCCCCC));
    look.setColour(juce::PopupMenu::backgroundColourId, juce::Colour(0xFFFEFEFE));
    look.setColour(juce::PopupMenu::highlightedBackgroundColourId, juce::Colour(0xFF7BB9F8));
    selector.setEditableText(false);
    selector.setJustificationType(juce::Justification::left);
    for (int i = 0; i < info.options->count; ++i)
        selector.addItem((*info.options)[i], i + 1);
    selector.onChange = [this, &info, &selector]
    {
        editor.setValue(info, selector.getSelectedItemIndex());
        if (info.number == tonewheelModelParameter)
            updateLoadTonewheelButton();
    };
    addChildComponent(selector);
}

juce::Component& MainContentComponent::addControl(const ParameterInfo& info)
{
    const auto n = static_cast<size_t>(info.number);
    if (&info == &chorusLevelControl)
    {
        chorusLevelSlider = std::make_unique<ParameterSlider>();
        addParameterSlider(*chorusLevelSlider, info);
        return *chorusLevelSlider;
    }
    if (info.control == ControlKind::slider)
    {
        sliders[n] = std::make_unique<ParameterSlider>();
        addParameterSlider(*sliders[n], info);
        return *sliders[n];
    }
    selectors[n] = std::make_unique<CustomComboBox>();
    addOptionSelector(*selectors[n], info.place.wide ? wideSelectorWidth : selectorWidth, info);
    return *selectors[n];
}

void MainContentComponent::buildPages()
{
    const auto icons = pictures::pageIcons();
    const char* const pageTitles[numPages] = {"Tone Generator", "Vibrato and Chorus",
                                              "Overdrive",      "Rotary",
                                              "Reverb",         "Additional Functions"};

    for (int p = 0; p < numPages; ++p)
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
            const char* id;
            int page;
            int view;
            int x;
            const pictures::ButtonImages& pictures;
        } viewButtons[] = {
            {mainViewButton, "view-main", toneGeneratorPage, mainView, 827, main},
            {drawbarViewButton, "view-drawbar", toneGeneratorPage, drawbarView, 916, drawbar},
            {overdriveClassicButton, "view-overdrive-classic", overdrivePage, classicView, 827,
             classic},
            {overdriveRockButton, "view-overdrive-rock", overdrivePage, rockView, 916, rock},
            {rotaryCommonButton, "view-rotary-common", rotaryPage, commonView, 738, common},
            {rotaryClassicButton, "view-rotary-classic", rotaryPage, classicView, 827, classic},
            {rotaryRockButton, "view-rotary-rock", rotaryPage, rockView, 916, rock},
        };
        for (const auto& v : viewButtons)
        {
            addViewButton(v.button, v.id, v.page, v.view, v.x, v.pictures.off, v.pictures.over,
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
            if (row.controls.front()->number == lowerLayerModeParameter)
                layerModeLabel = &label;
            for (const auto* info : row.controls)
            {
                auto& control = addControl(*info);
                control.setTitle(row.label);
                page.entries.push_back({&control, info->place.views, info->place.hiddenForModel2});
            }
        }
    }

    // LOAD... beside the Tonewheel Model selector.
    const auto load = pictures::load();
    loadTonewheelButton.setImages(true, false, true, load.off, 1.0f, {}, load.over, 1.0f, {},
                                  load.on, 1.0f, {}, 0.0f);
    loadTonewheelButton.setComponentID("load-tonewheel");
    loadTonewheelButton.setTopLeftPosition(721, 230);
    loadTonewheelButton.setTriggeredOnMouseDown(true);
    loadTonewheelButton.onClick = [this] { editor.loadTonewheelIntoSelectedSlot(); };
    loadTonewheelButton.setWantsKeyboardFocus(false);
    addChildComponent(loadTonewheelButton);
    pages[settingsPage]->entries.push_back({&loadTonewheelButton, allViews, false});
}

// ---- pages ---------------------------------------------------------------------------------

void MainContentComponent::showPage(bool visible, int page)
{
    if (page < 0 || page >= static_cast<int>(pages.size()))
        return;

    const int model = editor.deviceLink().modelIndex();
    if (page == settingsPage && layerModeLabel != nullptr)
    {
        layerModeLabel->setText(PageViews::layerModeLabel(model), juce::dontSendNotification);
        if (auto* selector = selectorFor(lowerLayerModeParameter))
            selector->setTitle(layerModeLabel->getText());
    }

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

    if (page == settingsPage)
        updateLoadTonewheelButton();

    if (focusTarget != nullptr && focusTarget->isShowing())
        focusTarget->grabKeyboardFocus();
}

void MainContentComponent::reshowCurrentPage()
{
    showPage(false, pageViews.currentPage());
    showPage(true, pageViews.currentPage());
}

juce::Slider* MainContentComponent::sliderFor(const ParameterInfo& info) const
{
    return &info == &chorusLevelControl ? chorusLevelSlider.get()
                                        : sliders[static_cast<size_t>(info.number)].get();
}

CustomComboBox* MainContentComponent::selectorFor(int number) const
{
    return isValidParameterNumber(number) ? selectors[static_cast<size_t>(number)].get() : nullptr;
}

} // namespace kestra
