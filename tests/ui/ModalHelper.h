#pragma once
// Answers a modal dialog from inside its loop: waits (bounded) until a modal
// window is active, then runs `answer` on it.
#include <QApplication>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <memory>

namespace quillory::test {

inline void WhenModal(std::function<void(QWidget*)> answer, int triesLeft = 200) {
    QTimer::singleShot(5, [answer, triesLeft] {
        QWidget* w = QApplication::activeModalWidget();
        if (w && w->isVisible()) {
            answer(w);
        } else if (triesLeft > 0) {
            WhenModal(answer, triesLeft - 1);
        }
    });
}

} // namespace quillory::test
