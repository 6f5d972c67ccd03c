#include "ui/Zoom.h"

#include "link/SettingsFile.h"
#include "ui/FixedSizeHints.h"
#include "ui/MainContentComponent.h"

#include <iostream>
#include <vector>

// Per-monitor DPI awareness on Windows is JUCE's: a standalone program
// declares itself per-monitor aware (v2) when it first looks at the displays,
// unless this is switched off.
#if JUCE_WINDOWS && !JUCE_WIN_PER_MONITOR_DPI_AWARE
#error "The editor needs JUCE_WIN_PER_MONITOR_DPI_AWARE: windows re-scale between monitors"
#endif

namespace kestra
{

namespace
{
// The menu's item for Auto (an item ID is never 0); the steps are their percent.
constexpr int automaticItem = 1;

// --scale, for this run only: set by Zoom::startWith.
std::optional<int>& startOption()
{
    static std::optional<int> option;
    return option;
}

std::optional<int> keptChoice()
{
    juce::PropertiesFile settings(settingsFileOptions());
    if (!settings.containsKey(Zoom::settingsKey))
        return std::nullopt;
    return ZoomSteps::parse(settings.getValue(Zoom::settingsKey).toStdString());
}

void keepChoice(int choice)
{
    // A file object of its own, read as the file is now: the other values in it stay.
    juce::PropertiesFile settings(settingsFileOptions());
    settings.setValue(Zoom::settingsKey, juce::String(ZoomSteps::toText(choice)));
    settings.saveIfNeeded();
}

// What the fit rule needs to know of a display, and how to know it again.
struct DisplayInfo
{
    ZoomSteps::Screen screen;
    juce::Rectangle<int> physicalArea;
};

DisplayInfo describe(const juce::Displays::Display& display)
{
    const double global = juce::Desktop::getInstance().getGlobalScaleFactor();
    DisplayInfo info;
    info.screen.width = juce::roundToInt(display.userArea.getWidth() * display.scale);
    info.screen.height = juce::roundToInt(display.userArea.getHeight() * display.scale);
    info.screen.desktopScale = display.scale / global;
    info.physicalArea =
        (display.totalArea.withZeroOrigin().toDouble() * display.scale).toNearestInt() +
        display.topLeftPhysical;
    return info;
}

// The physical centre of a desktop window, and the same point in logical
// coordinates again, for the display it is on.
juce::Point<double> physicalCentre(juce::Rectangle<int> bounds,
                                   const juce::Displays::Display& display)
{
    return (bounds.getCentre().toDouble() - display.totalArea.getTopLeft().toDouble()) *
               display.scale +
           display.topLeftPhysical.toDouble();
}

juce::Point<int> logicalPoint(juce::Point<double> physical, const juce::Displays::Display& display)
{
    return ((physical - display.topLeftPhysical.toDouble()) / display.scale +
            display.totalArea.getTopLeft().toDouble())
        .roundToInt();
}

// Moves a window, without changing its size, so that it and its frame lie in
// the area where they fit.
juce::Rectangle<int> keptWithin(juce::Rectangle<int> bounds, juce::BorderSize<int> frame,
                                juce::Rectangle<int> area)
{
    const auto outer = frame.addedTo(bounds);
    int dx = 0, dy = 0;
    if (outer.getWidth() <= area.getWidth())
        dx = outer.getX() < area.getX()           ? area.getX() - outer.getX()
             : outer.getRight() > area.getRight() ? area.getRight() - outer.getRight()
                                                  : 0;
    if (outer.getHeight() <= area.getHeight())
        dy = outer.getY() < area.getY()             ? area.getY() - outer.getY()
             : outer.getBottom() > area.getBottom() ? area.getBottom() - outer.getBottom()
                                                    : 0;
    return bounds.translated(dx, dy);
}

// The frame a window manager draws around a window, in physical pixels.
juce::BorderSize<int> physicalFrame(const juce::ComponentPeer* peer)
{
    if (peer == nullptr)
        return {};
    const auto frame = peer->getFrameSizeIfPresent();
    if (!frame)
        return {};
    const double scale = peer->getPlatformScaleFactor();
    return {juce::roundToInt(frame->getTop() * scale), juce::roundToInt(frame->getLeft() * scale),
            juce::roundToInt(frame->getBottom() * scale),
            juce::roundToInt(frame->getRight() * scale)};
}

juce::BorderSize<int> logicalFrame(const juce::ComponentPeer* peer, double physicalPerLogical)
{
    const auto frame = physicalFrame(peer);
    const auto logical = [physicalPerLogical](int v)
    { return juce::roundToInt(v / physicalPerLogical); };
    return {logical(frame.getTop()), logical(frame.getLeft()), logical(frame.getBottom()),
            logical(frame.getRight())};
}

// Sets the global scale. The windows on the desktop (but menus and tooltips,
// which close) keep their logical size and their centre on the screen.
void setGlobalScale(float scale)
{
    auto& desktop = juce::Desktop::getInstance();
    if (juce::approximatelyEqual(desktop.getGlobalScaleFactor(), scale))
        return;
    juce::PopupMenu::dismissAllActiveMenus();

    struct Placed
    {
        juce::Component::SafePointer<juce::Component> window;
        juce::Point<double> centre; // physical
        int width, height;
    };
    std::vector<Placed> placed;
    const auto& displays = desktop.getDisplays();
    for (int i = 0; i < desktop.getNumComponents(); ++i)
    {
        auto* component = desktop.getComponent(i);
        const auto* peer = component->getPeer();
        if (peer == nullptr ||
            (peer->getStyleFlags() & juce::ComponentPeer::windowIsTemporary) != 0)
            continue;
        const auto bounds = component->getBounds();
        if (const auto* display = displays.getDisplayForRect(bounds))
            placed.push_back({component, physicalCentre(bounds, *display), bounds.getWidth(),
                              bounds.getHeight()});
    }

    // JUCE keeps each window's size in pixels as the scale changes: the
    // windows are given their sizes again afterwards.
    desktop.setGlobalScaleFactor(scale);

    for (const auto& p : placed)
    {
        if (p.window == nullptr)
            continue;
        const auto* display = displays.getDisplayForPoint(p.centre.roundToInt(), true);
        if (display == nullptr)
            continue;
        const auto bounds =
            juce::Rectangle<int>(p.width, p.height).withCentre(logicalPoint(p.centre, *display));
        p.window->setBounds(keptWithin(bounds, logicalFrame(p.window->getPeer(), display->scale),
                                       display->userArea));
    }
}
} // namespace

Zoom::Zoom(juce::Component& editorToWatch) : editor(editorToWatch)
{
    menuLook.setMenuFont(juce::Font("Arial", 15.0f, juce::Font::plain));
    menuLook.setColour(juce::PopupMenu::backgroundColourId, juce::Colour(0xFFFEFEFE));
    menuLook.setColour(juce::PopupMenu::highlightedBackgroundColourId, juce::Colour(0xFF7BB9F8));
    chosen = startOption().value_or(keptChoice().value_or(ZoomSteps::automatic));
    editor.addComponentListener(this);
    editor.addMouseListener(this, false);
    attachTo(editor.getTopLevelComponent());
}

Zoom::~Zoom()
{
    juce::PopupMenu::dismissAllActiveMenus();
    attachTo(nullptr);
    editor.removeMouseListener(this);
    editor.removeComponentListener(this);
}

// ---- the program's start ---------------------------------------------------------------------

void Zoom::startWith(const juce::StringArray& arguments)
{
    startOption().reset();
    for (int i = 0; i < arguments.size(); ++i)
    {
        juce::String value;
        if (arguments[i] == "--scale")
            value = i + 1 < arguments.size() ? arguments[++i] : juce::String();
        else if (arguments[i].startsWith("--scale="))
            value = arguments[i].fromFirstOccurrenceOf("=", false, false);
        else
            continue;
        if (const auto choice = ZoomSteps::parse(value.toStdString()))
            startOption() = *choice;
        else
            std::cerr << "Kestra Editor: --scale takes auto, 100, 125, 150, 175 or 200, not \""
                      << value << "\"; the zoom is left as it was" << std::endl;
    }

    const auto* display = juce::Desktop::getInstance().getDisplays().getPrimaryDisplay();
    if (display == nullptr)
        return;
    const auto info = describe(*display);
    const ZoomSteps steps({MainContentComponent::width, MainContentComponent::height});
    const auto outcome =
        steps.fit(startOption().value_or(keptChoice().value_or(ZoomSteps::automatic)), info.screen);
    setGlobalScale(static_cast<float>(outcome.percent / 100.0 / info.screen.desktopScale));
}

juce::StringArray Zoom::withoutStartOption(const juce::StringArray& arguments)
{
    juce::StringArray rest;
    for (int i = 0; i < arguments.size(); ++i)
    {
        if (arguments[i] == "--scale")
            ++i; // and its value
        else if (!arguments[i].startsWith("--scale="))
            rest.add(arguments[i]);
    }
    return rest;
}

// ---- choosing --------------------------------------------------------------------------------

void Zoom::choose(int newChoice)
{
    if (!ZoomSteps::isChoice(newChoice))
        return;
    chosen = newChoice;
    startOption().reset();
    keepChoice(chosen);
    apply();
}

bool Zoom::keyPressed(const juce::KeyPress& key)
{
    const auto modifiers = key.getModifiers();
    if (!modifiers.isCommandDown() || modifiers.isAltDown())
        return false;
    const int code = key.getKeyCode();
    const auto character = key.getTextCharacter();
    enum
    {
        none,
        bigger,
        smaller,
        automatic
    } step = none;
    if (code == '=' || code == '+' || code == juce::KeyPress::numberPadAdd || character == '+' ||
        character == '=')
        step = bigger;
    else if (code == '-' || code == juce::KeyPress::numberPadSubtract || character == '-')
        step = smaller;
    else if (code == '0' || code == juce::KeyPress::numberPad0)
        step = automatic;
    if (step == none)
        return false;

    if (step == automatic)
    {
        choose(ZoomSteps::automatic);
        return true;
    }
    if (const auto where = screenNow())
    {
        const int next = step == bigger ? where->steps.bigger(chosen, where->screen)
                                        : where->steps.smaller(chosen, where->screen);
        if (next != chosen)
            choose(next);
    }
    return true;
}

std::optional<Zoom::Place> Zoom::screenNow() const
{
    auto* target = window != nullptr ? window.getComponent() : &editor;
    const auto& displays = juce::Desktop::getInstance().getDisplays();
    const auto* display = target->isOnDesktop()
                              ? displays.getDisplayForRect(target->getScreenBounds())
                              : displays.getPrimaryDisplay();
    if (display == nullptr)
        return std::nullopt;
    const auto frame = physicalFrame(target->getPeer());
    return Place{ZoomSteps({target->getWidth(), target->getHeight(), frame.getLeftAndRight(),
                            frame.getTopAndBottom()}),
                 describe(*display).screen};
}

juce::PopupMenu Zoom::menu() const
{
    juce::PopupMenu menu;
    menu.setLookAndFeel(&menuLook);
    menu.addSectionHeader("Zoom");
    if (const auto where = screenNow())
        for (const auto& item : where->steps.menu(chosen, where->screen))
            menu.addItem(item.choice == ZoomSteps::automatic ? automaticItem : item.choice,
                         item.text, item.enabled, item.ticked);
    return menu;
}

void Zoom::showMenu(juce::Point<int> where)
{
    const auto area = juce::Rectangle<int>(1, 1).withPosition(editor.localPointToGlobal(where));
    menu().showMenuAsync(juce::PopupMenu::Options().withTargetScreenArea(area),
                         [self = juce::WeakReference<Zoom>(this)](int item)
                         {
                             if (self != nullptr && item != 0)
                                 self->choose(item == automaticItem ? ZoomSteps::automatic : item);
                         });
}

// ---- applying --------------------------------------------------------------------------------

void Zoom::apply()
{
    if (window == nullptr || applying || !window->isOnDesktop())
        return;
    const juce::ScopedValueSetter<bool> once(applying, true);
    watchPeer();
    const auto* display =
        juce::Desktop::getInstance().getDisplays().getDisplayForRect(window->getScreenBounds());
    const auto where = screenNow();
    if (display == nullptr || !where)
        return;
    const auto info = describe(*display);
    used = where->steps.fit(chosen, info.screen);
    lastDisplay = info.physicalArea;
    setGlobalScale(static_cast<float>(used.percent / 100.0 / info.screen.desktopScale));
    if (window != nullptr)
        tellFixedSize(*window);
}

void Zoom::attachTo(juce::Component* newWindow)
{
    if (newWindow == window.getComponent())
        return;
    unwatchPeer();
    if (window != nullptr && window.getComponent() != &editor)
        window->removeComponentListener(this);
    window = newWindow;
    lastDisplay.reset();
    if (newWindow == nullptr)
        return;
    newWindow->addComponentListener(this);
    apply();
}

void Zoom::watchPeer()
{
    auto* peer = window != nullptr ? window->getPeer() : nullptr;
    if (peer == watchedPeer)
        return;
    unwatchPeer();
    if (peer != nullptr)
        peer->addScaleFactorListener(this);
    watchedPeer = peer;
}

void Zoom::unwatchPeer()
{
    if (watchedPeer != nullptr && juce::ComponentPeer::isValidPeer(watchedPeer))
        watchedPeer->removeScaleFactorListener(this);
    watchedPeer = nullptr;
}

void Zoom::componentMovedOrResized(juce::Component& component, bool, bool)
{
    if (&component != window.getComponent() || applying)
        return;
    watchPeer();
    tellFixedSize(component);
    // On another display, the fit and Auto may give another step.
    const auto* display =
        juce::Desktop::getInstance().getDisplays().getDisplayForRect(component.getScreenBounds());
    if (display != nullptr && lastDisplay && describe(*display).physicalArea != *lastDisplay)
        juce::MessageManager::callAsync(
            [self = juce::WeakReference<Zoom>(this)]
            {
                if (self != nullptr)
                    self->apply();
            });
}

void Zoom::componentVisibilityChanged(juce::Component& component)
{
    if (&component == window.getComponent() && !applying)
    {
        watchPeer();
        tellFixedSize(component);
    }
}

void Zoom::componentParentHierarchyChanged(juce::Component& component)
{
    if (&component == &editor)
        attachTo(editor.getTopLevelComponent());
    if (&component == window.getComponent() && component.isOnDesktop() && !applying)
    {
        // On the desktop, or on it again with a new native window.
        if (!lastDisplay)
            apply();
        watchPeer();
        tellFixedSize(component);
    }
}

void Zoom::componentBeingDeleted(juce::Component& component)
{
    if (&component == window.getComponent() && &component != &editor)
        attachTo(nullptr);
}

void Zoom::mouseDown(const juce::MouseEvent& event)
{
    if (event.eventComponent == &editor && event.mods.isPopupMenu())
        showMenu(event.getPosition());
}

void Zoom::nativeScaleFactorChanged(double)
{
    juce::MessageManager::callAsync(
        [self = juce::WeakReference<Zoom>(this)]
        {
            if (self != nullptr)
                self->apply();
        });
}

} // namespace kestra
