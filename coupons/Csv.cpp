#include "coupons/Csv.h"

namespace quillory {

std::vector<TCsvRecord> ParseCsv(std::string_view text) {
    std::vector<TCsvRecord> records;
    std::size_t i = 0, line = 1;
    const std::size_t n = text.size();
    while (i < n) {
        TCsvRecord record;
        record.Line = line;
        for (;;) {
            std::string field;
            if (i < n && text[i] == '"') {
                const std::size_t openedOn = line;
                ++i;
                for (;;) {
                    if (i >= n)
                        throw ECsvError("A quoted field is not closed.", openedOn);
                    char c = text[i++];
                    if (c == '"') {
                        if (i < n && text[i] == '"') {
                            field += '"';
                            ++i;
                            continue;
                        }
                        break;
                    }
                    if (c == '\n')
                        ++line;
                    field += c;
                }
                if (i < n && text[i] != ',' && text[i] != '\r' && text[i] != '\n')
                    throw ECsvError("Text follows a closing quote.", line);
            } else {
                while (i < n && text[i] != ',' && text[i] != '\r' && text[i] != '\n') {
                    if (text[i] == '"')
                        throw ECsvError("A quote stands inside an unquoted field.", line);
                    field += text[i++];
                }
            }
            record.Fields.push_back(std::move(field));
            if (i < n && text[i] == ',') {
                ++i;
                continue;
            }
            break;
        }
        if (i < n && text[i] == '\r')
            ++i;
        if (i < n && text[i] == '\n')
            ++i;
        ++line;
        records.push_back(std::move(record));
    }
    return records;
}

std::string FormatCsvRow(const TCsvRow& fields) {
    std::string out;
    for (std::size_t k = 0; k < fields.size(); ++k) {
        if (k > 0)
            out += ',';
        const std::string& f = fields[k];
        if (f.find_first_of(",\"\r\n") == std::string::npos) {
            out += f;
            continue;
        }
        out += '"';
        for (char c : f) {
            if (c == '"')
                out += '"';
            out += c;
        }
        out += '"';
    }
    return out + "\r\n";
}

} // namespace quillory
