#pragma once
// The INI text of a skin description, parsed once into sections and keys.
// Section and key names match without regard to ASCII case; the first of two
// sections or keys with the same name wins, as with the profile functions.
// A value between matching quotes reads without them.
#include <map>
#include <string>
#include <vector>

namespace quillory {

class TIniDescription {
public:
    TIniDescription() = default;
    explicit TIniDescription(const std::string& text) { Parse(text); }

    void Parse(const std::string& text);
    bool HasSection(const std::string& section) const;
    std::string Read(const std::string& section, const std::string& key,
                     const std::string& defaultValue = {}) const;
    int ReadInt(const std::string& section, const std::string& key, int defaultValue) const;
    // Every key of a section (lower-cased names), or nullptr.
    const std::map<std::string, std::string>* Section(const std::string& section) const;

private:
    std::map<std::string, std::map<std::string, std::string>> FSections;
};

std::string LowerAscii(std::string s);
std::string TrimBlanks(const std::string& s);
// Parses a whole decimal int (blanks around allowed); false otherwise.
bool ParseInt(const std::string& text, int& out);

} // namespace quillory
