#pragma once
// The local settings file settings.dat in the data folder: the site
// address and the values of the server settings script, section "Settings".
// Read and written here only, by the main window, its Settings dialog and
// quillory-cli.
#include <string>

namespace quillory {

inline constexpr const char* kSettingsFileName = "settings.dat";
inline constexpr const char* kSettingsSection = "Settings";

// The database coupsettings.php points the script at: MySQL/MariaDB through
// the host, database, user and password, or an SQLite file on the server
// through $dsn.
enum class TDatabaseKind { MySQL, SQLite };

// The six values, as typed: nothing is trimmed or checked; the secret
// that signs passes to order pages; and the database choice.
struct TSettingsValues {
    std::string WebServer;   // "webserver": the folder of the coupon script
    std::string DbHostName;  // "dbhostname"
    std::string DbDatabase;  // "dbdatabase"
    std::string DbUserName;  // "dbusername"
    std::string DbPassword;  // "dbpassword"
    std::string InvalidPage; // "invalidpage"
    // "ordersecret": the $ordersecret written into coupsettings.php, kept so
    // the next OK writes the same one; empty while order pages are not
    // protected.
    std::string OrderSecret;
    // "dbtype" ("mysql" or "sqlite") and "sqlitefile": the database choice
    // and the path of the SQLite file on the server. The path is kept while
    // MySQL is chosen, so switching back and forth loses nothing.
    TDatabaseKind DbKind = TDatabaseKind::MySQL;
    std::string SQLitePath{};
};

inline constexpr const char* kDbTypeMySQL = "mysql";
inline constexpr const char* kDbTypeSQLite = "sqlite";

class TLocalSettings {
public:
    // settings.dat in the data folder (the program folder, or the user's
    // config folder when the program folder cannot be written).
    static std::string DefaultPath();

    explicit TLocalSettings(std::string path = DefaultPath());

    // Reads the file once. A missing file leaves the values as they are; a
    // file that exists but cannot be read (not a regular file, too large,
    // unreadable) is read as no file and is never written over afterwards.
    void Load();
    // Writes the six keys in their order, each key in place, other sections
    // and keys kept, then "ordersecret" once a secret was ever read or
    // accepted (an emptied secret is written empty, not left behind), then "dbtype" and
    // "sqlitefile" once an SQLite choice was ever read or accepted (a seller who only ever
    // used MySQL keeps the six keys); a new file is created private
    // to its owner (it holds a password). Only values that were loaded, or accepted with Accept,
    // are written: otherwise nothing happens. Throws when the file cannot be written ("Unable to
    // write to <path>").
    void Save() const;
    // Makes `values` the ones in force (the Settings dialog's OK), whether or
    // not the file could be read at start-up.
    void Accept(const TSettingsValues& values);

    const TSettingsValues& Values() const { return FValues; }
    const std::string& Path() const { return FPath; }
    // Whether Save may write: the file was read, found missing, or values
    // were accepted.
    bool Loaded() const { return FLoaded; }
    // The script every request goes to: always "couponsactions.php".
    const std::string& ScriptName() const { return FScriptName; }

private:
    std::string FPath;
    TSettingsValues FValues;
    std::string FScriptName;
    bool FLoaded = false;
    bool FSecretKnown = false; // a secret was read or accepted
    // The database choice was read from the file or SQLite was accepted.
    bool FDatabaseKnown = false;
};

} // namespace quillory
