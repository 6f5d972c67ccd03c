#include "model/ValueText.h"

#include <algorithm>
#include <charconv>
#include <string>

namespace kestra
{

namespace
{
bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

std::string_view withoutLeadingBlanks(std::string_view s)
{
    while (!s.empty() && isBlank(s.front()))
        s.remove_prefix(1);
    return s;
}

std::string_view trimmed(std::string_view s)
{
    s = withoutLeadingBlanks(s);
    while (!s.empty() && isBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

char lowerCase(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool sameIgnoringCase(std::string_view a, std::string_view b)
{
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(),
                      [](char x, char y) { return lowerCase(x) == lowerCase(y); });
}

bool startsWith(std::string_view s, std::string_view prefix)
{
    return s.substr(0, prefix.size()) == prefix;
}

constexpr std::string_view minusSign = "\xE2\x88\x92"; // U+2212, as some keyboards type it
} // namespace

std::optional<double> readTypedValue(std::string_view text, std::string_view suffix)
{
    const auto unit = trimmed(suffix);
    const bool hertz = sameIgnoringCase(unit, "Hz");
    const bool kilohertz = sameIgnoringCase(unit, "kHz");
    auto rest = trimmed(text);

    bool negative = false;
    if (!rest.empty() && (rest.front() == '+' || rest.front() == '-'))
    {
        negative = rest.front() == '-';
        rest.remove_prefix(1);
    }
    else if (startsWith(rest, minusSign))
    {
        negative = true;
        rest.remove_prefix(minusSign.size());
    }

    // Digits with at most one separator; a comma is a decimal separator too.
    std::string number;
    bool separator = false;
    int digits = 0;
    size_t used = 0;
    for (; used < rest.size(); ++used)
    {
        const char c = rest[used];
        if (c >= '0' && c <= '9')
        {
            number += c;
            ++digits;
        }
        else if ((c == '.' || c == ',') && !separator)
        {
            number += '.';
            separator = true;
        }
        else
        {
            break;
        }
    }
    if (digits == 0)
        return std::nullopt;
    double value = 0.0;
    const auto* end = number.data() + number.size();
    const auto [stop, error] = std::from_chars(number.data(), end, value, std::chars_format::fixed);
    if (error != std::errc() || stop != end)
        return std::nullopt; // beyond what a double holds
    rest = withoutLeadingBlanks(rest.substr(used));

    // The unit, if any: the slider's own, or for a frequency "k", "kHz" or "Hz".
    double scale = 1.0;
    if ((hertz || kilohertz) && !rest.empty() && lowerCase(rest.front()) == 'k')
    {
        rest = withoutLeadingBlanks(rest.substr(1));
        if (!rest.empty() && !sameIgnoringCase(rest, "Hz"))
            return std::nullopt;
        scale = hertz ? 1000.0 : 1.0;
    }
    else if (!rest.empty())
    {
        if (kilohertz && sameIgnoringCase(rest, "Hz"))
            scale = 0.001;
        else if (unit.empty() || !sameIgnoringCase(rest, unit))
            return std::nullopt;
    }
    return (negative ? -value : value) * scale;
}

std::optional<double> readTypedValue(std::string_view text, const ParameterInfo& info)
{
    if (info.control != ControlKind::slider)
        return std::nullopt;
    const auto value = readTypedValue(text, info.suffix);
    if (!value)
        return std::nullopt;
    return std::clamp(*value, static_cast<double>(info.minimum), static_cast<double>(info.maximum));
}

} // namespace kestra
