#include "element_lines.h"

#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <tinyxml.h>

namespace {

// The Camera elements of node and below, in document order.
void CollectCameras(const TiXmlNode& node, std::vector<ElementPosition>& positions) {
    for (const TiXmlElement* child = node.FirstChildElement(); child != nullptr;
         child = child->NextSiblingElement()) {
        if (child->ValueStr() == "Camera") positions.push_back({child->Row(), child->Column()});
        CollectCameras(*child, positions);
    }
}

TEST(ElementLines, AreTheTextsOwnLinesWhateverItsBytes) {
    const struct {
        std::string text;
        std::vector<int> lines;  // of each Camera
    } cases[] = {
        // UTF-8, one character right before a line end.
        {"<?xml version=\"1.0\"?>\n<!-- caf\xC3\xA9\n-->\n<Config>\xE2\x82\xAC\n<Camera/></Config>", {5}},
        // Latin-1 after a UTF-8 declaration: TinyXML steps over the line end.
        {"<?xml version=\"1.0\"?>\n<!-- caf\xE9\n-->\n<Config>\n  <Camera/>\n</Config>\n", {5}},
        {"<?xml version=\"1.0\" encoding=\"utf-8\"?><Config><!--\xF0\n\n--><Camera/>\n<Camera/></Config>",
         {3, 4}},
        // Without a declaration, or with a Latin-1 one, each byte is a character.
        {"<!-- caf\xE9\n-->\n<Config>\n  <Camera/>\n</Config>\n", {4}},
        {"<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n<!-- caf\xE9\n-->\n<Config><Camera/></Config>",
         {4}},
        // The declaration is read a byte at a time up to its encoding.
        {"<?xml version=\"1.0\xE9\"\nencoding=\"UTF-8\"?>\n<Config><!--\xE9\n--><Camera/></Config>", {4}},
        // A byte order mark makes it UTF-8 from the start; TinyXML counts no
        // column for one.
        {"\xEF\xBB\xBF<Config>\n<!-- caf\xE9\n-->\xEF\xBB\xBF<Camera/></Config>", {3}},
        // CR LF is one line end, and so is a lone CR; LF CR is two.
        {"<?xml version=\"1.0\"?>\r\n<!-- caf\xE9\r\n-->\r\n<Config>\r\n<Camera/>\r\n</Config>\r\n", {5}},
        {"<Config>\r<Camera/>\n\r<Camera/></Config>", {2, 4}},
        // Tabs move TinyXML's column to its next stop.
        {"<?xml version=\"1.0\"?>\n<Config><!--\xE9\n-->\n\t\t\t\t<Camera/>\n</Config>", {4}},
        // Bytes at the very end, after the root element, are never parsed.
        {"<?xml version=\"1.0\"?>\n<Config><!--\xE9\n--><Camera/></Config>\n\xF0", {3}},
        {"<?xml version=\"1.0\"?>\n<Config><!--\xE9\n--><Camera/></Config>\xEF\xBB", {3}},
    };
    for (const auto& c : cases) {
        std::istringstream stream(c.text);
        TiXmlDocument document;
        stream >> document;
        ASSERT_FALSE(document.Error()) << c.text << ": " << document.ErrorDesc();
        std::vector<ElementPosition> positions;
        CollectCameras(document, positions);
        EXPECT_EQ(ElementLines(c.text, CursorRulesOf(document), positions), c.lines) << c.text;
    }
}

}  // namespace
