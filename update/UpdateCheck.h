#pragma once
// The update check: fetches the update descriptor from the update folder,
// compares its version with the running one, and hands over to the external
// updater program, which replaces the program's files after it has closed.
// What to tell the user comes back as a decision; the windows ask and tell
// (windows/UpdateDialogs.h).
#include "http/HTTPClient.h"
#include "platform/FormatSettings.h"
#include "update/UpdateDescriptor.h"
#include "update/UpdateSignature.h"

#include <chrono>
#include <functional>
#include <string>

namespace quillory {

// The update folder on the maker's update server (ends with "/").
inline constexpr const char* UpdateBaseURL = "https://update.quillory.com/quillory/";
// The running version, as text for the caption and as a single-precision
// number for the comparison and the updater's command line.
inline constexpr const char* VersionText = "1.01";
inline constexpr float VersionNumber = 1.01f;
inline constexpr const char* UpdaterTag = "A";
inline constexpr const char* UpdateDescriptorName = "mainappupdate.inf";
inline constexpr const char* UpdaterName = "Updater";
// The silent check at start-up ends after this long in all (both files,
// connecting included), whatever the server does.
inline constexpr int kSilentUpdateTimeLimit = 10 * 1000; // ms

// The update folder in use: the environment variable QUILLORY_UPDATE_URL when
// it is set and not empty (tests, private mirrors), else UpdateBaseURL. A
// descriptor from either must carry a valid signature.
std::string UpdateBaseAddress();

// The texts the check shows.
std::string NewUpdateOfferText(const std::string& version);
extern const char* const UpdaterMissingText;
extern const char* const UpdateCloseWarningText;
extern const char* const NoUpdateText;

// What a check found, and so what the user is told.
enum class TUpdateTell {
    Nothing,  // dropped (another request runs), or a silent check found no update
    NoUpdate, // asked for, and no newer version (or none to be had)
    Offer,    // a newer version: offer it
};

struct TUpdateFinding {
    TUpdateTell Tell = TUpdateTell::Nothing;
    // The descriptor's version as it reads there (Offer only).
    std::string VersionText;
    // The signed descriptor's download page (Offer only; empty when it names
    // none or not an https address).
    std::string DownloadURL;
};

class TUpdateService {
public:
    // `http` is the program's shared client.
    explicit TUpdateService(THTTPClient& http);

    // Looks for a newer version. With `silent` on, gives up after
    // SilentTimeLimit and asks to tell nothing unless there is one. Tells
    // nothing at once while another request runs on the client. A descriptor
    // that is missing, unsigned, badly signed or over
    // kMaxUpdateDescriptorSize counts as no update (a line on stderr says
    // why). A signed descriptor is written to the data folder (DataFolder()); when it
    // cannot be created there, that error is thrown. An old copy is deleted
    // first, whatever the check finds.
    TUpdateFinding FindUpdate(bool silent);

    // Whether the updater program is beside the program.
    bool UpdaterPresent() const;
    // Starts the updater with the update folder, the running version and the
    // tag; whether it started is not looked at (the program closes either way).
    void StartUpdater() const;

    // GETs `url` (at most kMaxUpdateDescriptorSize bytes) and writes it into
    // the file `fileName`, which is deleted first. True when the whole
    // exchange succeeded; the file is written only then, and only whole.
    // Creating the file is not covered: that error is thrown.
    bool DownloadFile(const std::string& url, const std::string& fileName);

    // The public key (PEM) descriptors are checked against; the built-in one
    // unless changed.
    void SetPublicKey(const std::string& pem) { FPublicKey = pem; }
    // The silent check's time limit in milliseconds.
    void SetSilentTimeLimit(int ms) { FSilentTimeLimit = ms; }

    // The locale values used to read the descriptor's version and to write
    // the updater's parameter.
    void SetFormatSettings(const TFormatSettings& fs) { FFormat = fs; }

    // Called before each fetch (a program with windows lets them repaint).
    std::function<void()> OnBeforeFetch;
    // Called with true when an exchange starts and false when it ends, however
    // it ends (a program with windows shows the busy cursor).
    std::function<void(bool busy)> OnBusy;

private:
    THTTPClient& FHTTP;
    TFormatSettings FFormat;
    std::string FPublicKey = BuiltInUpdatePublicKey();
    int FSilentTimeLimit = kSilentUpdateTimeLimit;

    // GETs `url` into `body`, taking at most `maxBytes` and, with a
    // `deadline`, ending by then. False with the reason in `error` on any
    // failure.
    bool Fetch(const std::string& url, std::size_t maxBytes,
               const std::chrono::steady_clock::time_point* deadline, std::string& body,
               std::string& error);
};

} // namespace quillory
