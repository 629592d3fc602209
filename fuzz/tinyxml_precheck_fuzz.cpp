// The pre-check held against TinyXML itself. For every text the check lets
// through (only those are safe to hand to TinyXML):
// - the tree TinyXML builds from it stays within the check's limits on element
//   levels and on attributes of one element: the check counts at least what
//   TinyXML builds;
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

// Reads text where it lies, as the site configuration reader does.
class InPlaceBuffer : public std::streambuf {
public:
    explicit InPlaceBuffer(std::string& text) { setg(&text[0], &text[0], &text[0] + text.size()); }
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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    std::vector<size_t> startTags;
    if (CheckTextForTinyXml(text, &startTags) != XmlTextCheck::Readable) return 0;

    std::string copy = text;
    InPlaceBuffer buffer(copy);
    std::istream stream(&buffer);
    TiXmlDocument document;
    stream >> document;

    // What TinyXML built from a text the check let through stays within the
    // check's limits: the check counts at least what TinyXML builds.
    const TreeShape shape = ShapeOf(document, text, startTags);
    if (shape.depth > kElementNesting || shape.attributes > kAttributesPerElement) {
        std::fprintf(stderr, "TinyXML builds %d levels and %d attributes on one element\n", shape.depth,
                     shape.attributes);
        std::abort();
    }
    return 0;
}
