#pragma once
// Checks on a window as it is drawn, for the tests that also keep a
// screenshot of it (under the build tree's screenshots/ folder, for a look by
// eye): a screenshot is written only after the window passed them.
#include <QDir>
#include <QImage>
#include <QWidget>

#include <gtest/gtest.h>

#include <map>
#include <string>

namespace quillory::test {

// The colour that most of the window's own surface shows (the points no
// child widget covers, on a grid of 4 pixels), in `shot` (the window's grab).
inline QColor SurfaceColour(QWidget* w, const QImage& shot) {
    std::map<QRgb, int> counts;
    for (int y = 2; y < w->height() - 2 && y < shot.height(); y += 4)
        for (int x = 2; x < w->width() - 2 && x < shot.width(); x += 4)
            if (w->childAt(x, y) == nullptr)
                ++counts[shot.pixel(x, y) & 0xFFFFFF];
    QRgb best = 0;
    int most = 0;
    for (const auto& [colour, count] : counts)
        if (count > most) {
            best = colour;
            most = count;
        }
    return most ? QColor(best) : QColor();
}

// Passes when `w` is shown at `size` (when given), its surface is painted in
// `background`, and more than that one colour is drawn on it.
inline ::testing::AssertionResult DrawnAs(QWidget* w, const QColor& background,
                                          const QSize& size = QSize()) {
    if (!w->isVisible())
        return ::testing::AssertionFailure() << w->objectName().toStdString() << " is not shown";
    if (size.isValid() && w->size() != size)
        return ::testing::AssertionFailure() << "size " << w->width() << " x " << w->height()
                                             << ", not " << size.width() << " x " << size.height();
    const QImage shot = w->grab().toImage();
    const QColor surface = SurfaceColour(w, shot);
    if (surface.rgb() != background.rgb())
        return ::testing::AssertionFailure() << "surface " << surface.name().toStdString()
                                             << ", not " << background.name().toStdString();
    for (int y = 0; y < shot.height(); ++y)
        for (int x = 0; x < shot.width(); ++x)
            if ((shot.pixel(x, y) & 0xFFFFFF) != (background.rgb() & 0xFFFFFF))
                return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "nothing is drawn on the surface";
}

// Writes `shot` as screenshots/`name`.
inline bool SaveShot(const QImage& shot, const std::string& name) {
    QDir().mkpath(QUILLORY_SCREENSHOT_DIR);
    return shot.save(QString(QUILLORY_SCREENSHOT_DIR "/") + QString::fromStdString(name));
}

} // namespace quillory::test
