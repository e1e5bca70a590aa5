#pragma once
// The update check as the user sees it: the busy cursor while the update
// folder is asked, the answer or the offer, the warning before the hand-off,
// and the program closing once the updater has been started.
#include "http/HTTPClient.h"
#include "ui/SkinMessage.h"
#include "update/UpdateCheck.h"

#include <functional>
#include <string>

namespace quillory {

class TUpdateChecker {
public:
    // `http` is the program's shared client, `messages` the main window's
    // message component; `closeMainWindow` ends the program after the
    // hand-off.
    TUpdateChecker(THTTPClient& http, TSkinMessage& messages,
                   std::function<void()> closeMainWindow);

    // Checks for a newer version. With `silent` on, speaks only when there is
    // one. Returns at once while another request runs on the client. An
    // error creating the descriptor in the data folder is thrown.
    void CheckForUpdates(bool silent);

    bool DownloadFile(const std::string& url, const std::string& fileName) {
        return FService.DownloadFile(url, fileName);
    }

    void SetPublicKey(const std::string& pem) { FService.SetPublicKey(pem); }
    void SetSilentTimeLimit(int ms) { FService.SetSilentTimeLimit(ms); }
    void SetFormatSettings(const TFormatSettings& fs) { FService.SetFormatSettings(fs); }

    TUpdateService& Service() { return FService; }

    // Opens an accepted update's download page when no updater ships with the
    // program (the main window hands it to the browser).
    std::function<void(const std::string&)> OnOpenDownloadPage;

private:
    TUpdateService FService;
    TSkinMessage& FMessages;
    std::function<void()> FCloseMainWindow;
};

} // namespace quillory
