#include "ui/BrandingPackage.h"

#include "platform/ProfileFile.h"
#include "ui/PictureBudget.h"

#include <chrono>
#include <random>

namespace quillory {

TBrandingConfig ReadBrandingConfig(const std::string& path) {
    // One read of the file; every key comes from the same text. A file that
    // reads as missing (not a regular file, too large) gives empty values.
    const std::string text = ReadProfileText(path).value_or(std::string());
    auto read = [&](const std::string& key) {
        return ReadProfileStringFromText(text, "Settings", key);
    };
    TBrandingConfig c;
    c.AppName = read("AppName");
    c.AffiliateID = read("AfiliateID");
    for (int i = 1; i <= 3; ++i) {
        const std::string path = read("BannerPath" + std::to_string(i));
        if (!path.empty())
            c.Banners.emplace_back(path, read("BannerURL" + std::to_string(i)));
    }
    for (int i = 1; i <= 4; ++i) {
        const std::string url = read("Link" + std::to_string(i) + "URL");
        if (!url.empty())
            c.Links.emplace_back(url, read("Link" + std::to_string(i) + "Name"));
    }
    c.IconPath = read("IconPath");
    return c;
}

int RandomBrandingIndex(int count) {
    if (count <= 1)
        return 0;
    std::mt19937 rng(static_cast<unsigned>(
        std::chrono::high_resolution_clock::now().time_since_epoch().count()));
    return std::uniform_int_distribution<int>(0, count - 1)(rng);
}

std::string StoredBannerName(int index) {
    return "dbimg" + std::to_string(index + 1) + ".dat";
}

std::string BannerFailureMessage(const std::exception& error) {
    if (const auto* large = dynamic_cast<const EPictureTooLarge*>(&error))
        return "The banner picture is " + std::to_string(large->Width) + " x " +
               std::to_string(large->Height) + " pixels; the banner panel shows at most " +
               std::to_string(kMaxBannerWidth) + " x " + std::to_string(kMaxBannerHeight) +
               ". The program starts without the banner.";
    std::string reason = error.what();
    if (!reason.empty() && reason.back() != '.')
        reason += '.';
    return "The banner picture cannot be shown: " + reason +
           " The program starts without the banner.";
}

} // namespace quillory
