#pragma once
// Small file helpers shared by the settings, branding and update code.
#include <cstddef>
#include <optional>
#include <string>

namespace quillory {

bool FileExists(const std::string& path);

// Reads a whole file; throws std::runtime_error naming the file and the
// system's reason when it cannot be read.
std::string ReadWholeFile(const std::string& path);

// The bytes of `path` when it is a regular file (symbolic links followed) of
// at most `maxBytes`; nothing when it is missing, not a regular file (a
// folder, a named pipe, a device), larger, or cannot be read. Anything but a
// regular file is never opened, so a named pipe or a device cannot block or
// flood the caller.
std::optional<std::string> ReadRegularFile(const std::string& path, std::size_t maxBytes);

// Why ReadRegularFile refused a file.
enum class TFileRefusal { None, Missing, NotRegular, TooLarge, Unreadable };

struct TRegularFileRead {
    std::optional<std::string> Bytes; // set when the file was read
    TFileRefusal Refusal = TFileRefusal::None;
    int Error = 0;            // the system's error number, when it gave one
    std::size_t MaxBytes = 0; // the limit it was read with
    // The reason in words: "Not a regular file", "Larger than 16 MiB", or the
    // system's text ("No such file or directory", "Permission denied").
    std::string Reason() const;
};

// ReadRegularFile, telling why a file was refused.
TRegularFileRead ReadRegularFileChecked(const std::string& path, std::size_t maxBytes);

// ReadRegularFile for files from outside that the user named or placed:
// throws std::runtime_error "Cannot open file "<path>". <reason>" when the
// file is refused.
std::string ReadRegularFileOrThrow(const std::string& path, std::size_t maxBytes);

// Permission bits of a new file that anyone may read, and of one that holds a
// password and only its owner may read or write.
inline constexpr unsigned kPublicFileMode = 0644;
inline constexpr unsigned kPrivateFileMode = 0600;

// Creates or replaces `path` with `bytes`. The bytes go to a temporary file
// beside it first, which is then renamed over the old file; the old file's
// permission bits (and, where the user may set them, its owner and group) are
// kept, a new file gets `createMode`, and a symbolic link is kept pointing at the file it names,
// which is the one replaced. An existing file the user may not write, or anything but a regular
// file, is refused even when its folder is writable. Throws std::runtime_error "Cannot create file
// "<path>". <reason>" on failure.
void WriteWholeFile(const std::string& path, const std::string& bytes,
                    unsigned createMode = kPublicFileMode);

// The name part of a path: everything after the last '/' or '\'.
std::string ExtractFileName(const std::string& path);

} // namespace quillory
