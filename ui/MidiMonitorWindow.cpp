#include "ui/MidiMonitorWindow.h"

#include "ui/CustomAlertWindow.h"

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
    return file.replaceWithData(all.data(), all.size());
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
                                 "The messages could not be saved to\n" + file.getFullPathName());
                         });
}

// ---- the window ------------------------------------------------------------------------

MidiMonitorWindow::MidiMonitorWindow(MessageLog& log,
                                     std::function<bool(const juce::KeyPress&)> keyHandler)
    : juce::DocumentWindow(title, juce::Colour(0xFFF1F1F1),
                           juce::DocumentWindow::minimiseButton |
                               juce::DocumentWindow::closeButton),
      keys(std::move(keyHandler))
{
    content = new MidiMonitorComponent(log);
    setUsingNativeTitleBar(true);
    setContentOwned(content, true);
    setResizable(true, false);
    setResizeLimits(480, 200, 4096, 4096);
    setWantsKeyboardFocus(true);
    setComponentID(CustomAlertWindow::notBlockedId);
}

void MidiMonitorWindow::closeButtonPressed()
{
    setVisible(false);
}

bool MidiMonitorWindow::keyPressed(const juce::KeyPress& key)
{
    return (keys && keys(key)) || juce::DocumentWindow::keyPressed(key);
}

void MidiMonitorWindow::placeBeside(const juce::Component& editorWindow)
{
    // The frames the window manager puts around both windows, alike; none
    // known (no window manager, or not yet mapped): none counted.
    juce::BorderSize<int> frame;
    if (auto* peer = editorWindow.getPeer())
        if (const auto size = peer->getFrameSizeIfPresent())
            frame = *size;
    const auto editor = frame.addedTo(editorWindow.getScreenBounds());
    const auto* display = juce::Desktop::getInstance().getDisplays().getDisplayForRect(editor);
    const auto screen = display != nullptr ? display->userArea : editor;
    const juce::Point<int> frameSize{frame.getLeftAndRight(), frame.getTopAndBottom()};
    const auto outer =
        kestra::placeBeside(editor, screen, juce::Point<int>{getWidth(), getHeight()} + frameSize,
                            juce::Point<int>{minimumWidth, minimumHeight} + frameSize);
    setBounds(frame.subtractedFrom(outer));
}

// ---- where it opens ----------------------------------------------------------------------

juce::Rectangle<int> placeBeside(juce::Rectangle<int> editor, juce::Rectangle<int> screen,
                                 juce::Point<int> size, juce::Point<int> smallest)
{
    constexpr int gap = 8;
    enum Side
    {
        right,
        left,
        below,
        above
    };
    const Side sides[] = {right, left, below, above};
    const int room[] = {
        screen.getRight() - editor.getRight() - gap,
        editor.getX() - screen.getX() - gap,
        screen.getBottom() - editor.getBottom() - gap,
        editor.getY() - screen.getY() - gap,
    };
    const auto across = [](Side side) { return side == right || side == left; };
    // The monitor on a side, `extent` wide (beside) or high (below, above),
    // lined up with the editor's top or left edge, then moved into the screen.
    const auto on = [&](Side side, int extent)
    {
        juce::Rectangle<int> r;
        switch (side)
        {
        case right:
            r = {editor.getRight() + gap, editor.getY(), extent, size.y};
            break;
        case left:
            r = {editor.getX() - gap - extent, editor.getY(), extent, size.y};
            break;
        case below:
            r = {editor.getX(), editor.getBottom() + gap, size.x, extent};
            break;
        case above:
            r = {editor.getX(), editor.getY() - gap - extent, size.x, extent};
            break;
        }
        r.setSize(juce::jmin(r.getWidth(), screen.getWidth()),
                  juce::jmin(r.getHeight(), screen.getHeight()));
        return r.constrainedWithin(screen);
    };

    for (const auto side : sides)
        if (room[side] >= (across(side) ? size.x : size.y))
            return on(side, across(side) ? size.x : size.y);
    for (const auto side : sides)
        if (room[side] >= (across(side) ? smallest.x : smallest.y))
            return on(side, room[side]);

    // No room anywhere: at the smallest size, where it covers the least of
    // the editor. Below comes first, then right, left and above: a later side
    // must cover clearly less (by a twentieth) to be taken, so that the
    // monitor does not move over the toolbar for a few pixels.
    juce::Rectangle<int> best;
    juce::int64 bestCovered = 0;
    for (const auto side : {below, right, left, above})
    {
        const auto r = on(side, across(side) ? smallest.x : smallest.y);
        const auto covered = r.getIntersection(editor);
        const auto area = static_cast<juce::int64>(covered.getWidth()) * covered.getHeight();
        if (best.isEmpty() || area * 20 < bestCovered * 19)
        {
            best = r;
            bestCovered = area;
        }
    }
    return best;
}

} // namespace kestra
