#include "tinyxml_precheck.h"

#include <array>
#include <cstring>
#include <limits>
#include <string_view>
#include <unordered_set>
#include <utility>
#include <vector>

#include <tinyxml.h>

// Both readings below follow TinyXML 2.6.2 byte for byte where it decides what
// is markup: where its rules differ from XML's (a comment "<!-->" ends at once
// in the extraction, an unknown "<!...>" ends at its first '>'), the count must
// follow TinyXML, or a text could hide levels from the count that TinyXML still
// recurses into.

static_assert(TIXML_MAJOR_VERSION == 2 && TIXML_MINOR_VERSION == 6 && TIXML_PATCH_VERSION == 2,
              "the readings below model TinyXML 2.6.2; check them against this release's "
              "parser and stream extraction (the fuzz target compares them) before changing this");

namespace {

constexpr char kCdataStart[] = "<![CDATA[";
constexpr size_t kCdataStartLength = sizeof kCdataStart - 1;
constexpr char kCommentStart[] = "<!--";
constexpr char kCommentEnd[] = "-->";
constexpr char kCdataEnd[] = "]]>";
constexpr char kDeclarationStart[] = "<?xml";
// The declaration's attributes that TinyXML's parser reads with quoting.
const char* const kDeclarationAttributes[] = {"version", "encoding", "standalone"};

// What TinyXML takes each byte for, looked up rather than compared: the checks
// below test every byte of a site file, most of them several times.
enum : unsigned char { kSpace = 1, kNameStart = 2, kNameCharacter = 4 };

constexpr std::array<unsigned char, 256> MakeByteClasses() {
    std::array<unsigned char, 256> classes{};
    for (int c = 0; c < 256; ++c) {
        // TinyXML takes every byte from 127 up as a letter.
        bool letter = c >= 127 || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
        bool space = c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
        bool nameStart = letter || c == '_';
        bool nameCharacter = nameStart || (c >= '0' && c <= '9') || c == '-' || c == '.' || c == ':';
        classes[static_cast<size_t>(c)] = static_cast<unsigned char>(
            (space ? kSpace : 0) | (nameStart ? kNameStart : 0) | (nameCharacter ? kNameCharacter : 0));
    }
    return classes;
}

constexpr std::array<unsigned char, 256> kByteClasses = MakeByteClasses();

// How many bytes TinyXML takes for a character that starts with byte, when it
// reads UTF-8.
size_t Utf8Length(unsigned char byte) { return static_cast<size_t>(TiXmlBase::utf8ByteTable[byte]); }

bool IsSpace(unsigned char c) { return (kByteClasses[c] & kSpace) != 0; }

bool IsNameStart(unsigned char c) { return (kByteClasses[c] & kNameStart) != 0; }

bool IsNameCharacter(unsigned char c) { return (kByteClasses[c] & kNameCharacter) != 0; }

bool StartsWith(const char* text, size_t at, size_t end, const char* prefix, bool ignoreCase) {
    size_t length = std::strlen(prefix);
    if (end - at < length) return false;
    for (size_t i = 0; i < length; ++i) {
        unsigned char c = static_cast<unsigned char>(text[at + i]);
        if (ignoreCase && c >= 'A' && c <= 'Z') c = static_cast<unsigned char>(c - 'A' + 'a');
        if (c != static_cast<unsigned char>(prefix[i])) return false;
    }
    return true;
}

// How much of text comes before its first null (all of it when it has none).
size_t LengthBeforeNull(const char* text, size_t length) {
    const void* null = std::memchr(text, '\0', length);
    return null == nullptr ? length : static_cast<size_t>(static_cast<const char*>(null) - text);
}

enum class NodeKind { Declaration, Comment, Cdata, Unknown, Element };

// What the stream extraction took in, and how deep it recursed.
struct StreamedExtent {
    size_t length = 0;
    int deepest = 0;
    bool stoppedAtNull = false;
    bool cdataInEndTag = false;
};

// What TinyXML makes of markup that starts with '<' at `at` and whose text ends
// at `end` (the extraction decides on what it has read so far).
NodeKind ClassifyNode(const char* text, size_t at, size_t end) {
    if (end - at < 2) return NodeKind::Unknown;
    // Every opening but an element's has '?' or '!' after its '<'; most markup
    // is elements, so they are told apart without comparing the openings.
    unsigned char second = static_cast<unsigned char>(text[at + 1]);
    if (second != '?' && second != '!') return IsNameStart(second) ? NodeKind::Element : NodeKind::Unknown;
    if (StartsWith(text, at, end, kDeclarationStart, true)) return NodeKind::Declaration;
    if (StartsWith(text, at, end, kCommentStart, false)) return NodeKind::Comment;
    if (StartsWith(text, at, end, kCdataStart, false)) return NodeKind::Cdata;
    return NodeKind::Unknown;
}

// The stream extraction: it copies characters until the first top-level element
// is complete, judging markup by '>' alone (quotes mean nothing to it), and
// recurses once per element it believes open. It stops at a null as at the end
// of the text; which of the two it met is settled once, up front, so that the
// scans below look for markup with memchr and stop at end_ alone.
class StreamedReading {
public:
    StreamedReading(const std::string& text, int depthLimit)
        : text_(text.data()),
          end_(LengthBeforeNull(text_, text.size())),
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

    // The next c in [from, to), or to.
    size_t Find(char c, size_t from, size_t to) const {
        const void* found = std::memchr(text_ + from, c, to - from);
        return found == nullptr ? to : static_cast<size_t>(static_cast<const char*>(found) - text_);
    }

    bool Back(size_t distance, char expected) const {
        return pos_ >= distance && text_[pos_ - distance] == expected;
    }

    void ReadDocument() {
        pos_ = Find('<', 0, end_);
        for (;;) {
            size_t tokenStart = pos_;
            pos_ = Find('>', pos_, end_);
            if (pos_ == end_) return Stop();
            size_t at = tokenStart;
            while (at < pos_ && IsSpace(static_cast<unsigned char>(text_[at]))) ++at;
            if (at == pos_ || text_[at] != '<') return;
            NodeKind kind = ClassifyNode(text_, at, pos_);
            if (kind == NodeKind::Element) return ReadElement();
            if (!ReadRestOfNode(kind)) return;
        }
    }

    // The rest of a node that is not an element, through the '>' that ends it;
    // false when the extraction stopped inside it.
    bool ReadRestOfNode(NodeKind kind) {
        for (;;) {
            size_t close = Find('>', pos_, end_);
            if (close == end_) {
                Stop();
                return false;
            }
            pos_ = close + 1;
            if (kind == NodeKind::Comment && !(Back(2, '-') && Back(3, '-'))) continue;
            if (kind == NodeKind::Cdata && !(Back(2, ']') && Back(3, ']'))) continue;
            return true;
        }
    }

    // The rest of an element's start tag, through its '>'; false when stopped.
    // selfClosed when the tag ended in "/>".
    bool ReadRestOfStartTag(bool& selfClosed) {
        size_t close = Find('>', pos_, end_);
        if (close == end_) {
            Stop();
            return false;
        }
        pos_ = close + 1;
        selfClosed = Back(2, '/');
        return true;
    }

    bool Enter(int depth) {
        if (depth > result_.deepest) result_.deepest = depth;
        return depth <= limit_;
    }

    // Where a "<![CDATA[" first completes with a '[' in [from, to): just past
    // that '[', or npos when none does. The extraction stops reading a tag there.
    size_t FindCdataOpening(size_t from, size_t to) const {
        for (size_t bracket = Find('[', from, to); bracket < to; bracket = Find('[', bracket + 1, to)) {
            size_t past = bracket + 1;
            if (past >= kCdataStartLength &&
                std::memcmp(text_ + past - kCdataStartLength, kCdataStart, kCdataStartLength) == 0) {
                return past;
            }
        }
        return std::string::npos;
    }

    void ReadElement() {
        bool selfClosed = false;
        if (!Enter(1) || !ReadRestOfStartTag(selfClosed) || selfClosed) return;
        int depth = 1;
        while (depth > 0) {
            while (pos_ < end_ && IsSpace(static_cast<unsigned char>(text_[pos_]))) ++pos_;
            if (pos_ == end_) return Stop();
            if (text_[pos_] != '<') {
                pos_ = Find('<', pos_, end_);
                continue;
            }
            // A tag runs to its '>', or into a "<![CDATA[" that completes first.
            size_t tokenStart = pos_;
            size_t close = Find('>', pos_, end_);
            size_t cdataPast = FindCdataOpening(pos_, close);
            bool metCdata = cdataPast != std::string::npos;
            if (!metCdata && close == end_) return Stop();
            pos_ = metCdata ? cdataPast : close;
            // An end tag is one whose first byte after its '<'s and spaces is '/'.
            bool closing = false;
            for (size_t i = tokenStart; i < pos_; ++i) {
                unsigned char c = static_cast<unsigned char>(text_[i]);
                if (c != '<' && !IsSpace(c)) {
                    closing = c == '/';
                    break;
                }
            }
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
            NodeKind kind = ClassifyNode(text_, tokenStart, pos_);
            if (kind != NodeKind::Element) {
                if (!ReadRestOfNode(kind)) return;
                continue;
            }
            if (!Enter(depth + 1) || !ReadRestOfStartTag(selfClosed)) return;
            if (!selfClosed) ++depth;
        }
    }

    const char* const text_;
    const size_t end_;
    const bool endIsNull_;
    const int limit_;
    size_t pos_ = 0;
    StreamedExtent result_;
};

// The parser: it honours quoted attribute values, and recurses once per element
// of the tree it builds. Where it would report an error it stops, and so does
// the count.
class ParsedReading {
public:
    ParsedReading(const char* text, size_t length, int depthLimit, int attributeLimit,
                  std::vector<size_t>* startTags)
        // The parser reads a C string: it ends at the first null.
        : text_(text),
          end_(LengthBeforeNull(text, length)),
          limit_(depthLimit),
          attributeLimit_(attributeLimit),
          startTags_(startTags) {
        // A byte order mark at the start makes the document UTF-8 at once.
        utf8_ = ByteOrderMarkAt(0);
        encodingKnown_ = utf8_;
    }

    int Run() {
        for (;;) {
            SkipSpace();
            if (AtEnd() || text_[pos_] != '<') break;
            NodeKind kind = ClassifyNode(text_, pos_, end_);
            bool read = kind == NodeKind::Element ? ReadElement() : ReadOtherNode(kind);
            // The first declaration at the top level settles the encoding, even
            // one that did not parse.
            if (kind == NodeKind::Declaration && !encodingKnown_) SettleEncoding();
            if (!read) break;
        }
        return deepest_;
    }

    // Whether an element held more attributes than the limit (the reading
    // stopped there).
    bool TooManyAttributes() const { return tooManyAttributes_; }

    // Whether TinyXML would read past the end of the text: in a UTF-8 document
    // it steps over a character by the length its first byte announces, even
    // where the text ends sooner.
    bool ReadsPastTheEnd() const { return readsPastTheEnd_; }

private:
    bool AtEnd() const { return pos_ >= end_; }
    unsigned char At(size_t i) const { return static_cast<unsigned char>(text_[i]); }

    // The marks that TinyXML passes over as white space when it reads UTF-8: the
    // byte order mark, and the noncharacters U+FFFE and U+FFFF.
    bool ByteOrderMarkAt(size_t at) const {
        return end_ - at >= 3 && At(at) == 0xEF && At(at + 1) == 0xBB && At(at + 2) == 0xBF;
    }
    bool Utf8MarkAt(size_t at) const {
        return ByteOrderMarkAt(at) ||
               (end_ - at >= 3 && At(at) == 0xEF && At(at + 1) == 0xBF && (At(at + 2) & 0xFE) == 0xBE);
    }

    void SkipSpace() {
        while (!AtEnd()) {
            if (IsSpace(At(pos_))) {
                ++pos_;
            } else if (utf8_ && Utf8MarkAt(pos_)) {
                pos_ += 3;
            } else {
                break;
            }
        }
    }

    // Moves past the next occurrence of what; false when there is none.
    bool SkipPast(const char* what) {
        size_t length = std::strlen(what);
        // memchr finds each candidate by its first byte; only those are compared.
        for (size_t i = pos_; i + length <= end_; ++i) {
            const void* first = std::memchr(text_ + i, what[0], end_ - length - i + 1);
            if (first == nullptr) break;
            i = static_cast<size_t>(static_cast<const char*>(first) - text_);
            if (std::memcmp(text_ + i, what, length) == 0) {
                pos_ = i + length;
                return true;
            }
        }
        pos_ = end_;
        return false;
    }

    // Moves to the next `stop` that TinyXML's text reading meets, character by
    // character: in a UTF-8 document it steps by the length each first byte
    // announces, and it reads an entity whole, so a `stop` inside either is
    // passed over. False where TinyXML fails: at the end of the text, past it
    // (noted), or at a numeric entity it cannot read. value, when given,
    // receives the text as TinyXML keeps it (outside UTF-8).
    bool SkipToInText(char stop, std::string* value = nullptr) {
        const void* found = std::memchr(text_ + pos_, stop, end_ - pos_);
        size_t stopAt =
            found == nullptr ? end_ : static_cast<size_t>(static_cast<const char*>(found) - text_);
        // Mostly nothing before it is read specially, and the byte found is the one.
        size_t at = pos_;
        while (value == nullptr && at < stopAt && text_[at] != '&' && (!utf8_ || Utf8Length(At(at)) == 1))
            ++at;
        if (at == stopAt) {
            pos_ = stopAt;
            return found != nullptr;
        }
        pos_ = at;
        while (pos_ < end_ && text_[pos_] != stop) {
            if (text_[pos_] == '&') {
                if (!ReadEntity(value)) return false;
                continue;
            }
            size_t step = utf8_ ? Utf8Length(At(pos_)) : 1;
            if (step > end_ - pos_) {
                readsPastTheEnd_ = true;
                pos_ = end_;
                return false;
            }
            if (value != nullptr) value->append(text_ + pos_, step);
            pos_ += step;
        }
        return pos_ < end_;
    }

    // The entity at '&', as TinyXML reads it: a numeric one runs to the next ';'
    // in the whole text, quotes and markup included, and holds digits after its
    // last 'x' (hexadecimal) or '#'; a named one is one of the five; a '&' that
    // starts neither is dropped. False where TinyXML fails on it.
    bool ReadEntity(std::string* value) {
        static const std::pair<std::string_view, char> kNamed[] = {
            {"&amp;", '&'}, {"&lt;", '<'}, {"&gt;", '>'}, {"&quot;", '"'}, {"&apos;", '\''}};
        if (end_ - pos_ > 2 && text_[pos_ + 1] == '#') {
            const void* found = std::memchr(text_ + pos_ + 2, ';', end_ - pos_ - 2);
            if (found == nullptr) return false;
            const size_t semicolon = static_cast<size_t>(static_cast<const char*>(found) - text_);
            const bool hex = text_[pos_ + 2] == 'x';
            unsigned long character = 0;
            unsigned long scale = 1;
            for (size_t at = semicolon - 1; text_[at] != (hex ? 'x' : '#'); --at) {
                const char c = text_[at];
                const int digit = c >= '0' && c <= '9'          ? c - '0'
                                  : hex && c >= 'a' && c <= 'f' ? c - 'a' + 10
                                  : hex && c >= 'A' && c <= 'F' ? c - 'A' + 10
                                                                : -1;
                if (digit < 0) return false;
                character += scale * static_cast<unsigned long>(digit);
                scale *= hex ? 16 : 10;
            }
            if (value != nullptr) *value += static_cast<char>(character);
            pos_ = semicolon + 1;
            return true;
        }
        const std::string_view rest(text_ + pos_, end_ - pos_);
        for (const auto& [entity, character] : kNamed) {
            if (rest.substr(0, entity.size()) == entity) {
                if (value != nullptr) *value += character;
                pos_ += entity.size();
                return true;
            }
        }
        ++pos_;
        return true;
    }

    // The first declaration's encoding decides: none, or one that begins with
    // "UTF-8" or "UTF8" in any case, is UTF-8; any other is not. TinyXML keeps
    // the value as a C string.
    void SettleEncoding() {
        encodingKnown_ = true;
        const char* encoding = declarationEncoding_.c_str();
        const size_t length = std::strlen(encoding);
        utf8_ = length == 0 || StartsWith(encoding, 0, length, "utf-8", true) ||
                StartsWith(encoding, 0, length, "utf8", true);
    }

    bool SkipName() {
        if (AtEnd() || !IsNameStart(At(pos_))) return false;
        while (!AtEnd() && IsNameCharacter(At(pos_))) ++pos_;
        return true;
    }

    // name: the attribute's, as it stands in the text; value, when given, its
    // value as TinyXML keeps it.
    bool ReadAttribute(std::string_view& name, std::string* value = nullptr) {
        SkipSpace();
        size_t nameAt = pos_;
        if (!SkipName()) return false;
        name = std::string_view(text_ + nameAt, pos_ - nameAt);
        SkipSpace();
        if (AtEnd() || text_[pos_] != '=') return false;
        ++pos_;
        SkipSpace();
        if (AtEnd()) return false;
        char quote = text_[pos_];
        if (quote == '"' || quote == '\'') {
            ++pos_;
            if (!SkipToInText(quote, value)) return false;
            ++pos_;
            return true;
        }
        size_t valueAt = pos_;
        while (!AtEnd() && !IsSpace(At(pos_)) && text_[pos_] != '/' && text_[pos_] != '>') {
            if (text_[pos_] == '"' || text_[pos_] == '\'') return false;
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
            if (text_[pos_] == '>') {
                ++pos_;
                return true;
            }
            SkipSpace();
            if (AtEnd()) return false;
            bool quoted = false;
            for (const char* name : kDeclarationAttributes) {
                quoted = quoted || StartsWith(text_, pos_, end_, name, true);
            }
            // TinyXML tests for "version" first: a name that begins with it is
            // never the encoding.
            bool encoding = !StartsWith(text_, pos_, end_, kDeclarationAttributes[0], true) &&
                            StartsWith(text_, pos_, end_, kDeclarationAttributes[1], true);
            std::string_view name;
            std::string value;
            if (quoted) {
                if (!ReadAttribute(name, &value)) return false;
                if (encoding) declarationEncoding_ = std::move(value);
            } else {
                while (!AtEnd() && text_[pos_] != '>' && !IsSpace(At(pos_))) ++pos_;
            }
        }
    }

    bool ReadOtherNode(NodeKind kind) {
        switch (kind) {
        case NodeKind::Declaration:
            return ReadDeclaration();
        case NodeKind::Comment:
            pos_ += std::strlen(kCommentStart);
            return SkipPast(kCommentEnd);
        case NodeKind::Cdata:
            pos_ += kCdataStartLength;
            return SkipPast(kCdataEnd);
        default:
            ++pos_;
            return SkipPast(">");
        }
    }

    // From '<' through the start tag's end; selfClosed for "/>". Counts the
    // element's level before anything else, so that the limit holds for leaves.
    bool ReadStartTag(int depth, bool& selfClosed) {
        if (depth > deepest_) deepest_ = depth;
        if (depth > limit_) return false;
        if (startTags_ != nullptr) startTags_->push_back(pos_);
        ++pos_;
        // In UTF-8 a mark may stand between '<' and the name, and white space after it.
        SkipSpace();
        if (!SkipName()) return false;
        attributeNames_.clear();
        // Only an element with many attributes fills the set; clearing it costs
        // its bucket array each time, so it is cleared only when used.
        if (!attributeNameSet_.empty()) attributeNameSet_.clear();
        for (;;) {
            SkipSpace();
            if (AtEnd()) return false;
            if (text_[pos_] == '/') {
                ++pos_;
                if (AtEnd() || text_[pos_] != '>') return false;
                ++pos_;
                selfClosed = true;
                return true;
            }
            if (text_[pos_] == '>') {
                ++pos_;
                selfClosed = false;
                return true;
            }
            if (!ReadElementAttribute()) return false;
        }
    }

    // One attribute of an element's start tag, kept as TinyXML keeps it: false
    // where TinyXML stops with an error (the text ends right after it, or the
    // element has an attribute of that name already), and where it is one more
    // than the limit. TinyXML looks each new name up in a list of the ones before
    // it; past the limit that would cost time in the square of their number.
    bool ReadElementAttribute() {
        std::string_view name;
        if (!ReadAttribute(name) || AtEnd() || !IsNewAttributeName(name)) return false;
        if (static_cast<int>(attributeNames_.size()) > attributeLimit_) {
            tooManyAttributes_ = true;
            return false;
        }
        return true;
    }

    // Adds name to the current element's names unless it is there already. A
    // few names are compared one by one; past that a set keeps the look-up
    // linear in the element's attributes.
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
            if (text_[pos_] != '<') {
                if (!SkipToInText('<')) return false;
                continue;
            }
            if (end_ - pos_ >= 2 && text_[pos_ + 1] == '/') {
                if (!SkipPast(">")) return false;
                --depth;
                continue;
            }
            NodeKind kind = ClassifyNode(text_, pos_, end_);
            if (kind != NodeKind::Element) {
                if (!ReadOtherNode(kind)) return false;
                continue;
            }
            if (!ReadStartTag(depth + 1, selfClosed)) return false;
            if (!selfClosed) ++depth;
        }
        return true;
    }

    const char* text_;
    size_t end_;
    const int limit_;
    const int attributeLimit_;
    std::vector<size_t>* const startTags_;
    size_t pos_ = 0;
    int deepest_ = 0;
    bool tooManyAttributes_ = false;
    bool readsPastTheEnd_ = false;
    bool utf8_ = false;
    bool encodingKnown_ = false;
    std::string declarationEncoding_;
    std::vector<std::string_view> attributeNames_;
    std::unordered_set<std::string_view> attributeNameSet_;
};

}  // namespace

size_t MeasureStreamedExtent(const std::string& text) {
    // The reading keeps no stack of its own, so it can follow any depth.
    return StreamedReading(text, std::numeric_limits<int>::max()).Run().length;
}

XmlTextCheck CheckTextForTinyXml(const std::string& text, const XmlTextLimits& limits,
                                 std::vector<size_t>* startTags) {
    StreamedExtent streamed = StreamedReading(text, limits.streamedNesting).Run();
    if (streamed.stoppedAtNull) return XmlTextCheck::HoldsNullCharacter;
    if (streamed.cdataInEndTag) return XmlTextCheck::CdataInEndTag;
    if (streamed.deepest > limits.streamedNesting) return XmlTextCheck::NestedTooDeeply;
    // The parser sees only what the extraction took in.
    ParsedReading parsed(text.data(), streamed.length, limits.elementNesting, limits.attributesPerElement,
                         startTags);
    int deepest = parsed.Run();
    if (parsed.ReadsPastTheEnd()) return XmlTextCheck::EndsInsideCharacter;
    if (parsed.TooManyAttributes()) return XmlTextCheck::TooManyAttributes;
    if (deepest > limits.elementNesting) return XmlTextCheck::NestedTooDeeply;
    return XmlTextCheck::Readable;
}
