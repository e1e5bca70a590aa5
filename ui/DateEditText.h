#pragma once
// The text rules of the date field, apart from any widget: the input mask
// built from the locale's short date format, fitting a text to it, and the
// tests a text must pass to be typed and to be taken over as a date.
#include "platform/ConvertError.h"
#include "platform/DateTime.h"
#include "platform/FormatSettings.h"

#include <stdexcept>
#include <string>

namespace quillory {

// "!" + three fields joined by "/" + ";1; ": the day "9"s, a numeric month
// "9"s, a month name "L"s, the year "0"s, each as long as the field of 31
// December 9999 in the short date format and in the format's order.
std::string BuildDateMask(const TFormatSettings& fs);

// The fields of a date format, in the format's order.
struct TDateFields {
    char Kind[3] = {'m', 'd', 'y'}; // 'm' month, 'd' day, 'y' year
    std::string Sample[3];          // the fields of 31 December 9999
    bool MonthName = false;         // the month is written as a name
    int IndexOf(char kind) const;
};
TDateFields DateFieldsOf(const TFormatSettings& fs);

// A parsed input mask: one character per text position.
class TEditMask {
public:
    TEditMask() = default;
    explicit TEditMask(const std::string& mask);

    const std::string& Mask() const { return FMask; }
    int Length() const { return static_cast<int>(FBody.size()); }
    bool IsLiteral(int pos) const;
    // Whether `c` may stand at `pos` ("9"/"0" digits, "L" letters).
    bool Accepts(int pos, char c) const;
    char Blank() const { return FBlank; }
    // Fits a text field by field: short fields get leading blanks (with "!"),
    // long ones keep their rightmost characters. Literals are the date
    // separator `separator`.
    std::string Fit(const std::string& text, char separator) const;
    // The text of an empty field: blanks and separators.
    std::string EmptyText(char separator) const;

private:
    std::string FMask;
    std::string FBody; // placeholders, with '/' for the date separator
    bool FLeadingBlanks = false;
    char FBlank = ' ';
};

// True only for a text with no blank whose three fields make a date by the
// completeness rules (the day is not checked against the month's length).
bool IsCompleteDateText(const std::string& text, const TFormatSettings& fs);
// The keystroke filter: whether a candidate text may still become a date.
bool IsPlausibleDateText(const std::string& candidate, const TFormatSettings& fs);
// Converts a complete text to a date at midnight; throws EConvertError
// "'<text>' is not a valid date" when it names no real day.
TDateTime CompleteDateTextToDate(const std::string& text, const TFormatSettings& fs);

} // namespace quillory
