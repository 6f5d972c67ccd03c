#include "files/SnapshotStore.h"

#include "files/ProjectFile.h"

#include <algorithm>

namespace kestra
{

namespace
{
constexpr const char* indexName = "index.xml";
constexpr const char* filePrefix = "snapshot-";
// What a snapshot found without its index entry is called: its label, model
// and version went with the index.
constexpr const char* recoveredLabel = "Recovered snapshot";

juce::String fromUtf8(const std::string& text)
{
    return juce::String::fromUTF8(text.data(), static_cast<int>(text.size()));
}

// The id in a snapshot file's name, or 0 for a name that is not one.
int idOfFile(const juce::File& file)
{
    const auto name = file.getFileNameWithoutExtension();
    if (!name.startsWith(filePrefix) || !file.hasFileExtension(projectfile::fileExtension))
        return 0;
    const auto digits = name.fromFirstOccurrenceOf(filePrefix, false, false);
    if (digits.isEmpty() || !digits.containsOnly("0123456789") || digits.length() > 9)
        return 0;
    return digits.getIntValue();
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

std::optional<ProjectRecord> SnapshotStore::readRecord(const juce::File& file)
{
    juce::MemoryBlock bytes;
    if (!file.existsAsFile() || !file.loadFileAsData(bytes))
        return std::nullopt;
    const auto contents =
        projectfile::parse(static_cast<const uint8_t*>(bytes.getData()), bytes.getSize());
    if (contents.fault != projectfile::Fault::none)
        return std::nullopt;
    return contents.record;
}

bool SnapshotStore::load()
{
    entries.clear();
    nextId = 1;
    if (!directory.isDirectory())
        return false;

    bool faulty = false;
    const auto index = indexFile();
    std::unique_ptr<juce::XmlElement> xml;
    if (index.existsAsFile())
        xml = juce::parseXMLIfTagMatches(index.loadFileAsString(), "snapshots");
    // A missing index beside snapshot files is as damaged as a broken one.
    const bool indexRead = xml != nullptr;
    if (index.existsAsFile() && !indexRead)
        faulty = true;

    if (indexRead)
        for (const auto* item : xml->getChildWithTagNameIterator("snapshot"))
        {
            const int id = item->getIntAttribute("id", 0);
            const auto found = std::find_if(entries.begin(), entries.end(),
                                            [id](const Entry& e) { return e.info.id == id; });
            const auto record =
                id > 0 && found == entries.end() ? readRecord(fileOf(id)) : std::nullopt;
            if (!record.has_value())
            {
                faulty = true;
                continue;
            }
            Entry entry{{}, *record};
            entry.info.id = id;
            entry.info.taken =
                juce::Time(item->getStringAttribute("taken").getLargeIntValue()); // ms since 1970
            entry.info.label = item->getStringAttribute("label").toStdString();
            entry.info.model = item->getStringAttribute("model").toStdString();
            entry.info.version = item->getStringAttribute("version").toStdString();
            entry.info.automatic = item->getBoolAttribute("automatic", true);
            entries.push_back(std::move(entry));
        }

    // Files the index does not name: everything that is left when the index
    // is gone; otherwise a snapshot whose index entry never reached the disk.
    if (adoptFilesNotIndexed() && !indexRead)
        faulty = true;
    if (!indexRead && entries.empty() && !index.existsAsFile())
        faulty = false; // a folder with nothing in it yet

    std::sort(entries.begin(), entries.end(),
              [](const Entry& a, const Entry& b) { return a.info.id < b.info.id; });
    for (const auto& e : entries)
        nextId = std::max(nextId, e.info.id + 1);
    for (const auto& file : directory.findChildFiles(juce::File::findFiles, false))
        nextId = std::max(nextId, idOfFile(file) + 1); // never overwrite a refused file

    if (faulty)
        writeIndex();
    return faulty;
}

bool SnapshotStore::adoptFilesNotIndexed()
{
    bool adopted = false;
    for (const auto& file : directory.findChildFiles(juce::File::findFiles, false))
    {
        const int id = idOfFile(file);
        if (id <= 0 || info(id).has_value())
            continue;
        const auto record = readRecord(file);
        if (!record.has_value())
            continue;
        Entry entry{{}, *record};
        entry.info.id = id;
        entry.info.taken = file.getLastModificationTime();
        entry.info.label = recoveredLabel;
        entry.info.automatic = false; // nobody knows: never pruned
        entries.push_back(std::move(entry));
        adopted = true;
    }
    return adopted;
}

bool SnapshotStore::writeIndex() const
{
    juce::XmlElement xml("snapshots");
    for (const auto& e : entries)
    {
        auto* item = xml.createNewChildElement("snapshot");
        item->setAttribute("id", e.info.id);
        item->setAttribute("taken", juce::String(e.info.taken.toMilliseconds()));
        item->setAttribute("label", fromUtf8(e.info.label));
        item->setAttribute("model", fromUtf8(e.info.model));
        item->setAttribute("version", fromUtf8(e.info.version));
        item->setAttribute("automatic", e.info.automatic);
    }
    // replaceWithText writes a file beside the index and moves it over.
    return directory.createDirectory() && indexFile().replaceWithText(xml.toString());
}

std::vector<SnapshotInfo> SnapshotStore::list() const
{
    std::vector<SnapshotInfo> all;
    for (auto e = entries.rbegin(); e != entries.rend(); ++e)
        all.push_back(e->info);
    return all;
}

std::optional<SnapshotInfo> SnapshotStore::info(int id) const
{
    for (const auto& e : entries)
        if (e.info.id == id)
            return e.info;
    return std::nullopt;
}

std::optional<ProjectRecord> SnapshotStore::record(int id) const
{
    for (const auto& e : entries)
        if (e.info.id == id)
            return e.record;
    return std::nullopt;
}

int SnapshotStore::newest() const
{
    return entries.empty() ? -1 : entries.back().info.id;
}

int SnapshotStore::add(const SnapshotInfo& newInfo, const ProjectRecord& record)
{
    Entry entry{newInfo, record};
    entry.info.id = nextId;
    const auto image = projectfile::toImage(record);
    if (!directory.createDirectory() ||
        !fileOf(entry.info.id).replaceWithData(image.data(), image.size()))
        return -1;
    ++nextId;
    entries.push_back(std::move(entry));
    pruneAutomatic();
    writeIndex();
    return entries.back().info.id;
}

void SnapshotStore::pruneAutomatic()
{
    auto automaticCount = std::count_if(entries.begin(), entries.end(),
                                        [](const Entry& e) { return e.info.automatic; });
    for (auto e = entries.begin(); e != entries.end() && automaticCount > maxAutomatic;)
    {
        if (!e->info.automatic)
        {
            ++e;
            continue;
        }
        fileOf(e->info.id).deleteFile();
        e = entries.erase(e);
        --automaticCount;
    }
}

bool SnapshotStore::rename(int id, const std::string& label)
{
    for (auto& e : entries)
        if (e.info.id == id)
        {
            e.info.label = label;
            return writeIndex();
        }
    return false;
}

bool SnapshotStore::remove(int id)
{
    const auto found = std::find_if(entries.begin(), entries.end(),
                                    [id](const Entry& e) { return e.info.id == id; });
    if (found == entries.end())
        return false;
    entries.erase(found);
    // The index first: a file whose entry is gone is only adopted back if the
    // index is lost as well.
    const bool written = writeIndex();
    fileOf(id).deleteFile();
    return written;
}

bool SnapshotStore::exportTo(int id, const juce::File& file) const
{
    const auto snapshot = record(id);
    if (!snapshot.has_value() || file.isDirectory())
        return false;
    const auto image = projectfile::toImage(*snapshot);
    return file.replaceWithData(image.data(), image.size());
}

} // namespace kestra
