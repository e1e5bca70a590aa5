#pragma once
// Shared by the coupon window tests: the built-in skin for the duration of a
// test, and screenshots saved under the build tree's screenshots/ folder.
#include "ui/SkinData.h"
#include "ui/SkinStyle.h"

#include <QApplication>
#include <QDir>
#include <QStyleFactory>
#include <QWidget>

#include <memory>
#include <string>

namespace quillory::test {

// Every window draws from the built-in skin while this object lives.
class TBuiltInSkin {
public:
    TBuiltInSkin() : FStored(BuiltInSkin()), FSkin(std::make_unique<TSkinData>()) {
        FSkin->SetCompressedStoredSkin(&FStored);
        ApplySkinToApplication(FSkin.get());
    }
    ~TBuiltInSkin() {
        QApplication::setStyle(QStyleFactory::create("Fusion"));
        QApplication::setPalette(QApplication::style()->standardPalette());
    }
    TSkinData& Data() { return *FSkin; }

private:
    TCompressedStoredSkin FStored;
    std::unique_ptr<TSkinData> FSkin;
};

inline bool SaveScreenshot(QWidget* w, const std::string& name) {
    QDir().mkpath(QUILLORY_SCREENSHOT_DIR);
    return w->grab().save(QString(QUILLORY_SCREENSHOT_DIR) + "/" + QString::fromStdString(name));
}

} // namespace quillory::test
