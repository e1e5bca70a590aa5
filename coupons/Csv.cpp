#include "coupons/Csv.h"

namespace quillory {

std::vector<TCsvRecord> ParseCsv(std::string_view text, char separator) {
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
                if (i < n && text[i] != separator && text[i] != '\r' && text[i] != '\n')
                    throw ECsvError("Text follows a closing quote.", line);
            } else {
                while (i < n && text[i] != separator && text[i] != '\r' && text[i] != '\n') {
                    if (text[i] == '"')
                        throw ECsvError("A quote stands inside an unquoted field.", line);
                    field += text[i++];
                }
            }
            record.Fields.push_back(std::move(field));
            if (i < n && text[i] == separator) {
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

char SniffCsvSeparator(std::string_view text) {
    std::size_t commas = 0, semicolons = 0, tabs = 0;
    bool quoted = false;
    for (char c : text) {
        if (c == '"')
            quoted = !quoted;
        else if (!quoted && (c == '\r' || c == '\n'))
            break;
        else if (!quoted && c == ',')
            ++commas;
        else if (!quoted && c == ';')
            ++semicolons;
        else if (!quoted && c == '\t')
            ++tabs;
    }
    if (semicolons > commas && semicolons >= tabs)
        return ';';
    if (tabs > commas && tabs > semicolons)
        return '\t';
    return ',';
}

std::vector<TCsvRecord> ParseCsvFile(std::string_view text) {
    constexpr std::string_view kByteOrderMark = "\xef\xbb\xbf";
    if (text.substr(0, kByteOrderMark.size()) == kByteOrderMark)
        text.remove_prefix(kByteOrderMark.size());
    return ParseCsv(text, SniffCsvSeparator(text));
}

namespace {

bool StartsFormula(std::string_view cell) {
    std::size_t i = 0;
    while (i < cell.size() && cell[i] == '\'')
        ++i;
    return i < cell.size() && std::string_view("=+-@\t\r").find(cell[i]) != std::string_view::npos;
}

} // namespace

std::string GuardCsvCell(std::string_view cell) {
    if (StartsFormula(cell))
        return "'" + std::string(cell);
    return std::string(cell);
}

std::string UnguardCsvCell(std::string_view cell) {
    if (!cell.empty() && cell[0] == '\'' && StartsFormula(cell.substr(1)))
        cell.remove_prefix(1);
    return std::string(cell);
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
