// A strptime-like parser of our own, so that separator-less dates such as
// "%m%d%Y%T" read the same on every system and in every locale.
#pragma once

#include <ctime>

// Parses input by format into record; returns the position just past the last character consumed (trailing
// input is no error), or null on failure or a null argument. Only the fields a conversion names are written,
// each from its own text, with no cross-check (a 31st of February passes); tm_isdst is never set. After a
// failure the fields of the conversions that completed keep their values. Conversions: %% %a %A %b %B %h %C
// %c %D %d %e %H %I %j %k %l %M %m %n %t %p %R %r %S %T %U %W %w %X %x %Y %y; an E or O modifier, where
// taken, changes nothing. Numbers stop before one more digit would pass the field's bound. "%y" reads 69..99
// as 19xx and 0..68 as 20xx, unless "%C" gives the century.
const char* ParseDateTime(const char* input, const char* format, std::tm* record);
