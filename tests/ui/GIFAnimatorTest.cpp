// The banner control: frame timing, the timer thread, looping, sizing and
// drawing over its parent.
#include "ui/GIFAnimator.h"
#include "ui/GIFWriter.h"

#include <QTest>

#include <gtest/gtest.h>

using namespace quillory;

namespace {

// A GIF of `delays.size()` frames, each filling the screen with its own
// colour (index i + 1); `transparent` makes index 0 see-through in frame 0.
std::string Animation(const std::vector<int>& delaysCs, int w = 8, int h = 6, int loop = -1) {
    TGIFWriterImage img;
    img.Width = w;
    img.Height = h;
    img.GlobalColorTable = {0x000000, 0xFF0000, 0x00FF00, 0x0000FF};
    img.LoopCount = loop;
    for (std::size_t i = 0; i < delaysCs.size(); ++i) {
        TGIFWriterFrame f;
        f.Width = w;
        f.Height = h;
        f.Pixels.assign(static_cast<std::size_t>(w * h), static_cast<std::uint8_t>(i % 3 + 1));
        f.DelayCs = delaysCs[i];
        img.Frames.push_back(f);
    }
    return WriteGIF(img);
}

struct Shown {
    QWidget parent;
    TGIFAnimator* gif;
    Shown() {
        parent.resize(100, 60);
        gif = new TGIFAnimator(&parent);
        parent.show();
    }
};

TEST(GIFAnimator, Defaults) {
    TGIFAnimator a;
    EXPECT_FALSE(a.Animate());
    EXPECT_TRUE(a.AutoSize());
    EXPECT_FALSE(a.Center());
    EXPECT_FALSE(a.Stretch());
    EXPECT_TRUE(a.Transparent());
    EXPECT_TRUE(a.Loop);
    EXPECT_FALSE(a.AsyncDrawing());
    EXPECT_EQ(a.Timer().Interval(), 1000);
    EXPECT_TRUE(a.Timer().Threaded());
    EXPECT_TRUE(a.Timer().SyncEvent);
}

TEST(GIFAnimator, FrameIntervalsAreHeldBetween50And10000Ms) {
    TGIFAnimator a;
    a.Image().LoadFromBytes(Animation({0, 20, 1500, 6600}));
    EXPECT_EQ(a.FrameInterval(0), 50);
    EXPECT_EQ(a.FrameInterval(1), 200);
    EXPECT_EQ(a.FrameInterval(2), 10000);
    EXPECT_EQ(a.FrameInterval(3), 464);
    EXPECT_EQ(a.FrameInterval(4), 0);
    EXPECT_EQ(a.FrameInterval(-1), 0);
    // Loading sets the timer from frame 0.
    EXPECT_EQ(a.Timer().Interval(), 50);
}

TEST(GIFAnimator, TicksAlternateFramesAndIntervals) {
    Shown s;
    s.gif->Image().LoadFromBytes(Animation({0, 20}));
    EXPECT_EQ(s.gif->size(), QSize(8, 6)); // AutoSize
    EXPECT_EQ(s.gif->FrameIndex(), 0);
    s.gif->TimerTick();
    EXPECT_EQ(s.gif->FrameIndex(), 1);
    EXPECT_EQ(s.gif->Timer().Interval(), 200);
    s.gif->TimerTick();
    EXPECT_EQ(s.gif->FrameIndex(), 0);
    EXPECT_EQ(s.gif->Timer().Interval(), 50);
    // Hidden: ticks do nothing.
    s.gif->hide();
    s.gif->TimerTick();
    EXPECT_EQ(s.gif->FrameIndex(), 0);
}

TEST(GIFAnimator, SingleFrameNeverTicks) {
    Shown s;
    s.gif->SetAnimate(true);
    s.gif->Image().LoadFromBytes(Animation({10}));
    EXPECT_EQ(s.gif->Timer().Interval(), 0);
    QTest::qWait(150);
    EXPECT_EQ(s.gif->Timer().TickCount(), 0);
}

TEST(GIFAnimator, TimerThreadAnimatesForEverDespiteTheFileLoopCount) {
    Shown s;
    int changes = 0;
    s.gif->OnFrameChanged = [&] { ++changes; };
    s.gif->Image().LoadFromBytes(Animation({0, 0}, 8, 6, /*loop=*/1));
    EXPECT_TRUE(s.gif->Image().Looping);
    s.gif->SetAnimate(true);
    // 50 ms frames: five changes pass frame 0 twice more than the file asks.
    EXPECT_TRUE(QTest::qWaitFor([&] { return changes >= 5; }, 3000));
    s.gif->SetAnimate(false);
    const int stopped = changes;
    QTest::qWait(120);
    EXPECT_EQ(changes, stopped);
}

TEST(GIFAnimator, WithoutLoopStopsBackOnFrameZero) {
    Shown s;
    bool stopped = false;
    s.gif->OnStop = [&] { stopped = true; };
    s.gif->Loop = false;
    s.gif->Image().LoadFromBytes(Animation({0, 0, 0}));
    s.gif->SetAnimate(true);
    EXPECT_TRUE(QTest::qWaitFor([&] { return stopped; }, 3000));
    EXPECT_EQ(s.gif->FrameIndex(), 0);
    EXPECT_EQ(s.gif->Timer().TickCount(), 3);
}

TEST(GIFAnimator, TicksRunOnTheGuiThread) {
    Shown s;
    std::thread::id seen;
    s.gif->OnFrameChanged = [&] { seen = std::this_thread::get_id(); };
    s.gif->Image().LoadFromBytes(Animation({0, 0}));
    s.gif->SetAnimate(true);
    EXPECT_TRUE(QTest::qWaitFor([&] { return seen != std::thread::id(); }, 3000));
    EXPECT_EQ(seen, std::this_thread::get_id());
}

TEST(GIFAnimator, AsyncDrawingComposesOnTheTimerThread) {
    Shown s;
    std::thread::id changedOn;
    s.gif->OnFrameChanged = [&] { changedOn = std::this_thread::get_id(); };
    s.gif->SetAsyncDrawing(true);
    s.gif->Image().LoadFromBytes(Animation({0, 0}));
    s.gif->SetAnimate(true);
    EXPECT_TRUE(QTest::qWaitFor([&] { return s.gif->Timer().TickCount() >= 3; }, 3000));
    s.gif->SetAnimate(false);
    // Only the event reaches the GUI thread.
    EXPECT_TRUE(QTest::qWaitFor([&] { return changedOn != std::thread::id(); }, 1000));
    EXPECT_EQ(changedOn, std::this_thread::get_id());
}

TEST(GIFAnimator, UnthreadedTimerTicksFromTheEventLoop) {
    Shown s;
    s.gif->Timer().SetThreaded(false);
    s.gif->Image().LoadFromBytes(Animation({0, 0}));
    s.gif->SetAnimate(true);
    EXPECT_TRUE(QTest::qWaitFor([&] { return s.gif->Timer().TickCount() >= 3; }, 3000));
    s.gif->SetAnimate(false);
    const int ticks = s.gif->Timer().TickCount();
    QTest::qWait(120);
    EXPECT_EQ(s.gif->Timer().TickCount(), ticks);
}

TEST(GIFAnimator, TransparentPixelsShowTheParent) {
    TGIFWriterImage img;
    img.Width = 4;
    img.Height = 2;
    img.GlobalColorTable = {0x000000, 0xFF0000};
    TGIFWriterFrame f;
    f.Width = 4;
    f.Height = 2;
    f.Pixels = {0, 1, 0, 1, 1, 1, 1, 1};
    f.TransparentIndex = 0;
    img.Frames.push_back(f);

    QWidget panel;
    panel.setAutoFillBackground(true);
    QPalette pal = panel.palette();
    pal.setColor(QPalette::Window, QColor(0x33, 0x66, 0x99));
    panel.setPalette(pal);
    panel.resize(20, 10);
    auto* gif = new TGIFAnimator(&panel);
    gif->move(5, 3);
    gif->Image().LoadFromBytes(WriteGIF(img));
    panel.show();
    QImage shot = panel.grab().toImage();
    EXPECT_EQ(shot.pixelColor(5, 3), QColor(0x33, 0x66, 0x99));
    EXPECT_EQ(shot.pixelColor(6, 3), QColor(0xFF, 0, 0));
    EXPECT_EQ(shot.pixelColor(5, 4), QColor(0xFF, 0, 0));

    // Transparent off: the picture covers its rectangle.
    gif->SetTransparent(false);
    shot = panel.grab().toImage();
    EXPECT_EQ(shot.pixelColor(5, 3), QColor(0, 0, 0));
}

TEST(GIFAnimator, ClickRaisesOnClick) {
    Shown s;
    s.gif->Image().LoadFromBytes(Animation({0}));
    int clicks = 0;
    s.gif->OnClick = [&] { ++clicks; };
    QTest::mouseClick(s.gif, Qt::LeftButton, {}, QPoint(2, 2));
    EXPECT_EQ(clicks, 1);
}

} // namespace
