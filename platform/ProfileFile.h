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
//    rename), so a crash never leaves it half written;
//  - only a regular file of at most kMaxProfileFileSize bytes is read:
//    anything else (a named pipe, a device, a larger file) reads as missing,
//    and is refused for writing rather than replaced.
#include "platform/FileSystem.h"

#include <optional>
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
// The largest profile file read (1 MiB); a larger one reads as missing.
constexpr std::size_t kMaxProfileFileSize = 1024 * 1024;

// The whole text of a profile file, or nothing when it reads as missing (see
// above). Read it once and look keys up with ReadProfileStringFromText.
std::optional<std::string> ReadProfileText(const std::string& path);

std::string ReadProfileString(const std::string& path, const std::string& section,
                              const std::string& key, const std::string& defaultValue = {});

// Parses profile text held in memory (the same rules as ReadProfileString).
std::string ReadProfileStringFromText(const std::string& text, const std::string& section,
                                      const std::string& key, const std::string& defaultValue = {});

// Returns `text` with `key` of `section` set to `value`.
std::string WriteProfileStringToText(const std::string& text, const std::string& section,
                                     const std::string& key, const std::string& value);

// Sets `key` of `section` in the file at `path`. A file that does not exist
// yet is created with `createMode`: by default private to its owner, since
// the program's settings file holds passwords; an existing file keeps its
// permissions.
void WriteProfileString(const std::string& path, const std::string& section, const std::string& key,
                        const std::string& value, unsigned createMode = kPrivateFileMode);

} // namespace quillory
