// A check, before TinyXML sees a text, that it cannot make TinyXML exhaust the stack, spend minutes on one
// element, loop, assert or read past the text's end. TinyXML's stream extraction and its parser each recurse
// per level by rules of their own, so both are followed here, in linear time and without recursion.
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

// A real site file nests four levels deep.
inline constexpr int kElementNesting = 256;
// Attributes cost TinyXML time in the square of their number; a real element has a handful.
inline constexpr int kAttributesPerElement = 1000;

// startTags, when given, receives the offset of each element's '<' in the order
// TinyXML's parser builds them (document order, on a text it parses whole).
XmlTextCheck CheckTextForTinyXml(const std::string& text, std::vector<size_t>* startTags = nullptr);
