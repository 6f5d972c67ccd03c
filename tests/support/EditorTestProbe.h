#pragma once

// Finds the window's controls and the editor's parts for tests, through the
// public interfaces only: the controls by their component IDs, the rest
// through the editor's core. Also a recording device on the virtual MIDI ports.

#include "link/VirtualMidiServices.h"
#include "ui/MainContentComponent.h"
#include "ui/MidiMonitorWindow.h"

#include <condition_variable>
#include <cstdlib>
#include <functional>
#include <iostream>
#include <mutex>

namespace kestra
{

class EditorTestProbe
{
public:
    explicit EditorTestProbe(MainContentComponent& editorToProbe) : editor(editorToProbe) {}

    template <typename Control> Control* find(const juce::String& id) const
    {
        return dynamic_cast<Control*>(editor.findChildWithID(id));
    }
    // The control with that ID, which the test takes for granted.
    template <typename Control> Control& get(const juce::String& id) const
    {
        auto* control = find<Control>(id);
        if (control == nullptr)
        {
            std::cerr << "The editor has no control " << id << std::endl;
            std::abort();
        }
        return *control;
    }

    // The control of a parameter that has one; a parameter without a slider
    // (or selector) has none.
    juce::Slider* slider(int number) const
    {
        return hasControl(number, ControlKind::slider) ? &get<juce::Slider>(juce::String(number))
                                                       : nullptr;
    }
    juce::Slider* chorusLevelSlider() const { return &get<juce::Slider>("chorus-level"); }
    CustomComboBox* selector(int number) const
    {
        return hasControl(number, ControlKind::selector)
                   ? &get<CustomComboBox>(juce::String(number))
                   : nullptr;
    }
    static bool hasControl(int number, ControlKind kind)
    {
        return isValidParameterNumber(number) && parameterInfo(number).control == kind;
    }
    Editor& core() const { return editor.core(); }
    DeviceLink& link() const { return editor.core().deviceLink(); }
    LinkSupervisor& supervisor() const { return editor.core().linkSupervisor(); }

    juce::ImageButton& openButton() const { return get<juce::ImageButton>("open"); }
    juce::ImageButton& saveButton() const { return get<juce::ImageButton>("save"); }
    juce::ImageButton& connectButton() const { return get<juce::ImageButton>("connect"); }
    juce::ImageButton& storeButton() const { return get<juce::ImageButton>("store"); }
    juce::ImageButton& resetButton() const { return get<juce::ImageButton>("reset"); }
    juce::ImageButton& tonewheelButton() const { return get<juce::ImageButton>("tonewheel"); }
    juce::ImageButton& loadTonewheelButton() const
    {
        return get<juce::ImageButton>("load-tonewheel");
    }
    juce::ImageButton& pageButton(int page) const
    {
        return get<juce::ImageButton>("page-" + juce::String(page));
    }
    juce::ImageButton& mainViewButton() const { return get<juce::ImageButton>("view-main"); }
    juce::ImageButton& drawbarViewButton() const { return get<juce::ImageButton>("view-drawbar"); }
    juce::ImageButton& overdriveClassicButton() const
    {
        return get<juce::ImageButton>("view-overdrive-classic");
    }
    juce::ImageButton& overdriveRockButton() const
    {
        return get<juce::ImageButton>("view-overdrive-rock");
    }
    juce::ImageButton& rotaryCommonButton() const
    {
        return get<juce::ImageButton>("view-rotary-common");
    }
    juce::ImageButton& rotaryClassicButton() const
    {
        return get<juce::ImageButton>("view-rotary-classic");
    }
    juce::ImageButton& rotaryRockButton() const
    {
        return get<juce::ImageButton>("view-rotary-rock");
    }
    juce::Label& deviceLabel() const { return get<juce::Label>("device"); }
    juce::Label& firmwareLabel() const { return get<juce::Label>("firmware"); }
    juce::ImageComponent& connectionIndicator() const
    {
        return get<juce::ImageComponent>("connection-indicator");
    }

    MessageLog& messageLog() const { return editor.core().messageLog(); }
    // The MIDI monitor window, once it has been opened.
    static MidiMonitorWindow& openedMidiMonitor()
    {
        auto* monitor = midiMonitor();
        if (monitor == nullptr)
        {
            std::cerr << "The MIDI monitor has not been opened" << std::endl;
            std::abort();
        }
        return *monitor;
    }
    static MidiMonitorWindow* midiMonitor()
    {
        auto& desktop = juce::Desktop::getInstance();
        for (int k = 0; k < desktop.getNumComponents(); ++k)
            if (auto* monitor = dynamic_cast<MidiMonitorWindow*>(desktop.getComponent(k)))
                return monitor;
        return nullptr;
    }

    // The page whose button is lit, and the lit view of each page.
    int currentPage() const
    {
        for (int page = 0; page < numPages; ++page)
            if (pageButton(page).getToggleState())
                return page;
        return -1;
    }
    int toneGeneratorView() const
    {
        return drawbarViewButton().getToggleState() ? drawbarView : mainView;
    }
    int overdriveView() const
    {
        return overdriveRockButton().getToggleState() ? rockView : classicView;
    }
    int rotaryView() const
    {
        return rotaryClassicButton().getToggleState() ? classicView
               : rotaryRockButton().getToggleState()  ? rockView
                                                      : commonView;
    }
    // The open message box; nullptr when none is open.
    static CustomAlertWindow* messageBox()
    {
        return dynamic_cast<CustomAlertWindow*>(juce::Component::getCurrentlyModalComponent());
    }
    juce::File lastFileFolder() const { return editor.core().lastFolder(); }
    bool isTimerRunning(int id) const { return editor.core().linkTimers().isRunning(id); }
    int inputIndex() const { return editor.core().midiPorts().inputIndexInUse(); }
    int outputIndex() const { return editor.core().midiPorts().outputIndexInUse(); }
    bool hasInput() const { return editor.core().midiPorts().hasInput(); }
    bool hasOutput() const { return editor.core().midiPorts().hasOutput(); }

    void startTimer(int id, int milliseconds)
    {
        editor.core().linkTimers().start(id, milliseconds);
    }
    void stopTimer(int id) { editor.core().linkTimers().stop(id); }

    // The link up on the open ports without a handshake, as its end brings it
    // up, but without the heartbeat: a device that never answers stays connected.
    void connectWithoutHandshake()
    {
        supervisor().setConnected(true);
        stopTimer(HeartbeatTimer);
    }

    // The handshake on the open ports, without the search: an identity
    // request whose reply the link accepts.
    void startHandshake() { supervisor().restartHandshake(false); }

    // Opens a port pair directly, without the search.
    void openPorts(int input, int output) { editor.core().midiPorts().openPair(input, output); }

    // Answers every pop-up menu the editor opens from now on, in place of a
    // user: `answer` gets the menu as shown (item IDs counted from the
    // first alternative slot, as the TONEWHEEL menu numbers them) and returns
    // the chosen item ID, 0 for dismissed, or -1 to be asked again a moment
    // later with the menu still open. The answer comes from the message loop,
    // a moment after the menu opened.
    void answerTonewheelMenu(std::function<int(const juce::PopupMenu&)> answer)
    {
        menuAnswerer = std::make_unique<MenuAnswerer>(std::move(answer));
    }

private:
    class MenuAnswerer final : private juce::Timer
    {
    public:
        explicit MenuAnswerer(std::function<int(const juce::PopupMenu&)> answerToGive)
            : answer(std::move(answerToGive))
        {
            startTimer(5);
        }
        ~MenuAnswerer() override { stopTimer(); }

    private:
        void timerCallback() override
        {
            auto* menu = juce::Component::getCurrentlyModalComponent();
            if (menu == nullptr || menu->getName() != "menu" || menu == answered.getComponent())
                return;
            // The menu as the user reads it: its items' titles, in order.
            juce::PopupMenu shown;
            int position = 0;
            for (auto* child : menu->getChildren())
                if (auto* handler = child->getAccessibilityHandler();
                    handler != nullptr && handler->getRole() == juce::AccessibilityRole::menuItem)
                    shown.addItem(firstAlternativeSlot + position++, handler->getTitle(),
                                  !handler->getCurrentState().isIgnored());
            const int id = answer(shown);
            if (id < 0)
                return; // the user keeps the menu open a little longer
            answered = menu;
            if (id == 0)
            {
                juce::PopupMenu::dismissAllActiveMenus();
                return;
            }
            // Down to the item, as the keyboard goes, and Return.
            for (int k = firstAlternativeSlot; k <= id; ++k)
                menu->keyPressed(juce::KeyPress(juce::KeyPress::downKey));
            menu->keyPressed(juce::KeyPress(juce::KeyPress::returnKey));
        }

        std::function<int(const juce::PopupMenu&)> answer;
        juce::Component::SafePointer<juce::Component> answered;
    };

    MainContentComponent& editor;
    std::unique_ptr<MenuAnswerer> menuAnswerer;
};

// A device on a virtual port pair that records what the editor sends.
class RecordingDevice
{
public:
    explicit RecordingDevice(VirtualMidiServices& services, const std::string& name = "Recorder")
        : midi(services)
    {
        input = midi.addInputPort(name);
        output = midi.addOutputPort(name,
                                    [this](const uint8_t* data, size_t size)
                                    {
                                        const std::lock_guard<std::mutex> lock(mutex);
                                        received.emplace_back(data, data + size);
                                        changed.notify_all();
                                    });
    }

    std::vector<std::vector<uint8_t>> take()
    {
        const std::lock_guard<std::mutex> lock(mutex);
        return std::exchange(received, {});
    }

    size_t count()
    {
        const std::lock_guard<std::mutex> lock(mutex);
        return received.size();
    }

    void send(const std::vector<uint8_t>& message) { midi.sendToEditor(input, message); }

    int input = -1;
    int output = -1;

private:
    VirtualMidiServices& midi;
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<std::vector<uint8_t>> received;
};

} // namespace kestra
