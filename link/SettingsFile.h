#pragma once

// The editor's one settings file (XML): where it lives and how it is opened.
// Several parts of the editor keep a value in it, each through a
// juce::PropertiesFile of its own; each reads the file again before it
// writes, so that none writes back another's value as it was at start-up.
//
//   Linux:   $XDG_CONFIG_HOME/Kestra Editor/Kestra Editor.settings (~/.config when not set)
//   Windows: %APPDATA%\Kestra Editor\Kestra Editor.settings

#include <juce_data_structures/juce_data_structures.h>

namespace kestra
{

juce::PropertiesFile::Options settingsFileOptions();

// The folder that holds the settings file (and the snapshots' folder).
juce::File settingsFolder();

} // namespace kestra
