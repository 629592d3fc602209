#include "element_lines.h"

#include <algorithm>
#include <tuple>

#include <tinyxml.h>

namespace {

constexpr char kDeclarationStart[] = "<?xml";
constexpr size_t kDeclarationStartLength = sizeof kDeclarationStart - 1;

// TinyXML's own scanning rules, which it keeps to itself, so that the replay
// reads the declaration exactly as the parse did.
struct TinyXmlScanning : TiXmlBase {
    using TiXmlBase::IsWhiteSpace;
    using TiXmlBase::SkipWhiteSpace;
    using TiXmlBase::StringEqual;
};

// As TinyXML sees the text: a null past its end.
unsigned char ByteAt(const std::string& text, size_t offset) {
    return offset < text.size() ? static_cast<unsigned char>(text[offset]) : 0;
}

bool StartsWithByteOrderMark(const std::string& text) {
    return ByteAt(text, 0) == 0xEF && ByteAt(text, 1) == 0xBB && ByteAt(text, 2) == 0xBF;
}

// The cursor as TiXmlParsingData::Stamp moves it: a step per character, where a
// character is one byte until the encoding is UTF-8. Stamp stops at the first
// step that reaches the place it is given and goes on from there the next time,
// so the cursor of any element lies on this one path through the text.
struct TinyXmlCursor {
    // One step; false at the end of the text.
    bool Step() {
        const unsigned char byte = ByteAt(text, offset);
        switch (byte) {
        case 0:
            return false;
        case '\r':
        case '\n':
            ++row;
            column = 0;
            ++offset;
            // CR LF and LF CR are each one line end to TinyXML.
            if (ByteAt(text, offset) == (byte == '\r' ? '\n' : '\r')) ++offset;
            return true;
        case '\t':
            ++offset;
            column = (column / tabSize + 1) * tabSize;
            return true;
        default:
            break;
        }
        if (!utf8) {
            ++offset;
            ++column;
        } else if (byte == 0xEF) {
            const unsigned char second = ByteAt(text, offset + 1);
            const unsigned char third = ByteAt(text, offset + 2);
            if (second == 0 || third == 0) {
                ++offset;
                return true;
            }
            // The byte order mark and the two noncharacters take no column.
            const bool zeroWidth =
                (second == 0xBB && third == 0xBF) || (second == 0xBF && (third == 0xBE || third == 0xBF));
            offset += 3;
            if (!zeroWidth) ++column;
        } else {
            offset += static_cast<size_t>(std::max(TiXmlBase::utf8ByteTable[byte], 1));
            ++column;
        }
        return true;
    }

    bool At(int wantedRow, int wantedColumn) const { return row == wantedRow && column == wantedColumn; }
    bool Before(int wantedRow, int wantedColumn) const {
        return std::tie(row, column) < std::tie(wantedRow, wantedColumn);
    }

    const std::string& text;
    const int tabSize;
    bool utf8;
    size_t offset = 0;
    int row = 0;
    int column = 0;
};

// Where the parse of the declaration at start last moves the cursor: to the
// last version, encoding or standalone attribute it reads, else to the
// declaration itself (TiXmlDeclaration::Parse). The declared encoding applies
// to the steps from there on.
size_t LastDeclarationStamp(const std::string& text, size_t start) {
    if (start + kDeclarationStartLength > text.size()) return start;
    const char* const begin = text.c_str();
    const char* last = begin + start;
    const char* p = last + kDeclarationStartLength;
    while (p != nullptr && *p != '\0' && *p != '>') {
        p = TinyXmlScanning::SkipWhiteSpace(p, TIXML_ENCODING_UNKNOWN);
        if (p == nullptr || *p == '\0') break;
        if (TinyXmlScanning::StringEqual(p, "version", true, TIXML_ENCODING_UNKNOWN) ||
            TinyXmlScanning::StringEqual(p, "encoding", true, TIXML_ENCODING_UNKNOWN) ||
            TinyXmlScanning::StringEqual(p, "standalone", true, TIXML_ENCODING_UNKNOWN)) {
            last = p;
            TiXmlAttribute attribute;
            p = attribute.Parse(p, nullptr, TIXML_ENCODING_UNKNOWN);
        } else {
            while (*p != '\0' && *p != '>' && !TinyXmlScanning::IsWhiteSpace(*p)) ++p;
        }
    }
    return static_cast<size_t>(last - begin);
}

// Counts line ends from the start of the text up to an offset, going on from
// the offset asked before when it lies no further.
class LineCounter {
public:
    explicit LineCounter(const std::string& text) : text_(text) {}

    int LineAt(size_t offset) {
        if (offset < counted_) {
            counted_ = 0;
            lineEnds_ = 0;
        }
        for (; counted_ < offset && counted_ < text_.size(); ++counted_) {
            const char byte = text_[counted_];
            if (byte == '\n' || (byte == '\r' && ByteAt(text_, counted_ + 1) != '\n')) ++lineEnds_;
        }
        return lineEnds_ + 1;
    }

private:
    const std::string& text_;
    size_t counted_ = 0;
    int lineEnds_ = 0;
};

}  // namespace

CursorRules CursorRulesOf(const TiXmlDocument& document) {
    CursorRules rules;
    rules.tabSize = document.TabSize();
    // Only a declaration read before any element decides the encoding.
    for (const TiXmlNode* node = document.FirstChild(); node != nullptr && node->ToElement() == nullptr;
         node = node->NextSibling()) {
        const TiXmlDeclaration* declaration = node->ToDeclaration();
        if (declaration == nullptr) continue;
        const char* encoding = declaration->Encoding();
        rules.declared = true;
        rules.declarationRow = declaration->Row();
        rules.declarationColumn = declaration->Column();
        // TiXmlDocument::Parse: no encoding, or one that begins "UTF-8" or "UTF8".
        rules.declaresUtf8 = *encoding == '\0' ||
                             TinyXmlScanning::StringEqual(encoding, "UTF-8", true, TIXML_ENCODING_UNKNOWN) ||
                             TinyXmlScanning::StringEqual(encoding, "UTF8", true, TIXML_ENCODING_UNKNOWN);
        break;
    }
    return rules;
}

std::vector<int> ElementLines(const std::string& text, const CursorRules& rules,
                              const std::vector<ElementPosition>& positions) {
    std::vector<int> lines;
    for (const ElementPosition& position : positions) lines.push_back(position.row);
    // A tab size below 1 turns TinyXML's counting off; there is nothing to replay.
    if (rules.tabSize < 1) return lines;

    std::vector<size_t> order(positions.size());
    for (size_t i = 0; i < order.size(); ++i) order[i] = i;
    std::sort(order.begin(), order.end(), [&](size_t a, size_t b) {
        return std::tie(positions[a].row, positions[a].column) <
               std::tie(positions[b].row, positions[b].column);
    });

    // A byte order mark makes the parse UTF-8 from the start; otherwise a UTF-8
    // declaration switches it over once the declaration has been read.
    TinyXmlCursor cursor{text, rules.tabSize, StartsWithByteOrderMark(text)};
    bool awaitingDeclaration = !cursor.utf8 && rules.declared && rules.declaresUtf8;
    size_t switchAt = std::string::npos;
    auto arrive = [&] {
        if (awaitingDeclaration && cursor.At(rules.declarationRow - 1, rules.declarationColumn - 1)) {
            switchAt = LastDeclarationStamp(text, cursor.offset);
            awaitingDeclaration = false;
        }
    };
    auto step = [&] {
        if (cursor.offset == switchAt) cursor.utf8 = true;
        if (!cursor.Step()) return false;
        arrive();
        return true;
    };
    arrive();

    LineCounter counter(text);
    bool more = true;
    const ElementPosition* previous = nullptr;
    int previousLine = 0;
    for (size_t index : order) {
        const ElementPosition& position = positions[index];
        if (previous != nullptr && previous->row == position.row && previous->column == position.column) {
            lines[index] = previousLine;
            continue;
        }
        const int row = position.row - 1;
        const int column = position.column - 1;
        while (more && cursor.Before(row, column)) more = step();
        if (!cursor.At(row, column)) continue;
        // Steps that take no column can follow the element's own; its '<' is
        // the last one up to the end of that run (a step overshoots it by at
        // most three bytes of its name).
        size_t last = cursor.offset;
        while (more && (more = step()) && cursor.At(row, column)) last = cursor.offset;
        const size_t open = text.rfind('<', last);
        if (open == std::string::npos) continue;
        lines[index] = counter.LineAt(open);
        previous = &position;
        previousLine = lines[index];
    }
    return lines;
}
