#pragma once
// The update check: fetches the update descriptor from the update folder,
// compares its version with the running one, and hands over to the external
// updater program, which replaces the program's files after it has closed.
#include "http/HTTPClient.h"
#include "platform/FormatSettings.h"
#include "ui/SkinMessage.h"

#include <functional>
#include <string>

namespace quillory {

// The update folder on the maker's update server (ends with "/").
inline constexpr const char* UpdateBaseURL = "http://update.quillory.com/quillory/";
// The running version, as text for the caption and as a single-precision
// number for the comparison and the updater's command line.
inline constexpr const char* VersionText = "1.01";
inline constexpr float VersionNumber = 1.01f;
inline constexpr const char* UpdaterTag = "A";
inline constexpr const char* UpdateDescriptorName = "mainappupdate.inf";
inline constexpr const char* UpdaterName = "Updater";

// The update folder in use: the environment variable QUILLORY_UPDATE_URL when
// it is set and not empty (tests, staging), else UpdateBaseURL.
std::string UpdateBaseAddress();

// Reads a decimal number the way the user writes it: optional blanks, an
// optional sign, digits with `decimalSeparator` as the only separator, an
// optional exponent. False when the text is not such a number.
bool TextToFloat(const std::string& text, char decimalSeparator, double& value);

// The general format with 15 significant digits, trailing zeros dropped, and
// the user's decimal separator: 1.01f gives "1.00999999046326".
std::string FormatVersionNumber(float value, char decimalSeparator);

// The texts the check shows.
std::string NewUpdateOfferText(const std::string& version);
extern const char* const UpdaterMissingText;
extern const char* const UpdateCloseWarningText;
extern const char* const NoUpdateText;

class TUpdateChecker {
public:
    // `http` is the program's shared client, `messages` the main window's
    // message component; `closeMainWindow` ends the program after the
    // hand-off.
    TUpdateChecker(THTTPClient& http, TSkinMessage& messages,
                   std::function<void()> closeMainWindow);

    // Checks for a newer version. With `silent` on, speaks only when there is
    // one. Returns at once while another request runs on the client. A
    // descriptor that cannot be created in the program folder throws.
    void CheckForUpdates(bool silent);

    // GETs `url` into the file `fileName` (deleted first). True when the whole
    // exchange succeeded; on any failure of the exchange the file is deleted
    // and the result is false. Creating the file is not covered: that error
    // is thrown.
    bool DownloadFile(const std::string& url, const std::string& fileName);

    // The locale values used to read the descriptor's version and to write
    // the updater's parameter.
    void SetFormatSettings(const TFormatSettings& fs) { FFormat = fs; }

private:
    THTTPClient& FHTTP;
    TSkinMessage& FMessages;
    std::function<void()> FCloseMainWindow;
    TFormatSettings FFormat;
};

} // namespace quillory
