// Reads date and time text by a strptime-like format into a broken-down time
// record. The conversions, their digit limits, ranges and year rules are this
// program's own (and differ from any platform strptime), so the launcher's
// separator-less dates such as "%m%d%Y%T" on "1231201123:59:59" read the same
// on every system and in every locale.
#pragma once

#include <ctime>

// Parses input by format into record and returns the position just past the
// last input character consumed: the input's terminator, or the first
// character the format did not cover (trailing input is no error). Null on
// failure, or when any argument is null. An empty format returns input.
//
// Only the fields a conversion names are written, each from its own text:
// tm_isdst is never touched, and no field is derived from or checked against
// another (a 31st of February is accepted). After a failure the fields written
// by the conversions that completed keep their new values; the failed one
// writes nothing. Neither text is read beyond its terminating NUL.
//
// Conversions: %% %a %A %b %B %h %C %c %D %d %e %H %I %j %k %l %M %m %n %t %p
// %R %r %S %T %U %W %w %X %x %Y %y, some with an E or O modifier that changes
// nothing. Numbers take no sign or leading blank and stop early where one more
// digit would exceed the conversion's upper bound. Names are English, matched
// case-insensitively in full or abbreviated form. "%p" must be the rest of the
// input ("AM" or "PM", any case) and needs an hour of at most 11 before it.
// "%y" alone reads 69..99 as 1969..1999 and 0..68 as 2000..2068; next to "%C"
// in the same format the two make up the year.
const char* ParseDateTime(const char* input, const char* format, std::tm* record);
