#include "ui/EditorLookAndFeel.h"

namespace kestra
{

// JUCE resolves the typeface of every Font, whichever look-and-feel draws
// it, through the default look-and-feel's getTypefaceForFont (and keeps the
// result in a cache keyed by typeface name and style). Mapping the name here
// therefore reaches the text of every widget, our own look-and-feels
// included, as long as this look-and-feel is made the default before any
// "Arial" font has been drawn or measured.

namespace
{
bool isInstalled(const char* family)
{
    return juce::Font::findAllTypefaceNames().contains(family, true);
}

// The family that stands in for "Arial", or empty where Arial itself exists
// or no substitute is installed. Looked up once: the installed fonts do not
// change while the editor runs.
const juce::String& arialSubstitute()
{
    static const juce::String substitute = isInstalled("Arial")             ? juce::String()
                                           : isInstalled("Liberation Sans") ? "Liberation Sans"
                                                                            : juce::String();
    return substitute;
}
} // namespace

juce::Typeface::Ptr EditorLookAndFeel::getTypefaceForFont(const juce::Font& font)
{
    if (font.getTypefaceName().equalsIgnoreCase("Arial") && arialSubstitute().isNotEmpty())
    {
        // Only the name changes: the style ("Bold", "Italic", ...) is kept
        // and exists in the substitute, so bold stays bold.
        juce::Font substitute(font);
        substitute.setTypefaceName(arialSubstitute());
        return juce::LookAndFeel_V4::getTypefaceForFont(substitute);
    }
    return juce::LookAndFeel_V4::getTypefaceForFont(font);
}

} // namespace kestra
