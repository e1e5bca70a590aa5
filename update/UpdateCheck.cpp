#include "UpdateCheck.h"

#include "http/URI.h"
#include "platform/FileSystem.h"
#include "platform/ProfileFile.h"
#include "platform/ProgramFolder.h"
#include "platform/Shell.h"

#include <algorithm>
#include <chrono>
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

TUpdateService::TUpdateService(THTTPClient& http)
    : FHTTP(http), FFormat(TFormatSettings::FromSystem()) {}

namespace {

// Tells `onBusy` that an exchange runs while it lives.
class TBusySpan {
public:
    explicit TBusySpan(const std::function<void(bool)>& onBusy) : FOnBusy(onBusy) {
        if (FOnBusy)
            FOnBusy(true);
    }
    ~TBusySpan() {
        if (FOnBusy)
            FOnBusy(false);
    }
    TBusySpan(const TBusySpan&) = delete;
    TBusySpan& operator=(const TBusySpan&) = delete;

private:
    const std::function<void(bool)>& FOnBusy;
};

// Sets the client's limits for one fetch and puts the old ones back after.
class TFetchLimits {
public:
    TFetchLimits(THTTPClient& http, std::size_t maxBytes, int limitMs)
        : FHTTP(http), FReadTimeout(http.ReadTimeout()), FExchangeTimeout(http.ExchangeTimeout),
          FMaxBodySize(http.MaxBodySize) {
        FHTTP.MaxBodySize = static_cast<std::int64_t>(maxBytes);
        if (limitMs > 0) {
            // Connecting (with the TLS handshake) is bounded by the read
            // time-out, and the exchange's own limit starts only once the
            // connection stands: each gets half, so both together stay
            // within the limit.
            const int connectLimit = std::max(1, limitMs / 2);
            if (FReadTimeout <= 0 || FReadTimeout > connectLimit)
                FHTTP.SetReadTimeout(connectLimit);
            FHTTP.ExchangeTimeout = std::max(1, limitMs - connectLimit);
        }
    }
    ~TFetchLimits() {
        FHTTP.SetReadTimeout(FReadTimeout);
        FHTTP.ExchangeTimeout = FExchangeTimeout;
        FHTTP.MaxBodySize = FMaxBodySize;
    }
    TFetchLimits(const TFetchLimits&) = delete;
    TFetchLimits& operator=(const TFetchLimits&) = delete;

private:
    THTTPClient& FHTTP;
    int FReadTimeout;
    int FExchangeTimeout;
    std::int64_t FMaxBodySize;
};

void LogUpdateCheck(const std::string& text) {
    std::fprintf(stderr, "quillory: update check: %s\n", text.c_str());
}

// Writes `bytes` as the new content of `fileName`. Creating the file is the
// caller's error; a failed write removes what was written and is thrown too.
void WriteDescriptorFile(const std::string& fileName, const std::string& bytes) {
    auto file = std::make_unique<TFileStream>(fileName, TFileStream::fmCreate);
    try {
        if (file->Write(bytes.data(), static_cast<std::int64_t>(bytes.size())) !=
            static_cast<std::int64_t>(bytes.size()))
            throw std::runtime_error("Cannot write file " + fileName);
        file.reset();
    } catch (...) {
        file.reset();
        std::remove(fileName.c_str());
        throw;
    }
}

} // namespace

bool TUpdateService::Fetch(const std::string& url, std::size_t maxBytes,
                           const std::chrono::steady_clock::time_point* deadline, std::string& body,
                           std::string& error) {
    body.clear();
    TStringStream target;
    try {
        if (OnBeforeFetch)
            OnBeforeFetch();
        int limitMs = 0;
        if (deadline) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                                  *deadline - std::chrono::steady_clock::now())
                                  .count();
            if (left <= 0) {
                error = "out of time";
                return false;
            }
            limitMs = static_cast<int>(left);
        }
        {
            TBusySpan busy(OnBusy);
            TFetchLimits limits(FHTTP, maxBytes, limitMs);
            FHTTP.GetToStream(url, target);
        }
        FHTTP.CloseConnection();
        body = target.TakeDataString();
        return true;
    } catch (const std::exception& e) {
        error = e.what();
    } catch (...) {
        error = "unknown error";
    }
    try {
        FHTTP.CloseConnection();
    } catch (...) {
        // The exchange already failed; closing is best effort.
    }
    return false;
}

bool TUpdateService::DownloadFile(const std::string& url, const std::string& fileName) {
    if (FileExists(fileName))
        std::remove(fileName.c_str());
    std::string body, error;
    if (!Fetch(url, kMaxUpdateDescriptorSize, nullptr, body, error))
        return false;
    WriteDescriptorFile(fileName, body);
    return true;
}

TUpdateFinding TUpdateService::FindUpdate(bool silent) {
    // Never two exchanges at once: a check asked for during a request is dropped.
    if (FHTTP.Busy())
        return {};
    const std::string local = DataFolder() + UpdateDescriptorName;
    const std::string remote = UpdateBaseAddress() + UpdateDescriptorName;

    const TUpdateFinding noUpdate{silent ? TUpdateTell::Nothing : TUpdateTell::NoUpdate, {}, {}};
    // An old copy is never read again, whatever this check finds.
    if (FileExists(local))
        std::remove(local.c_str());

    // The silent check has one time limit for both files together.
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(FSilentTimeLimit);
    const auto* limit = silent && FSilentTimeLimit > 0 ? &deadline : nullptr;
    const std::string shownRemote = RedactURLPassword(remote);
    std::string descriptor, signature, error;
    if (!Fetch(remote, kMaxUpdateDescriptorSize, limit, descriptor, error)) {
        LogUpdateCheck("cannot fetch " + shownRemote + ": " + error);
        return noUpdate;
    }
    if (!Fetch(remote + UpdateSignatureSuffix, kMaxUpdateSignatureSize, limit, signature, error)) {
        LogUpdateCheck("cannot fetch the signature of " + shownRemote + ": " + error);
        return noUpdate;
    }
    const TDescriptorCheck check = CheckUpdateDescriptor(descriptor, signature, FPublicKey);
    if (check != TDescriptorCheck::Valid) {
        LogUpdateCheck(shownRemote + " refused: " + DescribeDescriptorCheck(check));
        return noUpdate;
    }
    // Only a whole, signed descriptor is kept in the data folder.
    WriteDescriptorFile(local, descriptor);

    const std::string versionText = DescriptorVersionText(descriptor);
    const float version = DescriptorVersion(versionText, FFormat.DecimalSeparator);
    if (VersionNumber >= version)
        return noUpdate;
    return {TUpdateTell::Offer, versionText, DescriptorDownloadURL(descriptor)};
}

bool TUpdateService::UpdaterPresent() const {
    return FileExists(ProgramFolder() + UpdaterName);
}

void TUpdateService::StartUpdater() const {
    const std::string params = UpdateBaseAddress() + " " +
                               FormatVersionNumber(VersionNumber, FFormat.DecimalSeparator) + " " +
                               UpdaterTag;
    StartProgram(ProgramFolder() + UpdaterName, params);
}

} // namespace quillory
