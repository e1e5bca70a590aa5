#include "coupons/LocalSettings.h"

#include "coupons/CouponService.h"
#include "platform/FileSystem.h"
#include "platform/ProfileFile.h"
#include "platform/ProgramFolder.h"

#include <cctype>

namespace quillory {

namespace {

// The keys in the order they are read and written, with their values.
template <class TValues, class TAction> void ForEachKey(TValues& v, TAction&& action) {
    action("webserver", v.WebServer);
    action("dbhostname", v.DbHostName);
    action("dbdatabase", v.DbDatabase);
    action("dbusername", v.DbUserName);
    action("dbpassword", v.DbPassword);
    action("invalidpage", v.InvalidPage);
}

const char* const kSecretKey = "ordersecret";
const char* const kDbTypeKey = "dbtype";
const char* const kSQLiteFileKey = "sqlitefile";

bool SaysSQLite(const std::string& value) {
    if (value.size() != 6)
        return false;
    for (std::size_t i = 0; i < value.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(value[i])) != kDbTypeSQLite[i])
            return false;
    return true;
}

bool ChoosesDatabase(const TSettingsValues& v) {
    return v.DbKind == TDatabaseKind::SQLite || !v.SQLitePath.empty();
}

} // namespace

std::string TLocalSettings::DefaultPath() {
    return DataFolder() + kSettingsFileName;
}

TLocalSettings::TLocalSettings(std::string path)
    : FPath(std::move(path)), FScriptName(kCouponScriptName) {}

void TLocalSettings::Load() {
    const TRegularFileRead file = ReadRegularFileChecked(FPath, kMaxProfileFileSize);
    FLoaded = file.Bytes.has_value() || file.Refusal == TFileRefusal::Missing;
    if (const auto& text = file.Bytes) {
        ForEachKey(FValues, [&](const char* key, std::string& value) {
            value = ReadProfileStringFromText(*text, kSettingsSection, key);
        });
        FValues.OrderSecret = ReadProfileStringFromText(*text, kSettingsSection, kSecretKey);
        FSecretKnown = FSecretKnown || !FValues.OrderSecret.empty();
        const std::string type = ReadProfileStringFromText(*text, kSettingsSection, kDbTypeKey);
        FValues.DbKind = SaysSQLite(type) ? TDatabaseKind::SQLite : TDatabaseKind::MySQL;
        FValues.SQLitePath = ReadProfileStringFromText(*text, kSettingsSection, kSQLiteFileKey);
        FDatabaseKnown = FDatabaseKnown || !type.empty() || ChoosesDatabase(FValues);
    }
}

void TLocalSettings::Save() const {
    // Values that were never loaded are not the seller's: never store them.
    if (!FLoaded)
        return;
    ForEachKey(FValues, [&](const char* key, const std::string& value) {
        WriteProfileString(FPath, kSettingsSection, key, value);
    });
    // A seller who never protected order pages keeps the six keys alone.
    if (FSecretKnown)
        WriteProfileString(FPath, kSettingsSection, kSecretKey, FValues.OrderSecret);
    // Likewise a seller who only ever used MySQL keeps the file as it was.
    if (FDatabaseKnown) {
        WriteProfileString(FPath, kSettingsSection, kDbTypeKey,
                           FValues.DbKind == TDatabaseKind::SQLite ? kDbTypeSQLite : kDbTypeMySQL);
        WriteProfileString(FPath, kSettingsSection, kSQLiteFileKey, FValues.SQLitePath);
    }
}

void TLocalSettings::Accept(const TSettingsValues& values) {
    FValues = values;
    FLoaded = true;
    FSecretKnown = FSecretKnown || !FValues.OrderSecret.empty();
    FDatabaseKnown = FDatabaseKnown || ChoosesDatabase(FValues);
}

} // namespace quillory
