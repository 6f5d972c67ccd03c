// What a screen reader and a keyboard user find in the window: every picture
// button titled by what it does, the connected display readable, the order
// of Tab and Shift+Tab, the keys that choose a page, and who speaks the
// editor's events. The controls are titled as they are built (their row's
// label), the headings as they are made.

#include "model/PageLayout.h"
#include "ui/MainContentComponent.h"
#include "ui/MainContentPage.h"

#include <algorithm>

namespace kestra
{

namespace
{
// Tab's way through the window: its direct children that take the focus and
// are on screen, by their keyboard order, then top to bottom and left to
// right. A control's own parts (a slider's value box) are not stops of their
// own: they belong to their control.
class WindowTraverser final : public juce::ComponentTraverser
{
public:
    explicit WindowTraverser(juce::Component& windowToGoThrough) : window(windowToGoThrough) {}

    juce::Component* getDefaultComponent(juce::Component*) override
    {
        const auto stops = getAllComponents(&window);
        return stops.empty() ? nullptr : stops.front();
    }

    juce::Component* getNextComponent(juce::Component* current) override
    {
        return neighbour(current, 1);
    }

    juce::Component* getPreviousComponent(juce::Component* current) override
    {
        return neighbour(current, -1);
    }

    std::vector<juce::Component*> getAllComponents(juce::Component*) override
    {
        std::vector<juce::Component*> stops;
        for (auto* child : window.getChildren())
            if (child->getWantsKeyboardFocus() && child->isShowing() && child->isEnabled())
                stops.push_back(child);
        const auto place = [](const juce::Component* c)
        {
            const int order = c->getExplicitFocusOrder();
            return std::make_tuple(order > 0 ? order : std::numeric_limits<int>::max(), c->getY(),
                                   c->getX());
        };
        std::stable_sort(stops.begin(), stops.end(),
                         [&](const juce::Component* a, const juce::Component* b)
                         { return place(a) < place(b); });
        return stops;
    }

private:
    // The stop `step` away from the one that holds `current`; none past either end.
    juce::Component* neighbour(juce::Component* current, int step)
    {
        while (current != nullptr && current->getParentComponent() != &window)
            current = current->getParentComponent();
        const auto stops = getAllComponents(&window);
        const auto at = std::find(stops.begin(), stops.end(), current);
        if (at == stops.end())
            return nullptr;
        const auto index = (at - stops.begin()) + step;
        return index >= 0 && index < static_cast<std::ptrdiff_t>(stops.size())
                   ? stops[static_cast<size_t>(index)]
                   : nullptr;
    }

    juce::Component& window;
};
} // namespace

std::unique_ptr<juce::ComponentTraverser> MainContentComponent::createKeyboardFocusTraverser()
{
    return std::make_unique<WindowTraverser>(*this);
}

void MainContentComponent::takesKeyboardFocus(juce::Component& component)
{
    component.setWantsKeyboardFocus(true);
    focusRing.watch(component);
}

void MainContentComponent::describeForAccessibility()
{
    setFocusContainerType(FocusContainerType::keyboardFocusContainer);
    setTitle("Kestra Editor");

    // The keyboard's order, which is also a screen reader's reading order:
    // the toolbar and the connected display, the page buttons, the view
    // buttons, then each page's title, headers and rows from the top.
    int order = 0;
    const auto next = [&order](juce::Component& component)
    { component.setExplicitFocusOrder(++order); };

    const struct
    {
        juce::Button& button;
        const char* title;
    } toolbar[] = {{openButton, "OPEN"},   {saveButton, "SAVE"},   {connectButton, "CONNECT"},
                   {storeButton, "STORE"}, {resetButton, "RESET"}, {tonewheelButton, "TONEWHEEL"}};
    for (const auto& t : toolbar)
    {
        t.button.setTitle(t.title);
        // A click leaves the focus where it was, as it always has.
        t.button.setMouseClickGrabsKeyboardFocus(false);
        takesKeyboardFocus(t.button);
        next(t.button);
    }

    connectionIndicator.setTitle("Not connected");
    deviceLabel.setDescription("Connected instrument");
    firmwareLabel.setDescription("Firmware version");
    for (juce::Component* display : std::initializer_list<juce::Component*>{
             &connectionIndicator, &deviceLabel, &firmwareLabel})
        next(*display);

    for (size_t p = 0; p < pageButtons.size(); ++p)
    {
        auto& button = pageButtons[p];
        button.setTitle(pages[p]->title.getText() + " page");
        button.setMouseClickGrabsKeyboardFocus(false);
        takesKeyboardFocus(button);
        next(button);
    }

    const struct
    {
        juce::Button& button;
        const char* title;
    } viewButtons[] = {
        {mainViewButton, "MAIN view"},
        {drawbarViewButton, "DRAWBAR view"},
        {overdriveClassicButton, "CLASSIC view"},
        {overdriveRockButton, "ROCK view"},
        {rotaryCommonButton, "COMMON view"},
        {rotaryClassicButton, "CLASSIC view"},
        {rotaryRockButton, "ROCK view"},
    };
    std::vector<const juce::Component*> viewButtonList;
    for (const auto& v : viewButtons)
    {
        viewButtonList.push_back(&v.button);
        v.button.setTitle(v.title);
        v.button.setMouseClickGrabsKeyboardFocus(false);
        takesKeyboardFocus(v.button);
        next(v.button);
    }

    loadTonewheelButton.setTitle("LOAD...");
    loadTonewheelButton.setMouseClickGrabsKeyboardFocus(false);
    takesKeyboardFocus(loadTonewheelButton);

    // Each page from its top: the icon and view buttons aside, its components
    // by row, left to right within a row.
    for (const auto& page : pages)
    {
        std::vector<juce::Component*> rows;
        for (const auto& e : page->entries)
            if (e.component != &page->icon &&
                std::find(viewButtonList.begin(), viewButtonList.end(), e.component) ==
                    viewButtonList.end())
                rows.push_back(e.component);
        std::stable_sort(rows.begin(), rows.end(),
                         [](const juce::Component* a, const juce::Component* b) {
                             return std::make_pair(a->getY(), a->getX()) <
                                    std::make_pair(b->getY(), b->getX());
                         });
        for (auto* component : rows)
        {
            if (dynamic_cast<juce::Slider*>(component) != nullptr ||
                dynamic_cast<juce::ComboBox*>(component) != nullptr)
                takesKeyboardFocus(*component);
            next(*component);
        }
        page->icon.setAccessible(false);
    }

    dialogs.setAnnouncer(&spokenAnnouncer);
}

bool MainContentComponent::tabIntoWindow(const juce::KeyPress& key)
{
    const auto modifiers = key.getModifiers().withoutFlags(juce::ModifierKeys::shiftModifier);
    if (key.getKeyCode() != juce::KeyPress::tabKey || modifiers.isAnyModifierKeyDown())
        return false;
    auto* focused = getCurrentlyFocusedComponent();
    if (focused != nullptr && (focused == this || isParentOf(focused)))
        return false; // Tab's own way from there
    const auto stops = createKeyboardFocusTraverser()->getAllComponents(this);
    if (stops.empty())
        return false;
    (key.getModifiers().isShiftDown() ? stops.back() : stops.front())->grabKeyboardFocus();
    return true;
}

void MainContentComponent::setAnnouncer(Announcer& announcerToUse)
{
    dialogs.setAnnouncer(&announcerToUse);
    announcements.setAnnouncer(announcerToUse);
}

bool MainContentComponent::choosePageFromKeyboard(int page)
{
    if (page < 0 || page >= numPages)
        return false;
    auto& button = pageButtons[static_cast<size_t>(page)];
    // A page the model does not have stays hidden.
    if (button.isVisible() && !button.getToggleState())
        button.setToggleState(true, juce::sendNotificationSync);
    return true;
}

} // namespace kestra
