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
// field that never closes.
std::vector<TCsvRecord> ParseCsv(std::string_view text);

// One record with its CR LF.
std::string FormatCsvRow(const TCsvRow& fields);

} // namespace quillory
