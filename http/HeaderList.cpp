#include "http/HeaderList.h"

#include "http/TextUtils.h"

#include <algorithm>
#include <cctype>

namespace quillory {

namespace {

using text::SameText;
using text::Trim;
using text::Upper;

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string TrimRight(std::string s) {
    while (!s.empty() && s.back() == ' ')
        s.pop_back();
    return s;
}

// Name of a header line: the text before its first ":"; lines without one
// have no name.
bool LineName(const std::string& line, std::string& name) {
    std::size_t colon = line.find(':');
    if (colon == std::string::npos)
        return false;
    name = Trim(line.substr(0, colon));
    return true;
}

} // namespace

void THeaderList::AddStrings(const std::vector<std::string>& lines) {
    FLines.insert(FLines.end(), lines.begin(), lines.end());
}

int THeaderList::IndexOfName(const std::string& name) const {
    std::string lineName;
    for (std::size_t i = 0; i < FLines.size(); ++i)
        if (!FLines[i].empty() && !IsBlank(FLines[i][0]) && LineName(FLines[i], lineName) &&
            SameText(lineName, name))
            return static_cast<int>(i);
    return -1;
}

std::size_t THeaderList::ContinuationEnd(std::size_t index) const {
    std::size_t end = index + 1;
    while (end < FLines.size() && !FLines[end].empty() && IsBlank(FLines[end][0]))
        ++end;
    return end;
}

std::string THeaderList::Values(const std::string& name) const {
    int index = IndexOfName(name);
    if (index < 0)
        return "";
    const std::string& line = FLines[static_cast<std::size_t>(index)];
    std::string value = Trim(line.substr(line.find(':') + 1));
    std::size_t end = ContinuationEnd(static_cast<std::size_t>(index));
    for (std::size_t i = static_cast<std::size_t>(index) + 1; i < end; ++i)
        value += " " + Trim(FLines[i]);
    return value;
}

std::vector<std::string> THeaderList::AllValues(const std::string& name) const {
    std::vector<std::string> values;
    std::string lineName;
    for (std::size_t i = 0; i < FLines.size(); ++i) {
        const std::string& line = FLines[i];
        if (line.empty() || IsBlank(line[0]) || !LineName(line, lineName) ||
            !SameText(lineName, name))
            continue;
        std::string value = Trim(line.substr(line.find(':') + 1));
        std::size_t end = ContinuationEnd(i);
        for (std::size_t k = i + 1; k < end; ++k)
            value += " " + Trim(FLines[k]);
        values.push_back(value);
    }
    return values;
}

void THeaderList::SetValue(const std::string& name, const std::string& value) {
    int index = IndexOfName(name);
    std::vector<std::string> lines;
    if (!value.empty())
        lines = FoldLine(name + ": " + value, FoldLength);
    if (index < 0) {
        AddStrings(lines);
        return;
    }
    auto first = FLines.begin() + index;
    auto last = FLines.begin() +
                static_cast<std::ptrdiff_t>(ContinuationEnd(static_cast<std::size_t>(index)));
    first = FLines.erase(first, last);
    FLines.insert(first, lines.begin(), lines.end());
}

std::vector<std::string> THeaderList::FoldLine(const std::string& line, int foldLength) {
    std::vector<std::string> pieces;
    if (foldLength <= 0 || line.size() <= static_cast<std::size_t>(foldLength)) {
        pieces.push_back(TrimRight(line));
        return pieces;
    }
    // Where a break is allowed: after a space, TAB or comma outside quotes.
    std::vector<bool> breakAfter(line.size(), false);
    bool quoted = false;
    for (std::size_t i = 0; i < line.size(); ++i) {
        if (line[i] == '"')
            quoted = !quoted;
        else if (!quoted && (line[i] == ' ' || line[i] == '\t' || line[i] == ','))
            breakAfter[i] = true;
    }
    // The name and its ": " are never split from the value's first word.
    std::size_t colon = line.find(':');
    std::size_t minBreak = colon == std::string::npos ? 0 : colon + 1;
    while (minBreak + 1 < line.size() && IsBlank(line[minBreak + 1]))
        ++minBreak;
    const std::size_t limit = static_cast<std::size_t>(foldLength);
    std::size_t start = 0;
    bool first = true;
    while (true) {
        std::size_t prefix = first ? 0 : 1; // continuation pieces start with one space
        if (line.size() - start + prefix <= limit)
            break;
        // The last allowed break within the piece's room.
        std::size_t room = limit - prefix;
        std::size_t breakPos = std::string::npos;
        for (std::size_t i = start + room; i-- > start + 1;)
            if (breakAfter[i] && i > minBreak) {
                breakPos = i;
                break;
            }
        if (breakPos == std::string::npos)
            break; // no place to break: the rest stays one long line
        std::string piece = (first ? "" : " ") + line.substr(start, breakPos + 1 - start);
        pieces.push_back(TrimRight(piece));
        start = breakPos + 1;
        while (start < line.size() && IsBlank(line[start]))
            ++start;
        first = false;
        if (start >= line.size())
            return pieces;
    }
    pieces.push_back(TrimRight((first ? "" : " ") + line.substr(start)));
    return pieces;
}

} // namespace quillory
