// skinart: paints the bitmaps of Quillory's built-in skin into a folder
// (resources/skin/). The layout of every picture matches the rectangles of
// resources/skin/quillory.ini; change both together.
//
//   skinart OUTPUT_FOLDER
#include "ui/SkinPackage.h"

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

const QColor kWindow(0xF3, 0xF5, 0xF8);
const QColor kBorder(0xC3, 0xCA, 0xD4);
const QColor kBorderHover(0x8C, 0xA6, 0xD3);
const QColor kAccent(0x2F, 0x6B, 0xD8);
const QColor kAccentDark(0x24, 0x56, 0xB4);
const QColor kAccentLight(0x4A, 0x80, 0xE4);
const QColor kDisabled(0xEE, 0xF0, 0xF3);
const QColor kDisabledBorder(0xD8, 0xDC, 0xE2);

QImage NewImage(int w, int h) {
    QImage img(w, h, QImage::Format_ARGB32);
    img.fill(Qt::transparent);
    return img;
}

void RoundBox(QPainter& p, QRectF r, qreal radius, const QBrush& fill, const QColor& border,
              qreal borderWidth = 1.0) {
    p.setRenderHint(QPainter::Antialiasing);
    const qreal h = borderWidth / 2;
    r.adjust(h, h, -h, -h);
    p.setPen(border.isValid() ? QPen(border, borderWidth) : Qt::NoPen);
    p.setBrush(fill);
    p.drawRoundedRect(r, radius, radius);
}

QLinearGradient Vertical(const QRectF& r, const QColor& top, const QColor& bottom) {
    QLinearGradient g(r.topLeft(), r.bottomLeft());
    g.setColorAt(0, top);
    g.setColorAt(1, bottom);
    return g;
}

void Chevron(QPainter& p, QPointF centre, qreal size, int direction, const QColor& colour,
             qreal width = 1.6) {
    // direction: 0 down, 1 left, 2 right, 3 up
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(colour, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    const qreal s = size / 2;
    QPolygonF line;
    switch (direction) {
    case 0:
        line << centre + QPointF(-s, -s / 2) << centre + QPointF(0, s / 2)
             << centre + QPointF(s, -s / 2);
        break;
    case 3:
        line << centre + QPointF(-s, s / 2) << centre + QPointF(0, -s / 2)
             << centre + QPointF(s, s / 2);
        break;
    case 1:
        line << centre + QPointF(s / 2, -s) << centre + QPointF(-s / 2, 0)
             << centre + QPointF(s / 2, s);
        break;
    default:
        line << centre + QPointF(-s / 2, -s) << centre + QPointF(s / 2, 0)
             << centre + QPointF(-s / 2, s);
        break;
    }
    p.drawPolyline(line);
}

std::string ToBitmap32(const QImage& image) {
    const QImage img = image.convertToFormat(QImage::Format_ARGB32);
    std::vector<std::uint32_t> px(static_cast<std::size_t>(img.width() * img.height()));
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            px[static_cast<std::size_t>(y * img.width() + x)] = img.pixel(x, y);
    return WriteBitmap32(img.width(), img.height(), px);
}

bool Save(const std::string& folder, const char* name, const std::string& bytes) {
    std::ofstream out(folder + "/" + name, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out.flush());
}

// buttons.bmp: push button states (40 x 21 each) on the first row, the
// calendar's small square buttons (23 x 23) on the second.
QImage PaintButtons() {
    QImage img = NewImage(200, 44);
    QPainter p(&img);
    const QRectF cell(0, 0, 40, 21);
    RoundBox(p, cell, 4, Vertical(cell, Qt::white, QColor(0xF4, 0xF6, 0xF9)), kBorder);
    RoundBox(p, cell.translated(40, 0), 4,
             Vertical(cell, QColor(0xF7, 0xFA, 0xFF), QColor(0xE9, 0xF0, 0xFC)), kBorderHover);
    RoundBox(p, cell.translated(80, 0), 4, QColor(0xDC, 0xE6, 0xF7), kAccent);
    RoundBox(p, cell.translated(120, 0), 4, kDisabled, kDisabledBorder);
    RoundBox(p, cell.translated(160, 0), 4,
             Vertical(cell.translated(160, 0), kAccentLight, kAccent), kAccentDark);
    const QRectF sq(0, 21, 23, 23);
    RoundBox(p, sq.adjusted(1, 1, -1, -1), 4, QColor(255, 255, 255, 0), QColor(0, 0, 0, 0));
    RoundBox(p, sq.translated(23, 0).adjusted(1, 1, -1, -1), 4, QColor(0xE8, 0xEF, 0xFB),
             QColor(0xC9, 0xD7, 0xF0));
    RoundBox(p, sq.translated(46, 0).adjusted(1, 1, -1, -1), 4, QColor(0xD3, 0xE0, 0xF7), kAccent);
    return img;
}

// fields.bmp: edit frames (normal, focused, disabled; 30 x 22), the drop-down
// button of a field (normal, hover, pressed; 20 x 22), then on the second row
// list header sections (normal, hover), a panel and a group frame.
QImage PaintFields() {
    QImage img = NewImage(150, 44);
    QPainter p(&img);
    const QRectF cell(0, 0, 30, 22);
    RoundBox(p, cell, 3, Qt::white, kBorder);
    RoundBox(p, cell.translated(30, 0), 3, Qt::white, kAccent, 1.6);
    RoundBox(p, cell.translated(60, 0), 3, kDisabled, kDisabledBorder);
    for (int s = 0; s < 3; ++s) {
        const QRectF b(90 + 20 * s, 0, 20, 22);
        const QColor fill = s == 0 ? QColor(0, 0, 0, 0)
                                   : (s == 1 ? QColor(0xE8, 0xEF, 0xFB) : QColor(0xD3, 0xE0, 0xF7));
        p.setPen(Qt::NoPen);
        p.setBrush(fill);
        p.drawRoundedRect(b.adjusted(2, 2, -2, -2), 3, 3);
        p.setPen(QPen(QColor(0xDD, 0xE2, 0xE9), 1));
        p.drawLine(QPointF(b.left() + 0.5, 4), QPointF(b.left() + 0.5, 18));
        Chevron(p, b.center() + QPointF(0.5, 0.5), 7, 0,
                s == 0 ? QColor(0x5A, 0x64, 0x75) : kAccent);
    }
    const QRectF head(0, 22, 30, 22);
    p.setRenderHint(QPainter::Antialiasing, false);
    for (int s = 0; s < 2; ++s) {
        const QRectF h = head.translated(30 * s, 0);
        p.fillRect(h, s == 0 ? QColor(0xF6, 0xF7, 0xF9) : QColor(0xEA, 0xF0, 0xFA));
        p.fillRect(QRectF(h.left(), h.bottom() - 2, h.width(), 2), s == 0 ? kBorder : kAccent);
        p.fillRect(QRectF(h.right() - 1, h.top() + 4, 1, 14), QColor(0xDD, 0xE2, 0xE9));
    }
    RoundBox(p, QRectF(60, 22, 30, 22), 6, Qt::white, QColor(0xDA, 0xDF, 0xE6));
    RoundBox(p, QRectF(90, 22, 30, 22), 5, QColor(255, 255, 255, 0x70), QColor(0xD0, 0xD6, 0xDE));
    return img;
}

// indicators.bmp: 16 x 16 check boxes on the first row, option buttons on the
// second; columns: off, off hover, on, on hover, off disabled, on disabled.
QImage PaintIndicators() {
    QImage img = NewImage(96, 32);
    QPainter p(&img);
    for (int row = 0; row < 2; ++row) {
        for (int s = 0; s < 6; ++s) {
            const QRectF r(16 * s + 1, 16 * row + 1, 14, 14);
            const bool on = s == 2 || s == 3 || s == 5;
            const bool hover = s == 1 || s == 3;
            const bool disabled = s >= 4;
            QColor fill = on ? (hover ? kAccentLight : kAccent) : Qt::white;
            QColor border = on ? (hover ? kAccentLight : kAccent) : (hover ? kAccent : kBorder);
            if (disabled) {
                fill = on ? QColor(0xB4, 0xBE, 0xCD) : kDisabled;
                border = on ? QColor(0xB4, 0xBE, 0xCD) : kDisabledBorder;
            }
            p.setRenderHint(QPainter::Antialiasing);
            if (row == 0) {
                RoundBox(p, r, 3, fill, border);
                if (on) {
                    p.setPen(QPen(Qt::white, 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
                    p.drawPolyline(QPolygonF() << r.topLeft() + QPointF(3.5, 7.2)
                                               << r.topLeft() + QPointF(6, 9.8)
                                               << r.topLeft() + QPointF(10.5, 4.5));
                }
            } else {
                p.setPen(QPen(border, 1));
                p.setBrush(on ? QBrush(Qt::white) : QBrush(fill));
                if (on)
                    p.setPen(QPen(fill, 4.5));
                p.drawEllipse(on ? r.adjusted(2.2, 2.2, -2.2, -2.2)
                                 : r.adjusted(0.5, 0.5, -0.5, -0.5));
            }
        }
    }
    return img;
}

// scrollbars.bmp: vertical track and thumbs (12 x 40) at the left of the
// first row, the corner square beside them; horizontal ones (40 x 12) on the
// second row.
QImage PaintScrollBars() {
    QImage img = NewImage(160, 52);
    QPainter p(&img);
    const QColor thumbs[3] = {QColor(0xC2, 0xC8, 0xD1), QColor(0xA3, 0xAD, 0xBB),
                              QColor(0x86, 0x92, 0xA4)};
    p.fillRect(QRect(0, 0, 12, 40), QColor(0xF0, 0xF2, 0xF5));
    p.fillRect(QRect(0, 40, 40, 12), QColor(0xF0, 0xF2, 0xF5));
    p.fillRect(QRect(48, 0, 12, 12), QColor(0xF0, 0xF2, 0xF5));
    for (int s = 0; s < 3; ++s) {
        RoundBox(p, QRectF(12 * (s + 1) + 2.5, 2, 7, 36), 3.5, thumbs[s], QColor());
        RoundBox(p, QRectF(40 * (s + 1) + 2, 42.5, 36, 7), 3.5, thumbs[s], QColor());
    }
    return img;
}

// The window frame picture (24-bit) and its shape mask (16 colours).
QImage PaintMainPicture() {
    QImage img(315, 209, QImage::Format_RGB32);
    img.fill(kWindow);
    QPainter p(&img);
    const QRectF bar(0, 0, 315, 30);
    p.fillRect(bar, Vertical(bar, kAccentLight, kAccent));
    p.fillRect(QRectF(0, 30, 315, 1), kAccentDark);
    p.setPen(QColor(0xD0, 0xD6, 0xDE));
    p.drawRect(QRect(0, 0, 314, 208));
    return img;
}

std::string MaskBitmap() {
    const int w = 315, h = 209, radius = 6;
    std::vector<std::uint8_t> idx(static_cast<std::size_t>(w * h), 15);
    for (int y = 0; y < radius; ++y)
        for (int x = 0; x < radius; ++x) {
            const int dx = radius - x, dy = radius - y;
            if (dx * dx + dy * dy > radius * radius) {
                idx[static_cast<std::size_t>(y * w + x)] = 0;
                idx[static_cast<std::size_t>(y * w + (w - 1 - x))] = 0;
            }
        }
    std::vector<std::uint32_t> palette(16, 0);
    palette[15] = 0xFFFFFF;
    return WriteBitmap4(w, h, idx, palette);
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: skinart OUTPUT_FOLDER\n");
        return 2;
    }
    QGuiApplication app(argc, argv);
    const std::string folder = argv[1];
    const QImage main = PaintMainPicture();
    std::vector<std::uint32_t> rgb(static_cast<std::size_t>(main.width() * main.height()));
    for (int y = 0; y < main.height(); ++y)
        for (int x = 0; x < main.width(); ++x)
            rgb[static_cast<std::size_t>(y * main.width() + x)] = main.pixel(x, y) & 0xFFFFFF;
    bool ok = Save(folder, "frame.bmp", WriteBitmap24(main.width(), main.height(), rgb)) &&
              Save(folder, "mask.bmp", MaskBitmap()) &&
              Save(folder, "buttons.bmp", ToBitmap32(PaintButtons())) &&
              Save(folder, "fields.bmp", ToBitmap32(PaintFields())) &&
              Save(folder, "indicators.bmp", ToBitmap32(PaintIndicators())) &&
              Save(folder, "scrollbars.bmp", ToBitmap32(PaintScrollBars()));
    if (!ok) {
        std::fprintf(stderr, "skinart: cannot write into %s\n", folder.c_str());
        return 1;
    }
    return 0;
}
