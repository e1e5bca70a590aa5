#include "GIFAnimator.h"

#include <QMouseEvent>
#include <QPainter>
#include <QTimer>

#include <algorithm>
#include <chrono>

namespace quillory {

// --- TThreadedTimer ----------------------------------------------------------

TThreadedTimer::TThreadedTimer(QObject* owner) : QObject(owner) {
    FThread = std::thread([this] { ThreadLoop(); });
}

TThreadedTimer::~TThreadedTimer() {
    {
        std::lock_guard<std::mutex> lk(FLock);
        FTerminated = true;
    }
    FWake.notify_all();
    FThread.join();
}

void TThreadedTimer::Wake() {
    ++FGeneration;
    FWake.notify_all();
}

void TThreadedTimer::SetEnabled(bool on) {
    {
        std::lock_guard<std::mutex> lk(FLock);
        FEnabled = on;
        Wake();
    }
    if (FPlainTimer) {
        if (on && FInterval > 0 && FOnTimer)
            FPlainTimer->start(FInterval);
        else
            FPlainTimer->stop();
    }
}

void TThreadedTimer::SetInterval(int ms) {
    {
        std::lock_guard<std::mutex> lk(FLock);
        if (FInterval == ms)
            return;
        FInterval = ms;
        Wake();
    }
    if (FPlainTimer) {
        if (FEnabled && ms > 0 && FOnTimer)
            FPlainTimer->start(ms);
        else
            FPlainTimer->stop();
    }
}

void TThreadedTimer::SetThreaded(bool on) {
    {
        std::lock_guard<std::mutex> lk(FLock);
        FThreaded = on;
        Wake();
    }
    if (!on && !FPlainTimer) {
        FPlainTimer = new QTimer(this);
        connect(FPlainTimer, &QTimer::timeout, this, [this] { RunTick(); });
    }
    if (FPlainTimer) {
        if (!on && FEnabled && FInterval > 0 && FOnTimer)
            FPlainTimer->start(FInterval);
        else
            FPlainTimer->stop();
    }
}

void TThreadedTimer::SetOnTimer(std::function<void()> handler) {
    {
        std::lock_guard<std::mutex> lk(FLock);
        FOnTimer = std::move(handler);
        Wake();
    }
    if (FPlainTimer && !FThreaded) {
        if (FEnabled && FInterval > 0 && FOnTimer)
            FPlainTimer->start(FInterval);
        else
            FPlainTimer->stop();
    }
}

bool TThreadedTimer::HasOnTimer() const {
    std::lock_guard<std::mutex> lk(FLock);
    return static_cast<bool>(FOnTimer);
}

void TThreadedTimer::RunTick() {
    std::function<void()> handler;
    {
        std::lock_guard<std::mutex> lk(FLock);
        if (FEnabled)
            handler = FOnTimer;
    }
    if (handler) {
        ++FTicks;
        handler();
    }
    {
        std::lock_guard<std::mutex> lk(FLock);
        FTickPending = false;
    }
    FWake.notify_all();
}

void TThreadedTimer::ThreadLoop() {
    std::unique_lock<std::mutex> lk(FLock);
    while (!FTerminated) {
        if (!FThreaded || !FEnabled || FInterval <= 0 || !FOnTimer) {
            // Idle until something changes.
            const unsigned gen = FGeneration;
            FWake.wait(lk, [&] { return FTerminated || FGeneration != gen; });
            continue;
        }
        const unsigned gen = FGeneration;
        const bool changed = FWake.wait_for(lk, std::chrono::milliseconds(FInterval),
                                            [&] { return FTerminated || FGeneration != gen; });
        if (changed || !FEnabled || !FOnTimer)
            continue;
        if (RunOnTimerThread) {
            std::function<void()> handler = FOnTimer;
            lk.unlock();
            ++FTicks;
            handler();
            lk.lock();
            continue;
        }
        // Hand the tick to the GUI thread; with SyncEvent, wait until it ran.
        FTickPending = true;
        QMetaObject::invokeMethod(
            this, [this] { RunTick(); }, Qt::QueuedConnection);
        if (SyncEvent)
            FWake.wait(lk, [&] { return FTerminated || !FTickPending; });
    }
}

// --- TGIFAnimator ------------------------------------------------------------

TGIFAnimator::TGIFAnimator(QWidget* parent) : QWidget(parent) {
    FTimer.SetEnabled(false);
    FWindowColor = WindowColor();
    FImage.OnChange = [this] { PictureChanged(); };
}

TGIFAnimator::~TGIFAnimator() {
    FTimer.SetEnabled(false);
    FTimer.SetOnTimer(nullptr);
    FImage.OnChange = nullptr;
}

void TGIFAnimator::SetAnimate(bool on) {
    if (FAnimate == on)
        return;
    FAnimate = on;
    if (on) {
        FTimer.SetOnTimer([this] { TimerTick(); });
        FTimer.SetEnabled(true);
        if (OnStart)
            OnStart();
    } else {
        FTimer.SetEnabled(false);
        FTimer.SetOnTimer(nullptr);
        if (OnStop)
            OnStop();
        update();
    }
}

void TGIFAnimator::SetAutoSize(bool on) {
    FAutoSize = on;
    if (on && !FImage.Empty())
        resize(FImage.ScreenWidth, FImage.ScreenHeight);
}

void TGIFAnimator::SetCenter(bool on) {
    std::lock_guard<std::recursive_mutex> lk(FLock);
    FCenter = on;
    update();
}

void TGIFAnimator::SetStretch(bool on) {
    std::lock_guard<std::recursive_mutex> lk(FLock);
    FStretch = on;
    update();
}

void TGIFAnimator::SetTransparent(bool on) {
    std::lock_guard<std::recursive_mutex> lk(FLock);
    if (FTransparent == on)
        return;
    FTransparent = on;
    FComposer.Drop();
    FComposedImageIndex = -1;
    update();
}

void TGIFAnimator::SetAsyncDrawing(bool on) {
    std::lock_guard<std::recursive_mutex> lk(FLock);
    FAsyncDrawing = on;
    FTimer.RunOnTimerThread = on;
}

void TGIFAnimator::SetFrameIndex(int index) {
    {
        std::lock_guard<std::recursive_mutex> lk(FLock);
        if (FImage.Empty())
            return;
        FFrameIndex = std::clamp(index, 0, FImage.FrameCount() - 1);
        FTimer.SetInterval(FrameInterval(FFrameIndex));
    }
    update();
}

int TGIFAnimator::FrameInterval(int index) const {
    if (FImage.FrameCount() < 2 || index < 0 || index >= FImage.FrameCount())
        return 0;
    return std::clamp(static_cast<int>(FImage.Frame(index).Delay), 50, 10000);
}

std::uint32_t TGIFAnimator::WindowColor() const {
    return palette().color(QPalette::Base).rgb() & 0xFFFFFF;
}

void TGIFAnimator::PictureChanged() {
    {
        std::lock_guard<std::recursive_mutex> lk(FLock);
        FFailed = false;
        FTimer.SetEnabled(FAnimate);
        FComposer.Drop();
        FComposedImage = QImage();
        FComposedImageIndex = -1;
        FFrameIndex = std::max(FImage.FrameIndex, 0);
        FWindowColor = WindowColor();
        FTimer.SetInterval(FrameInterval(FFrameIndex));
    }
    if (FAutoSize && !FImage.Empty())
        resize(FImage.ScreenWidth, FImage.ScreenHeight);
    update();
    if (OnChange)
        OnChange();
}

void TGIFAnimator::TimerTick() {
    if (FFailed || !isVisible() || FImage.FrameCount() < 2 || !parentWidget())
        return;
    std::unique_lock<std::recursive_mutex> lk(FLock);
    if (FPainting)
        return;
    FFrameIndex = FFrameIndex >= FImage.FrameCount() - 1 ? 0 : FFrameIndex + 1;
    const bool stop = !Loop && FFrameIndex == 0;
    FTimer.SetInterval(FrameInterval(FFrameIndex));
    if (FAsyncDrawing) {
        // Compose here, on the timer thread; the GUI thread only shows it. A
        // frame that fails is left to the painting, which reports it once.
        try {
            ComposedImage();
        } catch (const std::exception&) {
        }
        lk.unlock();
        QMetaObject::invokeMethod(
            this,
            [this, stop] {
                if (OnFrameChanged)
                    OnFrameChanged();
                update();
                if (stop)
                    SetAnimate(false);
            },
            Qt::QueuedConnection);
        return;
    }
    if (OnFrameChanged)
        OnFrameChanged();
    repaint();
    lk.unlock();
    if (stop)
        SetAnimate(false);
}

QImage TGIFAnimator::ComposedImage() {
    std::lock_guard<std::recursive_mutex> lk(FLock);
    if (FImage.Empty() || FImage.ScreenWidth < 1 || FImage.ScreenHeight < 1)
        return QImage();
    const TGIFComposed& c = FComposer.Compose(FImage, FFrameIndex, FWindowColor, FTransparent);
    // The cache changes in place as frames follow each other: convert anew
    // whenever it shows another frame.
    if (FComposedImageIndex != c.FrameIndex || FComposedImage.isNull()) {
        QImage img(c.Width, c.Height, QImage::Format_ARGB32);
        for (int y = 0; y < c.Height; ++y) {
            auto* line = reinterpret_cast<QRgb*>(img.scanLine(y));
            const std::uint32_t* src =
                c.Pixels.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(c.Width);
            for (int x = 0; x < c.Width; ++x)
                line[x] =
                    c.TransparentColor && src[x] == *c.TransparentColor ? 0u : 0xFF000000u | src[x];
        }
        FComposedImage = img;
        FComposedImageIndex = c.FrameIndex;
    }
    return FComposedImage;
}

void TGIFAnimator::paintEvent(QPaintEvent*) {
    // Qt paints every widget into its back buffer first and shows the result
    // at once, so drawing here never flickers.
    std::lock_guard<std::recursive_mutex> lk(FLock);
    FPainting = true;
    QPainter p(this);
    if (!FImage.Empty() && !FImage.IsTransparent() && parentWidget())
        p.fillRect(rect(), parentWidget()->palette().color(QPalette::Window));
    // A transparent or empty picture leaves the parent's own painting, drawn
    // underneath, to show through.
    QImage img;
    if (!FFailed) {
        try {
            img = ComposedImage();
        } catch (const std::exception& e) {
            // A frame that cannot be shown is reported once, outside the
            // painting; the animation stops instead of failing on every tick.
            FFailed = true;
            FTimer.SetEnabled(false);
            const std::string message = e.what();
            QMetaObject::invokeMethod(
                this,
                [this, message] {
                    if (!OnError)
                        throw std::runtime_error(message);
                    OnError(message);
                },
                Qt::QueuedConnection);
        }
    }
    if (!img.isNull()) {
        if (FStretch)
            p.drawImage(rect(), img);
        else if (FCenter)
            p.drawImage(QPoint((width() - img.width()) / 2, (height() - img.height()) / 2), img);
        else
            p.drawImage(QPoint(0, 0), img);
    }
    FPainting = false;
}

void TGIFAnimator::mouseReleaseEvent(QMouseEvent* event) {
    QWidget::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()) &&
        OnClick)
        OnClick();
}

} // namespace quillory
