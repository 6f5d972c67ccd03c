#include "files/SnapshotIndex.h"

#include "link/NativeFile.h"
#include "link/SafeXml.h"
#include "model/SafeText.h"

namespace kestra::snapshotindex
{

namespace
{
constexpr const char* rootTag = "snapshots";
constexpr const char* itemTag = "snapshot";

juce::String fromUtf8(const std::string& text)
{
    return juce::String::fromUTF8(text.data(), static_cast<int>(text.size()));
}

// A number of at most `digits` decimal digits, or nothing: JUCE's own
// reading of numbers overflows on long ones.
std::optional<juce::int64> numberIn(const juce::String& text, int digits)
{
    if (text.isEmpty() || text.length() > digits || !text.containsOnly("0123456789"))
        return std::nullopt;
    return text.getLargeIntValue();
}
} // namespace

std::string keptText(const std::string& text)
{
    return safetext::forXml(text);
}

std::optional<std::vector<SnapshotInfo>> parse(std::string_view bytes)
{
    if (bytes.size() > maxSize)
        return std::nullopt;
    // Bytes that are not UTF-8 are carried as characters that stand for them
    // (and escaped as any other character XML forbids when the texts are kept).
    const auto text = nativefile::textFromBytes(bytes);
    const auto xml =
        safexml::parse(std::string_view(text.toRawUTF8(), text.getNumBytesAsUTF8()), rootTag);
    if (xml == nullptr)
        return std::nullopt;
    std::vector<SnapshotInfo> snapshots;
    for (const auto* item : xml->getChildWithTagNameIterator(itemTag))
    {
        SnapshotInfo info;
        const auto id = numberIn(item->getStringAttribute("id"), 9);
        if (!id.has_value() || *id <= 0)
            continue;
        info.id = static_cast<int>(*id);
        info.taken = juce::Time(numberIn(item->getStringAttribute("taken"), 15).value_or(0));
        info.label = keptText(item->getStringAttribute("label").toStdString());
        info.model = keptText(item->getStringAttribute("model").toStdString());
        info.version = keptText(item->getStringAttribute("version").toStdString());
        info.automatic = item->getBoolAttribute("automatic", true);
        snapshots.push_back(std::move(info));
    }
    return snapshots;
}

std::string write(const std::vector<SnapshotInfo>& snapshots)
{
    juce::XmlElement xml(rootTag);
    for (const auto& info : snapshots)
    {
        auto* item = xml.createNewChildElement(itemTag);
        item->setAttribute("id", info.id);
        item->setAttribute("taken", juce::String(info.taken.toMilliseconds()));
        item->setAttribute("label", fromUtf8(keptText(info.label)));
        item->setAttribute("model", fromUtf8(keptText(info.model)));
        item->setAttribute("version", fromUtf8(keptText(info.version)));
        item->setAttribute("automatic", info.automatic);
    }
    return xml.toString().toStdString();
}

} // namespace kestra::snapshotindex
