#pragma once

// What the editor says aloud to a screen reader's user: the events that
// happen away from the focused control (the link, the dump, a store, an
// upload's progress) and every message box's text as it opens. The window
// speaks through one Announcer; tests put a recording one in its place.

#include "editor/Editor.h"

#include <juce_gui_basics/juce_gui_basics.h>

namespace kestra
{

class Announcer
{
public:
    virtual ~Announcer() = default;
    virtual void announce(const juce::String& text) = 0;

    // A message box's text as it is spoken: its lines joined, the blanks
    // around them gone.
    static juce::String spokenText(const juce::String& boxText);
};

// Hands the text to the platform's screen reader (UI Automation on Windows,
// VoiceOver on macOS; nothing yet where JUCE has no bridge).
class SpokenAnnouncer final : public Announcer
{
public:
    void announce(const juce::String& text) override;
};

// The editor's events, as the announcer says them.
class EventAnnouncements final : private EditorListener
{
public:
    EventAnnouncements(Editor& editorToHear, Announcer& announcerToUse);
    ~EventAnnouncements() override;

    void setAnnouncer(Announcer& announcerToUse) { announcer = &announcerToUse; }

    // The texts, for the tests and the screen reader alike.
    static juce::String connectedText(const DeviceLink& link);
    static constexpr const char* disconnected = "Disconnected";
    static constexpr const char* dumpFinished = "All parameters received from the device";
    static constexpr const char* uploadFinished = "Tonewheel upload finished";
    static constexpr const char* uploadStopped = "Tonewheel upload stopped";

private:
    void linkChanged() override;
    void instrumentValuesReceived() override;
    void tonewheelUploadEnded(bool finished) override;

    Editor& editor;
    Announcer* announcer;
    bool wasConnected = false;
};

} // namespace kestra
