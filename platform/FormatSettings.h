#pragma once
// The user's locale values the program formats and parses with: decimal
// separator, short date format, date separator, long time format, month and
// day names. Read once from the system at start-up and passed explicitly, so
// every caller can be exercised under a chosen locale.
//
// Date and time formats use the program's own pattern letters:
//   d dd ddd dddd   day, day with zero, short and long day name
//   m mm mmm mmmm   month, month with zero, short and long month name
//   yy yyyy         year in two or four digits
//   h hh n nn s ss  hour, minute, second ("m" right after an hour means minutes)
//   z zzz           milliseconds
//   ampm am/pm a/p  12-hour clock with the locale's or the literal markers
//   /  :            the locale's date and time separators
//   "text" 'text'   literal text
#include <array>
#include <string>

namespace quillory {

struct TFormatSettings {
    char DecimalSeparator = '.';
    char DateSeparator = '/';
    char TimeSeparator = ':';
    std::string ShortDateFormat = "M/d/yyyy";
    std::string LongTimeFormat = "h:mm:ss AMPM";
    std::string TimeAMString = "AM";
    std::string TimePMString = "PM";
    std::array<std::string, 12> ShortMonthNames{"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    std::array<std::string, 12> LongMonthNames{"January",   "February", "March",    "April",
                                               "May",       "June",     "July",     "August",
                                               "September", "October",  "November", "December"};
    // Index 0 is Sunday.
    std::array<std::string, 7> ShortDayNames{"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    std::array<std::string, 7> LongDayNames{"Sunday",   "Monday", "Tuesday", "Wednesday",
                                            "Thursday", "Friday", "Saturday"};

    // United States English, the values of a stock Windows installation.
    static TFormatSettings EnglishUS();

    // The values of the process's locale (LC_ALL/LC_TIME/LC_NUMERIC from the
    // environment). The "C"/"POSIX" locale, which names no real user
    // preference, gives EnglishUS().
    static TFormatSettings FromSystem();

    // The same, for the named locale (e.g. "de_DE.UTF-8"); EnglishUS() when the
    // locale is not installed.
    static TFormatSettings FromLocale(const std::string& localeName);
};

// Turns a C library date/time pattern (nl_langinfo D_FMT, T_FMT) into the
// program's pattern letters.
std::string ConvertStrftimePattern(const std::string& pattern, bool* hasAmPm = nullptr);

} // namespace quillory
