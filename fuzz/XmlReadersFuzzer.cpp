// The readers of the XML files the editor keeps for itself, fed arbitrary
// bytes as a file's contents: the snapshots' index (files/SnapshotIndex.h)
// and the check a settings file passes before JUCE's PropertiesFile reads it
// (link/SafeXml.h, then JUCE's own parser on the same text). Whatever the
// bytes, nothing crashes, recurses without end or reads outside its text;
// an index that is read is written back as XML any parser reads, and reads
// back the same; and no text the check lets through holds what would make
// JUCE's recursive parser deeper than the editor's own files. A broken rule
// aborts, so that libFuzzer keeps the input.

#include "files/SnapshotIndex.h"
#include "link/SafeXml.h"
#include "model/SafeText.h"
#include "model/XmlScan.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

namespace
{
using namespace kestra;

void require(bool holds, const char* what)
{
    if (!holds)
    {
        std::fprintf(stderr, "XmlReadersFuzzer: %s\n", what);
        std::abort();
    }
}

int depthOf(const juce::XmlElement& element)
{
    int deepest = 0;
    for (const auto* child : element.getChildIterator())
        deepest = std::max(deepest, depthOf(*child));
    return deepest + 1;
}

bool sameInfo(const SnapshotInfo& a, const SnapshotInfo& b)
{
    return a.id == b.id && a.taken == b.taken && a.label == b.label && a.model == b.model &&
           a.version == b.version && a.automatic == b.automatic;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);

    // The snapshots' index.
    if (const auto snapshots = snapshotindex::parse(bytes))
    {
        const auto written = snapshotindex::write(*snapshots);
        require(safetext::isXmlSafe(written), "an index is written as XML any parser reads");
        const auto again = snapshotindex::parse(written);
        require(again.has_value() && again->size() == snapshots->size(),
                "a written index reads back whole");
        for (size_t k = 0; k < snapshots->size(); ++k)
            require(sameInfo((*snapshots)[k], (*again)[k]), "every entry reads back the same");
    }

    // The settings: what the check lets through, JUCE's parser reads; it
    // never builds a tree deeper than the limit.
    if (const auto settings = safexml::parse(bytes, "PROPERTIES"))
        require(depthOf(*settings) <= xmlscan::maxDepth, "a parsed file is no deeper than allowed");
    if (safexml::isSafeToParse(bytes))
        if (const auto any = juce::parseXML(juce::String::fromUTF8(
                bytes.data(), static_cast<int>(bytes.substr(0, bytes.find('\0')).size()))))
            require(depthOf(*any) <= xmlscan::maxDepth, "what the check lets through is shallow");
    return 0;
}
