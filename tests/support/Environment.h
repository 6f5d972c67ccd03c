#pragma once

// Setting environment variables from tests and tools, on Linux and Windows.

#include <juce_core/juce_core.h>

#if JUCE_WINDOWS
#include <cstdlib>
#else
#include <stdlib.h>
#endif

namespace kestra::testing
{

// The variable naming the folder under which the editor keeps its settings
// (its "Kestra Editor" folder, link/Connection.cpp).
#if JUCE_WINDOWS
inline constexpr const char* settingsBaseVariable = "APPDATA";
#else
inline constexpr const char* settingsBaseVariable = "XDG_CONFIG_HOME";
#endif

// Sets a variable of this process, seen by getenv and by JUCE alike.
inline void setEnvironmentVariable(const char* name, const juce::String& value)
{
#if JUCE_WINDOWS
    _wputenv_s(juce::String(name).toWideCharPointer(), value.toWideCharPointer());
#else
    setenv(name, value.toRawUTF8(), 1);
#endif
}

} // namespace kestra::testing
