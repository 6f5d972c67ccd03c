#pragma once

// A look at an XML text before a parser reads it. JUCE's XmlDocument reads
// nested elements by recursion, one level of the stack per level of the
// document, and expands entities declared in a DTD into elements: a file
// nested 50,000 deep, or an entity that expands into one, overflows the stack
// before the parser can say the file is wrong. The files the editor writes
// itself (the settings, the snapshots' index) are shallow and declare
// nothing, so anything else is refused before the parser sees it.
//
// Pure: no JUCE, no allocation.

#include <string_view>

namespace kestra::xmlscan
{

// The deepest the editor's own files nest, with room to spare.
constexpr int maxDepth = 32;

// True when the text nests no deeper than maxDepth elements, has no DTD
// (<!DOCTYPE ...>) and refers to no entities but the five XML predefines and
// character references, and every comment, processing instruction, CDATA
// section, tag and quoted value it opens is closed. A character 0 ends the
// text, as it ends it for JUCE. Whether the rest is well-formed is the
// parser's to say.
bool isPlain(std::string_view text, int depthLimit = maxDepth);

} // namespace kestra::xmlscan
