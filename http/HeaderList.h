#pragma once
// An ordered list of header lines "Name: value" with case-insensitive lookup,
// continuation lines and folding of long lines.
#include <string>
#include <vector>

namespace quillory {

class THeaderList {
public:
    // Lines longer than FoldLength are folded when a value is set; 0 turns
    // folding off.
    int FoldLength = 1024;

    std::size_t Count() const { return FLines.size(); }
    const std::string& operator[](std::size_t i) const { return FLines[i]; }
    const std::vector<std::string>& Lines() const { return FLines; }
    void Clear() { FLines.clear(); }
    void Add(const std::string& line) { FLines.push_back(line); }
    void AddStrings(const std::vector<std::string>& lines);

    // Value of the first line named `name` (any case), trimmed, with its
    // continuation lines appended after one space each. Empty when absent.
    std::string Values(const std::string& name) const;
    // Replaces the first line of `name` (and its continuation lines) or
    // appends one; an empty value deletes the line.
    void SetValue(const std::string& name, const std::string& value);
    // All values of the lines named `name`, in order.
    std::vector<std::string> AllValues(const std::string& name) const;
    // Index of the first line named `name`, or -1.
    int IndexOfName(const std::string& name) const;

    // "Name: value", folded into pieces of at most `foldLength` characters
    // where a space, TAB or comma outside double quotes allows; continuation
    // pieces begin with one space; trailing spaces of every piece removed.
    static std::vector<std::string> FoldLine(const std::string& line, int foldLength);

private:
    std::size_t ContinuationEnd(std::size_t index) const;
    std::vector<std::string> FLines;
};

} // namespace quillory
