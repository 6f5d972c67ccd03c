#include "link/SafeXml.h"

#include "model/SafeText.h"
#include "model/XmlScan.h"

namespace kestra::safexml
{

bool isSafeToParse(std::string_view text)
{
    for (auto rest = text; !rest.empty();)
    {
        const auto c = safetext::firstCharacter(rest);
        if (c.length == 0)
            return false;
        rest.remove_prefix(c.length);
    }
    return xmlscan::isPlain(text);
}

std::unique_ptr<juce::XmlElement> parse(std::string_view text, const char* tag)
{
    if (!isSafeToParse(text))
        return nullptr;
    // A character 0 ends the text for the scan; JUCE's string ends there too.
    text = text.substr(0, text.find('\0'));
    return juce::parseXMLIfTagMatches(
        juce::String::fromUTF8(text.data(), static_cast<int>(text.size())), tag);
}

} // namespace kestra::safexml
