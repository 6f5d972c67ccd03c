#include "model/XmlScan.h"

namespace kestra::xmlscan
{

namespace
{
bool startsWith(std::string_view text, size_t at, std::string_view prefix)
{
    return text.compare(at, prefix.size(), prefix) == 0;
}

bool isDigit(char c, bool hex)
{
    return (c >= '0' && c <= '9') || (hex && ((c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F')));
}

// At an '&': the length of a predefined entity or a character reference, or 0.
size_t entityLength(std::string_view text, size_t at)
{
    for (const std::string_view name : {"&amp;", "&lt;", "&gt;", "&quot;", "&apos;"})
        if (startsWith(text, at, name))
            return name.size();
    if (!startsWith(text, at, "&#"))
        return 0;
    size_t i = at + 2;
    const bool hex = i < text.size() && (text[i] == 'x' || text[i] == 'X');
    if (hex)
        ++i;
    const size_t digitsStart = i;
    while (i < text.size() && isDigit(text[i], hex) && i - digitsStart < 8)
        ++i;
    if (i == digitsStart || i >= text.size() || text[i] != ';')
        return 0;
    return i + 1 - at;
}

// After the end of `closing`, found from `at` on; npos when it is missing.
size_t after(std::string_view text, size_t at, std::string_view closing)
{
    const auto found = text.find(closing, at);
    return found == std::string_view::npos ? found : found + closing.size();
}
} // namespace

bool isPlain(std::string_view text, int depthLimit)
{
    text = text.substr(0, text.find('\0'));
    constexpr auto missing = std::string_view::npos;
    int depth = 0;
    size_t i = 0;
    while (i < text.size())
    {
        const char c = text[i];
        if (c == '&')
        {
            const size_t length = entityLength(text, i);
            if (length == 0)
                return false;
            i += length;
            continue;
        }
        if (c != '<')
        {
            ++i;
            continue;
        }
        if (startsWith(text, i, "<!--"))
            i = after(text, i + 4, "-->");
        else if (startsWith(text, i, "<?"))
            i = after(text, i + 2, "?>");
        else if (startsWith(text, i, "<![CDATA["))
            i = after(text, i + 9, "]]>");
        else if (startsWith(text, i, "<!"))
            return false; // a DTD, or something no file of ours holds
        else if (startsWith(text, i, "</"))
        {
            if (--depth < 0)
                return false;
            i = after(text, i + 2, ">");
        }
        else
        {
            // An opening tag: its quoted values may hold '>' and "/>".
            if (++depth > depthLimit)
                return false;
            for (++i;; ++i)
            {
                if (i >= text.size())
                    return false;
                const char t = text[i];
                if (t == '"' || t == '\'')
                {
                    const size_t close = text.find(t, i + 1);
                    if (close == missing)
                        return false;
                    for (size_t k = i + 1; k < close; ++k)
                        if (text[k] == '&' && entityLength(text, k) == 0)
                            return false;
                    i = close;
                }
                else if (t == '<')
                    return false;
                else if (t == '/' && i + 1 < text.size() && text[i + 1] == '>')
                {
                    --depth;
                    i += 2;
                    break;
                }
                else if (t == '>')
                {
                    ++i;
                    break;
                }
            }
        }
        if (i == missing)
            return false;
    }
    return true;
}

} // namespace kestra::xmlscan
