#include "ui/Announcer.h"

#include "model/ProjectRecord.h"

namespace kestra
{

juce::String Announcer::spokenText(const juce::String& boxText)
{
    auto words = juce::StringArray::fromTokens(boxText, true);
    words.removeEmptyStrings();
    return words.joinIntoString(" ");
}

void SpokenAnnouncer::announce(const juce::String& text)
{
    juce::AccessibilityHandler::postAnnouncement(
        text, juce::AccessibilityHandler::AnnouncementPriority::medium);
}

EventAnnouncements::EventAnnouncements(Editor& editorToHear, Announcer& announcerToUse)
    : editor(editorToHear), announcer(&announcerToUse), wasConnected(editor.isConnected())
{
    editor.addListener(this);
}

EventAnnouncements::~EventAnnouncements()
{
    editor.removeListener(this);
}

juce::String EventAnnouncements::connectedText(const DeviceLink& link)
{
    // As the connected display reads: the model (with its revision), then the version.
    const auto device =
        (juce::String(modelName(link.modelIndex())) + " " + revisionSuffix(link.hardwareRevision()))
            .trim();
    return "Connected to " + device + ", firmware " + juce::String(link.versionText());
}

void EventAnnouncements::linkChanged()
{
    const bool connected = editor.isConnected();
    if (connected == wasConnected)
        return;
    wasConnected = connected;
    announcer->announce(connected ? connectedText(editor.deviceLink())
                                  : juce::String(disconnected));
}

void EventAnnouncements::instrumentValuesReceived()
{
    announcer->announce(dumpFinished);
}

void EventAnnouncements::tonewheelUploadEnded(bool finished)
{
    announcer->announce(finished ? uploadFinished : uploadStopped);
}

} // namespace kestra
