#include "link/SettingsFile.h"

namespace kestra
{

namespace
{
// Settings live where the platform keeps them. On Linux that is the XDG
// configuration folder rather than a new folder in the user's home; on
// Windows a folder of the program's own in the user's roaming application
// data (%APPDATA%\Kestra Editor). Both honour the environment variable that
// names the base folder, as other programs do (tests point it elsewhere).
juce::String settingsFolderName()
{
#if JUCE_LINUX || JUCE_BSD
    auto base = juce::SystemStats::getEnvironmentVariable("XDG_CONFIG_HOME", {});
    if (base.isEmpty() || !juce::File::isAbsolutePath(base))
        base = juce::File::getSpecialLocation(juce::File::userHomeDirectory)
                   .getChildFile(".config")
                   .getFullPathName();
    return juce::File(base).getChildFile("Kestra Editor").getFullPathName();
#elif JUCE_WINDOWS
    auto base = juce::SystemStats::getEnvironmentVariable("APPDATA", {});
    if (base.isEmpty() || !juce::File::isAbsolutePath(base))
        base = juce::File::getSpecialLocation(juce::File::userApplicationDataDirectory)
                   .getFullPathName();
    return juce::File(base).getChildFile("Kestra Editor").getFullPathName();
#else
    return "Settings";
#endif
}
} // namespace

juce::PropertiesFile::Options settingsFileOptions()
{
    juce::PropertiesFile::Options options;
    options.applicationName = "Kestra Editor";
    options.filenameSuffix = "settings";
    options.folderName = settingsFolderName();
    options.osxLibrarySubFolder = "Application Support";
    options.commonToAllUsers = true;
    options.ignoreCaseOfKeyNames = true;
    options.doNotSave = false;
    options.millisecondsBeforeSaving = 3000;
    options.storageFormat = juce::PropertiesFile::storeAsXML;
    return options;
}

juce::File settingsFolder()
{
    return juce::File(settingsFolderName());
}

} // namespace kestra
