#pragma once
// The reseller's branding package beside the program: dbconfig.dat with the
// product name, affiliate id, banners and links, the banner pictures stored
// as dbimg1.dat .. dbimg3.dat, the skin dbskin.dat and an icon. The main
// window applies it (app/BrandingView.h).
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace quillory {

inline constexpr const char* BrandingConfigName = "dbconfig.dat";
inline constexpr const char* BrandingSkinName = "dbskin.dat";

struct TBrandingConfig {
    std::string AppName;
    std::string AffiliateID;
    // Configured banners in key order: the "BannerPath" value and its "BannerURL".
    std::vector<std::pair<std::string, std::string>> Banners;
    // Configured links in key order: the "URL" value and its "Name".
    std::vector<std::pair<std::string, std::string>> Links;
    std::string IconPath;
};

// Reads section "Settings" of a dbconfig.dat.
TBrandingConfig ReadBrandingConfig(const std::string& path);

// An index drawn uniformly from 0 .. count - 1 by a generator seeded anew
// from the clock.
int RandomBrandingIndex(int count);

// The stored name of the banner at position `index` (0-based) of the
// configured banners: "dbimg1.dat" for the first.
std::string StoredBannerName(int index);

// The one message shown for a banner that cannot be shown: its size against
// the panel's for a picture too large, else the reason of `error`.
std::string BannerFailureMessage(const std::exception& error);

// The most the banner panel shows: a larger banner is refused with one
// message and the program starts without it.
inline constexpr int kMaxBannerWidth = 775;
inline constexpr int kMaxBannerHeight = 200;

} // namespace quillory
