#pragma once
// INI-style profile files (settings.dat, dbconfig.dat, the update descriptor),
// read and written with the rules the program has always relied on:
//  - section and key names match without regard to ASCII letter case;
//  - a missing file, section or key reads as the default;
//  - a value enclosed in a matching pair of ' or " reads without them;
//  - at most 2047 characters of a value are returned;
//  - writing a key replaces its line in place, or appends it to its section,
//    and appends the section when it is missing; everything else in the file
//    is kept byte for byte. The file is replaced atomically (temporary file +
//    rename), so a crash never leaves it half written.
#include <stdexcept>
#include <string>

namespace quillory {

// Raised when a profile file cannot be written; the message is
// "Unable to write to <path>".
class EProfileWriteError : public std::runtime_error {
public:
    explicit EProfileWriteError(const std::string& path);
};

constexpr std::size_t kMaxProfileValueLength = 2047;

std::string ReadProfileString(const std::string& path, const std::string& section,
                              const std::string& key, const std::string& defaultValue = {});

// Parses profile text held in memory (the same rules as ReadProfileString).
std::string ReadProfileStringFromText(const std::string& text, const std::string& section,
                                      const std::string& key, const std::string& defaultValue = {});

// Returns `text` with `key` of `section` set to `value`.
std::string WriteProfileStringToText(const std::string& text, const std::string& section,
                                     const std::string& key, const std::string& value);

void WriteProfileString(const std::string& path, const std::string& section, const std::string& key,
                        const std::string& value);

} // namespace quillory
