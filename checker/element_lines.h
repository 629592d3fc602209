// The real line numbers of elements that TinyXML parsed. TinyXML counts rows as
// it steps through the text, and in UTF-8 it steps over a whole multi-byte
// character from its first byte, so a byte that is not UTF-8 (Latin-1 0xE9, say)
// can carry it over a line end that it then never counts. These functions replay
// its stepping to find each element in the text, and count the line ends there.
#pragma once

#include <string>
#include <vector>

class TiXmlDocument;

// What TinyXML's stepping depended on in a document, kept for after the
// document is gone.
struct CursorRules {
    int tabSize = 4;
    bool declared = false;   // a declaration before the root element
    int declarationRow = 0;  // its Row() and Column()
    int declarationColumn = 0;
    bool declaresUtf8 = false;  // its encoding, as TinyXML reads it
};

CursorRules CursorRulesOf(const TiXmlDocument& document);

// TiXmlElement::Row() and Column().
struct ElementPosition {
    int row;
    int column;
};

// The line (from 1) on which each element begins in text, in the order given.
// text is the text the document was parsed from, from its start. A line ends at
// LF, at CR LF, and at a CR alone. A position that text does not lead to keeps
// TinyXML's row.
std::vector<int> ElementLines(const std::string& text, const CursorRules& rules,
                              const std::vector<ElementPosition>& positions);
