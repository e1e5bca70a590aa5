// Paints the sample branding package into a folder: an animated GIF banner
// (written by our GIF writer), a JPEG banner, an icon and the dbconfig.dat
// that names them. resources/branding-sample/ holds its output.
//   brandart <folder>
#include "ui/GIFWriter.h"

#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

#include <cstdio>
#include <fstream>
#include <string>

using namespace quillory;

namespace {

constexpr int W = 468, H = 60;

// 64 colours: a ramp from deep teal to white and a ramp of warm accents.
std::vector<std::uint32_t> BannerPalette() {
    std::vector<std::uint32_t> p;
    for (int i = 0; i < 40; ++i) {
        const double t = i / 39.0;
        const int r = static_cast<int>(0x0B + t * (0xFF - 0x0B));
        const int g = static_cast<int>(0x3D + t * (0xFF - 0x3D));
        const int b = static_cast<int>(0x4F + t * (0xFF - 0x4F));
        p.push_back(static_cast<std::uint32_t>(r << 16 | g << 8 | b));
    }
    for (int i = 0; i < 24; ++i) {
        const double t = i / 23.0;
        const int r = 0xFF;
        const int g = static_cast<int>(0x8A + t * (0xE0 - 0x8A));
        const int b = static_cast<int>(0x1E + t * (0x9A - 0x1E));
        p.push_back(static_cast<std::uint32_t>(r << 16 | g << 8 | b));
    }
    return p;
}

std::uint8_t Nearest(const std::vector<std::uint32_t>& palette, QRgb c) {
    int best = 0, bestDistance = 1 << 30;
    for (std::size_t i = 0; i < palette.size(); ++i) {
        const int dr = qRed(c) - static_cast<int>(palette[i] >> 16 & 0xFF);
        const int dg = qGreen(c) - static_cast<int>(palette[i] >> 8 & 0xFF);
        const int db = qBlue(c) - static_cast<int>(palette[i] & 0xFF);
        const int d = dr * dr + dg * dg + db * db;
        if (d < bestDistance) {
            bestDistance = d;
            best = static_cast<int>(i);
        }
    }
    return static_cast<std::uint8_t>(best);
}

std::vector<std::uint8_t> Quantise(const QImage& img, const std::vector<std::uint32_t>& palette) {
    std::vector<std::uint8_t> px;
    px.reserve(static_cast<std::size_t>(img.width() * img.height()));
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            px.push_back(Nearest(palette, img.pixel(x, y)));
    return px;
}

void PaintBackground(QPainter& p, const QString& headline, const QString& tagline) {
    QLinearGradient g(0, 0, W, H);
    g.setColorAt(0, QColor(0x0B, 0x3D, 0x4F));
    g.setColorAt(1, QColor(0x2F, 0x7A, 0x8C));
    p.fillRect(0, 0, W, H, g);
    p.setRenderHint(QPainter::Antialiasing);
    // A coupon ticket on the left.
    QPainterPath ticket;
    ticket.addRoundedRect(QRectF(10, 10, 60, 40), 6, 6);
    p.fillPath(ticket, QColor(0xFF, 0xB0, 0x50));
    p.setPen(QPen(QColor(0x0B, 0x3D, 0x4F), 2, Qt::DashLine));
    p.drawLine(30, 12, 30, 48);
    p.setPen(QColor(0x0B, 0x3D, 0x4F));
    QFont small(QStringLiteral("DejaVu Sans"));
    small.setPixelSize(13);
    small.setBold(true);
    p.setFont(small);
    p.drawText(QRect(32, 10, 38, 40), Qt::AlignCenter, QStringLiteral("%"));
    QFont big(QStringLiteral("DejaVu Sans"));
    big.setPixelSize(20);
    big.setBold(true);
    p.setFont(big);
    p.setPen(Qt::white);
    p.drawText(QRect(84, 6, W - 90, 28), Qt::AlignLeft | Qt::AlignVCenter, headline);
    small.setBold(false);
    small.setPixelSize(13);
    p.setFont(small);
    p.setPen(QColor(0xE0, 0xF0, 0xF4));
    p.drawText(QRect(84, 32, W - 90, 22), Qt::AlignLeft | Qt::AlignVCenter, tagline);
}

std::string AnimatedBanner() {
    const auto palette = BannerPalette();
    TGIFWriterImage gif;
    gif.Width = W;
    gif.Height = H;
    gif.GlobalColorTable = palette;
    gif.LoopCount = 0;

    QImage base(W, H, QImage::Format_RGB32);
    {
        QPainter p(&base);
        PaintBackground(p, QStringLiteral("Quillory coupons that sell"),
                        QStringLiteral("Unique codes, redemption statistics, one click forms"));
    }
    TGIFWriterFrame first;
    first.Width = W;
    first.Height = H;
    first.Pixels = Quantise(base, palette);
    first.DelayCs = 150;
    first.Disposal = 1;
    gif.Frames.push_back(first);

    // A spark that runs along the right end: small frames drawn over the
    // picture, each restoring its rectangle to the background picture.
    const int sparkW = 28, sparkH = 28;
    for (int step = 0; step < 6; ++step) {
        const int x = 330 + step * 22, y = 16;
        QImage piece = base.copy(x, y, sparkW, sparkH);
        {
            QPainter p(&piece);
            p.setRenderHint(QPainter::Antialiasing);
            QRadialGradient glow(sparkW / 2.0, sparkH / 2.0, sparkW / 2.0);
            glow.setColorAt(0, QColor(0xFF, 0xE0, 0x9A));
            glow.setColorAt(0.5, QColor(0xFF, 0xA0, 0x30, 180));
            glow.setColorAt(1, QColor(0xFF, 0x8A, 0x1E, 0));
            p.setBrush(glow);
            p.setPen(Qt::NoPen);
            p.drawEllipse(QRectF(0, 0, sparkW, sparkH));
        }
        TGIFWriterFrame f;
        f.Left = x;
        f.Top = y;
        f.Width = sparkW;
        f.Height = sparkH;
        f.Pixels = Quantise(piece, palette);
        f.DelayCs = 12;
        f.Disposal = 1;
        gif.Frames.push_back(f);
        // Put the background back before the next spark.
        TGIFWriterFrame clear = f;
        clear.Pixels = Quantise(base.copy(x, y, sparkW, sparkH), palette);
        clear.DelayCs = 0;
        gif.Frames.push_back(clear);
    }
    return WriteGIF(gif);
}

bool WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: brandart <folder>\n");
        return 2;
    }
    QGuiApplication app(argc, argv);
    const std::string folder = std::string(argv[1]) + "/";

    QImage offer(W, H, QImage::Format_RGB32);
    {
        QPainter p(&offer);
        PaintBackground(p, QStringLiteral("Spring offer: 30% off Quillory Pro"),
                        QStringLiteral("Every seller tool in one window. Code SPRING30"));
    }
    QImage icon(32, 32, QImage::Format_ARGB32);
    icon.fill(Qt::transparent);
    {
        QPainter p(&icon);
        p.setRenderHint(QPainter::Antialiasing);
        p.setBrush(QColor(0xFF, 0xB0, 0x50));
        p.setPen(QPen(QColor(0x0B, 0x3D, 0x4F), 2));
        p.drawRoundedRect(QRectF(2, 7, 28, 18), 4, 4);
        QFont f(QStringLiteral("DejaVu Sans"));
        f.setPixelSize(13);
        f.setBold(true);
        p.setFont(f);
        p.drawText(QRect(2, 7, 28, 18), Qt::AlignCenter, QStringLiteral("%"));
    }
    const std::string config = "[Settings]\r\n"
                               "AppName=Quillory Reseller Edition\r\n"
                               "AfiliateID=sample-reseller\r\n"
                               "BannerPath1=banners\\quillory-animated.gif\r\n"
                               "BannerURL1=https://www.quillory.com/\r\n"
                               "BannerPath2=banners\\spring-offer.jpg\r\n"
                               "BannerURL2=https://www.quillory.com/offer/\r\n"
                               "Link1URL=https://www.quillory.com/guide/\r\n"
                               "Link1Name=Seller's guide\r\n"
                               "Link2URL=https://www.quillory.com/support/\r\n"
                               "Link2Name=Reseller support\r\n"
                               "Link3URL=https://www.quillory.com/blog/\r\n"
                               "Link3Name=Coupon ideas\r\n"
                               "IconPath=quillory.ico\r\n";
    const bool ok = WriteFile(folder + "dbimg1.dat", AnimatedBanner()) &&
                    offer.save(QString::fromStdString(folder + "dbimg2.dat"), "JPG", 88) &&
                    icon.save(QString::fromStdString(folder + "quillory.ico"), "ICO") &&
                    WriteFile(folder + "dbconfig.dat", config);
    if (!ok) {
        std::fprintf(stderr, "brandart: cannot write into %s\n", folder.c_str());
        return 1;
    }
    return 0;
}
