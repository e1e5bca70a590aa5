#pragma once
// The skin every window draws from: the pictures and description of one
// skin package, loaded from the built-in container or from a dbskin.dat.
#include "ui/SkinDescription.h"
#include "ui/SkinPackage.h"

#include <QEvent>
#include <QFont>
#include <QImage>
#include <QMargins>
#include <QObject>
#include <QPixmap>
#include <QRect>

#include <map>
#include <string>
#include <vector>

namespace quillory {

// A skin package held compressed (one zlib stream), as the built-in skin is
// carried inside the program.
class TCompressedStoredSkin {
public:
    std::string CompressedData;
    std::string Description;        // informational
    std::string FileName;           // the description the package was made from
    std::string CompressedFileName; // informational

    bool IsEmpty() const { return CompressedData.empty(); }
    void Clear() { CompressedData.clear(); }
    // Empties the container, then takes the compressed data of a dbskin.dat.
    // A format value above 3 leaves it empty. Throws EFileOpenError,
    // ESkinReadError (length past the end) or EBadSkinFile (negative length).
    void LoadFromCompressedFile(const std::string& fileName);
    // Builds the container from a description file and its bitmaps; leaves it
    // unchanged when the description lacks a required section.
    void LoadFromSkinFile(const std::string& fileName);
};

// The built-in skin, generated from resources/skin/ at build time.
TCompressedStoredSkin BuiltInSkin();

// One frame object or control entry of the description: its name, its kind
// and the keys of its own section (names lower-case).
struct TSkinEntry {
    std::string Name;
    std::string Kind;
    std::map<std::string, std::string> Keys;

    std::string Value(const std::string& key) const;
    bool Has(const std::string& key) const { return !Value(key).empty(); }
    int Int(const std::string& key, int defaultValue) const;
    // "left,top,right,bottom"; false when missing or malformed.
    bool Rect(const std::string& key, QRect& out) const;
    // "left,top,right,bottom" widths of a border.
    QMargins Margins(const std::string& key) const;
    // "#RRGGBB"; `fallback` when missing or malformed.
    QColor Color(const std::string& key, const QColor& fallback) const;
    bool HasFont() const { return Has("fontname") || Has("fontheight"); }
    // The font of the entry, over `base` for what the entry leaves out.
    QFont Font(const QFont& base) const;
};

// Parses "#RRGGBB" (or "RRGGBB").
bool ParseSkinColor(const std::string& text, QColor& out);

// A font by the Windows height convention: a positive height is the cell
// height in pixels, a negative one the character height (em) in pixels.
QFont FontFromHeight(const QString& family, int height, bool bold = false, bool italic = false);

// The notifications sent to every window around a skin change, with the skin
// data and 1000 as parameters.
class TSkinNotifyEvent : public QEvent {
public:
    static const int BeforeChange = 1225;
    static const int Change = 1226;
    static const int AfterChange = 1227;
    static QEvent::Type EventType();

    TSkinNotifyEvent(int code, const class TSkinData* skinData)
        : QEvent(EventType()), Code(code), SkinData(skinData) {}
    int Code;
    const TSkinData* SkinData;
    int Param = 1000;
};

class TSkinData : public QObject {
    Q_OBJECT
public:
    explicit TSkinData(QObject* owner = nullptr);
    ~TSkinData() override;

    // Setting a container loads it at once.
    void SetCompressedStoredSkin(const TCompressedStoredSkin* skin);
    const TCompressedStoredSkin* CompressedStoredSkin() const { return FCompressedStoredSkin; }

    // Loads a dbskin.dat. Errors of the file (open, negative length, length
    // past the end) leave the skin unchanged; errors of its contents
    // (compression, bitmaps) leave it empty. Both reach the caller.
    void LoadCompressedSkinFile(const std::string& fileName);
    // Loads a package container into the skin; nothing happens when it is
    // empty. On a failure after clearing, the skin stays empty.
    void LoadCompressedStoredSkin(const TCompressedStoredSkin& skin);

    bool Empty() const { return FEmpty; }

    const QImage& Picture() const { return FPicture; }
    const QImage& InactivePicture() const { return FInactivePicture; }
    const QImage& Mask() const { return FMask; }
    const std::vector<QImage>& ActivePictures() const { return FActivePictures; }
    // The active picture as a pixmap (converted once per load); null if absent.
    QPixmap ActivePixmap(int index) const;
    const std::vector<std::string>& ActivePictureNames() const { return FActivePictureNames; }
    const std::string& PictureName() const { return FPictureName; }
    const std::string& InactivePictureName() const { return FInactivePictureName; }
    const std::string& MaskPictureName() const { return FMaskPictureName; }

    const std::string& SkinName() const { return FSkinName; }
    const std::string& SkinAuthor() const { return FSkinAuthor; }
    const std::string& AuthorEmail() const { return FAuthorEmail; }
    const std::string& AuthorURL() const { return FAuthorURL; }
    const std::string& SkinComments() const { return FSkinComments; }

    const TSkinEntry& FormInfo() const { return FFormInfo; }
    const TSkinEntry& PopupWindow() const { return FPopupWindow; }
    const TSkinEntry& HintWindow() const { return FHintWindow; }
    const std::vector<TSkinEntry>& Objects() const { return FObjects; }
    const std::vector<TSkinEntry>& Controls() const { return FControls; }

    // The first control entry with exactly this name, or nullptr.
    const TSkinEntry* FindControl(const std::string& name) const;
    // The same, but nullptr when that first entry is of another kind.
    const TSkinEntry* FindControl(const std::string& name, const std::string& kind) const;

    // Optional table of translated texts, looked up by key.
    void SetResourceStrData(const std::map<std::string, std::string>* table) {
        FResourceStrData = table;
    }
    const std::map<std::string, std::string>* ResourceStrData() const { return FResourceStrData; }

signals:
    void SkinChanging();
    void SkinChanged();

private:
    void Notify(int code);
    void ClearSkin();

    const TCompressedStoredSkin* FCompressedStoredSkin = nullptr;
    const std::map<std::string, std::string>* FResourceStrData = nullptr;
    bool FEmpty = true;
    QImage FPicture, FInactivePicture, FMask;
    std::vector<QImage> FActivePictures;
    mutable std::vector<QPixmap> FActivePixmaps;
    std::vector<std::string> FActivePictureNames;
    std::string FPictureName, FInactivePictureName, FMaskPictureName;
    std::string FSkinName, FSkinAuthor, FAuthorEmail, FAuthorURL, FSkinComments;
    TSkinEntry FFormInfo, FPopupWindow, FHintWindow;
    std::vector<TSkinEntry> FObjects, FControls;
};

} // namespace quillory
