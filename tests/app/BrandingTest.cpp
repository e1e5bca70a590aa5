// The branding package: caption, banner and link choices, banner pictures by
// their configured extension, the panel size and centring, failures, and
// screenshots of the branded window.
#include "AppFixture.h"
#include "platform/FileSystem.h"
#include "platform/ProfileFile.h"
#include "tests/support/ModalHelper.h"
#include "tests/support/PictureBytes.h"
#include "ui/BrandingPackage.h"
#include "ui/GIFAnimator.h"
#include "ui/GIFWriter.h"
#include "ui/SkinData.h"
#include "ui/SkinPackage.h"
#include "ui/StillPicture.h"

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QLabel>
#include <QTest>

#include <array>
#include <fstream>
#include <functional>
#include <set>

#include <sys/stat.h>

using namespace quillory;
using namespace quillory::test;

namespace {

class BrandingTest : public AppFixture {
protected:
    void Config(const std::string& text) {
        std::ofstream(File("dbconfig.dat")) << "[Settings]\r\n" << text;
    }
    void Write(const std::string& name, const std::string& bytes) {
        std::ofstream(File(name), std::ios::binary) << bytes;
    }
    // A one-colour picture file of the given size in a Qt-written format.
    void Picture(const std::string& name, int w, int h, const char* format, QColor c = Qt::red) {
        QImage img(w, h, QImage::Format_RGB32);
        img.fill(c);
        ASSERT_TRUE(img.save(QString::fromStdString(File(name)), format));
    }
    // A two-frame black and green animation.
    void Gif(const std::string& name, int w, int h) {
        TGIFWriterImage gif;
        gif.Width = w;
        gif.Height = h;
        gif.GlobalColorTable = {0x000000, 0x00FF00};
        for (int i = 0; i < 2; ++i) {
            TGIFWriterFrame f;
            f.Width = w;
            f.Height = h;
            f.Pixels.assign(static_cast<std::size_t>(w * h), static_cast<std::uint8_t>(i));
            f.DelayCs = 10;
            gif.Frames.push_back(f);
        }
        Write(name, WriteGIF(gif));
    }
    // A 2 x 2 frame on a 65535 x 65535 screen.
    static std::string HugeScreenGif() {
        TGIFWriterImage gif;
        gif.Width = gif.Height = 65535;
        gif.GlobalColorTable = {0x000000, 0x00FF00};
        TGIFWriterFrame f;
        f.Width = f.Height = 2;
        f.Pixels.assign(4, 1);
        gif.Frames.push_back(f);
        return WriteGIF(gif);
    }
    static QLabel* Label(QWidget& w, const char* name) { return w.findChild<QLabel*>(name); }
    static QWidget* Widget(QWidget& w, const char* name) { return w.findChild<QWidget*>(name); }
    static bool BannerShown(QWidget& w) { return Widget(w, "panBanner")->isVisibleTo(&w); }
    void ExpectNoErrors() { EXPECT_TRUE(errors.isEmpty()) << errors.join("\n").toStdString(); }
    // A link label as "caption|address".
    static std::string Link(QWidget& w, const char* name) {
        return Label(w, name)->text().toStdString() + "|" +
               Label(w, name)->property("address").toString().toStdString();
    }
};

TEST_F(BrandingTest, CaptionFollowsTheProductName) {
    {
        QuietMain plain;
        EXPECT_EQ(plain.windowTitle(), "Quillory"); // no package: no version either
        EXPECT_EQ(Link(plain, "lblLink1URL"), "Google|http://www.google.com/");
        EXPECT_TRUE(BannerShown(plain));
    }
    Config("AfiliateID=\r\n");
    EXPECT_EQ(QuietMain().windowTitle(), "Quillory v1.01");
    // A name, no banners, no links: panel hidden, both labels empty.
    Config("AppName=Coupon Master\r\n");
    QuietMain named;
    EXPECT_EQ(named.windowTitle(), "Coupon Master v1.01");
    EXPECT_FALSE(BannerShown(named));
    EXPECT_EQ(Link(named, "lblLink1URL"), "|");
    EXPECT_EQ(Link(named, "lblLink2URL"), "|");
    // A configured banner without its picture file: panel hidden too.
    Config("BannerPath1=banner.gif\r\n");
    QuietMain missing;
    EXPECT_FALSE(BannerShown(missing));
    ExpectNoErrors();
}

TEST_F(BrandingTest, LinksAreChosenFromTheConfiguredOnes) {
    Config("Link3URL=http://three/\r\nLink3Name=Three\r\n");
    {
        QuietMain one;
        EXPECT_EQ(Link(one, "lblLink1URL"), "Three|http://three/");
        EXPECT_EQ(Link(one, "lblLink2URL"), "|");
    }
    Config("Link1URL=http://one/\r\nLink1Name=One\r\nLink2URL=http://two/\r\nLink2Name=Two\r\n"
           "Link3URL=http://three/\r\nLink3Name=Three\r\nLink4URL=http://four/\r\n");
    const std::set<std::string> configured = {"One|http://one/", "Two|http://two/",
                                              "Three|http://three/", "|http://four/"};
    std::set<std::string> seen;
    for (int i = 0; i < 12; ++i) {
        QuietMain four;
        const std::string a = Link(four, "lblLink1URL"), b = Link(four, "lblLink2URL");
        EXPECT_NE(a, b);
        EXPECT_TRUE(configured.count(a)) << a;
        EXPECT_TRUE(configured.count(b)) << b;
        seen.insert(a);
    }
    EXPECT_GT(seen.size(), 1u); // the choice changes from start to start
}

TEST_F(BrandingTest, GifBannerByTheLowerCasedPath) {
    Config("BannerPath1=C:\\Ads\\SPRING.GIF\r\nBannerURL1=http://shop/spring\r\n");
    Gif("dbimg1.dat", 300, 40);
    QuietMain main;
    main.show();
    auto* gif = static_cast<TGIFAnimator*>(Widget(main, "gifBanner"));
    EXPECT_TRUE(gif->isVisible());
    EXPECT_FALSE(Label(main, "imgBanner")->isVisible());
    EXPECT_EQ(gif->size(), QSize(300, 40));
    EXPECT_EQ(gif->Image().FrameCount(), 2);
    EXPECT_TRUE(gif->Animate());
    EXPECT_EQ(Widget(main, "panBanner")->height(), 50);
    EXPECT_EQ(gif->pos(), QPoint(775 / 2 - 150, 5));
    EXPECT_EQ(gif->cursor().shape(), Qt::PointingHandCursor);
    // Read in place: the stored file keeps its name, nothing else appears.
    EXPECT_TRUE(FileExists(File("dbimg1.dat")));
    EXPECT_FALSE(FileExists(File("SPRING.GIF")));
    ExpectNoErrors();
}

TEST_F(BrandingTest, StillBannersByTheirExtension) {
    struct {
        const char* Name;
        const char* Format;
    } cases[] = {{"offer.jpeg", "JPG"},
                 {"offer.JPG", "JPG"},
                 {"C:\\my.gifs\\offer.jpg", "JPG"},
                 {"offer.bmp", "BMP"},
                 {"offer.ico", "ICO"}};
    for (const auto& c : cases) {
        Config(std::string("BannerPath1=") + c.Name + "\r\n");
        const int side = std::string(c.Format) == "ICO" ? 48 : 468;
        const int height = std::string(c.Format) == "ICO" ? 48 : 60;
        Picture("dbimg1.dat", side, height, c.Format, QColor(0x20, 0x80, 0xE0));
        QuietMain main;
        main.show();
        QLabel* img = Label(main, "imgBanner");
        EXPECT_TRUE(img->isVisible()) << c.Name;
        EXPECT_FALSE(Widget(main, "gifBanner")->isVisible()) << c.Name;
        EXPECT_EQ(img->size(), QSize(side, height)) << c.Name;
        EXPECT_EQ(Widget(main, "panBanner")->height(), height + 10) << c.Name;
        // No address: no hand cursor.
        EXPECT_NE(img->cursor().shape(), Qt::PointingHandCursor) << c.Name;
        const QColor shown = img->pixmap().toImage().pixelColor(side / 2, height / 2);
        EXPECT_NEAR(shown.red(), 0x20, 6) << c.Name;
        EXPECT_NEAR(shown.blue(), 0xE0, 6) << c.Name;
    }
    ExpectNoErrors();
}

TEST_F(BrandingTest, Banner468x60SitsAt153And5InA70PixelPanel) {
    Config("BannerPath1=banner.jpg\r\nBannerURL1=http://shop/\r\n");
    Picture("dbimg1.dat", 468, 60, "JPG");
    QuietMain main;
    main.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&main));
    EXPECT_EQ(Widget(main, "panBanner")->height(), 70);
    EXPECT_EQ(Widget(main, "panBanner")->width(), 775);
    EXPECT_EQ(Label(main, "imgBanner")->pos(), QPoint(153, 5));
    EXPECT_EQ(Label(main, "imgBanner")->cursor().shape(), Qt::PointingHandCursor);
    main.resize(975, 516);
    QCoreApplication::processEvents();
    EXPECT_EQ(Label(main, "imgBanner")->pos(), QPoint(253, 5));
}

TEST_F(BrandingTest, BannersAreNumberedByPosition) {
    // Only key 3 is set: its picture is the first stored file.
    Config("BannerPath3=third.bmp\r\n");
    Picture("dbimg1.dat", 100, 20, "BMP");
    QuietMain main;
    EXPECT_TRUE(BannerShown(main));
    EXPECT_EQ(Label(main, "imgBanner")->size(), QSize(100, 20));
    EXPECT_EQ(StoredBannerName(0), "dbimg1.dat");
    EXPECT_EQ(StoredBannerName(2), "dbimg3.dat");
}

TEST_F(BrandingTest, BannerThatCannotBeShownIsSkippedAfterOneMessage) {
    WriteProfileString(File("settings.dat"), "Settings", "webserver", "http://127.0.0.1:9/");
    const std::string jpeg = JpegBytes(64, 32);
    const struct {
        const char* Name;
        std::string Bytes;
        std::string Reason; // the message is "...: <reason>..." or the size message
    } cases[] = {
        {"banner.png", "whatever", "Unknown picture file extension (.png)"},
        {"banner.WMF", "whatever", "Unknown picture file extension (.WMF)"},
        {"banner.emf", "whatever", "Unknown picture file extension (.emf)"},
        {"banner", "whatever", "Unknown picture file extension (.)"},
        {"banner.bmp", "BM broken", "Bitmap image is not valid"},
        {"banner.gif", "GIF88a....", "GIF image version not recognised"},
        {"b.jpg", std::string("\xFF\xD8\xFF\xE0 not really", 15), "JPEG error: "},
        // Cut short: refused, never padded with grey.
        {"cut.jpg", jpeg.substr(0, jpeg.size() * 2 / 3), "JPEG error: "},
        // Larger than the panel, told from the headers.
        {"wide.jpg", WithJpegSize(jpeg, 776, 32), "is 776 x 32 pixels"},
        {"huge.gif", HugeScreenGif(), "is 65535 x 65535 pixels"},
        {"tall.bmp", WriteBitmap24(20, 201, std::vector<std::uint32_t>(20 * 201)),
         "is 20 x 201 pixels"},
    };
    for (const auto& c : cases) {
        errors.clear();
        Config("AppName=Shop\r\nBannerPath1=" + std::string(c.Name) + "\r\nLink1URL=http://x/\r\n");
        Write("dbimg1.dat", c.Bytes);
        QuietMain main;
        ASSERT_EQ(errors.size(), 1) << c.Name << ": " << errors.join("|").toStdString();
        EXPECT_TRUE(errors[0].contains(c.Reason.c_str()) &&
                    errors[0].contains("The program starts without the banner."))
            << errors[0].toStdString();
        // Treated like a missing banner: the rest of the start-up goes on.
        EXPECT_FALSE(BannerShown(main)) << c.Name;
        EXPECT_EQ(main.windowTitle(), "Shop v1.01");
        EXPECT_EQ(Link(main, "lblLink1URL"), "|http://x/") << c.Name;
        EXPECT_EQ(main.WebServer(), "http://127.0.0.1:9/") << c.Name;
        EXPECT_TRUE(main.StartupTimer().isActive()) << c.Name;
        main.show();
        EXPECT_TRUE(main.isVisible());
        EXPECT_EQ(main.height(), 516) << c.Name; // never stretched by the picture
        EXPECT_TRUE(FileExists(File("dbimg1.dat")));
    }
    // The largest banner the panel shows is taken.
    errors.clear();
    Config("BannerPath1=edge.jpg\r\n");
    Write("dbimg1.dat", JpegBytes(775, 200));
    QuietMain edge;
    EXPECT_TRUE(BannerShown(edge));
    EXPECT_EQ(Widget(edge, "panBanner")->height(), 210);
    ExpectNoErrors();
}

// Banners and the skin package are read only when they are regular files of
// at most 16 MiB: a named pipe never blocks the start-up, a device never
// floods it. Each loader meets another kind; the built-in skin stays.
TEST_F(BrandingTest, BannerAndSkinThatAreNoRegularFilesAreRefused) {
    const auto fifo = [](const std::string& p) { ASSERT_EQ(::mkfifo(p.c_str(), 0600), 0); };
    const auto zero = [](const std::string& p) { std::filesystem::create_symlink("/dev/zero", p); };
    const auto big = [](const std::string& p) {
        std::ofstream(p) << std::string((16 << 20) + 1, 'G');
    };
    const struct {
        const char* Config;
        const char* File;
        std::function<void(const std::string&)> Make;
        const char* Reason;
    } cases[] = {
        {"BannerPath1=b.gif", "dbimg1.dat", fifo, "Not a regular file"},
        {"BannerPath1=b.jpg", "dbimg1.dat", zero, "Not a regular file"},
        {"BannerPath1=b.bmp", "dbimg1.dat", big, "Larger than 16 MiB"},
        {"BannerPath1=b.gif", "dbimg1.dat", big, "Larger than 16 MiB"},
        {"AppName=Shop", "dbskin.dat", fifo, "Not a regular file"},
        {"AppName=Shop", "dbskin.dat", zero, "Not a regular file"},
        {"AppName=Shop", "dbskin.dat", big, "Larger than 16 MiB"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.Config) + " " + c.Reason);
        errors.clear();
        std::filesystem::remove(File(c.File));
        Config(std::string(c.Config) + "\r\nLink1URL=http://x/\r\n");
        c.Make(File(c.File));
        QuietMain main;
        ASSERT_EQ(errors.size(), 1);
        EXPECT_TRUE(errors[0].contains(c.Reason)) << errors[0].toStdString();
        if (c.File == std::string("dbskin.dat")) {
            EXPECT_TRUE(errors[0].startsWith("Cannot open file")) << errors[0].toStdString();
        }
        EXPECT_FALSE(BannerShown(main));
        EXPECT_EQ(Link(main, "lblLink1URL"), "|http://x/");
        EXPECT_FALSE(main.SkinData().Empty());
        std::filesystem::remove(File(c.File));
    }
}

// With the program's own dialogs: each picture error opens exactly one, also
// a frame that fails only once the animation reaches it.
TEST_F(BrandingTest, OnePictureErrorOpensOneDialog) {
    // Frame 0 has its own colours; frame 1 has none at all and cannot be decoded.
    TGIFWriterImage lateFault;
    lateFault.Width = 60;
    lateFault.Height = 20;
    TGIFWriterFrame f;
    f.Width = 60;
    f.Height = 20;
    f.Pixels.assign(60 * 20, 1);
    f.DelayCs = 5;
    lateFault.Frames = {f, f};
    lateFault.Frames[0].LocalColorTable = {0x000000, 0xFF0000};
    const std::string jpeg = JpegBytes(64, 32);
    const struct {
        const char* Name;
        std::string Bytes;
    } cases[] = {{"huge.gif", HugeScreenGif()},
                 {"cut.jpg", jpeg.substr(0, jpeg.size() / 2)},
                 {"late.gif", WriteGIF(lateFault)}};
    SetErrorPresenter({});
    for (const auto& c : cases) {
        Config(std::string("BannerPath1=") + c.Name + "\r\n");
        Write("dbimg1.dat", c.Bytes);
        TModalCounter dialogs([](QWidget* d) { static_cast<QDialog*>(d)->reject(); });
        QuietMain main;
        main.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&main));
        // Long enough for several frames and repaints.
        QTest::qWait(400);
        EXPECT_EQ(dialogs.Count(), 1) << c.Name;
        EXPECT_EQ(main.height(), 516) << c.Name;
    }
}

TEST_F(BrandingTest, IconAndSkinOfThePackage) {
    Config("IconPath=C:\\Brand\\shop.ico\r\n");
    Picture("shop.ico", 32, 32, "ICO", Qt::blue);
    // A package file whose format value is above 3 is ignored: the built-in skin stays.
    Write("dbskin.dat", MakeCompressedSkinFile("x", 4));
    {
        QuietMain main;
        EXPECT_FALSE(main.windowIcon().isNull());
        EXPECT_FALSE(QApplication::windowIcon().isNull());
        EXPECT_FALSE(main.SkinData().Empty());
        ExpectNoErrors();
    }
    // An invalid icon fails like an invalid picture.
    Write("shop.ico", "not an icon");
    QuietMain broken;
    ASSERT_EQ(errors.size(), 1);
    EXPECT_EQ(errors[0], "Icon image is not valid");
    QApplication::setWindowIcon(QIcon());
}

TEST_F(BrandingTest, PackageSkinReplacesTheBuiltInOne) {
    Config("AppName=Shop\r\n");
    // The built-in skin as a package file: loads without a word.
    Write("dbskin.dat", MakeCompressedSkinFile(BuiltInSkin().CompressedData));
    {
        QuietMain main;
        EXPECT_FALSE(main.SkinData().Empty());
        ExpectNoErrors();
    }
    // A length running past the end of the file: the error reaches the user.
    std::string cut = MakeCompressedSkinFile(BuiltInSkin().CompressedData);
    Write("dbskin.dat", cut.substr(0, cut.size() / 2));
    QuietMain broken;
    ASSERT_EQ(errors.size(), 1);
    EXPECT_EQ(errors[0], "Stream read error");
}

TEST_F(BrandingTest, BannerClickOpensItsAddress) {
    // A stand-in browser that records the address it was given.
    const std::string browser = File("browser");
    std::ofstream(browser) << "#!/bin/sh\nprintf '%s' \"$1\" > \"" << File("opened.tmp")
                           << "\"\nmv \"" << File("opened.tmp") << "\" \"" << File("opened.txt")
                           << "\"\n";
    std::filesystem::permissions(browser, std::filesystem::perms::owner_all);
    const QByteArray oldBrowser = qgetenv("BROWSER");
    qputenv("BROWSER", QByteArray::fromStdString(browser));
    Config("BannerPath1=b.gif\r\nBannerURL1=http://shop.example/deal?id=7\r\n");
    Gif("dbimg1.dat", 100, 30);
    QuietMain main;
    main.show();
    QTest::mouseClick(Widget(main, "gifBanner"), Qt::LeftButton, {}, QPoint(10, 10));
    EXPECT_TRUE(QTest::qWaitFor([&] { return FileExists(File("opened.txt")); }, 5000));
    if (FileExists(File("opened.txt"))) {
        EXPECT_EQ(ReadWholeFile(File("opened.txt")), "http://shop.example/deal?id=7");
    }
    qputenv("BROWSER", oldBrowser);
}

// The sample package of resources/branding-sample, shown as a reseller sees
// it: the banner drawn in the window, then kept as PNG files under the build
// tree's screenshots/ folder.
TEST_F(BrandingTest, TheSamplePackageAsDrawn) {
    const QDir sample(QStringLiteral(QUILLORY_BRANDING_SAMPLE_DIR));
    for (const QString& name : sample.entryList(QDir::Files))
        ASSERT_TRUE(
            QFile::copy(sample.filePath(name), QString::fromStdString(File(name.toStdString()))));
    const std::string config = ReadWholeFile(File("dbconfig.dat"));
    QDir().mkpath(QStringLiteral(QUILLORY_SCREENSHOT_DIR));
    // Each banner in turn, the other unconfigured: the kept one is the first
    // configured banner, so it reads dbimg1.dat.
    const std::array<const char*, 3> shots[] = {
        {"BannerPath2", "dbimg1.dat", "main-window-branded-gif.png"},
        {"BannerPath1", "dbimg2.dat", "main-window-branded-jpeg.png"}};
    for (const auto& [drop, stored, shot] : shots) {
        std::string text = config;
        text.replace(text.find(drop), std::string(drop).size(), "Unused");
        std::ofstream(File("dbconfig.dat")) << text;
        std::filesystem::copy_file(sample.filePath(stored).toStdString(), File("dbimg1.dat"),
                                   std::filesystem::copy_options::overwrite_existing);
        QuietMain main;
        main.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&main));
        QTest::qWait(300); // a few frames of the animation
        EXPECT_EQ(Widget(main, "panBanner")->height(), 70);
        EXPECT_EQ(main.windowTitle(), "Quillory Reseller Edition v1.01");
        // The banner's control shows a picture, not an empty area.
        const bool gif = std::string(shot).find("-gif") != std::string::npos;
        QWidget* banner = Widget(main, gif ? "gifBanner" : "imgBanner");
        EXPECT_TRUE(banner->isVisible()) << shot;
        EXPECT_TRUE(Widget(main, "panBanner")->rect().contains(banner->geometry())) << shot;
        const QImage drawn = banner->grab().toImage();
        std::set<QRgb> colours;
        for (int y = 0; y < drawn.height(); ++y)
            for (int x = 0; x < drawn.width(); ++x)
                colours.insert(drawn.pixel(x, y));
        EXPECT_GT(colours.size(), 16u) << shot;
        const QString path = QStringLiteral(QUILLORY_SCREENSHOT_DIR "/") + shot;
        EXPECT_TRUE(main.grab().save(path)) << path.toStdString();
        ExpectNoErrors();
    }
}

} // namespace
