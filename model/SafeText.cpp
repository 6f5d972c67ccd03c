#include "model/SafeText.h"

#include <cstdio>

namespace kestra::safetext
{

namespace
{
constexpr char32_t firstEscapedByte = 0xDC80; // stands for byte 0x80 ... 0xFF

bool isContinuation(unsigned char byte)
{
    return (byte & 0xC0) == 0x80;
}

std::string hexEscape(unsigned value)
{
    char text[12];
    if (value <= 0xFF)
        std::snprintf(text, sizeof text, "\\x%02X", value);
    else
        std::snprintf(text, sizeof text, "\\u%04X", value);
    return text;
}

bool isBidiControl(char32_t c)
{
    return c == 0x061C || c == 0x200E || c == 0x200F || (c >= 0x202A && c <= 0x202E) ||
           (c >= 0x2066 && c <= 0x2069);
}

template <typename NeedsEscape>
std::string escaped(std::string_view text, NeedsEscape needsEscape, bool keepLineEnds = false)
{
    std::string out;
    out.reserve(text.size());
    while (!text.empty())
    {
        if (keepLineEnds && text.size() > 1 && text[0] == '\r' && text[1] == '\n')
        {
            out += "\r\n"; // a line's end as some programs write it
            text.remove_prefix(2);
            continue;
        }
        const auto c = firstCharacter(text);
        if (c.length == 0)
        {
            out += hexEscape(static_cast<unsigned char>(text.front()));
            text.remove_prefix(1);
            continue;
        }
        if (const int byte = escapedByte(c.codePoint); byte >= 0)
            out += hexEscape(static_cast<unsigned>(byte));
        else if (needsEscape(c.codePoint))
            out += hexEscape(static_cast<unsigned>(c.codePoint));
        else
            out.append(text.data(), c.length);
        text.remove_prefix(c.length);
    }
    return out;
}

bool forbiddenInXml(char32_t c)
{
    if (c < 0x20)
        return c != 0x09 && c != 0x0A && c != 0x0D;
    return (c >= 0xD800 && c <= 0xDFFF) || c == 0xFFFE || c == 0xFFFF;
}
} // namespace

Character firstCharacter(std::string_view text)
{
    if (text.empty())
        return {};
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    const unsigned char lead = p[0];
    if (lead < 0x80)
        return {lead, 1};

    size_t length = 0;
    char32_t c = 0, least = 0;
    if ((lead & 0xE0) == 0xC0)
        length = 2, c = lead & 0x1Fu, least = 0x80;
    else if ((lead & 0xF0) == 0xE0)
        length = 3, c = lead & 0x0Fu, least = 0x800;
    else if ((lead & 0xF8) == 0xF0)
        length = 4, c = lead & 0x07u, least = 0x10000;
    else
        return {};
    if (text.size() < length)
        return {};
    for (size_t i = 1; i < length; ++i)
    {
        if (!isContinuation(p[i]))
            return {};
        c = (c << 6) | (p[i] & 0x3Fu);
    }
    if (c < least || c > 0x10FFFF)
        return {};
    // Surrogates are no characters in UTF-8; only the escaped bytes are let through.
    if (c >= 0xD800 && c <= 0xDFFF && escapedByte(c) < 0)
        return {};
    return {c, length};
}

int escapedByte(char32_t codePoint)
{
    if (codePoint >= firstEscapedByte && codePoint < firstEscapedByte + 0x80)
        return static_cast<int>(codePoint - firstEscapedByte) + 0x80;
    return -1;
}

std::string forDisplay(std::string_view text, bool keepLineBreaks)
{
    return escaped(
        text,
        [keepLineBreaks](char32_t c)
        {
            if (keepLineBreaks && (c == '\n' || c == '\t'))
                return false;
            return c < 0x20 || (c >= 0x7F && c < 0xA0) || isBidiControl(c);
        },
        keepLineBreaks);
}

std::string forXml(std::string_view text)
{
    return escaped(text, forbiddenInXml);
}

bool isXmlSafe(std::string_view text)
{
    while (!text.empty())
    {
        const auto c = firstCharacter(text);
        if (c.length == 0 || forbiddenInXml(c.codePoint))
            return false;
        text.remove_prefix(c.length);
    }
    return true;
}

} // namespace kestra::safetext
