#include "tinyxml_precheck.h"

#include <vector>

#include <gtest/gtest.h>

#include "test_text.h"

namespace {

std::string Nested(int levels) { return Repeated("<a>", levels) + Repeated("</a>", levels); }

TEST(CheckTextForTinyXml, CountsOnlyTheLevelsTinyXmlBuilds) {
    const XmlTextCheck fine = XmlTextCheck::Readable;
    const XmlTextCheck deep = XmlTextCheck::NestedTooDeeply;
    const std::string deepInside = Repeated("<b>", 300);
    const struct {
        std::string name;
        std::string text;
        XmlTextCheck check;
    } cases[] = {
        {"empty", "", fine},
        {"256 levels", Nested(256), fine},
        {"257 levels", Nested(257), deep},
        {"257 self-closing leaf", Repeated("<a>", 256) + "<a/>" + Repeated("</a>", 256), deep},
        {"siblings are not levels", "<r>" + Repeated("<a></a><b/>", 1000) + "</r>", fine},
        {"comment", "<r><!--" + deepInside + "--></r>", fine},
        {"CDATA", "<r><![CDATA[" + deepInside + "]]></r>", fine},
        {"declaration and processing instruction", "<?xml version=\"1.0\"?><?pi x?><r/>", fine},
        {"DOCTYPE", "<!DOCTYPE r><r/>", fine},
        {"quoted '<' in a value", "<r a=\"" + deepInside + "\"/>", fine},
        // The extraction goes one level deeper for each, the parser does not.
        {"quoted '>' in self-closing tags", "<r>" + Repeated("<s><c n=\"x > y\"/></s>", 300) + "</r>", fine},
        {"after the first element", "<r/>" + Nested(100000), fine},
        {"deep after a comment before the root", "<!-- x -->" + Nested(300), deep},
        // Quotes hide these levels from XML, but not from TinyXML's extraction.
        {"quoted '>' then levels", "<r a=\">" + Repeated("<b>", 5000) + "\"></r>", deep},
        // The extraction takes "< /x>" for an end tag; the parser does not.
        {"false end tags", "<r>" + Repeated("<a>< /x>", 300) + "</r>", deep},
        // The parser ends an unknown "<!...>" at its first '>', as the extraction does.
        {"unknown ends at its first '>'", "<r><!x \">" + Nested(300) + "\"></r>", deep},
        {"\"<!-->\" ends at once in the extraction", "<!-->" + Nested(3000) + "-->", deep},
        {"1000 attributes", "<r" + Attributes(1000) + "/>", fine},
        {"1001 attributes", "<r" + Attributes(1001) + "/>", XmlTextCheck::TooManyAttributes},
        {"1001 on an inner element", "<r><s/><s" + Attributes(1001) + "></s></r>",
         XmlTextCheck::TooManyAttributes},
        // TinyXML stops at a repeated name, before the 1001st attribute.
        {"a name repeated", "<r" + Attributes(500) + " a7='2'" + Attributes(600, 500) + "/>", fine},
        {"a name repeated late", "<r" + Attributes(1000) + " a0='2'" + Attributes(10, 1000) + "/>", fine},
        {"1001 attributes in a comment", "<r><!--<s" + Attributes(1001) + "/>--></r>", fine},
        // In UTF-8 TinyXML takes 0xE2 to start a three-byte character: each "</a>" loses its '<'.
        {"end tags hidden in UTF-8 characters", "\xEF\xBB\xBF<r>" + Repeated("<a>\xE2\x82</a>", 300) + "</r>",
         deep},
        {"the same declared UTF-8", "<?xml version='1.0'?><r>" + Repeated("<a>\xE2\x82</a>", 300) + "</r>",
         deep},
        {"the same in ISO-8859-1",
         "<?xml version='1.0' encoding='ISO-8859-1'?><r>" + Repeated("<a>\xE2\x82</a>", 300) + "</r>", fine},
        {"the same declared UTF-8 by entities",
         "<?xml encoding='&#85;&#x54;F-8'?><r>" + Repeated("<a>\xE2\x82</a>", 300) + "</r>", deep},
        // A numeric entity runs to the next ';' over quotes and markup: TinyXML reads on where XML stops.
        {"entity over an end tag", "<r><c n=\">\"/>&#x</r>x1;" + Nested(300) + "</r>", deep},
        {"entity over a closing quote", "<r a=\"&#x\"x1;\">" + Nested(300) + "</r>", deep},
        {"entity that is no number", "<r a=\"&#x\"y1;\">" + Nested(300) + "</r>", fine},
        // In UTF-8 TinyXML passes over marks and white space between '<' and the name.
        {"byte order mark after '<'", "\xEF\xBB\xBF<\xEF\xBB\xBF r>" + Nested(300) + "</r>", deep},
        {"noncharacter after '<'", "\xEF\xBB\xBF<\xEF\xBF\xBE\nr>" + Nested(300) + "</r>", deep},
        // TinyXML drops a '&' that starts no entity, and reads a hexadecimal one from its last 'x'.
        {"declared UTF-8 with a stray '&'",
         "<?xml encoding='UTF&-8'?><r>" + Repeated("<a>\xE2\x82</a>", 300) + "</r>", deep},
        {"declared UTF-8 by an entity with two 'x'",
         "<?xml encoding='UTF-&#xZx38;'?><r>" + Repeated("<a>\xE2\x82</a>", 300) + "</r>", deep},
        {"a character running past the end", "\xEF\xBB\xBF<r a='\xE2", XmlTextCheck::EndsInsideCharacter},
        {"null inside the root", std::string("<r>\0</r>", 8), XmlTextCheck::HoldsNullCharacter},
        {"null in a start tag", std::string("<r a=\"\0\"></r>", 13), XmlTextCheck::HoldsNullCharacter},
        {"null after the root", std::string("<r/>\0", 5), fine},
        // TinyXML's extraction asserts when an end tag runs into a CDATA opening.
        {"CDATA opening in an end tag", "<r></<![CDATA[x]]>", XmlTextCheck::CdataInEndTag},
        {"CDATA opening in a spaced end tag", "<r><a>< / <![CDATA[>", XmlTextCheck::CdataInEndTag},
        {"CDATA opening right before an end tag's '>'", "<r></r<![CDATA[>", XmlTextCheck::CdataInEndTag},
        {"CDATA opening in a start tag", "<r><a <![CDATA[x]]></r>", fine},
    };
    for (const auto& c : cases) EXPECT_EQ(CheckTextForTinyXml(c.text), c.check) << c.name;
}

TEST(CheckTextForTinyXml, RecordsTheStartTagsTinyXmlReads) {
    const struct {
        std::string text;
        std::vector<size_t> startTags;
    } cases[] = {
        {"<r><a/>\n<!--<x>--><![CDATA[<y>]]><b c='<z>'></b></r><s/>", {0, 3, 33}},
        {"<?xml version='1.0'?><r>&#x<a/>x1;<b/></r>", {21, 34}},
        {"\xEF\xBB\xBF<\xEF\xBB\xBF r><a/></r>", {3, 10}},
        {"<r>< a/></r>", {0}},
    };
    for (const auto& c : cases) {
        std::vector<size_t> startTags;
        EXPECT_EQ(CheckTextForTinyXml(c.text, &startTags), XmlTextCheck::Readable) << c.text;
        EXPECT_EQ(startTags, c.startTags) << c.text;
    }
}

}  // namespace
