#pragma once
// Small file helpers shared by the settings, branding and update code.
#include <string>

namespace quillory {

bool FileExists(const std::string& path);

// Reads a whole file; throws std::runtime_error naming the file and the
// system's reason when it cannot be read.
std::string ReadWholeFile(const std::string& path);

// Creates or replaces `path` with `bytes`. The bytes go to a temporary file
// beside it first, which is then renamed over the old file. Throws
// std::runtime_error "Cannot create file "<path>". <reason>" on failure.
void WriteWholeFile(const std::string& path, const std::string& bytes);

// The name part of a path: everything after the last '/' or '\'.
std::string ExtractFileName(const std::string& path);

} // namespace quillory
