#pragma once
// Comma-separated values as RFC 4180 describes them: records end with CR LF
// (a lone LF is accepted when reading), fields holding a comma, a quote or a
// line break are enclosed in double quotes and a quote inside is doubled.
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace quillory {

using TCsvRow = std::vector<std::string>;

class ECsvError : public std::runtime_error {
public:
    ECsvError(const std::string& message, std::size_t line)
        : std::runtime_error(message), Line(line) {}
    std::size_t Line; // 1-based line where the fault was found
};

struct TCsvRecord {
    TCsvRow Fields;
    std::size_t Line = 0; // 1-based line the record starts on
};

// Reads every record; a final line break adds no record. Throws ECsvError for
// a quote inside an unquoted field, text after a closing quote, or a quoted
// field that never closes. `separator` parts the fields (',' by default;
// spreadsheets set to other languages write ';' or a tab).
std::vector<TCsvRecord> ParseCsv(std::string_view text, char separator = ',');

// The separator of a file, judged from its first line (the header row): the
// most frequent of comma, semicolon and tab outside quotes; a comma when none
// stands there.
char SniffCsvSeparator(std::string_view text);

// A file as spreadsheets save it: a UTF-8 byte order mark at the start is
// dropped, and the separator is sniffed from the header row.
std::vector<TCsvRecord> ParseCsvFile(std::string_view text);

// One record with its CR LF.
std::string FormatCsvRow(const TCsvRow& fields);

// A spreadsheet runs a cell that starts with "=", "+", "-", "@", a tab or a
// CR as a formula. GuardCsvCell puts a "'" before such a cell (and before
// one that is already such a cell behind "'"s, so nothing reads back wrong);
// UnguardCsvCell removes exactly that one "'". For every text t,
// UnguardCsvCell(GuardCsvCell(t)) == t.
std::string GuardCsvCell(std::string_view cell);
std::string UnguardCsvCell(std::string_view cell);

} // namespace quillory
