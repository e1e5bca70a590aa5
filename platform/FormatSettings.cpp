#include "FormatSettings.h"

#include <clocale>
#include <cstdlib>
#include <cstring>
#include <langinfo.h>
#include <locale.h>

namespace quillory {

TFormatSettings TFormatSettings::EnglishUS() {
    return TFormatSettings{};
}

std::string ConvertStrftimePattern(const std::string& pattern, bool* hasAmPm) {
    std::string out;
    if (hasAmPm)
        *hasAmPm = false;
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        char c = pattern[i];
        if (c != '%' || i + 1 >= pattern.size()) {
            // Letters that are pattern letters of ours must stay literal.
            if (std::strchr("dmyhnszaAPpDMYHNSZ", c))
                out += std::string("\"") + c + "\"";
            else
                out += c;
            continue;
        }
        char f = pattern[++i];
        if (f == 'E' || f == 'O') { // alternative representations: same field
            if (i + 1 >= pattern.size())
                break;
            f = pattern[++i];
        }
        switch (f) {
        case 'd':
            out += "dd";
            break;
        case 'e':
            out += "d";
            break;
        case 'm':
            out += "mm";
            break;
        case 'b':
        case 'h':
            out += "mmm";
            break;
        case 'B':
            out += "mmmm";
            break;
        case 'a':
            out += "ddd";
            break;
        case 'A':
            out += "dddd";
            break;
        case 'Y':
            out += "yyyy";
            break;
        case 'y':
            out += "yy";
            break;
        case 'C':
            out += "yy";
            break;
        case 'H':
            out += "hh";
            break;
        case 'k':
            out += "h";
            break;
        case 'I':
            out += "hh";
            break;
        case 'l':
            out += "h";
            break;
        case 'M':
            out += "nn";
            break;
        case 'S':
            out += "ss";
            break;
        case 'p':
        case 'P':
            out += "ampm";
            if (hasAmPm)
                *hasAmPm = true;
            break;
        case 'T':
            out += "hh:nn:ss";
            break;
        case 'R':
            out += "hh:nn";
            break;
        case 'D':
            out += "mm/dd/yy";
            break;
        case 'F':
            out += "yyyy-mm-dd";
            break;
        case 'n':
        case 't':
            out += ' ';
            break;
        case '%':
            out += '%';
            break;
        default:
            break;
        }
    }
    return out;
}

namespace {

// The first character of a date pattern that separates two fields.
char SeparatorOf(const std::string& converted, char fallback) {
    bool inField = false;
    for (char c : converted) {
        bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
        if (letter) {
            inField = true;
        } else if (inField && c != '"' && c != ' ') {
            return c;
        }
    }
    return fallback;
}

TFormatSettings Read(locale_t loc) {
    TFormatSettings fs;
    auto info = [&](nl_item item) { return std::string(nl_langinfo_l(item, loc)); };
    std::string radix = info(RADIXCHAR);
    if (radix.size() == 1)
        fs.DecimalSeparator = radix[0];
    std::string dateFmt = ConvertStrftimePattern(info(D_FMT));
    fs.DateSeparator = SeparatorOf(dateFmt, '/');
    // The program's patterns use "/" for the date separator and ":" for the time separator.
    for (char& c : dateFmt)
        if (c == fs.DateSeparator)
            c = '/';
    fs.ShortDateFormat = dateFmt;
    bool ampm = false;
    std::string timeFmt = ConvertStrftimePattern(info(T_FMT), &ampm);
    fs.TimeSeparator = SeparatorOf(timeFmt, ':');
    for (char& c : timeFmt)
        if (c == fs.TimeSeparator)
            c = ':';
    fs.LongTimeFormat = timeFmt;
    std::string am = info(AM_STR), pm = info(PM_STR);
    fs.TimeAMString = am;
    fs.TimePMString = pm;
    const nl_item abmon[12] = {ABMON_1, ABMON_2, ABMON_3, ABMON_4,  ABMON_5,  ABMON_6,
                               ABMON_7, ABMON_8, ABMON_9, ABMON_10, ABMON_11, ABMON_12};
    const nl_item mon[12] = {MON_1, MON_2, MON_3, MON_4,  MON_5,  MON_6,
                             MON_7, MON_8, MON_9, MON_10, MON_11, MON_12};
    const nl_item abday[7] = {ABDAY_1, ABDAY_2, ABDAY_3, ABDAY_4, ABDAY_5, ABDAY_6, ABDAY_7};
    const nl_item day[7] = {DAY_1, DAY_2, DAY_3, DAY_4, DAY_5, DAY_6, DAY_7};
    for (std::size_t i = 0; i < 12; ++i) {
        fs.ShortMonthNames[i] = info(abmon[i]);
        fs.LongMonthNames[i] = info(mon[i]);
    }
    for (std::size_t i = 0; i < 7; ++i) {
        fs.ShortDayNames[i] = info(abday[i]);
        fs.LongDayNames[i] = info(day[i]);
    }
    return fs;
}

bool IsPlainLocale(const char* name) {
    return !name || !*name || std::strcmp(name, "C") == 0 || std::strcmp(name, "POSIX") == 0 ||
           std::strncmp(name, "C.", 2) == 0;
}

} // namespace

TFormatSettings TFormatSettings::FromLocale(const std::string& localeName) {
    if (IsPlainLocale(localeName.c_str()))
        return EnglishUS();
    locale_t loc = ::newlocale(LC_ALL_MASK, localeName.c_str(), static_cast<locale_t>(nullptr));
    if (!loc)
        return EnglishUS();
    TFormatSettings fs = Read(loc);
    ::freelocale(loc);
    return fs;
}

TFormatSettings TFormatSettings::FromSystem() {
    // The locale the environment asks for, without changing the process's own.
    const char* name = nullptr;
    for (const char* var : {"LC_ALL", "LC_TIME", "LANG"}) {
        const char* v = std::getenv(var);
        if (v && *v) {
            name = v;
            break;
        }
    }
    return FromLocale(name ? name : "C");
}

} // namespace quillory
