#include "DateTime.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <stdexcept>
#include <sys/time.h>

namespace quillory {

namespace {

// Civil date <-> day number conversions (proleptic Gregorian calendar).
long DaysFromCivil(long y, unsigned m, unsigned d) {
    y -= m <= 2;
    const long era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<long>(doe) - 719468; // days since 1970-01-01
}

void CivilFromDays(long z, int& y, int& m, int& d) {
    z += 719468;
    const long era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const long yy = static_cast<long>(yoe) + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    y = static_cast<int>(yy + (m <= 2));
}

// 1970-01-01 as a day count since 1899-12-30.
constexpr long kUnixEpochDay = 25569;

long DayNumber(TDateTime dt) {
    return static_cast<long>(std::trunc(dt));
}

double TimeFraction(TDateTime dt) {
    return std::fabs(dt - std::trunc(dt));
}

char LowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
}

bool StartsWithNoCase(const std::string& s, std::size_t pos, const char* word) {
    for (std::size_t i = 0; word[i]; ++i)
        if (pos + i >= s.size() || LowerAscii(s[pos + i]) != LowerAscii(word[i]))
            return false;
    return true;
}

std::string Pad(int v, int width) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%0*d", width, v);
    return buf;
}

} // namespace

bool IsLeapYear(int year) {
    return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
}

int DaysInMonth(int year, int month) {
    static const int days[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12)
        return 0;
    return days[month - 1] + (month == 2 && IsLeapYear(year) ? 1 : 0);
}

bool IsValidDate(int year, int month, int day) {
    return year >= 1 && year <= 9999 && month >= 1 && month <= 12 && day >= 1 &&
           day <= DaysInMonth(year, month);
}

bool TryEncodeDate(int year, int month, int day, TDateTime& out) {
    if (!IsValidDate(year, month, day))
        return false;
    out = static_cast<double>(
        DaysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) +
        kUnixEpochDay);
    return true;
}

TDateTime EncodeDate(int year, int month, int day) {
    TDateTime out;
    if (!TryEncodeDate(year, month, day, out))
        throw std::invalid_argument("Invalid argument to date encode");
    return out;
}

TDateTime EncodeTime(int hour, int minute, int second, int msec) {
    if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59 ||
        msec < 0 || msec > 999)
        throw std::invalid_argument("Invalid argument to time encode");
    return (hour * 3600000.0 + minute * 60000.0 + second * 1000.0 + msec) / 86400000.0;
}

void DecodeDate(TDateTime dt, int& year, int& month, int& day) {
    CivilFromDays(DayNumber(dt) - kUnixEpochDay, year, month, day);
}

void DecodeTime(TDateTime dt, int& hour, int& minute, int& second, int& msec) {
    long ms = std::lround(TimeFraction(dt) * 86400000.0);
    if (ms >= 86400000)
        ms = 86399999;
    hour = static_cast<int>(ms / 3600000);
    minute = static_cast<int>(ms / 60000 % 60);
    second = static_cast<int>(ms / 1000 % 60);
    msec = static_cast<int>(ms % 1000);
}

int DayOfWeek(TDateTime dt) {
    // 1899-12-30 was a Saturday.
    long d = DayNumber(dt);
    long w = ((d % 7) + 7 + 6) % 7; // 0 = Sunday
    return static_cast<int>(w) + 1;
}

TDateTime DateOf(TDateTime dt) {
    return std::trunc(dt);
}

TDateTime Now() {
    struct timeval tv {};
    ::gettimeofday(&tv, nullptr);
    std::time_t t = tv.tv_sec;
    std::tm tm{};
    ::localtime_r(&t, &tm);
    return EncodeDate(tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday) +
           EncodeTime(tm.tm_hour, tm.tm_min, tm.tm_sec, static_cast<int>(tv.tv_usec / 1000));
}

TDateTime Today() {
    return DateOf(Now());
}

std::string FormatDateTime(const std::string& format, TDateTime dt, const TFormatSettings& fs) {
    int y, mo, d, h, mi, s, ms;
    DecodeDate(dt, y, mo, d);
    DecodeTime(dt, h, mi, s, ms);
    const bool twelveHour = [&] {
        for (std::size_t i = 0; i < format.size(); ++i)
            if (StartsWithNoCase(format, i, "am/pm") || StartsWithNoCase(format, i, "a/p") ||
                StartsWithNoCase(format, i, "ampm"))
                return true;
        return false;
    }();
    std::string out;
    bool lastWasHour = false;
    std::size_t i = 0;
    auto run = [&](char c) {
        std::size_t n = 0;
        while (i + n < format.size() && LowerAscii(format[i + n]) == c)
            ++n;
        return n;
    };
    while (i < format.size()) {
        char c = format[i];
        char lc = LowerAscii(c);
        if (c == '"' || c == '\'') {
            std::size_t end = format.find(c, i + 1);
            if (end == std::string::npos)
                end = format.size();
            out += format.substr(i + 1, end - i - 1);
            i = end + 1;
            continue;
        }
        if (StartsWithNoCase(format, i, "am/pm")) {
            out += h < 12 ? format.substr(i, 2) : format.substr(i + 3, 2);
            i += 5;
            continue;
        }
        if (StartsWithNoCase(format, i, "a/p")) {
            out += h < 12 ? format.substr(i, 1) : format.substr(i + 2, 1);
            i += 3;
            continue;
        }
        if (StartsWithNoCase(format, i, "ampm")) {
            out += h < 12 ? fs.TimeAMString : fs.TimePMString;
            i += 4;
            continue;
        }
        std::size_t n;
        switch (lc) {
        case 'y':
            n = run('y');
            out += n <= 2 ? Pad(y % 100, 2) : Pad(y, 4);
            i += n;
            lastWasHour = false;
            break;
        case 'm':
            n = run('m');
            if (lastWasHour && n <= 2) {
                out += n == 1 ? std::to_string(mi) : Pad(mi, 2);
            } else if (n == 1) {
                out += std::to_string(mo);
            } else if (n == 2) {
                out += Pad(mo, 2);
            } else if (n == 3) {
                out += fs.ShortMonthNames[static_cast<std::size_t>(mo - 1)];
            } else {
                out += fs.LongMonthNames[static_cast<std::size_t>(mo - 1)];
            }
            i += n;
            lastWasHour = false;
            break;
        case 'd':
            n = run('d');
            if (n == 1)
                out += std::to_string(d);
            else if (n == 2)
                out += Pad(d, 2);
            else if (n == 3)
                out += fs.ShortDayNames[static_cast<std::size_t>(DayOfWeek(dt) - 1)];
            else
                out += fs.LongDayNames[static_cast<std::size_t>(DayOfWeek(dt) - 1)];
            i += n;
            lastWasHour = false;
            break;
        case 'h': {
            n = run('h');
            int hh = h;
            if (twelveHour) {
                hh = h % 12;
                if (hh == 0)
                    hh = 12;
            }
            out += n == 1 ? std::to_string(hh) : Pad(hh, 2);
            i += n;
            lastWasHour = true;
            break;
        }
        case 'n':
            n = run('n');
            out += n == 1 ? std::to_string(mi) : Pad(mi, 2);
            i += n;
            lastWasHour = false;
            break;
        case 's':
            n = run('s');
            out += n == 1 ? std::to_string(s) : Pad(s, 2);
            i += n;
            lastWasHour = false;
            break;
        case 'z':
            n = run('z');
            out += n >= 3 ? Pad(ms, 3) : std::to_string(ms);
            i += n;
            break;
        case '/':
            out += fs.DateSeparator;
            ++i;
            break;
        case ':':
            out += fs.TimeSeparator;
            ++i;
            break;
        default:
            out += c;
            ++i;
            break;
        }
    }
    return out;
}

std::string FormatDateYMD(TDateTime dt) {
    int y, m, d;
    DecodeDate(dt, y, m, d);
    return std::to_string(y) + "-" + std::to_string(m) + "-" + std::to_string(d);
}

bool TryStrToDate(const std::string& text, const TFormatSettings& fs, TDateTime& out) {
    // Field order from the short date format: which of d, m, y comes first.
    std::string order;
    for (char c : fs.ShortDateFormat) {
        char lc = LowerAscii(c);
        if ((lc == 'd' || lc == 'm' || lc == 'y') && order.find(lc) == std::string::npos)
            order += lc;
    }
    if (order.size() != 3)
        order = "mdy";
    // Split at the date separator; blanks around fields are tolerated.
    std::string fields[3];
    int count = 0;
    std::string cur;
    for (char c : text) {
        if (c == fs.DateSeparator) {
            if (count >= 2)
                return false;
            fields[count++] = cur;
            cur.clear();
        } else if (c != ' ') {
            cur += c;
        }
    }
    if (count != 2)
        return false;
    fields[2] = cur;
    int y = -1, m = -1, d = -1;
    bool yearTwoDigits = false;
    for (int k = 0; k < 3; ++k) {
        const std::string& f = fields[k];
        if (f.empty())
            return false;
        int v = 0;
        bool numeric = f.size() <= 4;
        for (char c : f) {
            if (c < '0' || c > '9') {
                numeric = false;
                break;
            }
            v = v * 10 + (c - '0');
        }
        if (!numeric) {
            if (order[static_cast<std::size_t>(k)] != 'm')
                return false;
            for (int mi = 0; mi < 12 && v == 0; ++mi) {
                auto same = [&](const std::string& name) {
                    if (name.size() != f.size())
                        return false;
                    for (std::size_t q = 0; q < f.size(); ++q)
                        if (LowerAscii(name[q]) != LowerAscii(f[q]))
                            return false;
                    return true;
                };
                if (same(fs.LongMonthNames[static_cast<std::size_t>(mi)]) ||
                    same(fs.ShortMonthNames[static_cast<std::size_t>(mi)]))
                    v = mi + 1;
            }
            if (v == 0)
                return false;
        }
        switch (order[static_cast<std::size_t>(k)]) {
        case 'y':
            y = v;
            yearTwoDigits = f.size() <= 2;
            break;
        case 'm':
            m = v;
            break;
        default:
            d = v;
            break;
        }
    }
    if (yearTwoDigits) {
        int cy, cm, cd;
        DecodeDate(Now(), cy, cm, cd);
        int century = cy - cy % 100;
        y += century;
        if (y > cy + 50)
            y -= 100;
        else if (y <= cy - 50)
            y += 100;
    }
    return TryEncodeDate(y, m, d, out);
}

bool TryStrToFloat(const std::string& text, const TFormatSettings& fs, double& out) {
    std::size_t b = 0, e = text.size();
    while (b < e && (text[b] == ' ' || text[b] == '\t'))
        ++b;
    while (e > b && (text[e - 1] == ' ' || text[e - 1] == '\t'))
        --e;
    if (b == e)
        return false;
    std::string s;
    std::size_t i = b;
    if (text[i] == '+' || text[i] == '-')
        s += text[i++];
    bool digits = false, dot = false, exp = false;
    for (; i < e; ++i) {
        char c = text[i];
        if (c >= '0' && c <= '9') {
            s += c;
            digits = true;
        } else if (c == fs.DecimalSeparator && !dot && !exp) {
            s += '.';
            dot = true;
        } else if ((c == 'e' || c == 'E') && digits && !exp) {
            s += 'e';
            exp = true;
            digits = false;
            if (i + 1 < e && (text[i + 1] == '+' || text[i + 1] == '-'))
                s += text[++i];
        } else {
            return false;
        }
    }
    if (!digits)
        return false;
    // from_chars ignores the C locale, which Qt sets from the environment.
    const char* first = s.c_str() + (s[0] == '+' ? 1 : 0);
    auto [end, ec] = std::from_chars(first, s.c_str() + s.size(), out);
    return ec == std::errc() && end == s.c_str() + s.size() && std::isfinite(out);
}

std::string FormatFloat(double value, int decimals, const TFormatSettings& fs) {
    char buf[400];
    auto res = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed, decimals);
    std::string s(buf, res.ptr);
    for (char& c : s)
        if (c == '.')
            c = fs.DecimalSeparator;
    return s;
}

} // namespace quillory
