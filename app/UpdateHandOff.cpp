#include "UpdateHandOff.h"

#include "app/UUtils.h"

#include <QWidget>

namespace quillory {

TUpdateHandOff::TUpdateHandOff(THTTPClient& http, TSkinMessage& messages,
                               TCommandDispatcher& dispatcher, QWidget& window)
    : FDispatcher(dispatcher), FChecker(http, messages, [&window] { window.close(); }) {
    // Only http, https and mailto addresses reach the browser.
    FChecker.OnOpenDownloadPage = [](const std::string& url) { OpenURL(url); };
}

void TUpdateHandOff::CheckForUpdates(bool silent) {
    // The check shows its own wait cursor while it fetches; between its two
    // requests and while its dialogs are up, no coupon command starts.
    FDispatcher.Run([&] { FDispatcher.RunMarked([&] { FChecker.CheckForUpdates(silent); }); });
}

bool TUpdateHandOff::DownloadFile(const std::string& url, const std::string& fileName) {
    return FChecker.DownloadFile(url, fileName);
}

} // namespace quillory
