#pragma once
// The reseller's branding as the main window shows it: the caption, one of
// the configured banners (clickable when it has an address), two of the
// configured links, the package's skin and icon.
#include <string>

class QWidget;

namespace Ui {
class frmMain;
}

namespace quillory {

class TSkinData;

class TBrandingView {
public:
    // `form` is the main window's design, already set up on `window`.
    TBrandingView(QWidget& window, Ui::frmMain& form, TSkinData& skin);

    // Reads the branding package of BrandingFolder() (the user's data folder,
    // else the system-wide one) and applies it; nothing happens without its
    // dbconfig.dat. A banner, skin or icon that cannot be
    // shown is told once each and left out.
    void LoadBranding();

    // Keeps the second link at its designed distance from the right edge.
    void PlaceLinkLabels();

    const std::string& AffiliateID() const { return FAffiliateID; }

private:
    void ConnectBannerClicks();
    void imgBannerClick();
    void gifBannerClick();
    // Loads the stored banner picture into imgBanner or gifBanner and sizes
    // the panel; throws when it cannot be shown.
    void LoadBannerPicture(const std::string& stored);

    QWidget& FWindow;
    Ui::frmMain* ui;
    TSkinData& SkinData1;
    int FLink2RightMargin = 0;

    std::string FAffiliateID;
    std::string FBannerURL;
    std::string FBannerPath;
    std::string FLink1URL;
    std::string FLink2URL;
    std::string FLink1Name;
    std::string FLink2Name;
    std::string FIconPath;
};

} // namespace quillory
