// A check, made before TinyXML sees a text, that the text cannot make TinyXML
// recurse until the stack runs out, nor spend minutes on one element's
// attributes.
//
// TinyXML reads a document twice over, both times one call per element level:
// its stream extraction first cuts the first top-level element out of the text,
// then its parser builds the tree from what was cut (and frees it the same way).
// The two read markup by different rules (the extraction ignores quotes, the
// parser honours them), so each reading is followed here with its own rules, in
// linear time and without recursion.
#pragma once

#include <string>

enum class XmlTextCheck {
    Readable,
    NestedTooDeeply,
    TooManyAttributes,   // more on one element than kMaxAttributesPerElement
    HoldsNullCharacter,  // TinyXML's stream extraction would loop forever on it
    CdataInEndTag,       // an end tag running into "<![CDATA[": TinyXML asserts on it
};

// Elements of the parsed tree may nest this deep; a real site configuration
// needs four levels.
constexpr int kMaxElementNesting = 256;

// TinyXML's parser looks each attribute up among those of its element read so
// far, so an element's attributes cost time in the square of their number. A
// real element has a handful.
constexpr int kMaxAttributesPerElement = 1000;

// The stream extraction goes one level deeper for every '>' inside a quoted
// value of a self-closing tag (a camera named "Hall > East"), so its bound is
// the stack's, with a wide margin: both builds crash somewhere past 5000.
constexpr int kMaxStreamedNesting = 2048;

XmlTextCheck CheckXmlTextNesting(const std::string& text);

// The length of the text's beginning that TinyXML's stream extraction takes in
// (up to the end of the first top-level element), and how deep it recursed.
struct StreamedExtent {
    size_t length = 0;
    int deepest = 0;
    bool stoppedAtNull = false;
    bool cdataInEndTag = false;
};
StreamedExtent MeasureStreamedExtent(const std::string& text, int depthLimit);

// The deepest element nesting TinyXML's parser builds from text (stops counting
// once past depthLimit).
int MeasureParsedNesting(const std::string& text, int depthLimit);
