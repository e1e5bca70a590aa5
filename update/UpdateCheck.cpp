#include "UpdateCheck.h"

#include "platform/FileSystem.h"
#include "platform/ProfileFile.h"
#include "platform/ProgramFolder.h"
#include "platform/Shell.h"
#include "ui/SkinDateEdit.h"

#include <QApplication>
#include <QCoreApplication>
#include <QCursor>

#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <memory>

namespace quillory {

const char* const UpdaterMissingText =
    "The updater module is missing. Please reinstall again the current version!";
const char* const UpdateCloseWarningText =
    "To update your software the application will close to\n\rreplace some files. Do you want "
    "to update now?";
const char* const NoUpdateText = "There's no new updates for this application!";

std::string NewUpdateOfferText(const std::string& version) {
    return "There is a new update: (version " + version +
           ") available for your application!. Do you want download this update now?";
}

std::string UpdateBaseAddress() {
    if (const char* env = std::getenv("QUILLORY_UPDATE_URL"); env && *env)
        return env;
    return UpdateBaseURL;
}

bool TextToFloat(const std::string& text, char decimalSeparator, double& value) {
    std::size_t i = 0, n = text.size();
    auto blank = [&](std::size_t k) { return k < n && (text[k] == ' ' || text[k] == '\t'); };
    auto digit = [&](std::size_t k) { return k < n && text[k] >= '0' && text[k] <= '9'; };
    while (blank(i))
        ++i;
    std::string plain; // the number with '.' as separator, for from_chars
    if (i < n && (text[i] == '+' || text[i] == '-')) {
        if (text[i] == '-')
            plain += '-';
        ++i;
    }
    bool digits = false;
    while (digit(i)) {
        plain += text[i++];
        digits = true;
    }
    if (i < n && text[i] == decimalSeparator) {
        plain += '.';
        ++i;
        while (digit(i)) {
            plain += text[i++];
            digits = true;
        }
    }
    if (!digits)
        return false;
    if (i < n && (text[i] == 'e' || text[i] == 'E')) {
        std::string exp = "e";
        std::size_t k = i + 1;
        if (k < n && (text[k] == '+' || text[k] == '-'))
            exp += text[k++];
        if (!digit(k))
            return false;
        while (digit(k))
            exp += text[k++];
        plain += exp;
        i = k;
    }
    while (blank(i))
        ++i;
    if (i != n)
        return false;
    const auto [end, ec] = std::from_chars(plain.data(), plain.data() + plain.size(), value);
    return ec == std::errc() && end == plain.data() + plain.size();
}

std::string FormatVersionNumber(float value, char decimalSeparator) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.15G", static_cast<double>(value));
    std::string s = buf;
    for (char& c : s)
        if (c == '.')
            c = decimalSeparator;
    return s;
}

TUpdateChecker::TUpdateChecker(THTTPClient& http, TSkinMessage& messages,
                               std::function<void()> closeMainWindow)
    : FHTTP(http), FMessages(messages), FCloseMainWindow(std::move(closeMainWindow)),
      FFormat(DefaultFormatSettings()) {}

namespace {

// The busy cursor while a request runs, restored however it ends.
class TBusyCursor {
public:
    TBusyCursor() {
        if (qobject_cast<QApplication*>(QCoreApplication::instance()))
            QApplication::setOverrideCursor(Qt::WaitCursor);
    }
    ~TBusyCursor() {
        if (qobject_cast<QApplication*>(QCoreApplication::instance()))
            QApplication::restoreOverrideCursor();
    }
    TBusyCursor(const TBusyCursor&) = delete;
    TBusyCursor& operator=(const TBusyCursor&) = delete;
};

} // namespace

bool TUpdateChecker::DownloadFile(const std::string& url, const std::string& fileName) {
    if (FileExists(fileName))
        std::remove(fileName.c_str());
    // Outside the error handling below: a file that cannot be created is the
    // caller's error.
    auto file = std::make_unique<TFileStream>(fileName, TFileStream::fmCreate);
    try {
        QCoreApplication::processEvents();
        {
            TBusyCursor busy;
            FHTTP.GetToStream(url, *file);
        }
        file.reset();
        FHTTP.CloseConnection();
        return true;
    } catch (...) {
        try {
            FHTTP.CloseConnection();
        } catch (...) {
            // The exchange already failed; closing is best effort.
        }
        file.reset();
        if (FileExists(fileName))
            std::remove(fileName.c_str());
        return false;
    }
}

void TUpdateChecker::CheckForUpdates(bool silent) {
    // Never two exchanges at once: a check asked for during a request is dropped.
    if (FHTTP.Busy())
        return;
    const std::string folder = ProgramFolder();
    const std::string local = folder + UpdateDescriptorName;
    const std::string remote = UpdateBaseAddress() + UpdateDescriptorName;

    auto noUpdate = [&] {
        if (!silent)
            FMessages.ShowMessageDialog(NoUpdateText, dkInformation, {dbOK}, 0);
    };
    if (!DownloadFile(remote, local) || !FileExists(local))
        return noUpdate();

    const std::string versionText = ReadProfileString(local, "APPLICATION", "Version");
    double parsed = 0;
    if (!TextToFloat(versionText, FFormat.DecimalSeparator, parsed))
        parsed = 0;
    const float version = static_cast<float>(parsed);
    if (VersionNumber >= version)
        return noUpdate();

    if (FMessages.ShowMessageDialog(NewUpdateOfferText(versionText), dkInformation,
                                    {dbOK, dbCancel}, 0) != mrOk)
        return;
    const std::string updater = folder + UpdaterName;
    if (!FileExists(updater)) {
        FMessages.ShowMessageDialog(UpdaterMissingText, dkWarning, {dbOK}, 0);
        return;
    }
    if (FMessages.ShowMessageDialog(UpdateCloseWarningText, dkInformation, {dbOK, dbCancel}, 0) ==
        mrCancel)
        return;
    const std::string params = UpdateBaseAddress() + " " +
                               FormatVersionNumber(VersionNumber, FFormat.DecimalSeparator) + " " +
                               UpdaterTag;
    // Whether the updater started is not looked at: the program closes either way.
    StartProgram(updater, params);
    if (FCloseMainWindow)
        FCloseMainWindow();
}

} // namespace quillory
