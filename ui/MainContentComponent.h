#pragma once

// The one content component of the main window: the views over the editor's
// core (editor/Editor.h). It owns the toolbar, the page navigator, the pages
// built from the catalogue's places, the connected display, the message
// boxes (JuceDialogs) and the MIDI monitor, and the core itself. It shows what
// the core tells it and hands the user's clicks, drags and keys to the core;
// the decisions are the core's. Its member functions are defined under ui/:
//   ui/MainContentComponent.cpp   construction, pages and layout
//   ui/ParameterControls.cpp      the controls: what they show, what they hand on
//   ui/Commands.cpp               the toolbar, page and view buttons, the link's display
//   ui/DesktopFeatures.cpp        the editor's keys, the MIDI monitor, dropped files
//   ui/Accessibility.cpp          names and roles for screen readers, the keyboard's
//                                 order, the focus ring and the spoken events

#include "editor/Editor.h"
#include "model/PageViews.h"
#include "ui/Announcer.h"
#include "ui/CustomComboBox.h"
#include "ui/FocusRing.h"
#include "ui/JuceDialogs.h"
#include "ui/LookAndFeels.h"
#include "ui/Pictures.h"
#include "ui/Zoom.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <array>
#include <memory>
#include <vector>

namespace kestra
{

class MidiMonitorWindow;
class SnapshotsWindow;

class MainContentComponent final : public juce::Component,
                                   public juce::FileDragAndDropTarget,
                                   private EditorListener
{
public:
    // With no services given, the editor uses the system's MIDI ports.
    explicit MainContentComponent(std::unique_ptr<MidiServices> services = nullptr);
    ~MainContentComponent() override;

    // The editor this window shows.
    Editor& core() { return editor; }

    // juce::Component
    void paint(juce::Graphics&) override;
    void resized() override;
    bool keyPressed(const juce::KeyPress& key) override;
    void parentHierarchyChanged() override;
    // Tab and Shift+Tab go through the toolbar, the page buttons, the view
    // buttons of the page shown, then its controls, row by row.
    std::unique_ptr<juce::ComponentTraverser> createKeyboardFocusTraverser() override;

    // ---- accessibility ------------------------------------------------------------------
    // Tab (Shift+Tab) while no control of the window has the focus, as after
    // the start: the first (last) stop takes it. False for other keys.
    bool tabIntoWindow(const juce::KeyPress& key);
    // Who speaks the editor's events and boxes; the screen reader's unless a test says otherwise.
    void setAnnouncer(Announcer& announcerToUse);
    const FocusRing& keyboardFocusRing() const { return focusRing; }

    // ---- what the controls show ---------------------------------------------------------
    // Every control from the stored values, the tonewheel names and menu, and
    // the Additional Functions rule.
    void refreshControls();
    // The controls that show parameter n.
    void showParameter(int number);

    // ---- pages ------------------------------------------------------------------------------
    void showPage(bool visible, int page);
    // Shows the current page again, for rows that depend on the model.
    void reshowCurrentPage();

    // ---- the editor's keys, the MIDI monitor, files from the desktop ------------------------
    // Ctrl+Z, Ctrl+Shift+Z, Ctrl+Y, Ctrl+M, Ctrl+H, Ctrl+B, Ctrl+Shift+S, Ctrl+1 ... Ctrl+6
    // (the pages),
    // whichever control has the focus.
    bool handleEditorKey(const juce::KeyPress& key);
    void toggleMidiMonitor();
    // The Snapshots window (Ctrl+H): shown beside the editor, or hidden.
    void toggleSnapshots();
    SnapshotsWindow* snapshotsWindow() { return snapshots.get(); }
    bool isInterestedInFileDrag(const juce::StringArray& files) override;
    void filesDropped(const juce::StringArray& files, int x, int y) override;
    // A file given by a drop or on the command line: a project opens as OPEN
    // opens it; a tonewheel file goes the TONEWHEEL command's way.
    void openFile(const juce::File& file);
    // The file named by the first argument that is not an option; none when there is none.
    static juce::File fileFromCommandLine(const juce::StringArray& arguments,
                                          const juce::File& workingFolder);

    static constexpr int width = 1024;
    static constexpr int height = 685;

private:
    struct Page;

    // EditorListener
    void linkChanged() override;
    void buttonReleased(EditorButton button) override;
    void valuesChanged(bool modelChanged) override;
    void parameterChanged(int number) override;
    void tonewheelNameChanged(int slot) override;

    // Building
    void addToolbarButton(juce::ImageButton& button, const char* id, int x, const juce::Image& off,
                          const juce::Image& over, const juce::Image& on);
    void addPageButton(juce::ImageButton& button, int page, const juce::Image& off,
                       const juce::Image& over, const juce::Image& on);
    void addViewButton(juce::ImageButton& button, const char* id, int page, int view, int x,
                       const juce::Image& off, const juce::Image& over, const juce::Image& on);
    void addPageIcon(juce::ImageComponent& icon, const juce::Image& image);
    void addPageTitle(juce::Label& label, const juce::String& text);
    void addSectionHeader(juce::Label& label, int y, const juce::String& text);
    void addParameterLabel(juce::Label& label, int y, const juce::String& text);
    void addParameterSlider(juce::Slider& slider, const ParameterInfo& info);
    void addOptionSelector(CustomComboBox& selector, int selectorWidth, const ParameterInfo& info);
    void buildPages();
    // Titles, roles' texts and the keyboard order of everything built.
    void describeForAccessibility();
    void takesKeyboardFocus(juce::Component& component);
    // Ctrl+1 ... Ctrl+6: the page of that button, as its click shows it.
    bool choosePageFromKeyboard(int page);
    juce::Component& addControl(const ParameterInfo& info); // at its place

    // The toolbar's commands
    void pageButtonClicked(int page);
    void viewButtonClicked(juce::Button& button, int page, int view);
    void rebuildTonewheelMenu();
    void showTonewheelMenu(std::function<void(int slot)> onChosen);

    // What the controls show
    void refreshControl(const ParameterInfo& info, const ParameterValues& v,
                        const ParameterValues& D);
    void refreshTonewheelModelTexts();
    void applyAdditionalFunctionsRule();
    void showTonewheelName(int slot);
    static void releaseButton(juce::Button& button);
    void setSliderShownValue(juce::Slider& slider, float value);
    void showOptionIndex(int number);
    void updateLoadTonewheelButton();
    juce::Slider* sliderFor(const ParameterInfo& info) const;
    CustomComboBox* selectorFor(int number) const;
    float shownValue(const juce::Slider* slider) const;

    // ---- look-and-feels (declared before the controls that use them) --------------------
    pictures::PictureComponent backgroundImage;
    juce::LookAndFeel_V3 sliderLookAndFeel;
    PopupLookAndFeel popupLookAndFeel;

    // ---- toolbar, status, pages ---------------------------------------------------------
    pictures::PictureButton openButton, saveButton, connectButton, storeButton, resetButton,
        tonewheelButton;
    juce::PopupMenu tonewheelMenu; // the slots' names as of the last full refresh
    pictures::PictureComponent connectionIndicator;
    juce::Label deviceLabel, firmwareLabel;
    std::array<pictures::PictureButton, numPages> pageButtons;
    pictures::PictureButton mainViewButton, drawbarViewButton, overdriveClassicButton,
        overdriveRockButton, rotaryCommonButton, rotaryClassicButton, rotaryRockButton;

    std::vector<std::unique_ptr<Page>> pages;                             // 0 ... 5
    std::array<std::unique_ptr<juce::Slider>, numParameters> sliders;     // by parameter number
    std::unique_ptr<juce::Slider> chorusLevelSlider;                      // the second slider of 31
    std::array<std::unique_ptr<CustomComboBox>, numParameters> selectors; // 9, 16, 85 ... 98
    juce::Label* layerModeLabel = nullptr;                                // "Lower Layer Mode"
    pictures::PictureButton loadTonewheelButton;

    PageViews pageViews; // the page shown and the view of each page

    // ---- the boxes, then the editor: it goes first, and may close a box as it goes ------
    SpokenAnnouncer spokenAnnouncer;
    JuceDialogs dialogs;
    Editor editor;
    EventAnnouncements announcements{editor, spokenAnnouncer};

    // Over every control; added last.
    FocusRing focusRing{*this};

    std::unique_ptr<MidiMonitorWindow> midiMonitor;
    std::unique_ptr<SnapshotsWindow> snapshots;    // listens to the editor: goes before it
    std::unique_ptr<juce::KeyListener> windowKeys; // on the top-level window
    juce::Component::SafePointer<juce::Component> windowWithKeys;

public:
    // The window's zoom (ui/Zoom.h): its keys, the background menu, the kept choice.
    Zoom zoom{*this};

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR(MainContentComponent)
};

} // namespace kestra
