// Paints the program's icon at the sizes of the hicolor theme: a coupon
// ticket (notched sides, a perforation) with a quill across it, in the
// colours of the sample art. Drawn with paths only, so no font or display is
// needed at build time.
//   iconart <folder> <size>...   writes <folder>/<size>x<size>/apps/quillory.png
#include <QColor>
#include <QDir>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QString>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

QImage PaintIcon(int size) {
    QImage img(size, size, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    // Everything is drawn on a 256 x 256 canvas and scaled.
    p.scale(size / 256.0, size / 256.0);

    // The ticket: a rounded body with a half-circle notch in each side.
    QPainterPath ticket;
    ticket.addRoundedRect(QRectF(12, 60, 232, 136), 22, 22);
    QPainterPath notches;
    notches.addEllipse(QPointF(12, 128), 22, 22);
    notches.addEllipse(QPointF(244, 128), 22, 22);
    ticket = ticket.subtracted(notches);
    QLinearGradient body(0, 60, 0, 196);
    body.setColorAt(0, QColor(0x17, 0x6B, 0x84));
    body.setColorAt(1, QColor(0x0B, 0x3D, 0x4F));
    p.fillPath(ticket, body);
    p.setPen(QPen(QColor(0x06, 0x27, 0x33), 4));
    p.drawPath(ticket);

    // The perforation between stub and body (left out where it would blur).
    if (size >= 32) {
        QPen dashes(QColor(0xE8, 0xF4, 0xF7), 6, Qt::CustomDashLine, Qt::RoundCap);
        dashes.setDashPattern({1.5, 2.5});
        p.setPen(dashes);
        p.drawLine(QPointF(84, 78), QPointF(84, 178));
    }

    // A percent sign on the stub: two rings and a bar.
    p.setPen(QPen(QColor(0xFF, 0xE0, 0x9A), 9, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QPointF(40, 102), 9, 9);
    p.drawEllipse(QPointF(58, 154), 9, 9);
    p.drawLine(QPointF(62, 96), QPointF(36, 160));

    // The quill: a feather from lower left to upper right over the body.
    QPainterPath feather;
    feather.moveTo(112, 184);
    feather.cubicTo(130, 120, 180, 60, 236, 28);
    feather.cubicTo(222, 82, 184, 140, 112, 184);
    QLinearGradient vane(112, 184, 236, 28);
    vane.setColorAt(0, QColor(0xFF, 0x8A, 0x1E));
    vane.setColorAt(1, QColor(0xFF, 0xD0, 0x7A));
    p.setPen(QPen(QColor(0x7A, 0x3A, 0x00), 3));
    p.setBrush(vane);
    p.drawPath(feather);
    // Its shaft and nib.
    p.setPen(QPen(QColor(0x4A, 0x22, 0x00), 5, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(100, 206), QPointF(226, 40));
    p.end();
    return img;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: iconart <folder> <size>...\n");
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    for (int i = 2; i < argc; ++i) {
        const int size = std::atoi(argv[i]);
        if (size < 16 || size > 1024) {
            std::fprintf(stderr, "iconart: %s is not a size from 16 to 1024\n", argv[i]);
            return 2;
        }
        const QString dir = QStringLiteral("%1/%2x%2/apps").arg(folder).arg(size);
        if (!QDir().mkpath(dir) || !PaintIcon(size).save(dir + "/quillory.png", "PNG")) {
            std::fprintf(stderr, "iconart: cannot write %s/quillory.png\n",
                         dir.toLocal8Bit().data());
            return 1;
        }
    }
    return 0;
}
