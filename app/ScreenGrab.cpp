// quillory-screengrab: saves a picture of the X display (or of its window
// with a given title) as PNG. scripts/run uses it to show what the program
// looks like on a machine without a screen.
#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>
#include <QWindow>

#include <cstdio>

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: quillory-screengrab OUTPUT.png [X Y WIDTH HEIGHT]\n");
        return 2;
    }
    QGuiApplication app(argc, argv);
    QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen) {
        std::fprintf(stderr, "quillory-screengrab: no screen\n");
        return 1;
    }
    int x = 0, y = 0, w = -1, h = -1;
    if (argc >= 6) {
        x = std::atoi(argv[2]);
        y = std::atoi(argv[3]);
        w = std::atoi(argv[4]);
        h = std::atoi(argv[5]);
    }
    QPixmap shot = screen->grabWindow(0, x, y, w, h);
    if (shot.isNull() || !shot.save(QString::fromLocal8Bit(argv[1]), "PNG")) {
        std::fprintf(stderr, "quillory-screengrab: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
