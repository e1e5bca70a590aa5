#include "ui/DateEditText.h"

#include "ui/SkinDescription.h"

#include <vector>

namespace quillory {

namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

bool AllDigits(const std::string& s) {
    for (char c : s)
        if (!IsDigit(c))
            return false;
    return true;
}

std::vector<std::string> Split(const std::string& s, char sep) {
    std::vector<std::string> out(1);
    for (char c : s) {
        if (c == sep)
            out.emplace_back();
        else
            out.back() += c;
    }
    return out;
}

std::string WithoutBlanks(const std::string& s) {
    std::string out;
    for (char c : s)
        if (c != ' ')
            out += c;
    return out;
}

// A short run of digits as a number (fields are at most a few characters).
long DigitsValue(const std::string& s) {
    long v = 0;
    for (char c : s) {
        v = v * 10 + (c - '0');
        if (v > 1000000)
            return v;
    }
    return v;
}

bool IsNumericText(const std::string& s, char sep) {
    for (char c : s)
        if (!IsDigit(c) && c != sep)
            return false;
    return true;
}

int MonthNumber(const std::string& field, const TFormatSettings& fs, const TDateFields& f) {
    const std::string sample = f.Sample[f.IndexOf('m')];
    const bool longNames = sample == fs.LongMonthNames[11];
    for (int m = 0; m < 12; ++m) {
        const std::string& name = longNames ? fs.LongMonthNames[static_cast<std::size_t>(m)]
                                            : fs.ShortMonthNames[static_cast<std::size_t>(m)];
        if (LowerAscii(name) == LowerAscii(field))
            return m + 1;
    }
    return 0;
}

} // namespace

int TDateFields::IndexOf(char kind) const {
    for (int i = 0; i < 3; ++i)
        if (Kind[i] == kind)
            return i;
    return 0;
}

TDateFields DateFieldsOf(const TFormatSettings& fs) {
    TDateFields f;
    const std::string sample = FormatDateTime(fs.ShortDateFormat, EncodeDate(9999, 12, 31), fs);
    const std::vector<std::string> parts = Split(sample, fs.DateSeparator);
    bool ok = parts.size() == 3;
    if (ok) {
        int seen = 0;
        for (int i = 0; i < 3; ++i) {
            const std::string& p = parts[static_cast<std::size_t>(i)];
            char kind = 'm';
            if (p == "31")
                kind = 'd';
            else if (p == "99" || p == "9999")
                kind = 'y';
            else if (p == "12" || !AllDigits(p))
                kind = 'm';
            else
                ok = false;
            f.Kind[i] = kind;
            f.Sample[i] = p;
            seen |= kind == 'd' ? 1 : kind == 'm' ? 2 : 4;
            if (kind == 'm' && !AllDigits(p))
                f.MonthName = true;
        }
        ok = ok && seen == 7;
    }
    if (!ok) { // a format we cannot split into three fields: month/day/year
        f = TDateFields();
        f.Sample[0] = "12";
        f.Sample[1] = "31";
        f.Sample[2] = "9999";
    }
    return f;
}

std::string BuildDateMask(const TFormatSettings& fs) {
    const TDateFields f = DateFieldsOf(fs);
    std::string mask = "!";
    for (int i = 0; i < 3; ++i) {
        if (i > 0)
            mask += '/';
        const char c = f.Kind[i] == 'y' ? '0' : (f.Kind[i] == 'm' && f.MonthName ? 'L' : '9');
        mask += std::string(f.Sample[i].size(), c);
    }
    return mask + ";1; ";
}

// --- mask ------------------------------------------------------------------

TEditMask::TEditMask(const std::string& mask) : FMask(mask) {
    // body;keep-literals;blank
    std::string body = mask;
    const std::size_t semi = mask.find(';');
    if (semi != std::string::npos) {
        body = mask.substr(0, semi);
        const std::size_t second = mask.find(';', semi + 1);
        if (second != std::string::npos && second + 1 < mask.size())
            FBlank = mask[second + 1];
    }
    for (std::size_t i = 0; i < body.size(); ++i) {
        const char c = body[i];
        if (c == '!') {
            FLeadingBlanks = true;
            continue;
        }
        if (c == '\\' && i + 1 < body.size()) {
            FBody += '\x01'; // an escaped literal: keep the next character
            FBody += body[++i];
            continue;
        }
        FBody += c;
    }
    // Drop the escape markers, remembering nothing more than "literal".
    std::string clean;
    for (std::size_t i = 0; i < FBody.size(); ++i)
        if (FBody[i] != '\x01')
            clean += FBody[i];
    FBody = clean;
}

bool TEditMask::IsLiteral(int pos) const {
    if (pos < 0 || pos >= Length())
        return true;
    const char c = FBody[static_cast<std::size_t>(pos)];
    return c != '9' && c != '0' && c != 'L' && c != 'l' && c != 'A' && c != 'a' && c != 'C' &&
           c != 'c' && c != '#';
}

bool TEditMask::Accepts(int pos, char c) const {
    if (IsLiteral(pos))
        return false;
    const char m = FBody[static_cast<std::size_t>(pos)];
    const bool letter =
        (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || static_cast<unsigned char>(c) >= 0x80;
    switch (m) {
    case '9':
    case '0':
        return IsDigit(c);
    case '#':
        return IsDigit(c) || c == '+' || c == '-';
    case 'L':
    case 'l':
        return letter;
    case 'A':
    case 'a':
        return letter || IsDigit(c);
    default:
        return c >= ' ';
    }
}

std::string TEditMask::EmptyText(char separator) const {
    std::string out;
    for (int i = 0; i < Length(); ++i)
        out += IsLiteral(i) ? (FBody[static_cast<std::size_t>(i)] == '/'
                                   ? separator
                                   : FBody[static_cast<std::size_t>(i)])
                            : FBlank;
    return out;
}

std::string TEditMask::Fit(const std::string& text, char separator) const {
    const std::vector<std::string> given = Split(text, separator);
    std::string out;
    std::size_t field = 0;
    int i = 0;
    while (i < Length()) {
        if (IsLiteral(i)) {
            const char c = FBody[static_cast<std::size_t>(i)];
            out += c == '/' ? separator : c;
            ++i;
            continue;
        }
        int len = 0;
        while (i + len < Length() && !IsLiteral(i + len))
            ++len;
        std::string value = field < given.size() ? given[field] : std::string();
        for (char& c : value)
            if (c == ' ')
                c = FBlank;
        const std::size_t n = static_cast<std::size_t>(len);
        if (value.size() > n)
            value = value.substr(value.size() - n);
        if (value.size() < n)
            value = FLeadingBlanks ? std::string(n - value.size(), FBlank) + value
                                   : value + std::string(n - value.size(), FBlank);
        out += value;
        ++field;
        i += len;
    }
    return out;
}

// --- date texts --------------------------------------------------------------

bool IsCompleteDateText(const std::string& text, const TFormatSettings& fs) {
    if (text.find(' ') != std::string::npos)
        return false;
    const TDateFields f = DateFieldsOf(fs);
    if (IsNumericText(text, fs.DateSeparator) == f.MonthName)
        return false;
    const std::vector<std::string> parts = Split(text, fs.DateSeparator);
    if (parts.size() != 3)
        return false;
    for (const std::string& p : parts)
        if (p.empty())
            return false;
    const std::string& year = parts[static_cast<std::size_t>(f.IndexOf('y'))];
    const std::string& month = parts[static_cast<std::size_t>(f.IndexOf('m'))];
    const std::string& day = parts[static_cast<std::size_t>(f.IndexOf('d'))];
    if (!AllDigits(year) || !AllDigits(day) || DigitsValue(year) == 0)
        return false;
    const long yearLimit = DigitsValue(f.Sample[f.IndexOf('y')]);
    const long d = DigitsValue(day);
    if (d < 1 || d > 31 || DigitsValue(year) > yearLimit)
        return false;
    if (!f.MonthName) {
        const long m = DigitsValue(month);
        return m >= 1 && m <= 12;
    }
    return month.size() == f.Sample[f.IndexOf('m')].size() && MonthNumber(month, fs, f) != 0;
}

bool IsPlausibleDateText(const std::string& candidate, const TFormatSettings& fs) {
    const TDateFields f = DateFieldsOf(fs);
    const std::string q = WithoutBlanks(candidate);
    const std::vector<std::string> qf = Split(q, fs.DateSeparator);
    const std::vector<std::string> cf = Split(candidate, fs.DateSeparator);
    if (qf.size() != 3 || cf.size() != 3)
        return false;
    if (!f.MonthName) {
        if (!IsNumericText(q, fs.DateSeparator))
            return false;
    } else {
        // A month name among numbers: the month field holds letters, the
        // others digits (blanks aside), so the day can be typed first too.
        for (int i = 0; i < 3; ++i)
            for (char c : qf[static_cast<std::size_t>(i)])
                if (IsDigit(c) == (f.Kind[i] == 'm'))
                    return false;
    }
    const long yearLimit = DigitsValue(f.Sample[f.IndexOf('y')]);
    auto passes = [&](int i) {
        const std::string& v = qf[static_cast<std::size_t>(i)];
        if (v.empty())
            return false;
        switch (f.Kind[i]) {
        case 'y':
            return AllDigits(v) && DigitsValue(v) >= 1 && DigitsValue(v) <= yearLimit;
        case 'm':
            if (f.MonthName)
                return true;
            if (v.size() == 1)
                return IsDigit(v[0]) && v[0] < '2';
            return AllDigits(v) && DigitsValue(v) >= 1 && DigitsValue(v) <= 12;
        default:
            if (v.size() == 1)
                return IsDigit(v[0]) && v[0] < '4';
            return AllDigits(v) && DigitsValue(v) >= 1 && DigitsValue(v) <= 31;
        }
    };
    const bool hasBlank = candidate.find(' ') != std::string::npos;
    for (int i = 0; i < 3; ++i) {
        const bool ok = passes(i);
        if (!ok && (!hasBlank || cf[static_cast<std::size_t>(i)].find(' ') == std::string::npos))
            return false;
    }
    return true;
}

TDateTime CompleteDateTextToDate(const std::string& text, const TFormatSettings& fs) {
    const TDateFields f = DateFieldsOf(fs);
    TDateTime out = 0;
    if (!f.MonthName) {
        if (TryStrToDate(text, fs, out))
            return DateOf(out);
    } else {
        const std::vector<std::string> parts = Split(text, fs.DateSeparator);
        if (parts.size() == 3) {
            const int y =
                static_cast<int>(DigitsValue(parts[static_cast<std::size_t>(f.IndexOf('y'))]));
            const int d =
                static_cast<int>(DigitsValue(parts[static_cast<std::size_t>(f.IndexOf('d'))]));
            const int m = MonthNumber(parts[static_cast<std::size_t>(f.IndexOf('m'))], fs, f);
            if (m != 0 && TryEncodeDate(y, m, d, out))
                return out;
        }
    }
    throw EConvertError("'" + text + "' is not a valid date");
}

} // namespace quillory
