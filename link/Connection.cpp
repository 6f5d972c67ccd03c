// Finding the instrument's port pair, connecting and disconnecting, and the
// settings file that remembers the pair that last worked.

#include "ui/MainContentComponent.h"
#include "ui/MessageTexts.h"

namespace kestra
{

namespace
{
constexpr const char* portName = "Tollmark Kestra MIDI Port";
constexpr const char* inputIndexKey = "MidiInputIndex";
constexpr const char* outputIndexKey = "MidiOutputIndex";

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

void MainContentComponent::setUpSettings()
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
    settings.setStorageParameters(options);

    if (auto* user = settings.getUserSettings())
    {
        inputIndex = user->getIntValue(inputIndexKey, -1);
        outputIndex = user->getIntValue(outputIndexKey, -1);
    }
}

void MainContentComponent::savePortIndices()
{
    if (auto* user = settings.getUserSettings())
    {
        user->setValue(inputIndexKey, inputIndex);
        user->setValue(outputIndexKey, outputIndex);
        user->saveIfNeeded();
    }
}

bool MainContentComponent::findPortsByName()
{
    const int i = midiServices->getInputDeviceNames().indexOf(portName);
    if (i < 0)
        return false;
    const int j = midiServices->getOutputDeviceNames().indexOf(portName);
    if (j < 0)
        return false;
    inputIndex = i;
    outputIndex = j;
    return true;
}

bool MainContentComponent::openInput()
{
    midiInput.reset();
    midiInput = midiServices->openInputDevice(inputIndex, this);
    if (midiInput == nullptr)
        return false;
    midiInput->start();
    return true;
}

void MainContentComponent::connect(bool on)
{
    if (!on)
    {
        link.connected = false;
        stopTimer(PortScanTimer);
        stopTimer(DumpTimeoutTimer);
        midiInput.reset();
        const std::lock_guard<std::mutex> lock(outputLock);
        midiOutput.reset();
        return;
    }

    scanFromTop = true;
    link.connected = false;
    numInputs = midiServices->getInputDeviceNames().size();
    numOutputs = midiServices->getOutputDeviceNames().size();

    auto reopenOutput = [this]
    {
        auto output = midiServices->openOutputDevice(outputIndex);
        const std::lock_guard<std::mutex> lock(outputLock);
        midiOutput = std::move(output);
        return midiOutput != nullptr;
    };

    if (findPortsByName())
    {
        if (!(openInput() && reopenOutput()))
        {
            showMessageBox(texts::boxTitle, texts::portBusy, texts::ok, 1, {}, 2, {}, 3, nullptr);
            releaseButton(connectButton);
            return;
        }
    }
    else
    {
        openInput(); // the stored pair; a failure only means the scan starts at once
        reopenOutput();
    }

    showMessageBox(texts::boxTitle, texts::searching, texts::cancel, 1, {}, 0, {}, 0,
                   messageBoxCallback);
    startTimer(PortScanTimer, portScanPeriodMs);
    sendIdentityRequest();
}

void MainContentComponent::scanNextPortPair()
{
    if (scanFromTop)
    {
        inputIndex = numInputs;
        outputIndex = numOutputs;
        scanFromTop = false;
    }

    for (;;)
    {
        if (inputIndex == numInputs)
        {
            // Next output, skipping those that cannot be opened.
            bool opened = false;
            while (!opened)
            {
                if (--outputIndex < 0)
                {
                    showMessageBox(texts::boxTitle, texts::deviceNotFound, texts::ok, 1, {}, 2, {},
                                   3, nullptr);
                    releaseButton(connectButton);
                    return; // the last opened ports stay open
                }
                auto output = midiServices->openOutputDevice(outputIndex);
                const std::lock_guard<std::mutex> lock(outputLock);
                midiOutput = std::move(output);
                opened = midiOutput != nullptr;
            }
        }

        --inputIndex;
        while (inputIndex >= 0 && !openInput())
            --inputIndex;

        if (inputIndex >= 0)
        {
            startTimer(PortScanTimer, portScanPeriodMs);
            sendIdentityRequest();
            return;
        }
        inputIndex = numInputs;
    }
}

} // namespace kestra
