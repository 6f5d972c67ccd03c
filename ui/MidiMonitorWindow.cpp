#include "ui/MidiMonitorWindow.h"

#include "link/NativeFile.h"

namespace kestra
{

namespace
{
constexpr int buttonBarHeight = 36;
constexpr int rowHeight = 18;
constexpr int timeWidth = 96, directionWidth = 56, hexShare = 45; // hex: percent of the rest

juce::Font monospaced()
{
    return juce::Font(juce::Font::getDefaultMonospacedFontName(), 13.0f, juce::Font::plain);
}

juce::String text(const std::string& s)
{
    return juce::String::fromUTF8(s.data(), static_cast<int>(s.size()));
}
} // namespace

MidiMonitorComponent::MidiMonitorComponent(MessageLog& logToShow) : log(logToShow)
{
    list.setRowHeight(rowHeight);
    list.setColour(juce::ListBox::backgroundColourId, juce::Colour(0xFFFEFEFE));
    list.setColour(juce::ListBox::outlineColourId, juce::Colour(0xFFCCCCCC));
    list.setOutlineThickness(1);
    addAndMakeVisible(list);

    clear.onClick = [this]
    {
        log.clear();
        update();
    };
    pause.setClickingTogglesState(true);
    pause.onClick = [this]
    {
        log.setPaused(pause.getToggleState());
        pause.setButtonText(pause.getToggleState() ? "Resume" : "Pause");
        update();
    };
    save.onClick = [this] { chooseFileAndSave(); };
    hideHeartbeat.setToggleState(rows.hidesHeartbeat(), juce::dontSendNotification);
    hideHeartbeat.setColour(juce::ToggleButton::textColourId, juce::Colour(0xFF2D2D2D));
    hideHeartbeat.setColour(juce::ToggleButton::tickColourId, juce::Colour(0xFF2D2D2D));
    hideHeartbeat.setColour(juce::ToggleButton::tickDisabledColourId, juce::Colour(0xFF707070));
    hideHeartbeat.onClick = [this]
    {
        rows.setHideHeartbeat(hideHeartbeat.getToggleState());
        update();
    };
    for (juce::Button* button :
         {static_cast<juce::Button*>(&clear), static_cast<juce::Button*>(&pause),
          static_cast<juce::Button*>(&save), static_cast<juce::Button*>(&hideHeartbeat)})
    {
        button->setWantsKeyboardFocus(false);
        addAndMakeVisible(*button);
    }
    count.setJustificationType(juce::Justification::centredRight);
    count.setColour(juce::Label::textColourId, juce::Colour(0xFF606060));
    addAndMakeVisible(count);

    setSize(960, 420);
    update();
}

MidiMonitorComponent::~MidiMonitorComponent()
{
    stopTimer();
}

void MidiMonitorComponent::paint(juce::Graphics& g)
{
    g.fillAll(juce::Colour(0xFFF1F1F1));
}

void MidiMonitorComponent::resized()
{
    auto area = getLocalBounds().reduced(6);
    auto bar = area.removeFromTop(buttonBarHeight - 6);
    area.removeFromTop(6);
    clear.setBounds(bar.removeFromLeft(80));
    bar.removeFromLeft(6);
    pause.setBounds(bar.removeFromLeft(80));
    bar.removeFromLeft(6);
    save.setBounds(bar.removeFromLeft(80));
    bar.removeFromLeft(12);
    hideHeartbeat.setBounds(bar.removeFromLeft(140));
    count.setBounds(bar);
    list.setBounds(area);
}

void MidiMonitorComponent::visibilityChanged()
{
    startOrStopFollowing();
}

void MidiMonitorComponent::parentHierarchyChanged()
{
    startOrStopFollowing();
}

// Only a monitor on screen follows the log; a hidden one costs nothing.
void MidiMonitorComponent::startOrStopFollowing()
{
    if (isShowing())
    {
        update();
        startTimerHz(refreshesPerSecond);
    }
    else
    {
        stopTimer();
    }
}

void MidiMonitorComponent::timerCallback()
{
    update();
}

void MidiMonitorComponent::update()
{
    const auto sizeBefore = rows.size();
    const auto firstBefore = sizeBefore > 0 ? rows[0].first : 0;
    if (!rows.follow(log))
        return;
    shown = log.range();

    // Keep following the newest line unless the user has scrolled up to read.
    auto& scrollBar = list.getVerticalScrollBar();
    const bool atEnd =
        sizeBefore == 0 || scrollBar.getCurrentRangeStart() + scrollBar.getCurrentRangeSize() >=
                               scrollBar.getMaximumRangeLimit() - 0.5;
    const bool sameRows =
        rows.size() == sizeBefore && (sizeBefore == 0 || rows[0].first == firstBefore);
    ++updates;
    if (sameRows)
        list.repaint(); // a summary line that grew
    else
        list.updateContent();
    if (atEnd && rows.size() > 0)
        list.scrollToEnsureRowIsOnscreen(static_cast<int>(rows.size()) - 1);

    count.setText(juce::String(static_cast<juce::int64>(shown.size())) + " of the last " +
                      juce::String(static_cast<juce::int64>(log.capacity())) + " messages" +
                      (log.isPaused() ? " (paused)" : ""),
                  juce::dontSendNotification);
}

int MidiMonitorComponent::getNumRows()
{
    return static_cast<int>(rows.size());
}

juce::String MidiMonitorComponent::rowText(int row) const
{
    const auto line = row < 0 ? std::nullopt : rows.line(static_cast<size_t>(row), log);
    if (!line)
        return {};
    return text(line->time + "  " + line->direction + "  " + line->hex + "  " + line->meaning);
}

void MidiMonitorComponent::paintListBoxItem(int row, juce::Graphics& g, int width, int height,
                                            bool selected)
{
    if (selected)
        g.fillAll(juce::Colour(0xFFCDE4FB));
    else if (row % 2 == 1)
        g.fillAll(juce::Colour(0xFFF6F6F6));

    const auto shownLine = row < 0 ? std::nullopt : rows.line(static_cast<size_t>(row), log);
    if (!shownLine)
        return; // cleared or overwritten since the last update
    const auto& line = *shownLine;
    const bool in = line.direction == "IN";

    g.setFont(monospaced());
    g.setColour(juce::Colour(0xFF2D2D2D));
    int x = 4;
    g.drawText(text(line.time), x, 0, timeWidth, height, juce::Justification::centredLeft, false);
    x += timeWidth;
    g.setColour(in ? juce::Colour(0xFF1565C0) : juce::Colour(0xFF2E7D32));
    g.drawText(text(line.direction), x, 0, directionWidth, height, juce::Justification::centredLeft,
               false);
    x += directionWidth;
    const int rest = juce::jmax(0, width - x - 4);
    const int hexWidth = rest * hexShare / 100;
    g.setColour(juce::Colour(0xFF707070));
    g.drawText(text(line.hex), x, 0, hexWidth - 8, height, juce::Justification::centredLeft, true);
    x += hexWidth;
    g.setColour(juce::Colour(0xFF2D2D2D));
    g.drawText(text(line.meaning), x, 0, rest - hexWidth, height, juce::Justification::centredLeft,
               true);
}

bool MidiMonitorComponent::saveTo(const juce::File& file) const
{
    const auto all = log.toText();
    return nativefile::replaceWith(nativefile::carried(file), all.data(), all.size());
}

void MidiMonitorComponent::chooseFileAndSave()
{
    chooser = std::make_unique<juce::FileChooser>(
        "Save MIDI Messages",
        juce::File::getSpecialLocation(juce::File::userDocumentsDirectory)
            .getChildFile("Kestra MIDI messages.txt"),
        "*.txt");
    chooser->launchAsync(juce::FileBrowserComponent::saveMode |
                             juce::FileBrowserComponent::canSelectFiles |
                             juce::FileBrowserComponent::warnAboutOverwriting,
                         [this](const juce::FileChooser& fc)
                         {
                             const auto file = fc.getResult();
                             if (file == juce::File() || saveTo(file))
                                 return;
                             juce::AlertWindow::showMessageBoxAsync(
                                 juce::MessageBoxIconType::WarningIcon, "MIDI Monitor",
                                 "The messages could not be saved to\n" +
                                     juce::String::fromUTF8(nativefile::shownPath(file).c_str()));
                         });
}

// ---- the window ------------------------------------------------------------------------

MidiMonitorWindow::MidiMonitorWindow(MessageLog& log,
                                     std::function<bool(const juce::KeyPress&)> keyHandler)
    : ToolWindow(title, new MidiMonitorComponent(log), {minimumWidth, minimumHeight},
                 std::move(keyHandler)),
      content(static_cast<MidiMonitorComponent*>(getContentComponent()))
{
}

} // namespace kestra
