#pragma once
#include <QApplication>

namespace quillory {

// The application object. Any exception that escapes an event's delivery is
// caught here and reported, and the event loop goes on.
class TApplication : public QApplication {
public:
    TApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
};

} // namespace quillory
