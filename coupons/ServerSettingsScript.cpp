#include "coupons/ServerSettingsScript.h"

#include "http/URI.h"

#include <cctype>
#include <cerrno>
#include <crypt.h>
#include <memory>
#include <sys/random.h>

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

bool SiteCredentials(const std::string& site, std::string& user, std::string& password) {
    const TURI uri(site);
    if (uri.Username.empty() || uri.Password.empty())
        return false;
    user = URLDecode(uri.Username);
    password = URLDecode(uri.Password);
    if (user.find(':') != std::string::npos)
        throw EAdminCredentials("The user name in the Site URL cannot contain a colon.");
    if (password.find('\0') != std::string::npos)
        throw EAdminCredentials("The password in the Site URL cannot contain a zero byte.");
    if (password.size() > kAdminPasswordMaxBytes)
        throw EAdminCredentials("The password in the Site URL is longer than " +
                                std::to_string(kAdminPasswordMaxBytes) + " bytes.");
    return true;
}

std::string HashAdminPassword(const std::string& password) {
    char salt[CRYPT_GENSALT_OUTPUT_SIZE];
    // No random bytes given: libxcrypt takes them from the system.
    if (crypt_gensalt_rn("$2b$", kAdminHashCost, nullptr, 0, salt, sizeof salt) == nullptr)
        throw std::runtime_error("Cannot make a salt for the admin password hash.");
    auto data = std::make_unique<crypt_data>();
    const char* hash = crypt_rn(password.c_str(), salt, data.get(), sizeof *data);
    // Failures give null or a text starting with "*".
    if (hash == nullptr || hash[0] != '$')
        throw std::runtime_error("Cannot hash the admin password.");
    return hash;
}

std::string NewOrderSecret() {
    unsigned char bytes[kOrderSecretBytes];
    std::size_t got = 0;
    while (got < sizeof bytes) {
        const ssize_t n = ::getrandom(bytes + got, sizeof bytes - got, 0);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            throw std::runtime_error("Cannot make a secret for the order pages: the system "
                                     "gives no random bytes.");
        got += static_cast<std::size_t>(n);
    }
    static const char* const digits = "0123456789abcdef";
    std::string hex;
    hex.reserve(2 * sizeof bytes);
    for (const unsigned char b : bytes) {
        hex += digits[b >> 4];
        hex += digits[b & 15];
    }
    return hex;
}

std::string SQLiteDsn(const std::string& path) {
    if (path.empty())
        throw EDatabaseChoice("Enter the path of the SQLite file on the server.");
    for (const char c : path)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            throw EDatabaseChoice(
                "The path of the SQLite file cannot contain line breaks or control characters.");
    // "/..." on Unix, "C:\..." or "C:/..." and "\\server\..." on Windows hosts.
    const bool drive = path.size() >= 3 && std::isalpha(static_cast<unsigned char>(path[0])) &&
                       path[1] == ':' && (path[2] == '\\' || path[2] == '/');
    const bool absolute = path[0] == '/' || path.rfind("\\\\", 0) == 0 || drive;
    if (!absolute)
        throw EDatabaseChoice("The path of the SQLite file must be a full path on the server, "
                              "such as /var/lib/quillory/coupons.sqlite.");
    if (path.back() == '/' || path.back() == '\\')
        throw EDatabaseChoice("The path of the SQLite file names a folder: add the file's name, "
                              "such as coupons.sqlite.");
    return "sqlite:" + path;
}

std::string BuildServerSettingsScript(const TServerSettings& s) {
    auto line = [](const char* name, const std::string& v) {
        return std::string("  $") + name + "=\"" + EscapePhpDoubleQuoted(v) + "\";\r\n";
    };
    std::string out = "<?php\r\n" + line("hostname", s.HostName) + line("database", s.Database) +
                      line("username", s.UserName) + line("password", s.Password) +
                      line("invalidpage", s.InvalidPage);
    if (!s.Dsn.empty())
        out += line("dsn", s.Dsn);
    if (!s.AdminUser.empty())
        out += line("adminuser", s.AdminUser) + line("adminhash", s.AdminHash);
    if (!s.OrderSecret.empty())
        out += line("ordersecret", s.OrderSecret);
    return out + "?>\r\n";
}

} // namespace quillory
