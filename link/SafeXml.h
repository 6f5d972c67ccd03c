#pragma once

// Reading the XML files the editor writes for itself (the settings, the
// snapshots' index) without trusting them: they live in the user's folders,
// where anything may have replaced them. A text is handed to JUCE's parser
// only when the parser can read it safely: valid UTF-8 (JUCE steps through
// invalid sequences past their end), nested no deeper than the editor's own
// files nest, with no DTD and no entities but XML's own (model/XmlScan.h).
// juce_core only; any thread.

#include <juce_core/juce_core.h>

#include <memory>
#include <string_view>

namespace kestra::safexml
{

// True when JUCE's parser may read the text.
bool isSafeToParse(std::string_view text);

// The document element when the text is safe to parse, well-formed and its
// element has this tag; null otherwise.
std::unique_ptr<juce::XmlElement> parse(std::string_view text, const char* tag);

} // namespace kestra::safexml
