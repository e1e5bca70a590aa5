#pragma once
// Small helpers shared by several windows.
#include <string>
#include <vector>

namespace quillory {

// An ordered list of texts, as the list readers fill it.
using TStringList = std::vector<std::string>;

// Splits `text` at every occurrence of `delimiter` (an exact byte compare) into
// `list`, which is cleared first. Empty pieces between delimiters and before a
// leading delimiter are kept; an empty piece after the last delimiter is not.
void SplitText(char delimiter, const std::string& text, TStringList& list);

// Opens `url` in the user's default web browser. Returns 1 when a browser
// command was found and started, 0 when none could be found. The address is
// passed unquoted, as one parameter text.
int OpenURL(const std::string& url);

} // namespace quillory
