#include "ui/SkinData.h"

#include <QApplication>
#include <QFontMetrics>
#include <QWidget>

#include <cmath>

extern const unsigned char QuilloryBuiltInSkin[];
extern const unsigned long QuilloryBuiltInSkinSize;

namespace quillory {

void TCompressedStoredSkin::LoadFromCompressedFile(const std::string& fileName) {
    CompressedData.clear();
    CompressedData = ReadCompressedSkinFile(fileName);
}

void TCompressedStoredSkin::LoadFromSkinFile(const std::string& fileName) {
    const std::string raw = BuildSkinPackageFromDescription(fileName);
    if (raw.empty())
        return;
    CompressedData = DeflateSkin(raw);
    FileName = fileName;
}

TCompressedStoredSkin BuiltInSkin() {
    TCompressedStoredSkin skin;
    skin.CompressedData.assign(reinterpret_cast<const char*>(QuilloryBuiltInSkin),
                               QuilloryBuiltInSkinSize);
    skin.Description = "Quillory Light";
    skin.FileName = "quillory.ini";
    skin.CompressedFileName = "quillory.skn";
    return skin;
}

// --- entries -------------------------------------------------------------

namespace {

std::vector<int> SplitInts(const std::string& text) {
    std::vector<int> out;
    std::size_t pos = 0;
    while (pos <= text.size()) {
        std::size_t comma = text.find(',', pos);
        if (comma == std::string::npos)
            comma = text.size();
        int v = 0;
        if (!ParseInt(text.substr(pos, comma - pos), v))
            return {};
        out.push_back(v);
        pos = comma + 1;
    }
    return out;
}

TSkinEntry SectionEntry(const TIniDescription& ini, const std::string& name,
                        const std::string& kind) {
    TSkinEntry e;
    e.Name = name;
    e.Kind = kind;
    if (const auto* s = ini.Section(name))
        e.Keys = *s;
    return e;
}

// Reads [SKINOBJECTS] or [SKINCONTROLS]: "count" and "0".."count-1", each
// "name:kind", split at the first colon.
std::vector<TSkinEntry> ReadEntryList(const TIniDescription& ini, const std::string& section) {
    std::vector<TSkinEntry> out;
    const int count = ini.ReadInt(section, "count", 0);
    for (int i = 0; i < count; ++i) {
        const std::string value = ini.Read(section, std::to_string(i));
        const std::size_t colon = value.find(':');
        if (colon == std::string::npos)
            continue;
        out.push_back(SectionEntry(ini, TrimBlanks(value.substr(0, colon)),
                                   LowerAscii(TrimBlanks(value.substr(colon + 1)))));
    }
    return out;
}

QImage DecodeBitmap(const std::string& bitmap) {
    QImage img = QImage::fromData(reinterpret_cast<const uchar*>(bitmap.data()),
                                  static_cast<int>(bitmap.size()), "BMP");
    if (img.isNull())
        throw EInvalidBitmap();
    return img;
}

} // namespace

std::string TSkinEntry::Value(const std::string& key) const {
    auto it = Keys.find(key);
    return it == Keys.end() ? std::string() : it->second;
}

int TSkinEntry::Int(const std::string& key, int defaultValue) const {
    int v = 0;
    return ParseInt(Value(key), v) ? v : defaultValue;
}

bool TSkinEntry::Rect(const std::string& key, QRect& out) const {
    const std::vector<int> v = SplitInts(Value(key));
    if (v.size() != 4 || v[2] <= v[0] || v[3] <= v[1])
        return false;
    out = QRect(QPoint(v[0], v[1]), QPoint(v[2] - 1, v[3] - 1));
    return true;
}

QMargins TSkinEntry::Margins(const std::string& key) const {
    const std::vector<int> v = SplitInts(Value(key));
    if (v.size() != 4)
        return {};
    return QMargins(std::max(0, v[0]), std::max(0, v[1]), std::max(0, v[2]), std::max(0, v[3]));
}

bool ParseSkinColor(const std::string& text, QColor& out) {
    std::string t = TrimBlanks(text);
    if (!t.empty() && t[0] == '#')
        t.erase(0, 1);
    if (t.size() != 6)
        return false;
    unsigned v = 0;
    for (char c : t) {
        int d = c >= '0' && c <= '9'   ? c - '0'
                : c >= 'a' && c <= 'f' ? c - 'a' + 10
                : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                       : -1;
        if (d < 0)
            return false;
        v = v * 16 + static_cast<unsigned>(d);
    }
    out = QColor::fromRgb(v);
    return true;
}

QColor TSkinEntry::Color(const std::string& key, const QColor& fallback) const {
    QColor c;
    return ParseSkinColor(Value(key), c) ? c : fallback;
}

QFont FontFromHeight(const QString& family, int height, bool bold, bool italic) {
    QFont f(family);
    f.setBold(bold);
    f.setItalic(italic);
    if (height < 0) {
        f.setPixelSize(-height);
    } else if (height > 0) {
        // The cell height includes the internal leading: scale the em size
        // so that ascent + descent comes out at the asked height.
        f.setPixelSize(height);
        const int cell = QFontMetrics(f).ascent() + QFontMetrics(f).descent();
        if (cell > 0 && cell != height)
            f.setPixelSize(
                std::max(1, static_cast<int>(std::lround(double(height) * height / cell))));
    }
    return f;
}

QFont TSkinEntry::Font(const QFont& base) const {
    const std::string style = LowerAscii(Value("fontstyle"));
    const QString family =
        Has("fontname") ? QString::fromLocal8Bit(Value("fontname").c_str()) : base.family();
    const int height = Int("fontheight", 0);
    QFont f = height != 0 ? FontFromHeight(family, height) : base;
    f.setFamily(family);
    f.setBold(style.find("bold") != std::string::npos);
    f.setItalic(style.find("italic") != std::string::npos);
    f.setUnderline(style.find("underline") != std::string::npos);
    f.setStrikeOut(style.find("strikeout") != std::string::npos);
    return f;
}

// --- skin data -----------------------------------------------------------

QEvent::Type TSkinNotifyEvent::EventType() {
    static const QEvent::Type type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

TSkinData::TSkinData(QObject* owner) : QObject(owner) {}

TSkinData::~TSkinData() = default;

void TSkinData::SetCompressedStoredSkin(const TCompressedStoredSkin* skin) {
    FCompressedStoredSkin = skin;
    if (skin)
        LoadCompressedStoredSkin(*skin);
}

void TSkinData::LoadCompressedSkinFile(const std::string& fileName) {
    TCompressedStoredSkin container;
    container.LoadFromCompressedFile(fileName);
    if (!container.IsEmpty())
        LoadCompressedStoredSkin(container);
}

void TSkinData::Notify(int code) {
    QWidget* ownerWindow = nullptr;
    if (auto* w = qobject_cast<QWidget*>(parent()))
        ownerWindow = w->window();
    if (ownerWindow) {
        TSkinNotifyEvent e(code, this);
        QCoreApplication::sendEvent(ownerWindow, &e);
    }
    if (!qobject_cast<QApplication*>(QCoreApplication::instance()))
        return;
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (w == ownerWindow)
            continue;
        TSkinNotifyEvent e(code, this);
        QCoreApplication::sendEvent(w, &e);
    }
}

void TSkinData::ClearSkin() {
    FObjects.clear();
    FControls.clear();
    FActivePictures.clear();
    FActivePixmaps.clear();
    FActivePictureNames.clear();
    FPictureName.clear();
    FInactivePictureName.clear();
    FMaskPictureName.clear();
    FPicture = QImage();
    FInactivePicture = QImage();
    FMask = QImage();
    FSkinName.clear();
    FSkinAuthor.clear();
    FAuthorEmail.clear();
    FAuthorURL.clear();
    FSkinComments.clear();
    FFormInfo = TSkinEntry();
    FPopupWindow = TSkinEntry();
    FHintWindow = TSkinEntry();
}

void TSkinData::LoadCompressedStoredSkin(const TCompressedStoredSkin& skin) {
    if (skin.IsEmpty())
        return;
    FEmpty = true;
    emit SkinChanging();
    Notify(TSkinNotifyEvent::BeforeChange);
    ClearSkin();

    const TSkinPackage package = ParseSkinPackage(InflateSkin(skin.CompressedData));
    if (package.Version > kMaxSkinVersion)
        return;
    std::vector<QImage> active;
    for (const std::string& bitmap : package.ActivePictures)
        active.push_back(DecodeBitmap(bitmap));
    QImage picture, inactive, mask;
    if (package.MainPicture)
        picture = DecodeBitmap(*package.MainPicture);
    if (package.InactivePicture)
        inactive = DecodeBitmap(*package.InactivePicture);
    if (package.MaskPicture)
        mask = DecodeBitmap(*package.MaskPicture);

    const TIniDescription ini(package.Description);
    FPicture = picture;
    FInactivePicture = inactive;
    FMask = mask;
    FActivePictures = std::move(active);
    FSkinName = ini.Read("VERSION", "skinname");
    FSkinAuthor = ini.Read("VERSION", "skinauthor");
    FAuthorEmail = ini.Read("VERSION", "authoremail");
    FAuthorURL = ini.Read("VERSION", "authorurl");
    FSkinComments = ini.Read("VERSION", "skincomments");
    FPictureName = ini.Read("PICTURES", "picture");
    FInactivePictureName = ini.Read("PICTURES", "inactivepicture");
    FMaskPictureName = ini.Read("PICTURES", "mask");
    const int names = ini.ReadInt("PICTURES", "activepicturescount", 0);
    for (int i = 0; i < names; ++i)
        FActivePictureNames.push_back(ini.Read("PICTURES", std::to_string(i)));
    FFormInfo = SectionEntry(ini, "FORMINFO", "forminfo");
    FPopupWindow = SectionEntry(ini, "POPUPWINDOW", "popupwindow");
    FHintWindow = SectionEntry(ini, "HINTWINDOW", "hintwindow");
    FObjects = ReadEntryList(ini, "SKINOBJECTS");
    FControls = ReadEntryList(ini, "SKINCONTROLS");

    FEmpty = false;
    emit SkinChanged();
    Notify(TSkinNotifyEvent::Change);
    Notify(TSkinNotifyEvent::AfterChange);
}

QPixmap TSkinData::ActivePixmap(int index) const {
    if (index < 0 || static_cast<std::size_t>(index) >= FActivePictures.size())
        return {};
    if (FActivePixmaps.size() != FActivePictures.size())
        FActivePixmaps.assign(FActivePictures.size(), QPixmap());
    QPixmap& p = FActivePixmaps[static_cast<std::size_t>(index)];
    if (p.isNull())
        p = QPixmap::fromImage(FActivePictures[static_cast<std::size_t>(index)]);
    return p;
}

const TSkinEntry* TSkinData::FindControl(const std::string& name) const {
    for (const TSkinEntry& e : FControls)
        if (e.Name == name)
            return &e;
    return nullptr;
}

const TSkinEntry* TSkinData::FindControl(const std::string& name, const std::string& kind) const {
    const TSkinEntry* e = FindControl(name);
    return e && e->Kind == kind ? e : nullptr;
}

} // namespace quillory
