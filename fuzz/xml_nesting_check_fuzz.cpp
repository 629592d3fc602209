// The nesting check held against TinyXML itself. For every text the check lets
// through (only those are safe to hand to TinyXML), TinyXML's stream extraction
// takes in exactly the length the check measures, and the check counts at least
// as many element levels, and at least as many attributes on one element, as
// the tree TinyXML builds from it holds: with either limit one below TinyXML's
// figure, the check refuses the text. It may count more where TinyXML stops at
// an error that the check reads past (an end tag that does not match its start
// tag, a malformed entity): that refuses a broken text for another reason, but
// never lets a deep one by.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <istream>
#include <streambuf>
#include <string>
#include <utility>
#include <vector>

#include <tinyxml.h>

#include "xml_nesting_check.h"

namespace {

// Reads text where it lies, as the site configuration reader does, and tells
// how much of it was taken.
class CountingBuffer : public std::streambuf {
public:
    explicit CountingBuffer(std::string& text) { setg(&text[0], &text[0], &text[0] + text.size()); }
    size_t Taken() const { return static_cast<size_t>(gptr() - eback()); }
};

struct TreeShape {
    int depth = 0;       // element levels
    int attributes = 0;  // on the element that has the most
};

// Walked without recursion, like the check.
TreeShape ShapeOf(const TiXmlDocument& document) {
    TreeShape shape;
    std::vector<std::pair<const TiXmlNode*, int>> pending = {{&document, 0}};
    while (!pending.empty()) {
        auto [node, depth] = pending.back();
        pending.pop_back();
        for (const TiXmlNode* child = node->FirstChild(); child != nullptr; child = child->NextSibling()) {
            const TiXmlElement* element = child->ToElement();
            if (element == nullptr) continue;  // only elements hold nodes
            int attributes = 0;
            for (const TiXmlAttribute* a = element->FirstAttribute(); a != nullptr; a = a->Next())
                ++attributes;
            shape.depth = std::max(shape.depth, depth + 1);
            shape.attributes = std::max(shape.attributes, attributes);
            pending.emplace_back(element, depth + 1);
        }
    }
    return shape;
}

// With the limit one below TinyXML's figure, the check must refuse the text.
void ExpectCountsAtLeast(const std::string& text, int XmlTextLimits::*limit, int tinyXml,
                         XmlTextCheck refusal, const char* what) {
    if (tinyXml == 0) return;
    XmlTextLimits limits;
    limits.*limit = tinyXml - 1;
    if (CheckXmlTextNesting(text, limits) != refusal) {
        std::fprintf(stderr, "%s: TinyXML builds %d, the check counts less\n", what, tinyXml);
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    if (CheckXmlTextNesting(text) != XmlTextCheck::Readable) return 0;

    std::string copy = text;
    CountingBuffer buffer(copy);
    std::istream stream(&buffer);
    TiXmlDocument document;
    stream >> document;

    const size_t length = MeasureStreamedExtent(text);
    if (buffer.Taken() != length) {
        std::fprintf(stderr, "length taken in: TinyXML %zu, the check %zu\n", buffer.Taken(), length);
        std::abort();
    }
    const TreeShape shape = ShapeOf(document);
    ExpectCountsAtLeast(text, &XmlTextLimits::elementNesting, shape.depth, XmlTextCheck::NestedTooDeeply,
                        "element nesting");
    ExpectCountsAtLeast(text, &XmlTextLimits::attributesPerElement, shape.attributes,
                        XmlTextCheck::TooManyAttributes, "attributes on one element");
    return 0;
}
