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
// command was found and started, 0 when none could be found or the address is
// not one a browser should be handed (see IsOpenableURL; a line on stderr says
// so). The address reaches the browser as exactly one argument, never as an
// option, with BrowserSafeURL applied.
int OpenURL(const std::string& url);

// True for the addresses handed to the browser: scheme "http" or "https"
// (any letter case) followed by "//" and a host, or "mailto" followed by an
// address. Anything else (file:, javascript:, a leading '-', no scheme) is not.
bool IsOpenableURL(const std::string& url);

// `url` with blanks, control characters, bytes above 127 and the characters
// " < > \ ` { } | ^ percent-encoded, so it stays one address wherever it goes.
std::string BrowserSafeURL(const std::string& url);

// Percent-encodes every byte but the unreserved characters (letters, digits,
// "-", ".", "_", "~"), for a value placed into an address.
std::string PercentEncode(const std::string& value);

} // namespace quillory
