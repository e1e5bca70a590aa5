#include "coupons/LocalSettings.h"

#include "coupons/CouponService.h"
#include "platform/FileSystem.h"
#include "platform/ProfileFile.h"
#include "platform/ProgramFolder.h"

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
}

void TLocalSettings::Accept(const TSettingsValues& values) {
    FValues = values;
    FLoaded = true;
    FSecretKnown = FSecretKnown || !FValues.OrderSecret.empty();
}

} // namespace quillory
