// quillory-screengrab: saves a picture of the X display as PNG. scripts/run
// uses it to show what the program looks like on a machine without a screen.
//
//   quillory-screengrab OUTPUT.png               the whole screen
//   quillory-screengrab OUTPUT.png X Y W H       that rectangle
//   quillory-screengrab --content OUTPUT.png     only what is drawn on the
//       screen: the smallest rectangle holding every pixel that differs from
//       the background (the colour of the top-left corner). Without a window
//       manager that is exactly the open windows. Exits 3 without writing
//       anything while the screen is still empty.
#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QScreen>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// The bounding rectangle of the pixels that differ from the top-left one;
// empty when the image is uniform.
QRect DrawnRect(const QImage& image) {
    const QRgb background = image.pixel(0, 0);
    int left = image.width(), right = -1, top = image.height(), bottom = -1;
    for (int y = 0; y < image.height(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            if (row[x] == background)
                continue;
            left = std::min(left, x);
            right = std::max(right, x);
            top = std::min(top, y);
            bottom = std::max(bottom, y);
        }
    }
    return right < 0 ? QRect() : QRect(QPoint(left, top), QPoint(right, bottom));
}

} // namespace

int main(int argc, char** argv) {
    const bool content = argc >= 2 && std::strcmp(argv[1], "--content") == 0;
    const int first = content ? 2 : 1;
    if (argc <= first) {
        std::fprintf(stderr,
                     "usage: quillory-screengrab [--content] OUTPUT.png [X Y WIDTH HEIGHT]\n");
        return 2;
    }
    QGuiApplication app(argc, argv);
    QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen) {
        std::fprintf(stderr, "quillory-screengrab: no screen\n");
        return 1;
    }
    int x = 0, y = 0, w = -1, h = -1;
    if (!content && argc >= first + 5) {
        x = std::atoi(argv[first + 1]);
        y = std::atoi(argv[first + 2]);
        w = std::atoi(argv[first + 3]);
        h = std::atoi(argv[first + 4]);
    }
    QImage shot = screen->grabWindow(0, x, y, w, h).toImage();
    if (content && !shot.isNull()) {
        shot = shot.convertToFormat(QImage::Format_RGB32);
        const QRect drawn = DrawnRect(shot);
        if (drawn.isEmpty())
            return 3;
        shot = shot.copy(drawn);
    }
    if (shot.isNull() || !shot.save(QString::fromLocal8Bit(argv[first]), "PNG")) {
        std::fprintf(stderr, "quillory-screengrab: cannot write %s\n", argv[first]);
        return 1;
    }
    return 0;
}
