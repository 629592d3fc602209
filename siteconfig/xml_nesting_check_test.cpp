#include "xml_nesting_check.h"

#include <gtest/gtest.h>

#include "test_text.h"

namespace {

std::string Nested(int levels) { return Repeated("<a>", levels) + Repeated("</a>", levels); }

TEST(CheckXmlTextNesting, CountsOnlyTheLevelsTinyXmlBuilds) {
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
        // In a UTF-8 document TinyXML takes 0xE2 for the start of a three-byte
        // character, so each "</a>" below loses its '<' and the levels add up.
        {"end tags hidden in UTF-8 characters", "\xEF\xBB\xBF<r>" + Repeated("<a>\xE2\x82</a>", 300) + "</r>",
         deep},
        {"the same declared UTF-8", "<?xml version='1.0'?><r>" + Repeated("<a>\xE2\x82</a>", 300) + "</r>",
         deep},
        {"the same in ISO-8859-1",
         "<?xml version='1.0' encoding='ISO-8859-1'?><r>" + Repeated("<a>\xE2\x82</a>", 300) + "</r>", fine},
        {"the same declared UTF-8 by entities",
         "<?xml encoding='&#85;&#x54;F-8'?><r>" + Repeated("<a>\xE2\x82</a>", 300) + "</r>", deep},
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
    for (const auto& c : cases) EXPECT_EQ(CheckXmlTextNesting(c.text), c.check) << c.name;
}

// deepest: how deep the extraction recurses, found as the lowest limit on it
// that lets the text through.
TEST(MeasureStreamedExtent, EndsWithTheFirstTopLevelElement) {
    const struct {
        std::string text;
        size_t length;
        int deepest;
    } cases[] = {
        {"<?xml version=\"1.0\"?>\n<r><a/></r>\n<s/>", 33, 2},
        {"<r/><s/>", 4, 1},
        {"<r a=\"x>y\"><b/></r>rest", 19, 2},
        {"<r><c a=\">\"/></c></r><s/>", 21, 2},  // '>' in a quoted value of a self-closing tag
        {"<r><![CDATA[</r>]]></r>tail", 23, 1},
        {"<r><a>", 6, 2},  // the end of the text
        {"no markup", 9, 0},
        {Nested(3000) + "<s/>", 21000, 3000},  // past the limit on the recursion
    };
    for (const auto& c : cases) {
        const std::string shown = c.text.substr(0, 40);
        EXPECT_EQ(MeasureStreamedExtent(c.text), c.length) << shown;
        XmlTextLimits limits;
        limits.elementNesting = c.deepest;
        limits.streamedNesting = c.deepest;
        EXPECT_EQ(CheckXmlTextNesting(c.text, limits), XmlTextCheck::Readable) << shown;
        if (c.deepest == 0) continue;
        limits.streamedNesting = c.deepest - 1;
        EXPECT_EQ(CheckXmlTextNesting(c.text, limits), XmlTextCheck::NestedTooDeeply) << shown;
    }
}

}  // namespace
