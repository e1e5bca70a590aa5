#pragma once
// Answers the next modal dialog from inside its own event loop: polls the
// event loop (never sleeps) until a visible modal widget other than `except`
// is active, then runs `action` on it. Widget tests of every folder use it. Gives up after about five seconds, so a
// dialog that never appears makes the test fail on its own checks.
#include <QApplication>
#include <QTimer>
#include <QWidget>

#include <functional>

namespace quillory::test {

inline void AnswerNextModal(std::function<void(QWidget*)> action, QWidget* except = nullptr) {
    auto* timer = new QTimer(qApp);
    timer->setInterval(10);
    auto tries = std::make_shared<int>(0);
    QObject::connect(timer, &QTimer::timeout, [timer, tries, action = std::move(action), except] {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal && modal != except && modal->isVisible()) {
            timer->stop();
            timer->deleteLater();
            action(modal);
        } else if (++*tries > 500) {
            timer->stop();
            timer->deleteLater();
        }
    });
    timer->start();
}

} // namespace quillory::test
