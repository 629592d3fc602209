// The pre-check held against TinyXML itself. For every text the check lets
// through (only those are safe to hand to TinyXML):
// - TinyXML's stream extraction takes in exactly the length the check measures;
// - the check counts at least as many element levels, and at least as many
//   attributes on one element, as the tree TinyXML builds from it holds: with
//   either limit one below TinyXML's figure, the check refuses the text. It may
//   count more where TinyXML stops at an error that the check reads past (an
//   end tag that does not match its start tag): that refuses a broken text for
//   another reason, but never lets a deep one by;
// - in a document TinyXML read without error, each element, in document order,
//   has a start tag recorded by the check, whose name is the element's.
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

#include "tinyxml_precheck.h"

namespace {

// Reads text where it lies, as the site configuration reader does, and tells
// how much of it was taken.
class CountingBuffer : public std::streambuf {
public:
    explicit CountingBuffer(std::string& text) { setg(&text[0], &text[0], &text[0] + text.size()); }
    size_t Taken() const { return static_cast<size_t>(gptr() - eback()); }
};

// TinyXML's own reading of an element's name after its '<', which it keeps to itself.
struct TinyXmlScanning : TiXmlBase {
    using TiXmlBase::ReadName;
    using TiXmlBase::SkipWhiteSpace;
};

// Whether TinyXML reads name at the '<' at offset, reading UTF-8 or not: which
// of the two the document was read in is TinyXML's to know.
bool NameAt(const std::string& text, size_t offset, const std::string& name) {
    if (offset >= text.size() || text[offset] != '<') return false;
    for (TiXmlEncoding encoding : {TIXML_ENCODING_UTF8, TIXML_ENCODING_LEGACY}) {
        const char* p = TinyXmlScanning::SkipWhiteSpace(text.c_str() + offset + 1, encoding);
        std::string read;
        if (p != nullptr && TinyXmlScanning::ReadName(p, &read, encoding) != nullptr && read == name)
            return true;
    }
    return false;
}

struct TreeShape {
    int depth = 0;       // element levels
    int attributes = 0;  // on the element that has the most
};

// Walked in document order and without recursion, like the check; each element
// is held against the next start tag the check recorded, unless TinyXML failed.
TreeShape ShapeOf(const TiXmlDocument& document, const std::string& text,
                  const std::vector<size_t>& startTags) {
    const bool matched = !document.Error();
    TreeShape shape;
    size_t elements = 0;
    std::vector<std::pair<const TiXmlNode*, int>> pending = {{&document, 0}};
    while (!pending.empty()) {
        auto [node, depth] = pending.back();
        pending.pop_back();
        if (const TiXmlElement* element = node->ToElement()) {
            if (matched &&
                (elements >= startTags.size() || !NameAt(text, startTags[elements], element->ValueStr()))) {
                std::fprintf(stderr, "element %zu <%s>: no start tag recorded for it\n", elements,
                             element->Value());
                std::abort();
            }
            ++elements;
            int attributes = 0;
            for (const TiXmlAttribute* a = element->FirstAttribute(); a != nullptr; a = a->Next())
                ++attributes;
            shape.depth = std::max(shape.depth, depth);
            shape.attributes = std::max(shape.attributes, attributes);
        }
        // Children go on in reverse, so that the first is taken next.
        for (const TiXmlNode* child = node->LastChild(); child != nullptr; child = child->PreviousSibling())
            pending.emplace_back(child, depth + 1);
    }
    return shape;
}

// With the limit one below TinyXML's figure, the check must refuse the text.
void ExpectCountsAtLeast(const std::string& text, int XmlTextLimits::*limit, int tinyXml,
                         XmlTextCheck refusal, const char* what) {
    if (tinyXml == 0) return;
    XmlTextLimits limits;
    limits.*limit = tinyXml - 1;
    if (CheckTextForTinyXml(text, limits) != refusal) {
        std::fprintf(stderr, "%s: TinyXML builds %d, the check counts less\n", what, tinyXml);
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    std::vector<size_t> startTags;
    if (CheckTextForTinyXml(text, XmlTextLimits(), &startTags) != XmlTextCheck::Readable) return 0;

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
    const TreeShape shape = ShapeOf(document, text, startTags);
    ExpectCountsAtLeast(text, &XmlTextLimits::elementNesting, shape.depth, XmlTextCheck::NestedTooDeeply,
                        "element nesting");
    ExpectCountsAtLeast(text, &XmlTextLimits::attributesPerElement, shape.attributes,
                        XmlTextCheck::TooManyAttributes, "attributes on one element");
    return 0;
}
