#include "files/SnapshotStore.h"

#include "files/ProjectFile.h"
#include "link/NativeFile.h"

#include <algorithm>
#include <map>
#include <set>

namespace kestra
{

namespace
{
constexpr const char* indexName = "index.xml";
constexpr const char* lockName = ".lock";
constexpr const char* damagedName = "Damaged";
constexpr const char* filePrefix = "snapshot-";
// What a snapshot found without its index entry is called: its label, model
// and version went with the index.
constexpr const char* recoveredLabel = "Recovered snapshot";
// How many ids a new snapshot tries past the newest before it gives up.
constexpr int maxIdAttempts = 1000;

// The id in a snapshot file's name ("snapshot-12.tkp"), or 0 for a name that
// is not one the store writes.
int idOfName(const std::string& name)
{
    const std::string prefix = filePrefix, extension = projectfile::fileExtension;
    if (name.size() <= prefix.size() + extension.size() || name.rfind(prefix, 0) != 0 ||
        name.compare(name.size() - extension.size(), extension.size(), extension) != 0)
        return 0;
    const auto digits = name.substr(prefix.size(), name.size() - prefix.size() - extension.size());
    if (digits.size() > 9 || digits[0] == '0' ||
        digits.find_first_not_of("0123456789") != std::string::npos)
        return 0;
    return std::stoi(digits);
}

// What OPEN would read back from the record's file.
bool opensAgain(const ProjectRecord& record)
{
    const auto image = projectfile::toImage(record);
    return projectfile::parse(image.data(), image.size()).fault == projectfile::Fault::none;
}

SnapshotInfo kept(SnapshotInfo info)
{
    info.label = snapshotindex::keptText(info.label);
    info.model = snapshotindex::keptText(info.model);
    info.version = snapshotindex::keptText(info.version);
    return info;
}
} // namespace

SnapshotStore::SnapshotStore(juce::File folder) : directory(std::move(folder)) {}

juce::File SnapshotStore::fileOf(int id) const
{
    return directory.getChildFile(juce::String(filePrefix) + juce::String(id) +
                                  projectfile::fileExtension);
}

juce::File SnapshotStore::indexFile() const
{
    return directory.getChildFile(indexName);
}

juce::File SnapshotStore::damagedFolder() const
{
    return directory.getChildFile(damagedName);
}

std::optional<ProjectRecord> SnapshotStore::readRecord(const juce::File& file)
{
    const auto contents = nativefile::readRegular(file, projectfile::fileSize);
    if (!contents.read)
        return std::nullopt;
    const auto parsed = projectfile::parse(contents.bytes.data(), contents.bytes.size());
    if (parsed.fault != projectfile::Fault::none)
        return std::nullopt;
    return parsed.record;
}

const SnapshotStore::Entry* SnapshotStore::find(int id) const
{
    for (const auto& e : entries)
        if (e.info.id == id)
            return &e;
    return nullptr;
}

// ---- reading the folder ------------------------------------------------------------------

void SnapshotStore::setAside(const juce::File& file, bool mayChange)
{
    damageFound = true;
    if (!mayChange)
        return; // found again by the next reader that holds the folder
    if (!nativefile::moveAside(file, damagedFolder()).has_value())
        nativefile::removeFile(file); // never read again as if it were sound
}

bool SnapshotStore::readFolder(bool mayChange)
{
    // The records already read: a snapshot file never changes once written.
    std::map<int, ProjectRecord> known;
    for (const auto& e : entries)
        known.emplace(e.info.id, e.record);
    auto recordOf = [&known](int id, const juce::File& file) -> std::optional<ProjectRecord>
    {
        if (const auto found = known.find(id); found != known.end())
            return found->second;
        return readRecord(file);
    };

    std::set<int> files;
    for (const auto& name : nativefile::namesIn(directory))
        if (const int id = idOfName(name); id > 0)
            files.insert(id);

    const auto index = indexFile();
    const bool indexThere = nativefile::kindOf(index) != nativefile::Kind::missing;
    std::optional<std::vector<SnapshotInfo>> items;
    if (indexThere)
    {
        const auto contents = nativefile::readRegular(index, snapshotindex::maxSize + 1);
        if (contents.read)
            items = snapshotindex::parse(std::string_view(
                reinterpret_cast<const char*>(contents.bytes.data()), contents.bytes.size()));
        if (!items.has_value())
            setAside(index, mayChange); // damaged: kept for whoever wants to look, rebuilt below
    }

    std::vector<Entry> read;
    bool rewrite = false;
    if (items.has_value())
        for (const auto& item : *items)
        {
            const bool twice = std::any_of(
                read.begin(), read.end(), [&item](const Entry& e) { return e.info.id == item.id; });
            if (twice || files.count(item.id) == 0)
            {
                damageFound = rewrite = true; // its file is gone: the entry goes, said
                continue;
            }
            files.erase(item.id);
            const auto record = recordOf(item.id, fileOf(item.id));
            if (!record.has_value())
            {
                setAside(fileOf(item.id), mayChange);
                rewrite = true;
                continue;
            }
            read.push_back({item, *record});
        }

    // Files the index does not name: everything when the index is gone;
    // otherwise a snapshot whose index entry never reached the disk.
    for (const int id : files)
    {
        const auto file = fileOf(id);
        const auto record = recordOf(id, file);
        rewrite = true;
        if (!record.has_value())
        {
            setAside(file, mayChange);
            continue;
        }
        Entry entry{{}, *record};
        entry.info.id = id;
        entry.info.taken = nativefile::modificationTime(file).value_or(juce::Time());
        entry.info.label = recoveredLabel;
        entry.info.automatic = false; // nobody knows: never pruned
        read.push_back(std::move(entry));
        if (!items.has_value() && indexThere)
            damageFound = true;
    }
    if (!indexThere && !read.empty())
        damageFound = true; // snapshot files without their index: it is lost

    std::sort(read.begin(), read.end(),
              [](const Entry& a, const Entry& b) { return a.info.id < b.info.id; });
    entries = std::move(read);
    return rewrite || (indexThere && !items.has_value());
}

bool SnapshotStore::load()
{
    entries.clear();
    if (nativefile::kindOf(directory) != nativefile::Kind::folder)
        return false;
    // A folder that cannot be locked (read-only, say) is still read.
    nativefile::FileLock lock(directory.getChildFile(lockName), lockTimeoutMs);
    if (readFolder(lock.held()) && lock.held())
        writeIndex();
    return takeDamageFound();
}

bool SnapshotStore::refresh()
{
    if (nativefile::kindOf(directory) != nativefile::Kind::folder)
        return false;
    const auto before = list();
    nativefile::FileLock lock(directory.getChildFile(lockName), refreshTimeoutMs);
    if (!lock.held())
        return false;
    if (readFolder())
        writeIndex();
    const auto after = list();
    return !std::equal(before.begin(), before.end(), after.begin(), after.end(),
                       [](const SnapshotInfo& a, const SnapshotInfo& b)
                       { return a.id == b.id && a.label == b.label; });
}

bool SnapshotStore::writeIndex() const
{
    std::vector<SnapshotInfo> infos;
    for (const auto& e : entries)
        infos.push_back(e.info);
    const auto text = snapshotindex::write(infos);
    return nativefile::replaceWith(indexFile(), text.data(), text.size());
}

// ---- what is kept ------------------------------------------------------------------------

std::vector<SnapshotInfo> SnapshotStore::list() const
{
    std::vector<SnapshotInfo> all;
    for (auto e = entries.rbegin(); e != entries.rend(); ++e)
        all.push_back(e->info);
    return all;
}

std::optional<SnapshotInfo> SnapshotStore::info(int id) const
{
    if (const auto* e = find(id))
        return e->info;
    return std::nullopt;
}

std::optional<ProjectRecord> SnapshotStore::record(int id) const
{
    if (const auto* e = find(id))
        return e->record;
    return std::nullopt;
}

int SnapshotStore::newest() const
{
    return entries.empty() ? -1 : entries.back().info.id;
}

// ---- changes -----------------------------------------------------------------------------

int SnapshotStore::createNextFile(const ProjectRecord& record)
{
    int id = entries.empty() ? 1 : entries.back().info.id + 1;
    for (const auto& name : nativefile::namesIn(directory))
        id = std::max(id, idOfName(name) + 1);
    const auto image = projectfile::toImage(record);
    for (int attempt = 0; attempt < maxIdAttempts; ++attempt, ++id)
        switch (nativefile::createExclusively(fileOf(id), image.data(), image.size()))
        {
        case nativefile::Created::created:
            return id;
        case nativefile::Created::exists:
            continue; // taken meanwhile by a program that does not lock
        case nativefile::Created::failed:
            return -1;
        }
    return -1;
}

int SnapshotStore::add(const SnapshotInfo& newInfo, const ProjectRecord& record)
{
    // Everything kept can be opened again.
    if (!opensAgain(record) || !nativefile::makeFolder(directory))
        return -1;
    nativefile::FileLock lock(directory.getChildFile(lockName), lockTimeoutMs);
    if (!lock.held())
        return -1;
    readFolder();
    const int id = createNextFile(record);
    if (id < 0)
        return -1;
    Entry entry{kept(newInfo), record};
    entry.info.id = id;
    entries.push_back(std::move(entry));
    const auto pruned = pruneAutomatic();
    if (!writeIndex())
    {
        nativefile::removeFile(fileOf(id));
        readFolder();
        return -1;
    }
    // The index first: a file whose entry is gone is only adopted back if the
    // index is lost as well.
    for (const int old : pruned)
        nativefile::removeFile(fileOf(old));
    return id;
}

std::vector<int> SnapshotStore::pruneAutomatic()
{
    std::vector<int> pruned;
    auto automaticCount = std::count_if(entries.begin(), entries.end(),
                                        [](const Entry& e) { return e.info.automatic; });
    for (auto e = entries.begin(); e != entries.end() && automaticCount > maxAutomatic;)
    {
        if (!e->info.automatic)
        {
            ++e;
            continue;
        }
        pruned.push_back(e->info.id);
        e = entries.erase(e);
        --automaticCount;
    }
    return pruned;
}

bool SnapshotStore::rename(int id, const std::string& label)
{
    nativefile::FileLock lock(directory.getChildFile(lockName), lockTimeoutMs);
    if (!lock.held())
        return false;
    readFolder();
    for (auto& e : entries)
        if (e.info.id == id)
        {
            e.info.label = snapshotindex::keptText(label);
            return writeIndex();
        }
    return false; // removed meanwhile
}

bool SnapshotStore::remove(int id)
{
    nativefile::FileLock lock(directory.getChildFile(lockName), lockTimeoutMs);
    if (!lock.held())
        return false;
    readFolder();
    const auto found = std::find_if(entries.begin(), entries.end(),
                                    [id](const Entry& e) { return e.info.id == id; });
    if (found == entries.end())
        return false;
    entries.erase(found);
    // The index first: a file whose entry is gone is only adopted back if the
    // index is lost as well.
    const bool written = writeIndex();
    nativefile::removeFile(fileOf(id));
    return written;
}

bool SnapshotStore::exportTo(int id, const juce::File& file) const
{
    const auto* snapshot = find(id);
    if (snapshot == nullptr)
        return false;
    const auto image = projectfile::toImage(snapshot->record);
    return nativefile::replaceWith(file, image.data(), image.size());
}

bool SnapshotStore::canKeep() const
{
    if (!nativefile::makeFolder(directory))
        return false;
    nativefile::FileLock lock(directory.getChildFile(lockName), lockTimeoutMs);
    if (!lock.held())
        return false;
    // A file of a snapshot's size, where the index would be written.
    const auto probe = directory.getChildFile(".probe");
    const auto image = projectfile::toImage(ProjectRecord::initial());
    const bool written = nativefile::replaceWith(probe, image.data(), image.size());
    nativefile::removeFile(probe);
    return written;
}

} // namespace kestra
