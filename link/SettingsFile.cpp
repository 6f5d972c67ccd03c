#include "link/SettingsFile.h"

#include "link/NativeFile.h"
#include "link/SafeXml.h"

#include <atomic>
#include <cstdlib>

namespace kestra
{

namespace
{
// Far more than the few values the editor keeps.
constexpr size_t maxSettingsSize = 1024 * 1024;
// The document element JUCE's PropertiesFile writes.
constexpr const char* settingsTag = "PROPERTIES";

std::atomic<bool> setAsideUntold{false};

// Settings live where the platform keeps them. On Linux that is the XDG
// configuration folder rather than a new folder in the user's home; on
// Windows a folder of the program's own in the user's roaming application
// data (%APPDATA%\Kestra Editor). Both honour the environment variable that
// names the base folder, as other programs do (tests point it elsewhere).
juce::String settingsFolderName()
{
#if JUCE_LINUX || JUCE_BSD
    // As bytes: the variable may name a folder whose name is not UTF-8.
    const char* variable = std::getenv("XDG_CONFIG_HOME");
    auto base = variable != nullptr ? nativefile::textFromBytes(variable) : juce::String();
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

juce::PropertiesFile::Options uncheckedOptions()
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

bool isSound(const juce::File& file)
{
    if (nativefile::kindOf(file) != nativefile::Kind::regular)
        return false;
    const auto contents = nativefile::readRegular(file, maxSettingsSize + 1);
    return contents.read && contents.size <= maxSettingsSize &&
           safexml::parse(std::string_view(reinterpret_cast<const char*>(contents.bytes.data()),
                                           contents.bytes.size()),
                          settingsTag) != nullptr;
}
} // namespace

bool setAsideDamagedSettings()
{
    const auto file = uncheckedOptions().getDefaultFile();
    if (nativefile::kindOf(file) == nativefile::Kind::missing || isSound(file))
        return false;
    // Kept for whoever wants to look; JUCE must never read it.
    if (!nativefile::moveAside(file, settingsFolder().getChildFile("Damaged")).has_value())
        nativefile::removeFile(file);
    setAsideUntold = true;
    return true;
}

bool takeSettingsSetAside()
{
    return setAsideUntold.exchange(false);
}

juce::PropertiesFile::Options settingsFileOptions()
{
    setAsideDamagedSettings();
    return uncheckedOptions();
}

juce::File settingsFolder()
{
    return juce::File(settingsFolderName());
}

} // namespace kestra
