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
    };
    for (const auto& c : cases) {
        StreamedExtent extent = MeasureStreamedExtent(c.text, kMaxStreamedNesting);
        EXPECT_EQ(extent.length, c.length) << c.text;
        EXPECT_EQ(extent.deepest, c.deepest) << c.text;
        EXPECT_FALSE(extent.stoppedAtNull) << c.text;
    }
}

}  // namespace
