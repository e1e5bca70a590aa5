#pragma once
// Text as quillory-cli shows it to people. Values come from the coupon
// service, so a coupon's name could hold escape sequences that drive the
// terminal (move the cursor, rewrite the title, hide what follows) or tabs
// and line breaks that shift the columns of a listing. Human-readable output
// therefore shows every control byte escaped; `export` keeps every byte.
#include <string>
#include <string_view>

namespace quillory {

// Appends `text` to `out` with control bytes escaped: "\t", "\n", "\r" for
// those three, "\xHH" for the other C0 controls and DEL, "\xc2\xHH" for the
// C1 controls as UTF-8 writes them (U+0080 to U+009F, which some terminals
// obey), and "\\" for the backslash itself, so the escaped text reads back
// unambiguously. Every other byte, UTF-8 and 8-bit text included, is kept.
void AppendEscaped(std::string& out, std::string_view text);

// `text` escaped as AppendEscaped does.
std::string EscapeControls(std::string_view text);

// The site address as messages show it: the password in its user part
// replaced by "***" and trailing "/" dropped.
std::string DisplaySite(const std::string& site);

} // namespace quillory
