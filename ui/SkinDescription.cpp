#include "ui/SkinDescription.h"

#include <charconv>

namespace quillory {

std::string LowerAscii(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return s;
}

std::string TrimBlanks(const std::string& s) {
    std::size_t b = 0, e = s.size();
    while (b < e && (s[b] == ' ' || s[b] == '\t'))
        ++b;
    while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t'))
        --e;
    return s.substr(b, e - b);
}

bool ParseInt(const std::string& text, int& out) {
    std::string t = TrimBlanks(text);
    if (t.empty())
        return false;
    const char* first = t.data();
    if (*first == '+')
        ++first;
    auto [p, ec] = std::from_chars(first, t.data() + t.size(), out);
    return ec == std::errc() && p == t.data() + t.size();
}

void TIniDescription::Parse(const std::string& text) {
    FSections.clear();
    std::map<std::string, std::string>* current = nullptr;
    bool currentIsRepeat = false;
    std::size_t pos = 0;
    while (pos <= text.size()) {
        std::size_t end = text.find_first_of("\r\n", pos);
        if (end == std::string::npos)
            end = text.size();
        std::string line = TrimBlanks(text.substr(pos, end - pos));
        pos = end + 1;
        if (end < text.size() && text[end] == '\r' && pos < text.size() && text[pos] == '\n')
            ++pos;
        if (line.empty() || line[0] == ';')
            continue;
        if (line[0] == '[') {
            std::size_t close = line.find(']');
            std::string name = LowerAscii(TrimBlanks(
                line.substr(1, close == std::string::npos ? std::string::npos : close - 1)));
            currentIsRepeat = FSections.count(name) != 0;
            current = &FSections[name];
            continue;
        }
        std::size_t eq = line.find('=');
        if (!current || currentIsRepeat || eq == std::string::npos)
            continue;
        std::string key = LowerAscii(TrimBlanks(line.substr(0, eq)));
        std::string value = TrimBlanks(line.substr(eq + 1));
        if (value.size() >= 2 && (value[0] == '"' || value[0] == '\'') && value.back() == value[0])
            value = value.substr(1, value.size() - 2);
        current->emplace(key, value); // keeps the first of two equal keys
    }
}

const std::map<std::string, std::string>* TIniDescription::Section(const std::string& s) const {
    auto it = FSections.find(LowerAscii(s));
    return it == FSections.end() ? nullptr : &it->second;
}

bool TIniDescription::HasSection(const std::string& section) const {
    return Section(section) != nullptr;
}

std::string TIniDescription::Read(const std::string& section, const std::string& key,
                                  const std::string& defaultValue) const {
    const auto* s = Section(section);
    if (!s)
        return defaultValue;
    auto it = s->find(LowerAscii(key));
    return it == s->end() ? defaultValue : it->second;
}

int TIniDescription::ReadInt(const std::string& section, const std::string& key,
                             int defaultValue) const {
    int v = 0;
    return ParseInt(Read(section, key), v) ? v : defaultValue;
}

} // namespace quillory
