#include "editor/Snapshots.h"

#include "editor/MessageTexts.h"
#include "files/ProjectFile.h"
#include "model/ProjectRecord.h"

#include <utility>

namespace kestra
{

namespace
{
// The automatic snapshots' labels.
constexpr const char* connectedLabel = "Connected: ";
constexpr const char* beforeOpeningLabel = "Before opening ";
constexpr const char* beforeResetLabel = "Before reset";
constexpr const char* storedLabel = "Stored";
constexpr const char* offlineEditsLabel = "Offline edits before connecting";
constexpr const char* beforeCompareLabel = "Before compare";

// "Kestra Brio", "Kestra Brio QMR".
std::string modelText(int modelIndex, int hardwareRevision)
{
    std::string text = modelName(modelIndex);
    const std::string suffix = revisionSuffix(hardwareRevision);
    return suffix.empty() ? text : text + " " + suffix;
}

// "1.23" of "rel 1.23".
std::string versionNumber(const std::string& versionText)
{
    const std::string prefix = "rel ";
    return versionText.rfind(prefix, 0) == 0 ? versionText.substr(prefix.size()) : versionText;
}
} // namespace

Snapshots::Snapshots(Host& hostToUse, Dialogs& dialogsToUse, const juce::File& folder,
                     const juce::File& lastFileFolder)
    : host(hostToUse), dialogs(dialogsToUse), lastFolder(lastFileFolder), snapshotStore(folder)
{
}

template <typename Function> auto Snapshots::whileAlive(Function function)
{
    return [snapshots = juce::WeakReference<Snapshots>(this), function](auto&&... arguments)
    {
        if (snapshots != nullptr)
            function(std::forward<decltype(arguments)>(arguments)...);
    };
}

// ---- the automatic ones ----------------------------------------------------------------------

int Snapshots::keep(const std::string& label, const ProjectRecord& record, bool connected,
                    bool automatic)
{
    SnapshotInfo info;
    info.taken = juce::Time::getCurrentTime();
    info.label = label;
    if (connected)
    {
        info.model = modelText(record.modelIndex, record.hardwareRevision);
        info.version = versionNumber(host.instrumentVersion());
    }
    info.automatic = automatic;
    const int id = snapshotStore.add(info, record);
    if (id >= 0)
        host.snapshotsChanged();
    sayDamageOnce();
    return id;
}

void Snapshots::sayDamageOnce()
{
    // Found while the folder was read for a change: said after what the
    // command itself says, so that neither box hides the other.
    if (snapshotStore.takeDamageFound())
        juce::MessageManager::callAsync(
            whileAlive([this] { dialogs.notice(texts::snapshotsLeftOut); }));
}

bool Snapshots::refresh()
{
    const bool changed = snapshotStore.refresh();
    if (snapshotStore.info(selectedId) == std::nullopt)
        selectedId = -1;
    if (changed)
        host.snapshotsChanged();
    sayDamageOnce();
    return changed;
}

void Snapshots::takeAutomatic(const std::string& label, const ProjectRecord& record, bool connected)
{
    // A folder that cannot be written is said once; the command goes on.
    static constexpr bool automatic = true;
    if (keep(label, record, connected, automatic) < 0 && !automaticNotSavedSaid)
    {
        automaticNotSavedSaid = true;
        dialogs.notice(texts::snapshotNotSaved);
    }
}

void Snapshots::dumpStarting(const ProjectRecord& before)
{
    if (!offlineEdits)
        return;
    offlineEdits = false;
    takeAutomatic(offlineEditsLabel, before, false);
}

void Snapshots::instrumentValuesArrived()
{
    endCompare();
    offlineEdits = false;
}

void Snapshots::instrumentFound(int modelIndex, int hardwareRevision)
{
    takeAutomatic(std::string(connectedLabel) + modelText(modelIndex, hardwareRevision) + " " +
                      versionNumber(host.instrumentVersion()),
                  host.currentRecord(), true);
}

void Snapshots::storeConfirmed()
{
    takeAutomatic(storedLabel, host.currentRecord(), true);
}

void Snapshots::resetAccepted()
{
    if (host.connected())
        takeAutomatic(beforeResetLabel, host.currentRecord(), true);
}

void Snapshots::projectOpening(const ProjectRecord& before)
{
    // The send waits for BulkSendTimer: the values it replaces are kept first.
    if (host.connected())
        takeAutomatic(beforeOpeningLabel + openingFileName.toStdString(), before, true);
}

void Snapshots::userEdited()
{
    if (!host.connected())
        offlineEdits = true;
    endCompare();
}

void Snapshots::endCompare()
{
    if (!std::exchange(comparing, false))
        return;
    playingB = false;
    host.snapshotsChanged();
}

// ---- the commands ----------------------------------------------------------------------------

void Snapshots::take()
{
    const auto suggested = juce::Time::getCurrentTime().formatted("%Y-%m-%d %H:%M").toStdString();
    dialogs.askText(texts::snapshotLabelQuestion, suggested,
                    whileAlive(
                        [this](std::optional<std::string> typed)
                        {
                            if (typed.has_value())
                                take(*typed);
                        }));
}

int Snapshots::take(const std::string& label)
{
    const int id = keep(label, host.currentRecord(), host.connected(), false);
    if (id < 0)
        dialogs.notice(texts::snapshotNotSaved);
    return id;
}

void Snapshots::select(int id)
{
    const int now = snapshotStore.info(id).has_value() ? id : -1;
    if (std::exchange(selectedId, now) != now)
        host.snapshotsChanged();
}

bool Snapshots::recall(int id)
{
    const auto snapshot = snapshotStore.record(id);
    if (!snapshot.has_value() || !host.canApply())
        return false;
    host.applyRecord(*snapshot, true);
    userEdited();
    return true;
}

bool Snapshots::compare()
{
    if (!host.canApply())
        return false;
    if (comparing && playingB)
    {
        playingB = false;
        host.applyRecord(compareARecord, false);
        host.snapshotsChanged();
        return true;
    }
    const int b = snapshotStore.info(selectedId).has_value() ? selectedId : snapshotStore.newest();
    const auto snapshot = snapshotStore.record(b);
    if (!snapshot.has_value())
        return false;
    if (!comparing)
    {
        compareARecord = host.currentRecord();
        compareAId = keep(beforeCompareLabel, compareARecord, host.connected(), true);
        comparing = true;
    }
    compareBId = b;
    playingB = true;
    host.applyRecord(*snapshot, false);
    host.snapshotsChanged();
    return true;
}

std::vector<DifferenceRow> Snapshots::differences(int id) const
{
    const auto snapshot = snapshotStore.record(id);
    if (!snapshot.has_value())
        return {};
    return differenceRows(*snapshot, host.currentRecord(), host.slotNames());
}

bool Snapshots::rename(int id, const std::string& label)
{
    const bool renamed = snapshotStore.rename(id, label);
    sayDamageOnce();
    if (!renamed)
        return false;
    host.snapshotsChanged();
    return true;
}

bool Snapshots::remove(int id)
{
    if (!snapshotStore.info(id).has_value())
        return false;
    if (comparing && (id == compareAId || id == compareBId))
        endCompare(); // what plays now is the current edit
    snapshotStore.remove(id);
    sayDamageOnce();
    if (selectedId == id)
        selectedId = -1;
    host.snapshotsChanged();
    return true;
}

void Snapshots::askToRename(int id)
{
    const auto info = snapshotStore.info(id);
    if (!info.has_value())
        return;
    dialogs.askText(texts::snapshotLabelQuestion, info->label,
                    whileAlive(
                        [this, id](std::optional<std::string> typed)
                        {
                            if (typed.has_value())
                                rename(id, *typed);
                        }));
}

void Snapshots::askToRemove(int id)
{
    const auto info = snapshotStore.info(id);
    if (!info.has_value())
        return;
    dialogs.askYesOrNo(std::string(texts::snapshotDeletePrefix) + "\"" + info->label + "\"" +
                           texts::snapshotDeleteSuffix,
                       whileAlive(
                           [this, id](bool yes)
                           {
                               if (yes)
                                   remove(id);
                           }));
}

void Snapshots::exportAs(int id, std::function<void()> whenClosed)
{
    dialogs.chooseFile(Dialogs::FileKind::saveProject, lastFolder,
                       whileAlive(
                           [this, id, whenClosed](const juce::File& chosen)
                           {
                               if (chosen != juce::File())
                                   exportTo(id, chosen.getSiblingFile(juce::String::fromUTF8(
                                                    projectfile::withProjectExtension(
                                                        chosen.getFileName().toStdString())
                                                        .c_str())));
                               if (whenClosed)
                                   whenClosed();
                           }));
}

void Snapshots::exportTo(int id, const juce::File& file)
{
    if (!snapshotStore.exportTo(id, file))
        dialogs.notice(texts::projectNotSaved);
}

} // namespace kestra
