#pragma once
// The reseller's branding package beside the program: dbconfig.dat with the
// product name, affiliate id, banners and links, the banner pictures stored
// as dbimg1.dat .. dbimg3.dat, the skin dbskin.dat and an icon. The main
// window applies it in LoadBranding (defined in Branding.cpp).
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

// The extension of a file name, without its dot ("" when there is none).
std::string PictureExtension(const std::string& name);

// Loads the still picture in `file`, in the format that the extension of
// `formatName` names (compared without regard to case): ".bmp", ".ico",
// ".jpg" and ".jpeg". Metafiles (".emf", ".wmf") and every other extension
// are refused with EUnknownPictureExtension; damaged data throws
// EInvalidPicture; a file that cannot be read throws std::runtime_error.
QImage LoadStillPicture(const std::string& file, const std::string& formatName);

// Loads an icon file (the application icon).
QImage LoadIconPicture(const std::string& file);

// Decodes JPEG bytes with libjpeg; damaged data throws EInvalidPicture.
QImage DecodeJPEG(const std::string& bytes);

} // namespace quillory
