#include "tinyxml_precheck.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <string_view>
#include <unordered_set>
#include <utility>
#include <vector>

#include <tinyxml.h>

// Both readings follow TinyXML 2.6.2 byte for byte where it differs from XML ("<!-->" ends at once in the
// extraction): otherwise a text could hide levels from the count that TinyXML still recurses into.

static_assert(TIXML_MAJOR_VERSION == 2 && TIXML_MINOR_VERSION == 6 && TIXML_PATCH_VERSION == 2,
              "the readings below model TinyXML 2.6.2; check them against this release's "
              "parser and stream extraction (the fuzz target compares them) before changing this");

namespace {

// The extraction goes a level deeper for every '>' in a quoted value of a
// self-closing tag, so its bound is the stack's, with a wide margin.
constexpr int kStreamedNesting = 2048;

constexpr char kCdataStart[] = "<![CDATA[";
constexpr char kCommentStart[] = "<!--";
constexpr char kCommentEnd[] = "-->";
constexpr char kCdataEnd[] = "]]>";
constexpr char kDeclarationStart[] = "<?xml";
constexpr char kByteOrderMark[] = "\xEF\xBB\xBF";
// The declaration's attributes that TinyXML's parser reads with quoting.
const char* const kDeclarationAttributes[] = {"version", "encoding", "standalone"};
constexpr size_t kEncodingAttribute = 1;

// TinyXML's scanners, which it keeps to its own classes.
struct TinyXml : TiXmlBase {
    using TiXmlBase::GetChar;
    using TiXmlBase::IsAlpha;
    using TiXmlBase::IsAlphaNum;
    using TiXmlBase::IsWhiteSpace;
    using TiXmlBase::SkipWhiteSpace;
    using TiXmlBase::StringEqual;
};

// What TinyXML takes each byte for, asked of its predicates once: a call per
// test would cost more than the rest of the check. The null is none of these.
enum : unsigned char { kSpace = 1, kNameStart = 2, kNameCharacter = 4 };

struct ByteClasses {
    ByteClasses() {
        for (int i = 0; i < 256; ++i) {
            const auto c = static_cast<unsigned char>(i);
            const bool punctuation = c == '_' || c == '-' || c == '.' || c == ':';
            of[c] = static_cast<unsigned char>(
                (TinyXml::IsWhiteSpace(static_cast<char>(c)) ? kSpace : 0) |
                (TinyXml::IsAlpha(c, TIXML_ENCODING_UNKNOWN) || c == '_' ? kNameStart : 0) |
                (TinyXml::IsAlphaNum(c, TIXML_ENCODING_UNKNOWN) || punctuation ? kNameCharacter : 0));
        }
    }
    unsigned char of[256];
};

const ByteClasses& TinyXmlByteClasses() {
    static const ByteClasses classes;
    return classes;
}

enum class NodeKind { Declaration, Comment, Cdata, Unknown, Element };

// What ends a node that is not an element, in both readings.
std::string_view Closing(NodeKind kind) {
    return kind == NodeKind::Comment ? kCommentEnd : kind == NodeKind::Cdata ? kCdataEnd : ">";
}

// A reading's place in text[0, end), where text[end] is a null, and the scans both readings make.
class Cursor {
protected:
    Cursor(const char* text, size_t end, TiXmlEncoding encoding)
        : text_(text), end_(end), encoding_(encoding), classes_(TinyXmlByteClasses()) {}

    bool AtEnd() const { return pos_ >= end_; }
    char At(size_t at) const { return text_[at]; }
    bool Is(size_t at, unsigned char byteClass) const {
        return (classes_.of[static_cast<unsigned char>(text_[at])] & byteClass) != 0;
    }

    // Where pattern first occurs in [from, to), or `to`. memchr finds the candidates by the pattern's last
    // byte, which is rare in a site file in every pattern searched for; only those are compared.
    size_t Search(std::string_view pattern, size_t from, size_t to) const {
        const size_t last = pattern.size() - 1;
        for (size_t at = from + last; at < to; ++at) {
            const void* found = std::memchr(text_ + at, pattern[last], to - at);
            if (found == nullptr) break;
            at = static_cast<size_t>(static_cast<const char*>(found) - text_);
            if (std::memcmp(text_ + at - last, pattern.data(), last) == 0) return at - last;
        }
        return to;
    }

    // Moves past the next pattern; false, at the end, when there is none.
    bool SkipPast(std::string_view pattern) {
        const size_t at = Search(pattern, pos_, end_);
        pos_ = at == end_ ? end_ : at + pattern.size();
        return at != end_;
    }

    // Whether the text at `at` opens with `opening`, compared as TinyXML does,
    // where the text ends at `to` (TinyXML holds a null there).
    bool Opens(size_t at, size_t to, const char* opening, bool ignoreCase = false) const {
        return to - at >= std::strlen(opening) &&
               TinyXml::StringEqual(text_ + at, opening, ignoreCase, encoding_);
    }

    // Past TinyXML's white space from `at`. TinyXML's own scan, which also
    // passes over the marks of UTF-8, is called only where a mark may begin.
    size_t PastSpace(size_t at) const {
        while (Is(at, kSpace)) ++at;
        if (encoding_ == TIXML_ENCODING_UTF8 && At(at) == kByteOrderMark[0])
            at = static_cast<size_t>(TinyXml::SkipWhiteSpace(text_ + at, encoding_) - text_);
        return at;
    }
    void SkipSpace() { pos_ = PastSpace(pos_); }

    // What TinyXML makes of markup whose '<' is at `at`, where the text ends at `to`. Most markup is
    // elements, told by the byte after '<' alone: every other opening has '?' or '!' there.
    NodeKind Classify(size_t at, size_t to) const {
        if (to - at >= 2 && Is(at + 1, kNameStart)) return NodeKind::Element;
        if (Opens(at, to, kDeclarationStart, true)) return NodeKind::Declaration;
        if (Opens(at, to, kCommentStart)) return NodeKind::Comment;
        if (Opens(at, to, kCdataStart)) return NodeKind::Cdata;
        return NodeKind::Unknown;
    }

    const char* const text_;
    const size_t end_;
    size_t pos_ = 0;
    TiXmlEncoding encoding_;
    const ByteClasses& classes_;
};

// What the stream extraction took in, and how deep it recursed.
struct StreamedExtent {
    size_t length = 0;
    int deepest = 0;
    bool stoppedAtNull = false;
    bool cdataInEndTag = false;
};

// The stream extraction: copies until the first top-level element is complete,
// judging markup by '>' alone, one recursion per element it believes open. A
// null stops it as the end does; end_ is set to whichever comes first.
class StreamedReading : Cursor {
public:
    StreamedReading(const std::string& text, int depthLimit)
        : Cursor(text.data(), std::min(text.find('\0'), text.size()), TIXML_DEFAULT_ENCODING),
          endIsNull_(end_ < text.size()),
          limit_(depthLimit) {}

    StreamedExtent Run() {
        ReadDocument();
        result_.length = pos_;
        return result_;
    }

private:
    // The extraction ran out of text; TinyXML would loop forever on a null
    // inside an element, so meeting one is reported.
    void Stop() {
        pos_ = end_;
        result_.stoppedAtNull = endIsNull_;
    }

    void ReadDocument() {
        pos_ = Search("<", 0, end_);
        for (;;) {
            const size_t tokenStart = pos_;
            pos_ = Search(">", pos_, end_);
            if (pos_ == end_) return Stop();
            const size_t at = PastSpace(tokenStart);
            if (at == pos_ || At(at) != '<') return;
            const NodeKind kind = Classify(at, pos_);
            if (kind == NodeKind::Element) return ReadElement();
            if (!ReadRestOfNode(kind)) return;
        }
    }

    // The rest of a node that is not an element, through the '>' that ends it,
    // from the tag's end at pos_; false when the extraction stopped inside it.
    // A comment's or CDATA's end counts from its opening on ("<!-->" is whole).
    bool ReadRestOfNode(NodeKind kind) {
        const std::string_view close = Closing(kind);
        const size_t at = Search(close, pos_ + 1 - close.size(), end_);
        if (at == end_) {
            Stop();
            return false;
        }
        pos_ = at + close.size();
        return true;
    }

    // The rest of an element's start tag, through its '>'; false when stopped.
    // selfClosed when the tag ended in "/>".
    bool ReadRestOfStartTag(bool& selfClosed) {
        if (!ReadRestOfNode(NodeKind::Element)) return false;
        selfClosed = At(pos_ - 2) == '/';
        return true;
    }

    bool Enter(int depth) {
        if (depth > result_.deepest) result_.deepest = depth;
        return depth <= limit_;
    }

    void ReadElement() {
        bool selfClosed = false;
        if (!Enter(1) || !ReadRestOfStartTag(selfClosed) || selfClosed) return;
        int depth = 1;
        while (depth > 0) {
            SkipSpace();
            if (AtEnd()) return Stop();
            if (At(pos_) != '<') {
                pos_ = Search("<", pos_, end_);
                continue;
            }
            // A tag runs to its '>', or into a "<![CDATA[" that completes first.
            const size_t tokenStart = pos_;
            const size_t close = Search(">", pos_, end_);
            const size_t cdata = Search(kCdataStart, pos_, close);
            const bool metCdata = cdata != close;
            if (!metCdata && close == end_) return Stop();
            pos_ = metCdata ? cdata + std::strlen(kCdataStart) : close;
            // An end tag is one whose first byte after its '<'s and spaces is '/'.
            size_t first = tokenStart;
            while (first < pos_ && (At(first) == '<' || Is(first, kSpace))) ++first;
            const bool closing = first < pos_ && At(first) == '/';
            // TinyXML asserts that a "<![CDATA[" it meets in a tag is not in an
            // end tag; a build with assertions on aborts there.
            if (closing && metCdata) {
                result_.cdataInEndTag = true;
                return;
            }
            if (closing) {
                ++pos_;
                --depth;
                continue;
            }
            const NodeKind kind = Classify(tokenStart, pos_);
            if (kind != NodeKind::Element) {
                if (!ReadRestOfNode(kind)) return;
                continue;
            }
            if (!Enter(depth + 1) || !ReadRestOfStartTag(selfClosed)) return;
            if (!selfClosed) ++depth;
        }
    }

    const bool endIsNull_;
    const int limit_;
    StreamedExtent result_;
};

// The parser: it honours quoted attribute values, and recurses once per element
// of the tree it builds. Where it would report an error it stops, and so does
// the count. It reads what the extraction took in, as a C string of its own.
class ParsedReading : Cursor {
public:
    ParsedReading(const std::string& text, int depthLimit, int attributeLimit, std::vector<size_t>* startTags)
        : Cursor(text.c_str(), text.size(), TIXML_ENCODING_UNKNOWN),
          limit_(depthLimit),
          attributeLimit_(attributeLimit),
          startTags_(startTags) {
        // A byte order mark at the start makes the document UTF-8 at once.
        if (Opens(0, end_, kByteOrderMark)) encoding_ = TIXML_ENCODING_UTF8;
    }

    int Run() {
        for (;;) {
            SkipSpace();
            if (AtEnd() || At(pos_) != '<') break;
            const NodeKind kind = Classify(pos_, end_);
            const bool read = kind == NodeKind::Element ? ReadElement() : ReadOtherNode(kind);
            // The first declaration at the top level settles the encoding, even one that did not parse.
            if (kind == NodeKind::Declaration && encoding_ == TIXML_ENCODING_UNKNOWN) SettleEncoding();
            if (!read) break;
        }
        return deepest_;
    }

    // Whether an element held more attributes than the limit (the reading stopped there).
    bool TooManyAttributes() const { return tooManyAttributes_; }

    // Whether TinyXML would read past the end of the text: in a UTF-8 document it steps over a character by
    // the length its first byte announces, even where the text ends sooner.
    bool ReadsPastTheEnd() const { return readsPastTheEnd_; }

private:
    // Moves to the next `stop` as TinyXML's text reading meets it (UTF-8 characters
    // and entities whole); false where TinyXML fails. value gets the text as kept.
    bool SkipToInText(char stop, std::string* value = nullptr) {
        // Mostly nothing before it is read specially: such bytes are passed at once.
        const bool utf8 = encoding_ == TIXML_ENCODING_UTF8;
        while (value == nullptr && At(pos_) != stop && At(pos_) != '&' && At(pos_) != '\0' &&
               (!utf8 || TinyXml::utf8ByteTable[static_cast<unsigned char>(At(pos_))] == 1))
            ++pos_;
        while (!AtEnd() && At(pos_) != stop) {
            char character[4] = {};
            int length = 0;
            const char* next = TinyXml::GetChar(text_ + pos_, character, &length, encoding_);
            if (next == nullptr) return false;
            if (next > text_ + end_) {
                readsPastTheEnd_ = true;
                pos_ = end_;
                return false;
            }
            if (value != nullptr) value->append(character, static_cast<size_t>(length));
            pos_ = static_cast<size_t>(next - text_);
        }
        return !AtEnd();
    }

    // The first declaration's encoding decides, as TinyXML's document does:
    // none, or one that begins with "UTF-8" or "UTF8" in any case, is UTF-8;
    // any other is not. TinyXML keeps the value as a C string.
    void SettleEncoding() {
        const char* encoding = declarationEncoding_.c_str();
        encoding_ = *encoding == '\0' ||
                            TinyXml::StringEqual(encoding, "UTF-8", true, TIXML_ENCODING_UNKNOWN) ||
                            TinyXml::StringEqual(encoding, "UTF8", true, TIXML_ENCODING_UNKNOWN)
                        ? TIXML_ENCODING_UTF8
                        : TIXML_ENCODING_LEGACY;
    }

    // TinyXML's ReadName, without the copy of the name it makes.
    bool SkipName() {
        if (!Is(pos_, kNameStart)) return false;
        while (Is(pos_, kNameCharacter)) ++pos_;
        return true;
    }

    // name: the attribute's, as it stands in the text; value, when given, its value as TinyXML keeps it.
    bool ReadAttribute(std::string_view& name, std::string* value = nullptr) {
        SkipSpace();
        const size_t nameAt = pos_;
        if (!SkipName()) return false;
        name = std::string_view(text_ + nameAt, pos_ - nameAt);
        SkipSpace();
        if (AtEnd() || At(pos_) != '=') return false;
        ++pos_;
        SkipSpace();
        if (AtEnd()) return false;
        const char quote = At(pos_);
        if (quote == '"' || quote == '\'') {
            ++pos_;
            if (!SkipToInText(quote, value)) return false;
            ++pos_;
            return true;
        }
        const size_t valueAt = pos_;
        while (!AtEnd() && !Is(pos_, kSpace) && At(pos_) != '/' && At(pos_) != '>') {
            if (At(pos_) == '"' || At(pos_) == '\'') return false;
            ++pos_;
        }
        if (value != nullptr) value->assign(text_ + valueAt, pos_ - valueAt);
        return true;
    }

    bool ReadDeclaration() {
        pos_ += std::strlen(kDeclarationStart);
        declarationEncoding_.clear();
        for (;;) {
            if (AtEnd()) return false;
            if (At(pos_) == '>') {
                ++pos_;
                return true;
            }
            SkipSpace();
            if (AtEnd()) return false;
            // TinyXML tests the names in order: one that begins with "version" is never the encoding.
            size_t known = 0;
            while (known < std::size(kDeclarationAttributes) &&
                   !Opens(pos_, end_, kDeclarationAttributes[known], true))
                ++known;
            if (known == std::size(kDeclarationAttributes)) {
                while (!AtEnd() && At(pos_) != '>' && !Is(pos_, kSpace)) ++pos_;
                continue;
            }
            std::string_view name;
            std::string value;
            if (!ReadAttribute(name, &value)) return false;
            if (known == kEncodingAttribute) declarationEncoding_ = std::move(value);
        }
    }

    // A node that is not an element ends at the first closing after its opening.
    bool ReadOtherNode(NodeKind kind) {
        if (kind == NodeKind::Declaration) return ReadDeclaration();
        pos_ += kind == NodeKind::Comment ? std::strlen(kCommentStart)
                : kind == NodeKind::Cdata ? std::strlen(kCdataStart)
                                          : 1;
        return SkipPast(Closing(kind));
    }

    // From '<' through the start tag's end; selfClosed for "/>". Counts the
    // element's level before anything else, so that the limit holds for leaves.
    bool ReadStartTag(int depth, bool& selfClosed) {
        if (depth > deepest_) deepest_ = depth;
        if (depth > limit_) return false;
        if (startTags_ != nullptr) startTags_->push_back(pos_);
        // In UTF-8 a mark may stand between '<' and the name, and white space after it.
        pos_ = PastSpace(pos_ + 1);
        if (!SkipName()) return false;
        attributeNames_.clear();
        // Only an element with many attributes fills the set; clearing it costs
        // its bucket array each time, so it is cleared only when used.
        if (!attributeNameSet_.empty()) attributeNameSet_.clear();
        for (;;) {
            SkipSpace();
            if (AtEnd()) return false;
            if (At(pos_) == '/' || At(pos_) == '>') {
                selfClosed = At(pos_) == '/';
                pos_ += selfClosed ? 2 : 1;
                return At(pos_ - 1) == '>';
            }
            if (!ReadElementAttribute()) return false;
        }
    }

    // One attribute, as TinyXML keeps it: false where TinyXML stops with an error
    // (a repeated name, the text's end) and past the limit.
    bool ReadElementAttribute() {
        std::string_view name;
        if (!ReadAttribute(name) || AtEnd() || !IsNewAttributeName(name)) return false;
        if (static_cast<int>(attributeNames_.size()) > attributeLimit_) {
            tooManyAttributes_ = true;
            return false;
        }
        return true;
    }

    // Adds name unless the element has it; a set past a few keeps this linear.
    bool IsNewAttributeName(std::string_view name) {
        constexpr size_t kComparedOneByOne = 16;
        if (attributeNames_.size() < kComparedOneByOne) {
            for (std::string_view earlier : attributeNames_) {
                if (earlier == name) return false;
            }
        } else {
            if (attributeNameSet_.empty())
                attributeNameSet_.insert(attributeNames_.begin(), attributeNames_.end());
            if (!attributeNameSet_.insert(name).second) return false;
        }
        attributeNames_.push_back(name);
        return true;
    }

    bool ReadElement() {
        bool selfClosed = false;
        if (!ReadStartTag(1, selfClosed)) return false;
        int depth = selfClosed ? 0 : 1;
        while (depth > 0) {
            SkipSpace();
            if (AtEnd()) return false;
            if (At(pos_) != '<') {
                if (!SkipToInText('<')) return false;
                continue;
            }
            if (At(pos_ + 1) == '/') {
                if (!SkipPast(">")) return false;
                --depth;
                continue;
            }
            const NodeKind kind = Classify(pos_, end_);
            if (kind != NodeKind::Element) {
                if (!ReadOtherNode(kind)) return false;
                continue;
            }
            if (!ReadStartTag(depth + 1, selfClosed)) return false;
            if (!selfClosed) ++depth;
        }
        return true;
    }

    const int limit_;
    const int attributeLimit_;
    std::vector<size_t>* const startTags_;
    int deepest_ = 0;
    bool tooManyAttributes_ = false;
    bool readsPastTheEnd_ = false;
    std::string declarationEncoding_;
    std::vector<std::string_view> attributeNames_;
    std::unordered_set<std::string_view> attributeNameSet_;
};

}  // namespace

XmlTextCheck CheckTextForTinyXml(const std::string& text, std::vector<size_t>* startTags) {
    StreamedExtent streamed = StreamedReading(text, kStreamedNesting).Run();
    if (streamed.stoppedAtNull) return XmlTextCheck::HoldsNullCharacter;
    if (streamed.cdataInEndTag) return XmlTextCheck::CdataInEndTag;
    if (streamed.deepest > kStreamedNesting) return XmlTextCheck::NestedTooDeeply;
    // The parser sees only what the extraction took in (which holds no null).
    const std::string taken = text.substr(0, streamed.length);
    ParsedReading parsed(taken, kElementNesting, kAttributesPerElement, startTags);
    int deepest = parsed.Run();
    if (parsed.ReadsPastTheEnd()) return XmlTextCheck::EndsInsideCharacter;
    if (parsed.TooManyAttributes()) return XmlTextCheck::TooManyAttributes;
    if (deepest > kElementNesting) return XmlTextCheck::NestedTooDeeply;
    return XmlTextCheck::Readable;
}
