#pragma once
// The update check of the main window: Check Updates and the silent check at
// start-up run through the window's command dispatcher (never during a coupon
// request), and a hand-off to the updater closes the window.
#include "http/HTTPClient.h"
#include "ui/SkinMessage.h"
#include "windows/CommandDispatcher.h"
#include "windows/UpdateDialogs.h"

#include <string>

class QWidget;

namespace quillory {

class TUpdateHandOff {
public:
    TUpdateHandOff(THTTPClient& http, TSkinMessage& messages, TCommandDispatcher& dispatcher,
                   QWidget& window);

    // Checks for a newer version (silent: speak only of a newer version);
    // does nothing while a request or another check is in flight.
    void CheckForUpdates(bool silent);
    // The download the check runs on the shared client.
    bool DownloadFile(const std::string& url, const std::string& fileName);

    TUpdateChecker& Checker() { return FChecker; }

private:
    TCommandDispatcher& FDispatcher;
    TUpdateChecker FChecker;
};

} // namespace quillory
