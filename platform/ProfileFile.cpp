#include "ProfileFile.h"

#include "FileSystem.h"

#include <vector>

namespace quillory {

EProfileWriteError::EProfileWriteError(const std::string& path)
    : std::runtime_error("Unable to write to " + path) {}

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string Trim(const std::string& s) {
    std::size_t b = 0, e = s.size();
    while (b < e && IsBlank(s[b]))
        ++b;
    while (e > b && IsBlank(s[e - 1]))
        --e;
    return s.substr(b, e - b);
}

char Lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool SameName(const std::string& a, const std::string& b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (Lower(a[i]) != Lower(b[i]))
            return false;
    return true;
}

// One physical line: its content without terminator, and the terminator as found.
struct Line {
    std::string body;
    std::string eol;
};

std::vector<Line> SplitLines(const std::string& text) {
    std::vector<Line> lines;
    std::size_t i = 0;
    while (i < text.size()) {
        std::size_t j = i;
        while (j < text.size() && text[j] != '\r' && text[j] != '\n')
            ++j;
        Line l{text.substr(i, j - i), {}};
        if (j < text.size()) {
            if (text[j] == '\r' && j + 1 < text.size() && text[j + 1] == '\n')
                l.eol = "\r\n";
            else
                l.eol = std::string(1, text[j]);
            j += l.eol.size();
        }
        lines.push_back(std::move(l));
        i = j;
    }
    return lines;
}

// A section header: "[name]" after trimming; returns the trimmed name.
bool SectionName(const std::string& body, std::string& name) {
    std::string t = Trim(body);
    if (t.size() < 2 || t.front() != '[')
        return false;
    auto close = t.find(']');
    if (close == std::string::npos)
        return false;
    name = Trim(t.substr(1, close - 1));
    return true;
}

// A key line: "key=value"; returns the trimmed key and value.
bool KeyValue(const std::string& body, std::string& key, std::string& value) {
    auto eq = body.find('=');
    if (eq == std::string::npos)
        return false;
    key = Trim(body.substr(0, eq));
    value = Trim(body.substr(eq + 1));
    return true;
}

std::string Unquote(std::string v) {
    if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
        v = v.substr(1, v.size() - 2);
    return v;
}

} // namespace

std::string ReadProfileStringFromText(const std::string& text, const std::string& section,
                                      const std::string& key, const std::string& defaultValue) {
    bool inSection = false;
    for (const Line& l : SplitLines(text)) {
        std::string name, k, v;
        if (SectionName(l.body, name)) {
            inSection = SameName(name, section);
            continue;
        }
        if (inSection && KeyValue(l.body, k, v) && SameName(k, key)) {
            v = Unquote(v);
            if (v.size() > kMaxProfileValueLength)
                v.resize(kMaxProfileValueLength);
            return v;
        }
    }
    std::string d = defaultValue;
    if (d.size() > kMaxProfileValueLength)
        d.resize(kMaxProfileValueLength);
    return d;
}

std::optional<std::string> ReadProfileText(const std::string& path) {
    return ReadRegularFile(path, kMaxProfileFileSize);
}

std::string ReadProfileString(const std::string& path, const std::string& section,
                              const std::string& key, const std::string& defaultValue) {
    // A missing, unreadable or oversized file reads as empty.
    return ReadProfileStringFromText(ReadProfileText(path).value_or(std::string()), section, key,
                                     defaultValue);
}

std::string WriteProfileStringToText(const std::string& text, const std::string& section,
                                     const std::string& key, const std::string& value) {
    std::vector<Line> lines = SplitLines(text);
    // New lines follow the file's own line ends; CR LF for a new file.
    std::string eol = "\r\n";
    for (const Line& l : lines)
        if (!l.eol.empty()) {
            eol = l.eol;
            break;
        }
    const std::string newLine = key + "=" + value;

    bool inSection = false, replaced = false;
    std::ptrdiff_t sectionStart = -1, lastContent = -1;
    for (std::size_t i = 0; i < lines.size() && !replaced; ++i) {
        std::string name, k, v;
        if (SectionName(lines[i].body, name)) {
            if (inSection)
                break; // the next section starts: append to ours
            inSection = SameName(name, section);
            if (inSection)
                sectionStart = lastContent = static_cast<std::ptrdiff_t>(i);
            continue;
        }
        if (!inSection)
            continue;
        if (!Trim(lines[i].body).empty())
            lastContent = static_cast<std::ptrdiff_t>(i);
        if (KeyValue(lines[i].body, k, v) && SameName(k, key)) {
            lines[i].body = newLine;
            if (lines[i].eol.empty())
                lines[i].eol = eol;
            replaced = true;
        }
    }
    if (replaced) {
        // the key's line was rewritten in place
    } else if (sectionStart >= 0) {
        auto at = static_cast<std::size_t>(lastContent);
        if (lines[at].eol.empty())
            lines[at].eol = eol;
        lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(at) + 1, Line{newLine, eol});
    } else {
        if (!lines.empty() && lines.back().eol.empty())
            lines.back().eol = eol;
        lines.push_back(Line{"[" + section + "]", eol});
        lines.push_back(Line{newLine, eol});
    }
    std::string out;
    out.reserve(text.size() + newLine.size() + 16);
    for (const Line& l : lines)
        out += l.body + l.eol;
    return out;
}

void WriteProfileString(const std::string& path, const std::string& section, const std::string& key,
                        const std::string& value, unsigned createMode) {
    std::string text;
    if (FileExists(path)) {
        // What cannot be read (a pipe, a device, an oversized or unreadable
        // file) is not replaced by a file holding only the new key.
        auto existing = ReadProfileText(path);
        if (!existing)
            throw EProfileWriteError(path);
        text = std::move(*existing);
    }
    try {
        WriteWholeFile(path, WriteProfileStringToText(text, section, key, value), createMode);
    } catch (const std::exception&) {
        throw EProfileWriteError(path);
    }
}

} // namespace quillory
