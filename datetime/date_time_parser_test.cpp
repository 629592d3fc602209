#include "date_time_parser.h"

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace {

using Field = int std::tm::*;
constexpr Field kSec = &std::tm::tm_sec;
constexpr Field kMin = &std::tm::tm_min;
constexpr Field kHour = &std::tm::tm_hour;
constexpr Field kMday = &std::tm::tm_mday;
constexpr Field kMon = &std::tm::tm_mon;
constexpr Field kYear = &std::tm::tm_year;
constexpr Field kWday = &std::tm::tm_wday;
constexpr Field kYday = &std::tm::tm_yday;

struct Written {
    Field field;
    int value;
};

constexpr int kFails = -1;

// consumed: the characters the parse covers, or kFails; written: the fields changed in the caller's record.
struct ParseCase {
    const char* input;
    const char* format;
    int consumed;
    std::vector<Written> written;
};

// Values no conversion here writes, so a stray or missing write shows.
std::tm CallersRecord() {
    std::tm record{};
    int value = -11;
    for (Field field : {kSec, kMin, kHour, kMday, kMon, kYear, kWday, kYday}) record.*field = value--;
    record.tm_isdst = -19;
    return record;
}

std::string Describe(const std::tm& r) {
    return "sec " + std::to_string(r.tm_sec) + " min " + std::to_string(r.tm_min) + " hour " +
           std::to_string(r.tm_hour) + " mday " + std::to_string(r.tm_mday) + " mon " +
           std::to_string(r.tm_mon) + " year " + std::to_string(r.tm_year) + " wday " +
           std::to_string(r.tm_wday) + " yday " + std::to_string(r.tm_yday) + " isdst " +
           std::to_string(r.tm_isdst);
}

// A heap copy with no byte to spare, so that the address sanitizer reports any read past the terminator.
std::unique_ptr<char[]> ExactCopy(const char* text) {
    const std::size_t size = std::strlen(text) + 1;
    std::unique_ptr<char[]> copy(new char[size]);
    std::memcpy(copy.get(), text, size);
    return copy;
}

int ParseAndCount(const char* inputText, const char* formatText, std::tm& record) {
    const auto input = ExactCopy(inputText);
    const auto format = ExactCopy(formatText);
    const char* end = ParseDateTime(input.get(), format.get(), &record);
    return end == nullptr ? kFails : static_cast<int>(end - input.get());
}

void CheckCases(const std::vector<ParseCase>& cases) {
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string("\"") + c.input + "\" by \"" + c.format + "\"");
        std::tm record = CallersRecord();
        std::tm expected = CallersRecord();
        for (const auto& w : c.written) expected.*w.field = w.value;
        EXPECT_EQ(ParseAndCount(c.input, c.format, record), c.consumed);
        EXPECT_EQ(Describe(record), Describe(expected));
    }
}

TEST(ParseDateTime, ReadsTheLaunchersSeparatorlessDateAndTime) {
    // clang-format off
    CheckCases({
        {"1231201123:59:59", "%m%d%Y%T", 16,
         {{kMon, 11}, {kMday, 31}, {kYear, 111}, {kHour, 23}, {kMin, 59}, {kSec, 59}}},
        {"215201108:00:00", "%m%d%Y%T", 15,  // 20 exceeds 12: a one-digit month
         {{kMon, 1}, {kMday, 15}, {kYear, 111}, {kHour, 8}, {kMin, 0}, {kSec, 0}}},
        {"115201108:00:00", "%m%d%Y%T", 15,
         {{kMon, 10}, {kMday, 5}, {kYear, 111}, {kHour, 8}, {kMin, 0}, {kSec, 0}}},
        {"131201108:00:00", "%m%d%Y%T", kFails, {}},
        {"12311123:59:59", "%m%d%Y%T", kFails, {{kMon, 11}, {kMday, 31}, {kYear, -777}}},
        {"1231201123:59:59 more", "%m%d%Y%T", 16,
         {{kMon, 11}, {kMday, 31}, {kYear, 111}, {kHour, 23}, {kMin, 59}, {kSec, 59}}},
    });
    // clang-format on
}

TEST(ParseDateTime, ReadsEachNumberIntoItsField) {
    CheckCases({
        {"31", "%d", 2, {{kMday, 31}}},
        {"7", "%e", 1, {{kMday, 7}}},
        {"23", "%H", 2, {{kHour, 23}}},
        {"0", "%k", 1, {{kHour, 0}}},
        {"11", "%I", 2, {{kHour, 11}}},
        {"12", "%I", 2, {{kHour, 0}}},
        {"12", "%l", 2, {{kHour, 0}}},
        {"1", "%l", 1, {{kHour, 1}}},
        {"366", "%j", 3, {{kYday, 365}}},
        {"001", "%j", 3, {{kYday, 0}}},
        {"59", "%M", 2, {{kMin, 59}}},
        {"01", "%m", 2, {{kMon, 0}}},
        {"60", "%S", 2, {{kSec, 60}}},
        {"61", "%S", 2, {{kSec, 61}}},
        {"53", "%U", 2, {}},
        {"0", "%W", 1, {}},
        {"6", "%w", 1, {{kWday, 6}}},
        {"2011", "%Y", 4, {{kYear, 111}}},
        {"02/31", "%m/%d", 5, {{kMon, 1}, {kMday, 31}}},  // no field is checked against another
    });
}

TEST(ParseDateTime, StopsEachNumberAtItsDigitLimit) {
    CheckCases({
        {"35", "%H", 1, {{kHour, 3}}},
        {"400", "%j", 2, {{kYday, 39}}},
        {"02011", "%Y", 4, {{kYear, -1699}}},
        {"20111", "%Y", 4, {{kYear, 111}}},
        {"0005", "%Y", 4, {{kYear, -1895}}},
        {"007", "%Y", 3, {{kYear, -1893}}},
        {"45", "%d", 1, {{kMday, 4}}},
        {"311", "%d", 2, {{kMday, 31}}},
        {"031", "%d", 2, {{kMday, 3}}},
        {"2", "%m", 1, {{kMon, 1}}},
        {"10", "%m", 2, {{kMon, 9}}},
        {"12", "%w", 1, {{kWday, 1}}},
        {"100", "%y", 2, {{kYear, 110}}},
        {"5", "%y", 1, {{kYear, 105}}},
        {"321", "%d", kFails, {}},  // 30 and 31 fit, so a second digit is taken
    });
}

TEST(ParseDateTime, RejectsNumbersOutOfRangeOrMissingAndStoresNothing) {
    CheckCases({
        {"24", "%H", kFails, {}},
        {"62", "%S", kFails, {}},
        {"00", "%m", kFails, {}},
        {"13", "%m", kFails, {}},
        {"00", "%d", kFails, {}},
        {"32", "%e", kFails, {}},
        {"0", "%I", kFails, {}},
        {"13", "%l", kFails, {}},
        {"000", "%j", kFails, {}},
        {"367", "%j", kFails, {}},
        {"7", "%w", kFails, {}},
        {"54", "%W", kFails, {}},
        {" 5", "%e", kFails, {}},
        {"+5", "%d", kFails, {}},
        {"-5", "%H", kFails, {}},
        {"", "%M", kFails, {}},
        {"x", "%S", kFails, {}},
        {"\xB2", "%d", kFails, {}},
        {"10:62", "%H:%S", kFails, {{kHour, 10}}},
    });
}

TEST(ParseDateTime, MatchesDayAndMonthNamesInFullOrAbbreviated) {
    CheckCases({
        {"thursday", "%a", 8, {{kWday, 4}}},
        {"Thurs", "%A", 3, {{kWday, 4}}},
        {"SUN", "%a", 3, {{kWday, 0}}},
        {"Saturday", "%A", 8, {{kWday, 6}}},
        {"MAY", "%b", 3, {{kMon, 4}}},
        {"Sept", "%b", 3, {{kMon, 8}}},
        {"sEpTeMbEr", "%B", 9, {{kMon, 8}}},
        {"dec", "%h", 3, {{kMon, 11}}},
        {"June", "%b", 4, {{kMon, 5}}},
        {"Su", "%a", kFails, {}},
        {"Ju", "%B", kFails, {}},
        {"Mo n", "%a", kFails, {}},
        {"", "%b", kFails, {}},
        {"M\xC1Y", "%b", kFails, {}},
    });
}

TEST(ParseDateTime, TakesTheHalfDayMarkerAsTheWholeRestOfTheInput) {
    CheckCases({
        {"01:30 pm", "%I:%M %p", 8, {{kHour, 13}, {kMin, 30}}},
        {"12 AM", "%I %p", 5, {{kHour, 0}}},
        {"12 PM", "%I %p", 5, {{kHour, 12}}},
        {"1 PM", "%l %p", 4, {{kHour, 13}}},
        {"11Am", "%H%p", 4, {{kHour, 11}}},
        {"0pM", "%H%p", 3, {{kHour, 12}}},
        {"5 AM", "%H %p%n", 4, {{kHour, 5}}},
        {"1 PM today", "%I %p", kFails, {{kHour, 1}}},
        {"13 PM", "%H %p", kFails, {{kHour, 13}}},
        {"12 AM", "%H %p", kFails, {{kHour, 12}}},
        {"5 A", "%H %p", kFails, {{kHour, 5}}},
        {"5 ", "%H %p", kFails, {{kHour, 5}}},
        {"5 AM", "%H %p.", kFails, {{kHour, 5}}},
        {"5 \xC1M", "%H %p", kFails, {{kHour, 5}}},
    });
}

TEST(ParseDateTime, AppliesTheYearRules) {
    CheckCases({
        {"2011", "%Y", 4, {{kYear, 111}}},
        {"0", "%Y", 1, {{kYear, -1900}}},
        {"9999", "%Y", 4, {{kYear, 8099}}},
        {"68", "%y", 2, {{kYear, 168}}},
        {"69", "%y", 2, {{kYear, 69}}},
        {"00", "%y", 2, {{kYear, 100}}},
        {"99", "%y", 2, {{kYear, 99}}},
        {"20", "%C", 2, {{kYear, 100}}},
        {"0", "%C", 1, {{kYear, -1900}}},
        {"2011", "%C%y", 4, {{kYear, 111}}},
        {"1120", "%y%C", 4, {{kYear, 111}}},
        {"1999", "%C%y", 4, {{kYear, 99}}},
        {"1850", "%C%y", 4, {{kYear, -50}}},
        {"0011", "%C%y", 4, {{kYear, -1889}}},
        {"7010", "%y%y", 4, {{kYear, 10}}},       // the second keeps the first's century
        {"1850 30", "%Y %y", 7, {{kYear, 130}}},  // a four-digit year sets no flag
        // A composite's own flag starts clear; the outer one stays set.
        {"19 01/02/05", "%C %D", 11, {{kYear, 105}, {kMon, 0}, {kMday, 2}}},
        {"17 01/02/05 80", "%C %D %y", 14, {{kYear, 180}, {kMon, 0}, {kMday, 2}}},
    });
}

TEST(ParseDateTime, KeepsTheCenturyAndLastDigitsOfYearsBefore1900) {
    CheckCases({
        {"175018", "%C%y%C", 6, {{kYear, -50}}},          // 1850
        {"175030", "%C%y%y", 6, {{kYear, -170}}},         // 1730
        {"501730", "%y%C%y", 6, {{kYear, -170}}},         // 1730
        {"10 1850 17", "%y %Y %C", 10, {{kYear, -150}}},  // 1750
        {"10 1850 30", "%y %Y %y", 10, {{kYear, -70}}},   // 1830
    });
}

TEST(ParseDateTime, AcceptsOnlyTheModifiersEachConversionTakes) {
    struct ModifierCase {
        char conversion;
        std::string modifiers;  // besides none, which every conversion takes
        const char* input;      // read whole by the conversion
    };
    const ModifierCase cases[] = {
        {'%', "EO", "%"},    {'a', "", "Mon"},    {'A', "", "Mon"},      {'b', "", "May"},
        {'B', "", "May"},    {'h', "", "May"},    {'C', "E", "20"},      {'c', "E", "12/31/11 1:2:3"},
        {'D', "", "1/2/3"},  {'d', "O", "5"},     {'e', "O", "5"},       {'H', "O", "5"},
        {'I', "O", "5"},     {'j', "", "5"},      {'k', "", "5"},        {'l', "", "5"},
        {'M', "O", "5"},     {'m', "O", "5"},     {'n', "", " "},        {'t', "", " "},
        {'p', "", "AM"},     {'R', "", "1:2"},    {'r', "", "1:2:3 PM"}, {'S', "O", "5"},
        {'T', "", "1:2:3"},  {'U', "O", "5"},     {'W', "O", "5"},       {'w', "O", "5"},
        {'X', "E", "1:2:3"}, {'x', "E", "1/2/3"}, {'Y', "E", "2011"},    {'y', "EO", "11"},
    };
    for (const auto& c : cases) {
        for (const std::string modifier : {"", "E", "O"}) {
            const std::string format = "%" + modifier + c.conversion;
            SCOPED_TRACE(format);
            const bool accepted = modifier.empty() || c.modifiers.find(modifier) != std::string::npos;
            std::tm record{};
            const int consumed = ParseAndCount(c.input, format.c_str(), record);
            EXPECT_EQ(consumed, accepted ? static_cast<int>(std::strlen(c.input)) : kFails);
            if (!accepted) {
                EXPECT_EQ(Describe(record), Describe(std::tm{}));
            }
        }
    }
}

TEST(ParseDateTime, ExpandsCompositesAndKeepsWhatTheirCompletedPartsWrote) {
    CheckCases({
        {"12/31/11", "%D", 8, {{kMon, 11}, {kMday, 31}, {kYear, 111}}},
        {"1/2/70", "%x", 6, {{kMon, 0}, {kMday, 2}, {kYear, 70}}},
        {"23:59:59", "%T", 8, {{kHour, 23}, {kMin, 59}, {kSec, 59}}},
        {"7:05:00", "%X", 7, {{kHour, 7}, {kMin, 5}, {kSec, 0}}},
        {"10:30", "%R", 5, {{kHour, 10}, {kMin, 30}}},
        {"12:15:00 am", "%r", 11, {{kHour, 0}, {kMin, 15}, {kSec, 0}}},
        {"01:30:00 PM", "%r", 11, {{kHour, 13}, {kMin, 30}, {kSec, 0}}},
        {"12/25/10\t\n10:30:00",
         "%c",
         18,
         {{kMon, 11}, {kMday, 25}, {kYear, 110}, {kHour, 10}, {kMin, 30}, {kSec, 0}}},
        {"10:30:62", "%T", kFails, {{kHour, 10}, {kMin, 30}}},
        {"12/25/10 10:30", "%c", kFails, {{kMon, 11}, {kMday, 25}, {kYear, 110}, {kHour, 10}, {kMin, 30}}},
        {"1:2:3 PM x", "%r", kFails, {{kHour, 1}, {kMin, 2}, {kSec, 3}}},
    });
}

TEST(ParseDateTime, MatchesWhiteSpaceAndOrdinaryCharactersByTheByte) {
    CheckCases({
        {"5", "  %e", 1, {{kMday, 5}}},
        {" \t\n\v\f\r5", " %e", 7, {{kMday, 5}}},
        {"5", "%n%e", 1, {{kMday, 5}}},
        {"\t 5", "%t%e", 3, {{kMday, 5}}},
        {"5 ", "%e ", 2, {{kMday, 5}}},
        {"a-B", "a-B", 3, {}},
        {"a-b", "a-B", kFails, {}},
        {"\xC4", "\xC4", 1, {}},
        {"\xE4", "\xC4", kFails, {}},
        {"\2405", " %e", kFails, {}},  // \240, a no-break space, is not white space
        {"5\xA0", "%e%n", 1, {{kMday, 5}}},
    });
}

TEST(ParseDateTime, StopsAtTheEndOfEitherText) {
    CheckCases({
        {"anything", "", 0, {}},
        {"", " %n%t", 0, {}},
        {"12", "%m/%d", kFails, {{kMon, 11}}},
        {"12/", "%m/%d", kFails, {{kMon, 11}}},
        {"ab", "abc", kFails, {}},
        {"5", "%d%", kFails, {{kMday, 5}}},
        {"5", "%d%E", kFails, {{kMday, 5}}},
        {"5", "%d%O", kFails, {{kMday, 5}}},
        {"x", "%Q", kFails, {}},
        {"x", "%Z", kFails, {}},
        {"11", "%EEy", kFails, {}},
        {"11", "%EOy", kFails, {}},
        {"11", "%OEy", kFails, {}},
        {"11", "%OOy", kFails, {}},
        {"5 tail", "%d", 1, {{kMday, 5}}},
    });
}

TEST(ParseDateTime, FailsWhenATextOrTheRecordIsMissing) {
    std::tm record = CallersRecord();
    EXPECT_EQ(ParseDateTime(nullptr, "%d", &record), nullptr);
    EXPECT_EQ(ParseDateTime("5", nullptr, &record), nullptr);
    EXPECT_EQ(ParseDateTime("5", "%d", nullptr), nullptr);
    EXPECT_EQ(Describe(record), Describe(CallersRecord()));
}

}  // namespace
