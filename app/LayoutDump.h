#pragma once

// `KestraEditor --print-layout`: the window's named components as JSON, so
// that a program driving the editor (tests/e2e/) finds what to click from
// the editor itself.

#include <juce_gui_basics/juce_gui_basics.h>

namespace kestra
{

// The switch on the command line that asks for the layout.
constexpr const char* printLayoutSwitch = "--print-layout";

// Every component under `content` that has a component ID, in the order of
// the component tree:
//   {"width": 1024, "height": 685, "components": [
//     {"id": "connect", "page": null, "views": [], "bounds": {"x": 450, ...}},
//     {"id": "16", "page": 2, "views": ["rock"], "bounds": {...}}, ...]}
// "page" is the page (0 ... 5) the component is shown on, null when it shows
// on every page; "views" the views of that page it shows in, empty when it
// shows in all of them; "bounds" its place relative to `window`. A
// parameter control's page and views are its place in the catalogue; a view
// button and LOAD... are on the page of their views and row.
juce::String layoutAsJson(const juce::Component& window, const juce::Component& content);

} // namespace kestra
