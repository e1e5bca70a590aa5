#pragma once
// Small text helpers shared inside the HTTP client: header names, cookie
// attributes and protocol words are compared without regard to case.
#include <string>

namespace quillory::text {

// Without leading and trailing control characters and spaces.
std::string Trim(const std::string& s);
std::string Upper(std::string s);
bool SameText(const std::string& a, const std::string& b);

} // namespace quillory::text
