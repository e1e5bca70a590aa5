#pragma once
// The reseller's branding package beside the program: dbconfig.dat with the
// product name, affiliate id, banners and links, the banner pictures stored
// as dbimg1.dat .. dbimg3.dat, the skin dbskin.dat and an icon. The main
// window applies it in LoadBranding (defined in Branding.cpp).
#include "ui/PictureBudget.h"

#include <QImage>

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

// A picture the program cannot load: "Unknown picture file extension (.%s)".
class EUnknownPictureExtension : public std::runtime_error {
public:
    explicit EUnknownPictureExtension(const std::string& extension);
};

// A picture whose data cannot be decoded.
class EInvalidPicture : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The one message shown for a banner that cannot be shown: its size against
// the panel's for a picture too large, else the reason of `error`.
std::string BannerFailureMessage(const std::exception& error);

// The extension of a file name, without its dot ("" when there is none).
std::string PictureExtension(const std::string& name);

// The most the banner panel shows: a larger banner is refused with one
// message and the program starts without it.
inline constexpr int kMaxBannerWidth = 775;
inline constexpr int kMaxBannerHeight = 200;

// Loads the still picture in `file`, in the format that the extension of
// `formatName` names (compared without regard to case): ".bmp", ".ico",
// ".jpg" and ".jpeg". Metafiles (".emf", ".wmf") and every other extension
// are refused with EUnknownPictureExtension; damaged or truncated data throws
// EInvalidPicture; a picture wider or taller than `maxWidth` x `maxHeight`
// (never more than the picture budget allows) throws EPictureTooLarge, from
// its headers, before it is decoded. Only a regular file of at most
// kMaxPictureFileBytes is read; anything else throws std::runtime_error
// "Cannot open file "<name>". <reason>".
QImage LoadStillPicture(const std::string& file, const std::string& formatName,
                        int maxWidth = kMaxPictureSide, int maxHeight = kMaxPictureSide);

// Loads an icon file (the application icon), read like a still picture.
QImage LoadIconPicture(const std::string& file);

// Decodes JPEG bytes with libjpeg (see DecodeJPEGPicture): damaged or
// truncated data throws EInvalidPicture, a picture beyond the limits
// EPictureTooLarge.
QImage DecodeJPEG(const std::string& bytes, int maxWidth = kMaxPictureSide,
                  int maxHeight = kMaxPictureSide);

} // namespace quillory
