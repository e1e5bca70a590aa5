#pragma once
// Date-time texts of HTTP headers and cookies ("Sun, 06 Nov 1994 08:49:37 GMT"),
// converted from and to local TDateTime values.
#include "platform/DateTime.h"

#include <string>

namespace quillory {

// The local date-time as a GMT internet date text.
std::string LocalDateTimeToGMT(TDateTime local);
// Reads RFC 1123, RFC 850, asctime and cookie-style dates (with GMT, UTC or
// a numeric zone offset) into local time. Returns 0 when the text cannot be read.
TDateTime GMTToLocalDateTime(const std::string& text);

} // namespace quillory
