#include "windows/UpdateDialogs.h"

#include "ui/SkinDateEdit.h"

#include <QApplication>
#include <QCoreApplication>
#include <QCursor>

namespace quillory {

TUpdateChecker::TUpdateChecker(THTTPClient& http, TSkinMessage& messages,
                               std::function<void()> closeMainWindow)
    : FService(http), FMessages(messages), FCloseMainWindow(std::move(closeMainWindow)) {
    // The program's locale values, as every window reads them.
    FService.SetFormatSettings(DefaultFormatSettings());
    // The window repaints before each request, and the wait cursor shows
    // while one runs.
    FService.OnBeforeFetch = [] { QCoreApplication::processEvents(); };
    FService.OnBusy = [](bool busy) {
        if (!qobject_cast<QApplication*>(QCoreApplication::instance()))
            return;
        if (busy)
            QApplication::setOverrideCursor(Qt::WaitCursor);
        else
            QApplication::restoreOverrideCursor();
    };
}

void TUpdateChecker::CheckForUpdates(bool silent) {
    const TUpdateFinding finding = FService.FindUpdate(silent);
    if (finding.Tell == TUpdateTell::NoUpdate)
        FMessages.ShowMessageDialog(NoUpdateText, dkInformation, {dbOK}, 0);
    if (finding.Tell != TUpdateTell::Offer)
        return;
    if (FMessages.ShowMessageDialog(NewUpdateOfferText(finding.VersionText), dkInformation,
                                    {dbOK, dbCancel}, 0) != mrOk)
        return;
    const TUpdateRoute route = ChooseUpdateRoute(
        FService.UpdaterPresent(), OnOpenDownloadPage ? finding.DownloadURL : std::string());
    if (route == TUpdateRoute::DownloadPage) {
        // An installed program is updated by its package: the maker's page
        // says how; the program stays open.
        OnOpenDownloadPage(finding.DownloadURL);
        return;
    }
    if (route == TUpdateRoute::UpdaterMissing) {
        FMessages.ShowMessageDialog(UpdaterMissingText, dkWarning, {dbOK}, 0);
        return;
    }
    if (FMessages.ShowMessageDialog(UpdateCloseWarningText, dkInformation, {dbOK, dbCancel}, 0) ==
        mrCancel)
        return;
    FService.StartUpdater();
    if (FCloseMainWindow)
        FCloseMainWindow();
}

} // namespace quillory
