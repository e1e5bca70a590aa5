#include "ui/ClickFilter.h"

#include <QMouseEvent>
#include <QWidget>

namespace quillory {

TClickFilter::TClickFilter(QWidget* widget, std::function<void()> handler)
    : QObject(widget), FHandler(std::move(handler)) {
    widget->installEventFilter(this);
}

bool TClickFilter::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonRelease) {
        auto* me = static_cast<QMouseEvent*>(event);
        auto* w = static_cast<QWidget*>(watched);
        if (me->button() == Qt::LeftButton && w->rect().contains(me->position().toPoint()))
            FHandler();
    }
    return false;
}

} // namespace quillory
