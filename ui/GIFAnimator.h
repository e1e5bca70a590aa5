#pragma once
// The animated banner: TGIFAnimator shows a TGIFImage and steps through its
// frames on the ticks of a TThreadedTimer, whose thread only waits for the
// frame delay and hands each tick to the GUI thread.
#include "ui/GIFImage.h"

#include <QImage>
#include <QObject>
#include <QWidget>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

namespace quillory {

// A timer whose waiting runs on a thread of its own. With Threaded on, the
// thread waits for Interval and then hands the tick to the GUI thread (and,
// with SyncEvent on, waits until the tick has run before it waits again, with
// the interval current at that moment). An interval of 0, a disabled timer or
// a missing OnTimer leaves the thread idle. With Threaded off a plain event
// loop timer is used.
class TThreadedTimer : public QObject {
public:
    explicit TThreadedTimer(QObject* owner = nullptr);
    ~TThreadedTimer() override;

    bool Enabled() const { return FEnabled; }
    void SetEnabled(bool on);
    int Interval() const { return FInterval; }
    void SetInterval(int ms);
    bool Threaded() const { return FThreaded; }
    void SetThreaded(bool on);
    bool SyncEvent = true;
    // The thread's priority. The thread only sleeps and posts the tick, so it
    // runs at the process's own scheduling priority whatever is asked here.
    enum TThreadPriority {
        tpIdle,
        tpLowest,
        tpLower,
        tpNormal,
        tpHigher,
        tpHighest,
        tpTimeCritical
    };
    TThreadPriority ThreadPriority = tpNormal;

    // Runs on the GUI thread (or, when RunOnTimerThread is set, on the timer
    // thread itself).
    void SetOnTimer(std::function<void()> handler);
    bool HasOnTimer() const;
    std::atomic<bool> RunOnTimerThread{false};

    // Ticks handed over so far.
    int TickCount() const { return FTicks; }

private:
    void ThreadLoop();
    void Wake();
    void RunTick();

    std::thread FThread;
    mutable std::mutex FLock;
    std::condition_variable FWake;
    bool FTerminated = false;
    bool FTickPending = false;
    unsigned FGeneration = 0; // bumped on every change, restarts the wait
    bool FEnabled = true;
    int FInterval = 1000;
    bool FThreaded = true;
    std::function<void()> FOnTimer;
    class QTimer* FPlainTimer = nullptr;
    std::atomic<int> FTicks{0};
};

class TGIFAnimator : public QWidget {
public:
    explicit TGIFAnimator(QWidget* parent = nullptr);
    ~TGIFAnimator() override;

    TGIFImage& Image() { return FImage; }

    bool Animate() const { return FAnimate; }
    void SetAnimate(bool on);
    bool AutoSize() const { return FAutoSize; }
    void SetAutoSize(bool on);
    bool Center() const { return FCenter; }
    void SetCenter(bool on);
    bool Stretch() const { return FStretch; }
    void SetStretch(bool on);
    bool Transparent() const { return FTransparent; }
    void SetTransparent(bool on);
    bool Loop = true;
    bool AsyncDrawing() const { return FAsyncDrawing; }
    void SetAsyncDrawing(bool on);
    int FrameIndex() const { return FFrameIndex; }
    void SetFrameIndex(int index);

    std::function<void()> OnFrameChanged, OnStart, OnStop, OnChange, OnClick;
    // Told, once and from the event loop, when a frame cannot be shown;
    // without a handler the error goes to the application's error handling.
    std::function<void(const std::string&)> OnError;

    // How long frame `index` stays: 0 for pictures of fewer than two frames
    // or an index out of range, else the frame's delay held to 50..10000 ms.
    int FrameInterval(int index) const;
    TThreadedTimer& Timer() { return FTimer; }
    // One step of the animation, as the timer runs it.
    void TimerTick();
    // The picture as it is drawn for the shown frame (transparent pixels have
    // alpha 0); a null image when there is nothing to draw. Throws EGIFError
    // when the frame cannot be decoded; painting then reports the error once
    // (through the event loop's error handling) and stops the animation.
    QImage ComposedImage();
    // True after a frame failed to show, until the next picture is loaded.
    bool Failed() const { return FFailed; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void PictureChanged();
    std::uint32_t WindowColor() const;

    TGIFImage FImage;
    TGIFComposer FComposer;
    QImage FComposedImage;
    int FComposedImageIndex = -1;
    std::uint32_t FWindowColor = 0xFFFFFF; // read on the GUI thread
    std::recursive_mutex FLock;
    TThreadedTimer FTimer;
    bool FAnimate = false;
    bool FAutoSize = true;
    bool FCenter = false;
    bool FStretch = false;
    bool FTransparent = true;
    bool FAsyncDrawing = false;
    bool FPainting = false;
    bool FFailed = false; // a frame could not be shown; reported once
    int FFrameIndex = 0;
};

} // namespace quillory
