#include "app/LayoutDump.h"

#include "model/ParameterCatalogue.h"

#include <utility>

namespace kestra
{

namespace
{
// Where a component shows: a page (-1: every page) and views of it.
struct Placement
{
    int page = -1;
    unsigned views = views::all;
};

// LOAD... sits in the row of the Tonewheel Model selector.
constexpr int tonewheelModelNumber = 97;

Placement placementOf(const juce::String& id)
{
    const auto placeOf = [](const PagePlace& place) { return Placement{place.page, place.views}; };

    if (id.isNotEmpty() && id.containsOnly("0123456789") &&
        isValidParameterNumber(id.getIntValue()))
        return placeOf(parameterInfo(id.getIntValue()).place);
    if (id == "chorus-level")
        return placeOf(chorusLevelControl.place);
    if (id == "load-tonewheel")
        return {parameterInfo(tonewheelModelNumber).place.page, views::all};

    // A view button shows in every view of its page.
    const std::pair<const char*, int> viewButtonPages[] = {
        {"view-main", 0}, {"view-drawbar", 0}, {"view-overdrive-", 2}, {"view-rotary-", 3}};
    for (const auto& [prefix, page] : viewButtonPages)
        if (id.startsWith(prefix))
            return {page, views::all};
    return {}; // the toolbar, the page buttons
}

juce::var viewNames(unsigned viewBits)
{
    juce::Array<juce::var> names;
    if (viewBits == views::all)
        return names;
    const std::pair<unsigned, const char*> named[] = {{views::classic, "classic"},
                                                      {views::rock, "rock"},
                                                      {views::common, "common"},
                                                      {views::main, "main"},
                                                      {views::drawbar, "drawbar"}};
    for (const auto& [bit, name] : named)
        if ((viewBits & bit) != 0)
            names.add(name);
    return names;
}

juce::var entryFor(const juce::Component& window, const juce::Component& component)
{
    const auto placement = placementOf(component.getComponentID());
    const auto area = window.getLocalArea(&component, component.getLocalBounds());

    auto* bounds = new juce::DynamicObject();
    bounds->setProperty("x", area.getX());
    bounds->setProperty("y", area.getY());
    bounds->setProperty("width", area.getWidth());
    bounds->setProperty("height", area.getHeight());

    auto* entry = new juce::DynamicObject();
    entry->setProperty("id", component.getComponentID());
    entry->setProperty("page", placement.page >= 0 ? juce::var(placement.page) : juce::var());
    entry->setProperty("views", viewNames(placement.views));
    entry->setProperty("bounds", bounds);
    return entry;
}

void addNamed(const juce::Component& window, const juce::Component& parent,
              juce::Array<juce::var>& entries)
{
    for (const auto* child : parent.getChildren())
    {
        if (child->getComponentID().isNotEmpty())
            entries.add(entryFor(window, *child));
        addNamed(window, *child, entries);
    }
}
} // namespace

juce::String layoutAsJson(const juce::Component& window, const juce::Component& content)
{
    juce::Array<juce::var> entries;
    addNamed(window, content, entries);

    auto* layout = new juce::DynamicObject();
    layout->setProperty("width", window.getWidth());
    layout->setProperty("height", window.getHeight());
    layout->setProperty("components", entries);
    return juce::JSON::toString(layout);
}

} // namespace kestra
