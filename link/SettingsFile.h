#pragma once

// The editor's one settings file (XML): where it lives and how it is opened.
// Several parts of the editor keep a value in it, each through a
// juce::PropertiesFile of its own; each reads the file again before it
// writes, so that none writes back another's value as it was at start-up.
//
//   Linux:   $XDG_CONFIG_HOME/Kestra Editor/Kestra Editor.settings (~/.config when not set)
//   Windows: %APPDATA%\Kestra Editor\Kestra Editor.settings
//
// The file is checked before JUCE reads it (link/SafeXml.h): one that is not
// a regular file, is larger than any the editor writes, nests too deep or is
// not the settings' XML is damaged. It is moved into "Damaged" in the
// settings folder, the editor starts with its defaults, and the faces say so
// once (takeSettingsSetAside()).

#include <juce_data_structures/juce_data_structures.h>

namespace kestra
{

// The options every part opens the file with; the file is checked first.
juce::PropertiesFile::Options settingsFileOptions();

// Checks the settings file before a part reads it again; true when it was
// damaged and has been moved aside.
bool setAsideDamagedSettings();

// True once after the settings file was moved aside, for the notice.
bool takeSettingsSetAside();

// The folder that holds the settings file (and the snapshots' folder).
juce::File settingsFolder();

} // namespace kestra
