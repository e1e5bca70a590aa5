#include "ui/WindowPlacement.h"

#include <QScreen>
#include <QWidget>

namespace quillory {

void CentreOnScreen(QWidget& window, bool workArea) {
    QScreen* screen = window.screen();
    if (!screen)
        return;
    const QRect area = workArea ? screen->availableGeometry() : screen->geometry();
    const QRect frame = window.frameGeometry();
    // move() places the client area; the frame sits around it.
    window.move(area.center() - QPoint(frame.width() / 2, frame.height() / 2) +
                (window.geometry().topLeft() - frame.topLeft()));
}

} // namespace quillory
