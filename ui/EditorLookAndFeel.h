#pragma once

// The application's default look-and-feel: JUCE's own, except that the
// typeface "Arial" resolves to the metric-compatible "Liberation Sans" where
// Arial is not installed (JUCE on Linux does not follow fontconfig's
// substitution, and the fallback would lose bold).

#include <juce_gui_basics/juce_gui_basics.h>

namespace kestra
{

class EditorLookAndFeel : public juce::LookAndFeel_V4
{
public:
    juce::Typeface::Ptr getTypefaceForFont(const juce::Font& font) override;
};

} // namespace kestra
