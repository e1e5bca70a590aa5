// The banner control: frame timing, the timer thread, looping, sizing and
// drawing over its parent.
#include "ui/GIFAnimator.h"
#include "ui/GIFWriter.h"

#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>
#include <thread>

using namespace quillory;

namespace {

// A w x h GIF with one frame per delay, frame i filled with index i % 3 + 1.
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

// A shown control on a parent, loaded with `gif`.
struct Shown {
    QWidget parent;
    TGIFAnimator* gif = new TGIFAnimator(&parent);
    explicit Shown(const std::string& bytes) {
        parent.resize(100, 60);
        parent.show();
        gif->Image().LoadFromBytes(bytes);
    }
};

TEST(GIFAnimator, DefaultsAndFrameIntervalsHeldBetween50And10000Ms) {
    TGIFAnimator a;
    EXPECT_FALSE(a.Animate() || a.Center() || a.Stretch() || a.AsyncDrawing());
    EXPECT_TRUE(a.AutoSize() && a.Transparent() && a.Loop);
    EXPECT_TRUE(a.Timer().Threaded() && a.Timer().SyncEvent);
    a.Image().LoadFromBytes(Animation({0, 20, 1500, 6600}));
    const std::pair<int, int> intervals[] = {{0, 50},  {1, 200}, {2, 10000},
                                             {3, 464}, {4, 0},   {-1, 0}};
    for (const auto& [frame, ms] : intervals)
        EXPECT_EQ(a.FrameInterval(frame), ms) << frame;
    EXPECT_EQ(a.Timer().Interval(), 50); // loading sets the timer from frame 0
}

TEST(GIFAnimator, TicksAlternateFramesAndIntervalsOnlyWhileShown) {
    Shown s(Animation({0, 20}));
    EXPECT_EQ(s.gif->size(), QSize(8, 6)); // AutoSize
    for (const auto& [frame, interval] : {std::pair{1, 200}, {0, 50}}) {
        s.gif->TimerTick();
        EXPECT_EQ(s.gif->FrameIndex(), frame);
        EXPECT_EQ(s.gif->Timer().Interval(), interval);
    }
    s.gif->hide();
    s.gif->TimerTick();
    EXPECT_EQ(s.gif->FrameIndex(), 0);
}

TEST(GIFAnimator, SingleFrameNeverTicks) {
    Shown s(Animation({10}));
    s.gif->SetAnimate(true);
    EXPECT_EQ(s.gif->Timer().Interval(), 0);
    QTest::qWait(150);
    EXPECT_EQ(s.gif->Timer().TickCount(), 0);
}

// Threaded, threaded with drawing on the timer thread, and event-loop timer:
// the animation runs past the file's loop count of 1, the frame event reaches
// the GUI thread, and stopping stops the ticks.
TEST(GIFAnimator, TimerModesAnimateForEverAndReportOnTheGuiThread) {
    const std::thread::id gui = std::this_thread::get_id();
    for (const auto& [threaded, async] : {std::pair{true, false}, {true, true}, {false, false}}) {
        SCOPED_TRACE("threaded " + std::to_string(threaded) + ", async " + std::to_string(async));
        Shown s(Animation({0, 0}, 8, 6, /*loop=*/1));
        EXPECT_TRUE(s.gif->Image().Looping);
        std::vector<std::thread::id> seen;
        s.gif->OnFrameChanged = [&] { seen.push_back(std::this_thread::get_id()); };
        s.gif->Timer().SetThreaded(threaded);
        s.gif->SetAsyncDrawing(async);
        s.gif->SetAnimate(true);
        // 50 ms frames: five ticks pass frame 0 twice more than the file asks.
        EXPECT_TRUE(QTest::qWaitFor([&] { return s.gif->Timer().TickCount() >= 5; }, 3000));
        s.gif->SetAnimate(false);
        const int ticks = s.gif->Timer().TickCount();
        EXPECT_TRUE(QTest::qWaitFor([&] { return !seen.empty(); }, 1000));
        QTest::qWait(120);
        EXPECT_EQ(s.gif->Timer().TickCount(), ticks);
        EXPECT_EQ(std::count(seen.begin(), seen.end(), gui), static_cast<long>(seen.size()));
    }
}

TEST(GIFAnimator, WithoutLoopStopsBackOnFrameZero) {
    Shown s(Animation({0, 0, 0}));
    bool stopped = false;
    s.gif->OnStop = [&] { stopped = true; };
    s.gif->Loop = false;
    s.gif->SetAnimate(true);
    EXPECT_TRUE(QTest::qWaitFor([&] { return stopped; }, 3000));
    EXPECT_EQ(s.gif->FrameIndex(), 0);
    EXPECT_EQ(s.gif->Timer().TickCount(), 3);
}

TEST(GIFAnimator, TransparentPixelsShowTheParentUnlessSwitchedOff) {
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

    const QColor back(0x33, 0x66, 0x99), red(0xFF, 0, 0);
    QWidget panel;
    panel.setAutoFillBackground(true);
    QPalette pal = panel.palette();
    pal.setColor(QPalette::Window, back);
    panel.setPalette(pal);
    panel.resize(20, 10);
    auto* gif = new TGIFAnimator(&panel);
    gif->move(5, 3);
    gif->Image().LoadFromBytes(WriteGIF(img));
    panel.show();
    QImage shot = panel.grab().toImage();
    EXPECT_EQ(shot.pixelColor(5, 3), back);
    EXPECT_EQ(shot.pixelColor(6, 3), red);
    EXPECT_EQ(shot.pixelColor(5, 4), red);
    gif->SetTransparent(false);
    EXPECT_EQ(panel.grab().toImage().pixelColor(5, 3), QColor(0, 0, 0));
}

TEST(GIFAnimator, ClickRaisesOnClick) {
    Shown s(Animation({0}));
    int clicks = 0;
    s.gif->OnClick = [&] { ++clicks; };
    QTest::mouseClick(s.gif, Qt::LeftButton, {}, QPoint(2, 2));
    EXPECT_EQ(clicks, 1);
}

} // namespace

namespace {

// Frame 0 has its own colours; frame 1 none at all, so it cannot be decoded.
std::string LateFault() {
    TGIFWriterImage img;
    img.Width = 8;
    img.Height = 6;
    for (int i = 0; i < 2; ++i) {
        TGIFWriterFrame f;
        f.Width = 8;
        f.Height = 6;
        f.Pixels.assign(48, 1);
        if (i == 0)
            f.LocalColorTable = {0x000000, 0xFF0000};
        img.Frames.push_back(f);
    }
    return WriteGIF(img);
}

} // namespace

// A frame that cannot be shown is told once, however often it would be
// painted; the animation stops until another picture is loaded.
TEST(GIFAnimator, AFrameThatCannotBeShownIsToldOnce) {
    for (bool animate : {false, true}) {
        Shown s(LateFault());
        std::vector<std::string> told;
        s.gif->OnError = [&](const std::string& m) { told.push_back(m); };
        s.gif->SetAnimate(animate);
        for (int i = 0; i < 5; ++i) {
            s.gif->SetFrameIndex(1);
            s.gif->repaint();
            QCoreApplication::processEvents();
        }
        if (animate)
            QTest::qWait(200); // ticks would come every 50 ms
        ASSERT_EQ(told.size(), 1u) << animate;
        EXPECT_EQ(told[0], "Invalid number of colours, must be a power of 2");
        EXPECT_TRUE(s.gif->Failed());
        EXPECT_FALSE(s.gif->Timer().Enabled());
        // A good picture clears the failure and animates again.
        s.gif->Image().LoadFromBytes(Animation({0, 0}));
        EXPECT_FALSE(s.gif->Failed());
        EXPECT_EQ(s.gif->Timer().Enabled(), animate);
        s.gif->repaint();
        QCoreApplication::processEvents();
        EXPECT_EQ(told.size(), 1u);
    }
}
