#include "http/InternetDate.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <vector>

namespace quillory {

namespace {

const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                               "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
const char* const kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};

bool AllDigits(const std::string& s) {
    if (s.empty())
        return false;
    for (char c : s)
        if (!std::isdigit(static_cast<unsigned char>(c)))
            return false;
    return true;
}

int MonthIndex(const std::string& token) {
    if (token.size() < 3)
        return -1;
    for (int m = 0; m < 12; ++m) {
        bool same = true;
        for (int k = 0; k < 3; ++k)
            if (std::tolower(static_cast<unsigned char>(token[k])) !=
                std::tolower(static_cast<unsigned char>(kMonths[m][k])))
                same = false;
        if (same)
            return m + 1;
    }
    return -1;
}

// "hh:mm" or "hh:mm:ss", each part one or two digits.
bool ParseTime(const std::string& text, int& hour, int& minute, int& second) {
    std::vector<int> parts;
    std::size_t start = 0;
    while (true) {
        std::size_t colon = text.find(':', start);
        std::string part = text.substr(start, colon == std::string::npos ? colon : colon - start);
        if (part.size() > 2 || !AllDigits(part) || parts.size() == 3)
            return false;
        parts.push_back(std::stoi(part));
        if (colon == std::string::npos)
            break;
        start = colon + 1;
    }
    if (parts.size() < 2)
        return false;
    hour = parts[0];
    minute = parts[1];
    second = parts.size() == 3 ? parts[2] : 0;
    return true;
}

std::tm MakeTm(int year, int month, int day, int hour, int minute, int second) {
    std::tm tm{};
    tm.tm_year = year - 1900;
    tm.tm_mon = month - 1;
    tm.tm_mday = day;
    tm.tm_hour = hour;
    tm.tm_min = minute;
    tm.tm_sec = second;
    return tm;
}

TDateTime FromTimeT(std::time_t t) {
    std::tm local{};
    localtime_r(&t, &local);
    TDateTime d = 0;
    if (!TryEncodeDate(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, d))
        return 0;
    return d + EncodeTime(local.tm_hour, local.tm_min, local.tm_sec, 0);
}

} // namespace

std::string LocalDateTimeToGMT(TDateTime local) {
    int y, m, d, h, n, s, ms;
    DecodeDate(local, y, m, d);
    DecodeTime(local, h, n, s, ms);
    std::tm tm = MakeTm(y, m, d, h, n, s);
    tm.tm_isdst = -1;
    std::time_t t = std::mktime(&tm);
    std::tm gmt{};
    gmtime_r(&t, &gmt);
    char text[64];
    std::snprintf(text, sizeof text, "%s, %02d %s %04d %02d:%02d:%02d GMT", kDays[gmt.tm_wday],
                  gmt.tm_mday, kMonths[gmt.tm_mon], gmt.tm_year + 1900, gmt.tm_hour, gmt.tm_min,
                  gmt.tm_sec);
    return text;
}

TDateTime GMTToLocalDateTime(const std::string& text) {
    // Tokens: split at blanks and commas; "06-Nov-94" is split at its dashes
    // too, while a zone such as "-0500" stays one token.
    std::vector<std::string> tokens;
    std::string cur;
    auto flush = [&] {
        if (!cur.empty())
            tokens.push_back(cur);
        cur.clear();
    };
    for (std::size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == ' ' || c == '\t' || c == ',')
            flush();
        else if (c == '-' && !cur.empty())
            flush();
        else
            cur += c;
    }
    flush();

    int day = -1, month = -1, year = -1, hour = 0, minute = 0, second = 0;
    long offset = 0; // seconds east of GMT
    for (const std::string& t : tokens) {
        if (t.find(':') != std::string::npos) {
            if (!ParseTime(t, hour, minute, second))
                return 0;
        } else if ((t[0] == '+' || t[0] == '-') && t.size() == 5 && AllDigits(t.substr(1))) {
            int v = std::stoi(t.substr(1));
            offset = (v / 100 * 3600 + v % 100 * 60) * (t[0] == '-' ? -1 : 1);
        } else if (AllDigits(t)) {
            if (t.size() > 4)
                return 0;
            int v = std::stoi(t);
            if (day < 0 && t.size() <= 2 && v >= 1 && v <= 31)
                day = v;
            else if (year < 0)
                year = t.size() <= 2 ? (v < 50 ? 2000 + v : 1900 + v) : v;
            else
                return 0;
        } else if (month < 0 && MonthIndex(t) > 0 && t.size() <= 9) {
            month = MonthIndex(t);
        }
        // Week-day names and zone names (GMT, UTC, UT, Z) carry nothing more.
    }
    if (day < 0 || month < 0 || year < 0 || hour < 0 || hour > 23 || minute < 0 || minute > 59 ||
        second < 0 || second > 60)
        return 0;
    TDateTime check = 0;
    if (!TryEncodeDate(year, month, day, check))
        return 0;
    std::tm tm = MakeTm(year, month, day, hour, minute, second);
    std::time_t t = timegm(&tm) - offset;
    return FromTimeT(t);
}

} // namespace quillory
