#pragma once
// Makes a plain widget (a picture label, for instance) clickable: calls a
// handler when the left button is released over it.
#include <QObject>

#include <functional>

class QWidget;

namespace quillory {

class TClickFilter : public QObject {
public:
    // Installs itself on `widget`, which owns it.
    TClickFilter(QWidget* widget, std::function<void()> handler);
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::function<void()> FHandler;
};

} // namespace quillory
