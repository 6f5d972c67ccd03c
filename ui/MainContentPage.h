#pragma once

// One page of the window as MainContentComponent builds it: for the files
// that define its members (ui/MainContentComponent.h).

#include "ui/MainContentComponent.h"

#include <memory>
#include <vector>

namespace kestra
{

struct MainContentComponent::Page
{
    // One of the page's components, tagged with the views it belongs to.
    struct Entry
    {
        juce::Component* component;
        unsigned views;
        bool hiddenForModel2; // the Gospel Set and Upper Layer Mode rows
    };

    pictures::PictureComponent icon;
    juce::Label title;
    std::vector<std::unique_ptr<juce::Label>> labels; // section headers and parameter labels
    std::vector<Entry> entries;                       // in building order
};

} // namespace kestra
