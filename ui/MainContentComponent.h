#pragma once

// The one content component of the main window. It owns every control and
// the objects that do the work, and coordinates them:
//   DeviceLink      (link/)  parameter store, names, identity replies, the
//                            tonewheel transfer: what the MIDI input thread touches
//   PortConnector   (link/)  the MIDI ports and the settings file
//   LinkSupervisor  (link/)  search, handshake, heartbeat, store and reset, and
//                            every link timer, on the message thread
//   ProjectSendController     (files/)  the full send after an opening
//   TonewheelUploadController (link/)   the upload's box, events, cancel, handshake
//   ProjectFileController     (files/)  save and open: read, check, take, notices
//   TonewheelFileController   (files/)  load a tonewheel file and start its upload
// It is the supervisor's window, the controllers' view and the device link's
// host; its operations for those jobs are one-line forwards to them. Its member
// functions are defined under ui/:
//   ui/MainContentComponent.cpp   construction, pages and layout
//   ui/LinkView.cpp               internal messages, the link's window, the senders
//   ui/ParameterControls.cpp      values between controls, store and instrument
//   ui/TonewheelUpload.cpp        the tonewheel transfer's boxes and forwards
//   ui/ProjectFileCommands.cpp    the project file dialogs, the send's and the files' boxes
//   ui/TonewheelFileCommands.cpp  the tonewheel file dialog and question
//   ui/Commands.cpp               the buttons and the refresh steps they own
//   ui/MessageBoxes.cpp           the boxes (a MessageBoxPresenter) and their results
//   ui/DesktopFeatures.cpp        undo and redo, the MIDI monitor, dropped files

#include "files/ProjectFile.h"
#include "files/ProjectFileController.h"
#include "files/ProjectSendController.h"
#include "files/TonewheelFileController.h"
#include "link/DeviceLink.h"
#include "link/JuceLinkTimers.h"
#include "link/LinkSupervisor.h"
#include "link/MessageLog.h"
#include "link/MidiServices.h"
#include "link/PortConnector.h"
#include "link/TonewheelUploadController.h"
#include "model/Conversions.h"
#include "model/PageViews.h"
#include "ui/CustomAlertWindow.h"
#include "ui/CustomComboBox.h"
#include "ui/LookAndFeels.h"
#include "ui/MessageBoxPresenter.h"
#include "ui/Pictures.h"
#include "ui/Zoom.h"

#include <juce_audio_devices/juce_audio_devices.h>
#include <juce_gui_basics/juce_gui_basics.h>

#include <array>
#include <atomic>
#include <functional>
#include <memory>
#include <vector>

namespace kestra
{

class EditorTestProbe; // tests reach the controls through it
class EditHistory;
class MidiMonitorWindow;

// The only hand-over from the MIDI input thread to the message thread.
class InternalMessage final : public juce::Message
{
public:
    InternalMessage(int messageType, int messageValue) : type(messageType), value(messageValue) {}
    const int type;
    const int value;
};

class MainContentComponent final : public juce::Component,
                                   public juce::MessageListener,
                                   public juce::Button::Listener,
                                   public juce::Slider::Listener,
                                   public juce::MidiInputCallback,
                                   public juce::ComboBox::Listener,
                                   public juce::FileDragAndDropTarget,
                                   private LinkHost,
                                   private LinkSupervisor::Window,
                                   private ProjectSendController::View,
                                   private TonewheelUploadController::View,
                                   private ProjectFileController::View,
                                   private TonewheelFileController::View
{
public:
    // With no services given, the editor uses the system's MIDI ports, or the
    // simulated instrument when KESTRA_EDITOR_SIMULATOR is set.
    explicit MainContentComponent(std::unique_ptr<MidiServices> services = nullptr);
    ~MainContentComponent() override;

    // juce::Component
    void paint(juce::Graphics&) override;
    void resized() override;

    // juce::MessageListener: InternalMessage dispatch
    void handleMessage(const juce::Message& message) override;
    // juce::Button::Listener: every button of the window
    void buttonClicked(juce::Button* button) override;
    // juce::Slider::Listener / juce::ComboBox::Listener: user changes
    void sliderValueChanged(juce::Slider* slider) override;
    void comboBoxChanged(juce::ComboBox* comboBox) override;
    // juce::MidiInputCallback: the MIDI input thread
    void handleIncomingMidiMessage(juce::MidiInput* source,
                                   const juce::MidiMessage& message) override;
    void handlePartialSysexMessage(juce::MidiInput*, const juce::uint8*, int, double) override {}
    // The one-shot timers' expiries (link/LinkTypes.h).
    void timerCallback(int timerId);

    // ---- parameters -------------------------------------------------------------------
    void sendParameter(int number);
    // The full send after an opening, one paced step per expiry of BulkSendTimer.
    void sendAllParameters();
    float toControlValue(int number) const;
    void applyReceivedParameter(int number);
    void refreshControls();

    // ---- senders (either thread) ------------------------------------------------------
    void sendParameterValueMessage(int number, float value);
    void sendParameterByteMessage(int number, juce::uint8 value);
    void sendStoreRequest();
    void sendDumpRequest(juce::uint8 section);
    void sendIdentityRequest();
    void sendResetRequest();
    void sendBulkModeMessage(juce::uint8 mode);

    // ---- ports and connection ---------------------------------------------------------
    void connect(bool on);
    bool findPortsByName();
    bool openInput();
    void scanNextPortPair();
    void savePortIndices();

    // ---- handshake and link supervision -----------------------------------------------
    void setConnected(bool on);
    void onDoneReceived();
    void onIdentityRejected(int reason) override;

    // ---- tonewheel transfer ---------------------------------------------------------------
    void startTonewheelTransfer(juce::uint8 slot, juce::int32 length);
    void handleTransferEvent(int value);
    void showTransferProgress();
    void showTransferError();
    void cancelTonewheelTransfer();

    // ---- files -------------------------------------------------------------------------
    void saveProjectFile();
    void openProjectFile();
    // The same without a dialog, for a file already chosen.
    void saveProjectTo(const juce::File& file);
    void openProjectFrom(const juce::File& file);
    void loadTonewheelFile(juce::uint8 slot);
    void loadTonewheelFrom(const juce::File& file, juce::uint8 slot);

    // ---- pages -----------------------------------------------------------------------------
    void showPage(bool visible, int page);
    // Shows the current page again, for rows that depend on the model.
    void reshowCurrentPage();

    // ---- undo and redo, MIDI monitor, files from the desktop ---------------------------------
    bool keyPressed(const juce::KeyPress& key) override;
    bool handleEditorKey(const juce::KeyPress& key); // Ctrl+Z, Ctrl+Shift+Z, Ctrl+Y, Ctrl+M
    void sliderDragStarted(juce::Slider*) override;
    void sliderDragEnded(juce::Slider*) override;
    void parentHierarchyChanged() override;
    bool undo();
    bool redo();
    void toggleMidiMonitor();
    bool isInterestedInFileDrag(const juce::StringArray& files) override;
    void filesDropped(const juce::StringArray& files, int x, int y) override;
    // A file given by a drop or on the command line: a project opens as OPEN
    // opens it; a tonewheel file goes the TONEWHEEL command's way.
    void openFile(const juce::File& file);
    // What opening does once the file is read and accepted: takes the record,
    // sends it to a connected instrument with its box, shows it.
    void takeOpenedProject(const ProjectRecord& opened);
    // The file named by the first argument that is not an option; none when there is none.
    static juce::File fileFromCommandLine(const juce::StringArray& arguments,
                                          const juce::File& workingFolder);

    // ---- message boxes ---------------------------------------------------------------------
    using MessageBoxCallback = void (*)(int result, MainContentComponent* owner);
    int showMessageBox(juce::String title, juce::String message, juce::String button1Text,
                       int button1Value, juce::String button2Text, int button2Value,
                       juce::String button3Text, int button3Value, MessageBoxCallback callback);
    void closeMessageBox();
    void handleMessageBoxResult(int result);

    static constexpr int width = 1024;
    static constexpr int height = 685;

private:
    friend class EditorTestProbe;
    struct Page;
    struct PageEntry;

    // LinkHost
    void sendToInstrument(const uint8_t* data, size_t size) override;
    void postInternalMessage(int type, int value) override;

    // LinkSupervisor::Window
    void showLinkNotice(LinkNotice notice) override;
    void showSearchingBox() override;
    void releaseLinkButton(LinkButton button) override;
    bool confirmReset() override;
    void showLinkUp() override;
    void showLinkDown() override;
    void dropConnection() override;
    void showInstrumentValues() override;
    void showResetValues() override;

    // Building
    void addToolbarButton(juce::ImageButton& button, int x, const juce::Image& off,
                          const juce::Image& over, const juce::Image& on);
    void addPageButton(juce::ImageButton& button, int y, const juce::Image& off,
                       const juce::Image& over, const juce::Image& on);
    void addViewButton(juce::ImageButton& button, int x, int radioGroup, const juce::Image& off,
                       const juce::Image& over, const juce::Image& on);
    void addPageIcon(juce::ImageComponent& icon, const juce::Image& image);
    void addPageTitle(juce::Label& label, const juce::String& text);
    void addSectionHeader(juce::Label& label, int y, const juce::String& text);
    void addParameterLabel(juce::Label& label, int y, const juce::String& text);
    void addParameterSlider(juce::Slider& slider, int y, const ParameterInfo& info);
    void addOptionSelector(CustomComboBox& selector, int y, int selectorWidth,
                           const ParameterInfo& info);
    void buildPages();
    juce::Component& addControl(const ParameterInfo& info); // at its place

    // Helpers
    void refreshTonewheelModelTexts();
    void rebuildTonewheelMenu();
    void applyAdditionalFunctionsRule();
    void showTonewheelName(int slot);
    static void releaseButton(juce::Button& button);
    void setSliderShownValue(juce::Slider& slider, float value);
    void showOptionIndex(int number);
    void updateLoadTonewheelButton();
    int viewOfPage(int page) const;
    juce::Slider* sliderFor(int number) const;
    CustomComboBox* selectorFor(int number) const;
    CustomComboBox& tonewheelModelBox() const;

    // ---- look-and-feels (declared before the controls that use them) --------------------
    pictures::PictureComponent backgroundImage;
    juce::LookAndFeel_V3 sliderLookAndFeel;
    PopupLookAndFeel popupLookAndFeel;

    // ---- toolbar, status, pages ---------------------------------------------------------
    pictures::PictureButton openButton, saveButton, connectButton, storeButton, resetButton,
        tonewheelButton;
    juce::PopupMenu tonewheelMenu;
    pictures::PictureComponent connectionIndicator;
    juce::Label deviceLabel, firmwareLabel;
    std::array<pictures::PictureButton, 6> pageButtons;
    pictures::PictureButton mainViewButton, drawbarViewButton, overdriveClassicButton,
        overdriveRockButton, rotaryCommonButton, rotaryClassicButton, rotaryRockButton;

    std::vector<std::unique_ptr<Page>> pages;                             // 0 ... 5
    std::array<std::unique_ptr<juce::Slider>, numParameters> sliders;     // by parameter number
    std::unique_ptr<juce::Slider> chorusLevelSlider;                      // the second slider of 31
    std::array<std::unique_ptr<CustomComboBox>, numParameters> selectors; // 9, 16, 85 ... 98
    juce::Label* layerModeLabel = nullptr;                                // "Lower Layer Mode"
    pictures::PictureButton loadTonewheelButton;

    // ---- view state --------------------------------------------------------------------------
    PageViews pageViews; // the page shown and the view of each page

    // ---- every message in and out, for the MIDI monitor; appended from both threads, so
    // declared before the ports and the link, which go first ---------------------------------
    MessageLog messageLog;

    // ---- the link: in this order, so that the ports close (and the MIDI input
    // thread stops) before the device link goes, and the supervisor goes first ----------
    DeviceLink link{*this};
    PortConnector ports;
    JuceLinkTimers timers{[this](int timerId) { timerCallback(timerId); }};
    LinkSupervisor supervisor{link, timers, *this, ports};

    // ---- what the MIDI monitor shows, the undo history ------------------------------------------
    std::unique_ptr<EditHistory> editHistory;
    std::unique_ptr<MidiMonitorWindow> midiMonitor;
    std::unique_ptr<juce::KeyListener> windowKeys; // on the top-level window
    juce::Component::SafePointer<juce::Component> windowWithKeys;
    void setUpDesktopFeatures();
    void tearDownDesktopFeatures();
    void restoreParameters(const SendList& numbers, const ParameterValues& values);

    // ---- files, the full send after an opening, the tonewheel upload: controllers that
    // reach the window through the views below ------------------------------------------
    juce::File lastFileFolder;
    projectfile::SteadyPacingClock projectSendClock;
    ProjectSendController projectSend{link, *this, supervisor, timers, *this, projectSendClock};
    TonewheelUploadController tonewheelUpload{link, *this, supervisor, ports, *this};
    ProjectFileController projectFiles{link, supervisor, projectSend, *this, lastFileFolder};
    TonewheelFileController tonewheelFiles{link, supervisor, tonewheelUpload, *this,
                                           lastFileFolder};
    juce::Component::SafePointer<juce::Component> projectTransmissionBox;
    double transferProgress = 0.0; // the transfer box's bar

    // ProjectSendController::View
    void showTransmissionBox() override;
    void closeTransmissionBox() override;
    // TonewheelUploadController::View
    void showTransferBox() override;
    bool isTransferBoxShown() const override;
    void showBytesRemaining(int32_t remaining) override;
    void showProgress(double done) override;
    void closeTransferBox() override;
    void showTransferErrorBox(int errorCode) override;
    void showTransferCancelled() override;
    // ProjectFileController::View and TonewheelFileController::View
    void showFileNotice(FileNotice notice) override;
    void showOpenedProject(bool modelChanged) override;
    void projectOpened(const ProjectRecord& before, const ProjectRecord& opened) override;
    bool confirmTonewheelReplacement(const std::string& slotName) override;

    // ---- tonewheel menu -----------------------------------------------------------------------
    // When set, answers the tonewheel menu in place of the user with the chosen
    // item ID (0: dismissed) and the menu is not shown: tests set it through
    // EditorTestProbe, since a real menu closes when another program takes the
    // keyboard focus.
    std::function<int(const juce::PopupMenu&)> tonewheelMenuAnswer;

    // ---- message box ----------------------------------------------------------------------------
    MessageBoxPresenter messageBoxes; // the one open box

public:
    Zoom zoom{*this}; // ui/Zoom.h: keys, background menu, settings

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR(MainContentComponent)
};

// The callback of every asynchronous box: logs the result, then hands it to its owner.
void messageBoxCallback(int result, MainContentComponent* owner);

} // namespace kestra
