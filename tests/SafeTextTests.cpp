// Text from outside on its way to a terminal, a window or an XML file
// (model/SafeText.h), and the look at an XML text before a parser reads it
// (model/XmlScan.h). Pure functions: tables of cases.

#include "model/SafeText.h"
#include "model/XmlScan.h"

#include <gtest/gtest.h>

#include <string>

using namespace kestra;

TEST(SafeText, WhatATerminalWouldTakeAsACommandIsEscaped)
{
    struct Case
    {
        const char* what;
        std::string text;
        std::string shown;       // for a terminal's line: line breaks kept
        std::string shownInName; // for a name or a label: everything escaped
    };
    const Case cases[] = {
        {"plain", "Hall Time = 2.5 sec", "Hall Time = 2.5 sec", "Hall Time = 2.5 sec"},
        {"umlauts and Arabic-Indic digits", "Kl\xC3\xA4nge \xD9\xA1\xD9\xA2",
         "Kl\xC3\xA4nge \xD9\xA1\xD9\xA2", "Kl\xC3\xA4nge \xD9\xA1\xD9\xA2"},
        {"escape sequence", "\x1B]0;owned\x07\x1B[2J", "\\x1B]0;owned\\x07\\x1B[2J",
         "\\x1B]0;owned\\x07\\x1B[2J"},
        {"line breaks", "a\nb\tc\r\nd\re", "a\nb\tc\r\nd\\x0De", "a\\x0Ab\\x09c\\x0D\\x0Ad\\x0De"},
        {"DEL and C1 controls",
         "a\x7F"
         "b\xC2\x9B"
         "c",
         "a\\x7Fb\\x9Bc", "a\\x7Fb\\x9Bc"},
        {"bidirectional override",
         "abc\xE2\x80\xAE"
         "def",
         "abc\\u202Edef", "abc\\u202Edef"},
        {"Latin-1 byte", "Kl\xE4nge", "Kl\\xE4nge", "Kl\\xE4nge"},
        {"a byte as a file name carries it", "Kl\xED\xB3\xA4nge", "Kl\\xE4nge", "Kl\\xE4nge"},
        {"cut short at the end", "ab\xE2\x80", "ab\\xE2\\x80", "ab\\xE2\\x80"},
        {"overlong slash", "\xC0\xAF", "\\xC0\\xAF", "\\xC0\\xAF"},
        {"a surrogate that stands for nothing", "\xED\xA0\x80", "\\xED\\xA0\\x80",
         "\\xED\\xA0\\x80"},
        {"a lone continuation byte",
         "a\x80"
         "b",
         "a\\x80b", "a\\x80b"},
        {"a backslash stays", "C:\\x41", "C:\\x41", "C:\\x41"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(safetext::forDisplay(c.text, true), c.shown);
        EXPECT_EQ(safetext::forDisplay(c.text), c.shownInName);
    }
}

TEST(SafeText, WhatXmlForbidsIsEscapedAndNothingElse)
{
    struct Case
    {
        const char* what;
        std::string text;
        std::string kept;
    };
    const Case cases[] = {
        {"markup characters: the XML writer's", "<a & \"b\">", "<a & \"b\">"},
        {"C0 controls",
         "a\x01"
         "b\x1B"
         "c",
         "a\\x01b\\x1Bc"},
        {"tab, line feed, carriage return", "a\tb\nc\rd", "a\tb\nc\rd"},
        {"DEL and C1: allowed",
         "a\x7F"
         "b\xC2\x85",
         "a\x7F"
         "b\xC2\x85"},
        {"not characters", "\xEF\xBF\xBE\xEF\xBF\xBF", "\\uFFFE\\uFFFF"},
        {"a byte as a file name carries it", "Kl\xED\xB3\xA4nge", "Kl\\xE4nge"},
        {"invalid UTF-8", "Kl\xE4nge", "Kl\\xE4nge"},
        {"beyond the BMP", "\xF0\x9F\x8E\xB9", "\xF0\x9F\x8E\xB9"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(safetext::forXml(c.text), c.kept);
        EXPECT_TRUE(safetext::isXmlSafe(safetext::forXml(c.text)));
        EXPECT_EQ(safetext::isXmlSafe(c.text), c.text == c.kept);
    }
}

TEST(XmlScan, OnlyShallowFilesWithoutDeclarationsReachTheParser)
{
    auto nested = [](int depth)
    {
        std::string text;
        for (int k = 0; k < depth; ++k)
            text += "<a>";
        for (int k = 0; k < depth; ++k)
            text += "</a>";
        return text;
    };
    struct Case
    {
        const char* what;
        std::string text;
        bool plain;
    };
    const Case cases[] = {
        {"an index",
         "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n\n<snapshots>\n  <snapshot id=\"1\" "
         "label=\"a &amp; b &#233; &#xE9; &lt;&gt;&quot;&apos;\" automatic=\"1\"/>\n"
         "</snapshots>\n",
         true},
        {"as deep as allowed", nested(xmlscan::maxDepth), true},
        {"one deeper", nested(xmlscan::maxDepth + 1), false},
        {"50,000 deep, never closed", std::string(150000, '<'), false},
        {"deep without closing tags",
         []
         {
             std::string t;
             for (int k = 0; k < 100; ++k)
                 t += "<a>";
             return t;
         }(),
         false},
        {"many siblings",
         []
         {
             std::string t = "<s>";
             for (int k = 0; k < 10000; ++k)
                 t += "<i v='x'/>";
             return t + "</s>";
         }(),
         true},
        {"'/>' and '>' inside a value", "<s><i v=\"/>\"><j w='>'/></i></s>", true},
        {"comments, CDATA and instructions", "<s><!-- <a><a> --><![CDATA[<a><a>]]><?p <a>?></s>",
         true},
        {"a DTD", "<!DOCTYPE s [<!ENTITY e \"<a><a>\">]><s>&e;</s>", false},
        {"an entity of its own", "<s>&e;</s>", false},
        {"an entity in a value", "<s v=\"&e;\"/>", false},
        {"an unterminated comment", "<s><!-- </s>", false},
        {"an unterminated value", "<s v=\"/></s>", false},
        {"a '<' inside a tag", "<s <a>></s>", false},
        {"more closing than opening", "</s></s>", false},
        {"a character 0 ends the text", std::string("<s/>\0<a><a><a>", 14), true},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(xmlscan::isPlain(c.text), c.plain);
    }
}
