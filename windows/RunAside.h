#pragma once
// Work that would hold the GUI thread too long (decoding a large list) runs
// on a worker thread while the GUI thread keeps turning its event loop.
#include <QEventLoop>
#include <QMetaObject>

#include <exception>
#include <thread>

namespace quillory {

// Runs `work` on a worker thread and returns when it ends, the event loop
// turning meanwhile; rethrows what `work` threw. The caller keeps commands
// from starting meanwhile (the command dispatcher's mark).
template <typename Work> void RunAside(Work&& work) {
    QEventLoop loop;
    std::exception_ptr error;
    std::thread worker([&] {
        try {
            work();
        } catch (...) {
            error = std::current_exception();
        }
        QMetaObject::invokeMethod(
            &loop, [&loop] { loop.quit(); }, Qt::QueuedConnection);
    });
    loop.exec();
    worker.join();
    if (error)
        std::rethrow_exception(error);
}

} // namespace quillory
