#pragma once
// The server settings script coupsettings.php that the settings dialog writes
// for the seller to upload beside couponsactions.php.
#include <string>

namespace quillory {

struct TServerSettings {
    std::string HostName;
    std::string Database;
    std::string UserName;
    std::string Password;
    std::string InvalidPage;
};

// Escapes a value for a PHP double-quoted string: backslash, double quote and
// '$' get a backslash, so PHP reads every value back exactly and no value can
// end the string or interpolate a variable.
std::string EscapePhpDoubleQuoted(const std::string& value);

// The seven lines of coupsettings.php, each ended by CR LF, no byte-order mark.
std::string BuildServerSettingsScript(const TServerSettings& s);

} // namespace quillory
