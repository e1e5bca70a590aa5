#pragma once
// Date-time values: days since 30 December 1899 as a double, the fraction
// being the time of day; local time throughout.
#include "FormatSettings.h"

#include <string>

namespace quillory {

using TDateTime = double;

bool IsLeapYear(int year);
int DaysInMonth(int year, int month);
bool IsValidDate(int year, int month, int day);

// Throws std::invalid_argument for dates outside 1/1/1 .. 12/31/9999.
TDateTime EncodeDate(int year, int month, int day);
bool TryEncodeDate(int year, int month, int day, TDateTime& out);
TDateTime EncodeTime(int hour, int minute, int second, int msec);
void DecodeDate(TDateTime dt, int& year, int& month, int& day);
void DecodeTime(TDateTime dt, int& hour, int& minute, int& second, int& msec);

// 1 = Sunday .. 7 = Saturday.
int DayOfWeek(TDateTime dt);
TDateTime DateOf(TDateTime dt);

// The current local date-time, and today at midnight.
TDateTime Now();
TDateTime Today();

// Formats with the pattern letters described in FormatSettings.h.
std::string FormatDateTime(const std::string& format, TDateTime dt, const TFormatSettings& fs);

// "yyyy-m-d": the form dates travel in to and from the coupon server.
std::string FormatDateYMD(TDateTime dt);

// Parses a date typed in the locale's short date format: three numbers (or a
// month name where the format has one) separated by the date separator, in the
// order of the format. A two-digit year is placed in the window of 50 years
// around the current year. Returns false for anything else.
bool TryStrToDate(const std::string& text, const TFormatSettings& fs, TDateTime& out);

// Parses a decimal number written with the locale's decimal separator.
// Surrounding blanks are allowed; anything else left over makes it fail.
bool TryStrToFloat(const std::string& text, const TFormatSettings& fs, double& out);

// Formats a number with the locale's decimal separator and `decimals` digits.
std::string FormatFloat(double value, int decimals, const TFormatSettings& fs);

} // namespace quillory
