#pragma once

// Text that came from outside (a file name, a label, a name the instrument
// sent, an argument) made safe for where it goes: a terminal, a window, an
// XML file. Pure functions on bytes: no JUCE, no locale.
//
// The escape is one notation everywhere: "\xE4" for a byte that is not part
// of valid UTF-8 (or a character that stands for such a byte, below) or for
// a control character, and "\u202E" for the characters that reorder or hide
// text (bidirectional controls). A literal backslash stays as it is.
//
// File names on Linux are bytes, not text. The editor carries a name that is
// not valid UTF-8 through JUCE by writing each byte of an invalid sequence as
// the character U+DC80 + (byte - 0x80), which no valid UTF-8 produces
// (files/NativeFile.h turns it back into the byte for the file system). Those
// characters are shown as the byte they stand for: "Kl\xE4nge.tkp".

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace kestra::safetext
{

// The first character of `text` as a code point, and how many bytes it
// takes; 0 bytes for a sequence that is not valid UTF-8 (overlong forms,
// surrogates other than the escaped bytes above, beyond U+10FFFF, cut short).
struct Character
{
    char32_t codePoint = 0;
    size_t length = 0;
};
Character firstCharacter(std::string_view text);

// The byte an escaped-byte character stands for, or -1 for any other character.
int escapedByte(char32_t codePoint);

// For a terminal or a window: control characters (C0 but tab, line feed and
// a carriage return before a line feed when line breaks are kept; DEL, C1),
// bidirectional controls, invalid UTF-8 and escaped bytes are written as
// escapes; everything else as it is.
std::string forDisplay(std::string_view text, bool keepLineBreaks = false);

// For an XML attribute or text that any parser reads: the characters XML 1.0
// forbids (C0 but tab, line feed and carriage return; surrogates, including
// the escaped bytes; U+FFFE and U+FFFF) and invalid UTF-8 are written as
// escapes; everything else as it is.
std::string forXml(std::string_view text);

// True when `text` is valid UTF-8 and holds no character forXml() would escape.
bool isXmlSafe(std::string_view text);

} // namespace kestra::safetext
