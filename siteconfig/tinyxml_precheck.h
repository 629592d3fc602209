// A check, made before TinyXML sees a text, that the text cannot make TinyXML
// recurse until the stack runs out, spend minutes on one element's attributes,
// loop for ever, assert, or read past the end of the text.
//
// TinyXML reads a document twice over, both times one call per element level:
// its stream extraction first cuts the first top-level element out of the text,
// then its parser builds the tree from what was cut (and frees it the same way).
// The two read markup by different rules (the extraction ignores quotes, the
// parser honours them), so each reading is followed here with its own rules, in
// linear time and without recursion.
#pragma once

#include <string>
#include <vector>

enum class XmlTextCheck {
    Readable,
    NestedTooDeeply,
    TooManyAttributes,    // more on one element than the limit
    HoldsNullCharacter,   // TinyXML's stream extraction would loop forever on it
    CdataInEndTag,        // an end tag running into "<![CDATA[": TinyXML asserts on it
    EndsInsideCharacter,  // TinyXML would step past the end of the text (UTF-8)
};

// How far a text may go. Elements of the parsed tree may nest this deep; a real site configuration
// needs four levels.
inline constexpr int kElementNesting = 256;
// The stream extraction goes one level deeper for every '>' inside a quoted
// value of a self-closing tag (a camera named "Hall > East"), so its bound is
// the stack's, with a wide margin: both builds crash somewhere past 5000.
inline constexpr int kStreamedNesting = 2048;
// TinyXML's parser looks each attribute up among those of its element read so
// far, so an element's attributes cost time in the square of their number. A
// real element has a handful.
inline constexpr int kAttributesPerElement = 1000;

// startTags, when given, receives the offset in text of each element's '<' that
// TinyXML's parser reads, in the order it builds them. On a text that TinyXML
// parses without error, its elements in document order are the first of these.
XmlTextCheck CheckTextForTinyXml(const std::string& text, std::vector<size_t>* startTags = nullptr);
