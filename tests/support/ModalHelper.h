#pragma once
// Answers the next modal dialog from inside its own event loop: polls the
// event loop (never sleeps) until a visible modal widget other than `except`
// is active, then runs `action` on it. Widget tests of every folder use it. Gives up after about
// five seconds, so a dialog that never appears makes the test fail on its own checks.
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

namespace quillory::test {

// Answers every modal dialog that opens while it lives (other than `except`)
// with `action`, counting them; polls the event loop like AnswerNextModal.
// Lives on the test's stack, so nothing is left polling after the test.
class TModalCounter {
public:
    explicit TModalCounter(std::function<void(QWidget*)> action, QWidget* except = nullptr)
        : FAction(std::move(action)), FExcept(except) {
        FTimer.setInterval(10);
        QObject::connect(&FTimer, &QTimer::timeout, [this] {
            QWidget* modal = QApplication::activeModalWidget();
            if (modal && modal != FExcept && modal->isVisible() && modal != FAnswering) {
                FAnswering = modal;
                ++FCount;
                FAction(modal);
                FAnswering = nullptr;
            }
        });
        FTimer.start();
    }
    int Count() const { return FCount; }

private:
    std::function<void(QWidget*)> FAction;
    QWidget* FExcept;
    QWidget* FAnswering = nullptr;
    QTimer FTimer;
    int FCount = 0;
};

} // namespace quillory::test
