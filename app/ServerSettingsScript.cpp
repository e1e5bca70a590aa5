#include "ServerSettingsScript.h"

namespace quillory {

std::string EscapePhpDoubleQuoted(const std::string& value) {
    std::string out;
    out.reserve(value.size());
    for (char c : value) {
        if (c == '\\' || c == '"' || c == '$')
            out += '\\';
        out += c;
    }
    return out;
}

std::string BuildServerSettingsScript(const TServerSettings& s) {
    auto line = [](const char* name, const std::string& v) {
        return std::string("  $") + name + "=\"" + EscapePhpDoubleQuoted(v) + "\";\r\n";
    };
    return "<?php\r\n" + line("hostname", s.HostName) + line("database", s.Database) +
           line("username", s.UserName) + line("password", s.Password) +
           line("invalidpage", s.InvalidPage) + "?>\r\n";
}

} // namespace quillory
