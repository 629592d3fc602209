// The date and time parser. Character classes are our own, so that no locale
// changes what a digit, a blank or a letter's case is.
#include "date_time_parser.h"

#include <cstddef>

namespace {

constexpr int kTmYearBase = 1900;

const char* const kFullDayNames[] = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                     "Thursday", "Friday", "Saturday"};
const char* const kShortDayNames[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
const char* const kFullMonthNames[] = {"January", "February", "March",     "April",   "May",      "June",
                                       "July",    "August",   "September", "October", "November", "December"};
const char* const kShortMonthNames[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                        "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
constexpr int kDayCount = 7;
constexpr int kMonthCount = 12;

constexpr char kAmMarker[] = "AM";
constexpr char kPmMarker[] = "PM";
constexpr std::ptrdiff_t kMarkerLength = sizeof kAmMarker - 1;

constexpr char kDateExpansion[] = "%m/%d/%y";
constexpr char kTimeExpansion[] = "%H:%M:%S";
constexpr char kHourMinuteExpansion[] = "%H:%M";
constexpr char kTwelveHourExpansion[] = "%I:%M:%S %p";
constexpr char kDateAndTimeExpansion[] = "%x %X";

// A modifier is one bit, so a conversion's accepted modifiers form a mask.
enum Modifier : unsigned { kNoModifier = 1, kModifierE = 2, kModifierO = 4 };

struct ConversionRule {
    char conversion;
    unsigned acceptedModifiers;
};

// clang-format off
constexpr ConversionRule kConversionRules[] = {
    {'%', kNoModifier | kModifierE | kModifierO},
    {'a', kNoModifier}, {'A', kNoModifier},
    {'b', kNoModifier}, {'B', kNoModifier}, {'h', kNoModifier},
    {'C', kNoModifier | kModifierE},
    {'c', kNoModifier | kModifierE},
    {'D', kNoModifier},
    {'d', kNoModifier | kModifierO}, {'e', kNoModifier | kModifierO},
    {'H', kNoModifier | kModifierO},
    {'I', kNoModifier | kModifierO},
    {'j', kNoModifier},
    {'k', kNoModifier}, {'l', kNoModifier},
    {'M', kNoModifier | kModifierO},
    {'m', kNoModifier | kModifierO},
    {'n', kNoModifier}, {'t', kNoModifier},
    {'p', kNoModifier},
    {'R', kNoModifier}, {'r', kNoModifier},
    {'S', kNoModifier | kModifierO},
    {'T', kNoModifier},
    {'U', kNoModifier | kModifierO}, {'W', kNoModifier | kModifierO},
    {'w', kNoModifier | kModifierO},
    {'X', kNoModifier | kModifierE}, {'x', kNoModifier | kModifierE},
    {'Y', kNoModifier | kModifierE},
    {'y', kNoModifier | kModifierE | kModifierO},
};
// clang-format on

// False for a conversion that is not listed, or one given a modifier it does not take.
bool IsAcceptedConversion(char conversion, Modifier modifier) {
    for (const auto& rule : kConversionRules) {
        if (rule.conversion == conversion) return (rule.acceptedModifiers & modifier) != 0;
    }
    return false;
}

// A space, or one of \t \n \v \f \r, which stand together in ASCII.
bool IsWhiteSpace(char c) {
    const unsigned char byte = static_cast<unsigned char>(c);
    return byte == ' ' || (byte >= '\t' && byte <= '\r');
}

bool IsDigit(char c) {
    const unsigned char byte = static_cast<unsigned char>(c);
    return byte >= '0' && byte <= '9';
}

unsigned char FoldAsciiCase(char c) {
    const unsigned char byte = static_cast<unsigned char>(c);
    return (byte >= 'A' && byte <= 'Z') ? static_cast<unsigned char>(byte - 'A' + 'a') : byte;
}

void SkipWhiteSpace(const char*& cursor) {
    while (IsWhiteSpace(*cursor)) ++cursor;
}

// Takes digits while they fit under upper; the cursor moves over them even when
// the value is then below lower.
bool ReadBoundedNumber(const char*& cursor, int& out, int lower, int upper) {
    if (!IsDigit(*cursor)) return false;
    int value = 0;
    int digitBudget = upper;
    for (;;) {
        value = value * 10 + (*cursor - '0');
        ++cursor;
        if (value * 10 > upper) break;
        digitBudget /= 10;
        if (digitBudget == 0) break;
        if (!IsDigit(*cursor)) break;
    }
    if (value < lower || value > upper) return false;
    out = value;
    return true;
}

// The length of name when the input begins with it, in any ASCII case; else 0.
std::ptrdiff_t MatchedNameLength(const char* cursor, const char* name) {
    std::ptrdiff_t length = 0;
    for (; name[length] != '\0'; ++length) {
        if (FoldAsciiCase(cursor[length]) != FoldAsciiCase(name[length])) return 0;
    }
    return length;
}

// The first index whose full or abbreviated name begins the input wins.
bool ReadName(const char*& cursor, const char* const fullNames[], const char* const shortNames[], int count,
              int& index) {
    for (int i = 0; i < count; ++i) {
        std::ptrdiff_t length = MatchedNameLength(cursor, fullNames[i]);
        if (length == 0) length = MatchedNameLength(cursor, shortNames[i]);
        if (length != 0) {
            cursor += length;
            index = i;
            return true;
        }
    }
    return false;
}

// Whole-text equality ignoring ASCII case: a longer text is not equal.
bool EqualsIgnoringAsciiCase(const char* text, const char* other) {
    for (; *other != '\0'; ++text, ++other) {
        if (FoldAsciiCase(*text) != FoldAsciiCase(*other)) return false;
    }
    return *text == '\0';
}

// The marker must be the whole rest of the input and the hour a morning one.
bool ReadHalfDayMarker(const char*& cursor, std::tm& record) {
    const bool morning = EqualsIgnoringAsciiCase(cursor, kAmMarker);
    if (!morning && !EqualsIgnoringAsciiCase(cursor, kPmMarker)) return false;
    if (record.tm_hour > 11) return false;
    if (!morning) record.tm_hour += 12;
    cursor += kMarkerLength;
    return true;
}

// Works on the year itself, not tm_year, so that years before 1900 split right;
// while yearPartRead is set the year lies in 0..9999, so division is exact.
void StoreTwoDigitYear(std::tm& record, int value, bool& yearPartRead) {
    if (yearPartRead) {
        const int year = record.tm_year + kTmYearBase;
        record.tm_year = year / 100 * 100 + value - kTmYearBase;
    } else {
        record.tm_year = value >= 69 ? value : value + 100;
        yearPartRead = true;
    }
}

void StoreCentury(std::tm& record, int century, bool& yearPartRead) {
    if (yearPartRead) {
        const int year = record.tm_year + kTmYearBase;
        record.tm_year = century * 100 + year % 100 - kTmYearBase;
    } else {
        record.tm_year = century * 100 - kTmYearBase;
        yearPartRead = true;
    }
}

bool ReadComposite(const char*& cursor, const char* expansion, std::tm& record) {
    const char* end = ParseDateTime(cursor, expansion, &record);
    if (end == nullptr) return false;
    cursor = end;
    return true;
}

// Reads a number in lower..upper into field as value + offset.
bool ReadField(const char*& cursor, int& field, int lower, int upper, int offset = 0) {
    int value;
    if (!ReadBoundedNumber(cursor, value, lower, upper)) return false;
    field = value + offset;
    return true;
}

bool ReadTwelveHour(const char*& cursor, std::tm& record) {
    int hour;
    if (!ReadBoundedNumber(cursor, hour, 1, 12)) return false;
    record.tm_hour = hour == 12 ? 0 : hour;
    return true;
}

// One conversion whose modifier has already been accepted.
bool ApplyConversion(char conversion, const char*& cursor, std::tm& record, bool& yearPartRead) {
    int value;
    switch (conversion) {
    case '%':
        if (*cursor != '%') return false;
        ++cursor;
        return true;
    case 'a':
    case 'A':
        return ReadName(cursor, kFullDayNames, kShortDayNames, kDayCount, record.tm_wday);
    case 'b':
    case 'B':
    case 'h':
        return ReadName(cursor, kFullMonthNames, kShortMonthNames, kMonthCount, record.tm_mon);
    case 'C':
        if (!ReadBoundedNumber(cursor, value, 0, 99)) return false;
        StoreCentury(record, value, yearPartRead);
        return true;
    case 'c':
        return ReadComposite(cursor, kDateAndTimeExpansion, record);
    case 'D':
    case 'x':
        return ReadComposite(cursor, kDateExpansion, record);
    case 'd':
    case 'e':
        return ReadField(cursor, record.tm_mday, 1, 31);
    case 'H':
    case 'k':
        return ReadField(cursor, record.tm_hour, 0, 23);
    case 'I':
    case 'l':
        return ReadTwelveHour(cursor, record);
    case 'j':
        return ReadField(cursor, record.tm_yday, 1, 366, -1);
    case 'M':
        return ReadField(cursor, record.tm_min, 0, 59);
    case 'm':
        return ReadField(cursor, record.tm_mon, 1, 12, -1);
    case 'n':
    case 't':
        SkipWhiteSpace(cursor);
        return true;
    case 'p':
        return ReadHalfDayMarker(cursor, record);
    case 'R':
        return ReadComposite(cursor, kHourMinuteExpansion, record);
    case 'r':
        return ReadComposite(cursor, kTwelveHourExpansion, record);
    case 'S':
        return ReadField(cursor, record.tm_sec, 0, 61);
    case 'T':
    case 'X':
        return ReadComposite(cursor, kTimeExpansion, record);
    case 'U':
    case 'W':
        return ReadBoundedNumber(cursor, value, 0, 53);  // the week number is dropped
    case 'w':
        return ReadField(cursor, record.tm_wday, 0, 6);
    case 'Y':
        return ReadField(cursor, record.tm_year, 0, 9999, -kTmYearBase);
    case 'y':
        if (!ReadBoundedNumber(cursor, value, 0, 99)) return false;
        StoreTwoDigitYear(record, value, yearPartRead);
        return true;
    default:
        return false;
    }
}

}  // namespace

const char* ParseDateTime(const char* input, const char* format, std::tm* record) {
    if (input == nullptr || format == nullptr || record == nullptr) return nullptr;
    const char* cursor = input;
    bool yearPartRead = false;  // a century or a two-digit year was read in this call
    for (const char* at = format; *at != '\0'; ++at) {
        if (IsWhiteSpace(*at)) {
            SkipWhiteSpace(cursor);
            continue;
        }
        if (*at != '%') {
            // The input's NUL never equals a format character, so the cursor never moves past it.
            if (*cursor != *at) return nullptr;
            ++cursor;
            continue;
        }
        ++at;
        Modifier modifier = kNoModifier;
        if (*at == 'E' || *at == 'O') {
            modifier = *at == 'E' ? kModifierE : kModifierO;
            ++at;
        }
        // A "%" or a modifier at the format's end meets the NUL here, which no
        // rule lists, so the loop never steps past the terminator.
        if (!IsAcceptedConversion(*at, modifier)) return nullptr;
        if (!ApplyConversion(*at, cursor, *record, yearPartRead)) return nullptr;
    }
    return cursor;
}
