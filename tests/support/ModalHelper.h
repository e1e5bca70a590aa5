#pragma once
// Answers the next modal dialog from inside its own event loop: polls the
// event loop (never sleeps) until a visible modal widget other than `except`
// is active, then runs `action` on it. Widget tests of every folder use it. Gives up after about
// five seconds, so a dialog that never appears makes the test fail on its own checks.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTimer>
#include <QWidget>

#include <functional>

namespace quillory::test {

// The name of AnswerNextModal's pollers, so that the end of a test can stop
// those still waiting: a dialog that never came must not be answered, with the
// ended test's references, in a later test.
inline constexpr const char* kAnswerPollerName = "quillory-answer-next-modal";

inline void AnswerNextModal(std::function<void(QWidget*)> action, QWidget* except = nullptr) {
    auto* timer = new QTimer(qApp);
    timer->setObjectName(QLatin1String(kAnswerPollerName));
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

// Stops every AnswerNextModal still waiting.
inline void StopWaitingAnswers() {
    for (QTimer* timer : qApp->findChildren<QTimer*>(QLatin1String(kAnswerPollerName),
                                                     Qt::FindDirectChildrenOnly)) {
        timer->stop();
        timer->deleteLater();
    }
}

// Test programs with windows append this listener: after each test, the
// answers it left waiting are stopped.
class TStopAnswersAfterEachTest : public ::testing::EmptyTestEventListener {
    void OnTestEnd(const ::testing::TestInfo&) override { StopWaitingAnswers(); }
};

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
