// Draws the program's decorative pictures (musical motifs) and writes them into resources/pictures/:
// the three window backdrops as progressive JPEGs and the four button pictures as 32-bit ARGB PNGs; and the
// program's icon for the desktop menu into packaging/icons/: an SVG and PNGs at the usual sizes.
// Usage: make_pictures [pictures folder [icons folder]]

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QSvgGenerator>
#include <QTransform>

#include <algorithm>
#include <cstdio>
#include <jpeglib.h>

namespace {

const QColor ink(38, 44, 84);
const QColor gold(214, 164, 52);
const QColor deepBlue(34, 74, 150);

// A staff of five lines; `gap` is the distance between lines, `top` the top line.
void drawStaff(QPainter& p, qreal left, qreal right, qreal top, qreal gap, const QColor& color,
               qreal width = 1) {
    p.setPen(QPen(color, width));
    for (int i = 0; i < 5; ++i)
        p.drawLine(QPointF(left, top + i * gap), QPointF(right, top + i * gap));
}

// The treble clef in staff units (top line y=0, bottom line y=4, the G line y=3), curling round the G line.
QPainterPath trebleClefPath() {
    QPainterPath path;
    path.moveTo(0.62, 3.05);
    path.cubicTo(0.15, 3.1, 0.1, 2.35, 0.6, 2.25);
    path.cubicTo(1.3, 2.15, 1.6, 3.25, 1.1, 3.75);
    path.cubicTo(0.55, 4.3, -0.5, 4.0, -0.5, 3.05);
    path.cubicTo(-0.5, 2.0, 0.65, 1.3, 1.0, 0.35);
    path.cubicTo(1.3, -0.5, 1.15, -1.75, 0.72, -1.75);
    path.cubicTo(0.3, -1.75, 0.2, -0.6, 0.38, 0.6);
    path.lineTo(0.8, 5.0);
    path.cubicTo(0.85, 5.75, 0.2, 5.95, -0.05, 5.5);
    return path;
}

void drawTrebleClef(QPainter& p, qreal x, qreal staffTop, qreal gap, const QColor& color) {
    QTransform t;
    t.translate(x, staffTop);
    t.scale(gap, gap);
    p.setPen(QPen(color, gap * 0.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    p.drawPath(t.map(trebleClefPath()));
    p.setPen(Qt::NoPen);
    p.setBrush(color);
    p.drawEllipse(t.map(QPointF(0.12, 5.35)), gap * 0.3, gap * 0.3);
}

// A note head centred at `centre`; a stem up unless `stem` is 0; `flags` eighth/sixteenth flags.
void drawNote(QPainter& p, QPointF centre, qreal gap, const QColor& color, bool filled = true,
              qreal stem = 3.5, int flags = 0) {
    p.save();
    p.translate(centre);
    p.rotate(-22);
    p.setPen(QPen(color, gap * 0.14));
    p.setBrush(filled ? QBrush(color) : QBrush(Qt::NoBrush));
    p.drawEllipse(QPointF(0, 0), gap * 0.66, gap * 0.46);
    p.restore();
    if (stem == 0)
        return;
    const qreal x = centre.x() + gap * 0.6;
    const qreal top = centre.y() - stem * gap;
    p.setPen(QPen(color, gap * 0.13, Qt::SolidLine, Qt::FlatCap));
    p.drawLine(QPointF(x, centre.y() - gap * 0.15), QPointF(x, top));
    p.setPen(QPen(color, gap * 0.22, Qt::SolidLine, Qt::RoundCap));
    for (int i = 0; i < flags; ++i) {
        QPainterPath flag;
        const qreal y = top + i * gap * 0.8;
        flag.moveTo(x, y);
        flag.cubicTo(x + gap * 0.2, y + gap * 1.0, x + gap * 1.3, y + gap * 1.2, x + gap * 0.9,
                     y + gap * 2.4);
        p.setBrush(Qt::NoBrush);
        p.drawPath(flag);
    }
}

// Two eighth notes joined by a beam; `a` and `b` are their head centres.
void drawBeamedPair(QPainter& p, QPointF a, QPointF b, qreal gap, const QColor& color) {
    drawNote(p, a, gap, color, true, 0);
    drawNote(p, b, gap, color, true, 0);
    const qreal top = qMin(a.y(), b.y()) - 3.4 * gap;
    const qreal xa = a.x() + gap * 0.6;
    const qreal xb = b.x() + gap * 0.6;
    p.setPen(QPen(color, gap * 0.13, Qt::SolidLine, Qt::FlatCap));
    p.drawLine(QPointF(xa, a.y()), QPointF(xa, top));
    p.drawLine(QPointF(xb, b.y()), QPointF(xb, top));
    p.setPen(Qt::NoPen);
    p.setBrush(color);
    QPolygonF beam;
    beam << QPointF(xa - gap * 0.06, top) << QPointF(xb + gap * 0.06, top)
         << QPointF(xb + gap * 0.06, top + gap * 0.5) << QPointF(xa - gap * 0.06, top + gap * 0.5);
    p.drawPolygon(beam);
}

// A piano keyboard of `whiteKeys` white keys starting on C, filling `r`.
void drawKeyboard(QPainter& p, const QRectF& r, int whiteKeys) {
    const qreal w = r.width() / whiteKeys;
    QLinearGradient white(r.topLeft(), r.bottomLeft());
    white.setColorAt(0, QColor(250, 250, 246));
    white.setColorAt(1, QColor(222, 220, 212));
    p.setPen(QPen(QColor(120, 120, 130), 1));
    p.setBrush(white);
    for (int i = 0; i < whiteKeys; ++i)
        p.drawRect(QRectF(r.left() + i * w, r.top(), w, r.height()));
    QLinearGradient black(r.topLeft(), r.bottomLeft());
    black.setColorAt(0, QColor(20, 20, 26));
    black.setColorAt(1, QColor(64, 64, 74));
    p.setPen(Qt::NoPen);
    p.setBrush(black);
    // C, D, F, G and A have a black key to their right.
    static const bool hasBlack[7] = {true, true, false, true, true, true, false};
    for (int i = 0; i < whiteKeys - 1; ++i)
        if (hasBlack[i % 7])
            p.drawRoundedRect(QRectF(r.left() + (i + 1) * w - w * 0.3, r.top(), w * 0.6, r.height() * 0.62),
                              1.5, 1.5);
}

// A soft background: a vertical gradient with a light glow.
void fillBackdrop(QPainter& p, const QRectF& r, const QColor& top, const QColor& bottom, QPointF glow) {
    QLinearGradient g(r.topLeft(), r.bottomLeft());
    g.setColorAt(0, top);
    g.setColorAt(1, bottom);
    p.fillRect(r, g);
    QRadialGradient light(glow, qMax(r.width(), r.height()) * 0.6);
    light.setColorAt(0, QColor(255, 255, 255, 150));
    light.setColorAt(1, QColor(255, 255, 255, 0));
    p.fillRect(r, light);
}

// A melody on one staff: note heads at staff positions (0 = top line, 8 = bottom line, half steps in
// between).
// Notes that would pass `right` are left out.
void drawMelody(QPainter& p, qreal left, qreal right, qreal staffTop, qreal gap, const QList<int>& steps,
                qreal spacing, const QColor& color) {
    const int count = qMin<int>(steps.size(), static_cast<int>((right - left - 2 * gap) / spacing) + 1);
    for (int i = 0; i < count; ++i) {
        const QPointF head(left + i * spacing, staffTop + steps[i] * gap / 2);
        if (i % 4 == 1 && i + 1 < count) {
            drawBeamedPair(p, head, QPointF(left + (i + 1) * spacing, staffTop + steps[i + 1] * gap / 2), gap,
                           color);
            ++i;
        } else {
            drawNote(p, head, gap, color, i % 3 != 2, 3.5, i % 5 == 4 ? 1 : 0);
        }
    }
}

// A staff opening with a treble clef at `clefX`, its melody starting at `melodyLeft`.
void drawScoredStaff(QPainter& p, qreal left, qreal right, qreal top, qreal gap, qreal clefX,
                     qreal melodyLeft, const QList<int>& steps, qreal spacing, const QColor& color) {
    drawStaff(p, left, right, top, gap, color);
    drawTrebleClef(p, clefX, top, gap, color);
    drawMelody(p, melodyLeft, right, top, gap, steps, spacing, color);
}

QImage canvas(int w, int h, QImage::Format format = QImage::Format_RGB32) {
    QImage image(w, h, format);
    image.fill(Qt::transparent);
    return image;
}

QImage signinBackdrop() {
    QImage image = canvas(449, 305);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    fillBackdrop(p, image.rect(), QColor(236, 242, 252), QColor(206, 220, 242), QPointF(300, 90));
    const QColor faint(120, 140, 190, 110);
    drawScoredStaff(p, 0, 449, 22, 7, 22, 70,
                    {6, 4, 3, 2, 4, 6, 5, 3, 1, 2, 4, 5, 7, 6, 4, 3, 2, 1, 3, 4, 6, 5, 4, 6, 8}, 15, faint);
    const QColor fainter(120, 140, 190, 70);
    drawStaff(p, 0, 449, 168, 6, fainter);
    drawMelody(p, 24, 449, 168, 6,
               {2, 3, 4, 6, 5, 4, 3, 1, 2, 4, 6, 7, 5, 3, 2, 4, 5, 6, 8, 7, 5, 4, 3, 2, 1, 2, 3}, 16,
               fainter);
    drawKeyboard(p, QRectF(-6, 252, 461, 53), 22);
    p.fillRect(QRectF(0, 246, 449, 6), QColor(110, 60, 40));
    return image;
}

QImage resultsBackdrop() {
    QImage image = canvas(985, 550);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    fillBackdrop(p, image.rect(), QColor(252, 246, 230), QColor(236, 222, 190), QPointF(700, 120));
    const QColor faint(150, 110, 60, 90);
    for (int s = 0; s < 4; ++s) {
        const qreal top = 40 + s * 130;
        QList<int> melody{6, 5, 4, 3, 2, 4, 6, 7, 5, 3, 1, 2, 3, 5, 7, 8, 6, 4,
                          2, 3, 4, 5, 6, 3, 2, 1, 3, 5, 4, 6, 7, 5, 3, 4, 2, 1};
        std::rotate(melody.begin(), melody.begin() + s * 7, melody.end());
        drawScoredStaff(p, 20, 965, top, 10, 40, 110, melody, 24 + s % 2 * 2, faint);
    }
    return image;
}

QImage materialsBackdrop() {
    QImage image = canvas(441, 841);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    fillBackdrop(p, image.rect(), QColor(232, 244, 238), QColor(200, 226, 214), QPointF(220, 200));
    const QColor faint(60, 120, 100, 90);
    for (int s = 0; s < 6; ++s) {
        const qreal top = 40 + s * 112;
        drawScoredStaff(p, 14, 427, top, 8, 30, 84, {4, 3, 2, 1, 3, 5, 6, 4, 2, 3, 5, 7, 6, 4, 3, 2, 1},
                        20 + s % 3 * 1.5, faint);
    }
    drawKeyboard(p, QRectF(-4, 740, 449, 101), 15);
    p.fillRect(QRectF(0, 732, 441, 8), QColor(90, 50, 36));
    return image;
}

// A rounded card with a gradient, the common ground of the button pictures and the icon; its white rim grows
// with its corners.
void drawCard(QPainter& p, const QRectF& r, const QColor& top, const QColor& bottom, qreal radius = 14) {
    QLinearGradient g(r.topLeft(), r.bottomLeft());
    g.setColorAt(0, top);
    g.setColorAt(1, bottom);
    p.setPen(QPen(QColor(255, 255, 255, 200), radius / 7));
    p.setBrush(g);
    p.drawRoundedRect(r, radius, radius);
}

// Picture A, study materials: an open book with a staff on each page.
QImage pictureA() {
    QImage image = canvas(153, 129, QImage::Format_ARGB32);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    drawCard(p, QRectF(2, 2, 149, 125), QColor(120, 170, 235), QColor(40, 90, 170));
    // Pages bend down towards the spine.
    for (int side = -1; side <= 1; side += 2) {
        QPainterPath page;
        page.moveTo(76.5, 36);
        page.cubicTo(76.5 + side * 20, 24, 76.5 + side * 46, 26, 76.5 + side * 62, 30);
        page.lineTo(76.5 + side * 62, 104);
        page.cubicTo(76.5 + side * 46, 100, 76.5 + side * 20, 98, 76.5, 110);
        page.closeSubpath();
        p.setPen(QPen(QColor(150, 130, 100), 1.2));
        p.setBrush(QColor(255, 252, 240));
        p.drawPath(page);
        const qreal left = side < 0 ? 22 : 84;
        drawStaff(p, left, left + 48, 48, 5, QColor(90, 90, 110), 0.9);
        drawStaff(p, left, left + 48, 78, 5, QColor(90, 90, 110), 0.9);
    }
    drawTrebleClef(p, 25, 48, 5, ink);
    drawNote(p, QPointF(42, 58), 5, ink);
    drawNote(p, QPointF(52, 53), 5, ink);
    drawNote(p, QPointF(62, 48), 5, ink, false);
    drawBeamedPair(p, QPointF(92, 53), QPointF(104, 58), 5, ink);
    drawNote(p, QPointF(118, 48), 5, ink, true, 3.5, 1);
    drawNote(p, QPointF(30, 88), 5, ink, false);
    drawNote(p, QPointF(44, 83), 5, ink);
    drawNote(p, QPointF(58, 93), 5, ink);
    drawBeamedPair(p, QPointF(92, 88), QPointF(104, 83), 5, ink);
    drawNote(p, QPointF(118, 78), 5, ink, false, 0);
    p.setPen(QPen(QColor(150, 130, 100), 1.5));
    p.drawLine(QPointF(76.5, 36), QPointF(76.5, 110));
    return image;
}

// Picture B, testing: an answer sheet with ticked boxes and a pencil.
QImage pictureB() {
    QImage image = canvas(153, 129, QImage::Format_ARGB32);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    drawCard(p, QRectF(2, 2, 149, 125), QColor(250, 200, 110), QColor(205, 120, 40));
    p.setPen(QPen(QColor(160, 140, 110), 1));
    p.setBrush(QColor(255, 253, 245));
    p.drawRect(QRectF(28, 14, 84, 102));
    drawStaff(p, 34, 106, 22, 3.5, QColor(100, 100, 120), 0.8);
    drawTrebleClef(p, 36, 22, 3.5, ink);
    drawNote(p, QPointF(60, 29), 3.5, ink);
    drawNote(p, QPointF(72, 26), 3.5, ink);
    drawNote(p, QPointF(84, 31), 3.5, ink, false);
    drawNote(p, QPointF(96, 24.5), 3.5, ink);
    for (int i = 0; i < 4; ++i) {
        const qreal y = 50 + i * 16;
        p.setPen(QPen(QColor(90, 90, 110), 1.2));
        p.setBrush(Qt::NoBrush);
        p.drawRect(QRectF(36, y, 9, 9));
        p.setPen(QPen(QColor(140, 140, 150), 2, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(52, y + 4.5), QPointF(52 + 40 - i * 6, y + 4.5));
        if (i != 2) {
            p.setPen(QPen(i == 1 ? QColor(190, 40, 40) : QColor(30, 140, 60), 2.4, Qt::SolidLine,
                          Qt::RoundCap, Qt::RoundJoin));
            QPolygonF tick;
            tick << QPointF(37, y + 4) << QPointF(40.5, y + 8) << QPointF(47, y - 2);
            p.drawPolyline(tick);
        }
    }
    // The pencil, lying across the sheet's corner.
    p.save();
    p.translate(118, 86);
    p.rotate(-55);
    p.setPen(QPen(QColor(90, 60, 30), 1));
    p.setBrush(QColor(240, 190, 40));
    p.drawRect(QRectF(-32, -5, 52, 10));
    p.setBrush(QColor(230, 120, 140));
    p.drawRoundedRect(QRectF(20, -5, 9, 10), 2, 2);
    p.setBrush(QColor(245, 215, 170));
    QPolygonF tip;
    tip << QPointF(-32, -5) << QPointF(-46, 0) << QPointF(-32, 5);
    p.drawPolygon(tip);
    p.setBrush(QColor(50, 50, 50));
    QPolygonF lead;
    lead << QPointF(-41.5, -1.6) << QPointF(-46, 0) << QPointF(-41.5, 1.6);
    p.drawPolygon(lead);
    p.restore();
    return image;
}

// Picture C, video lessons: a screen with a play sign, notes drifting out of it, a keyboard beneath.
QImage pictureC() {
    QImage image = canvas(246, 138, QImage::Format_ARGB32);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    drawCard(p, QRectF(2, 2, 242, 134), QColor(170, 120, 220), QColor(80, 40, 140));
    QLinearGradient screen(QPointF(0, 14), QPointF(0, 90));
    screen.setColorAt(0, QColor(40, 50, 80));
    screen.setColorAt(1, QColor(10, 14, 30));
    p.setPen(QPen(QColor(210, 210, 220), 3));
    p.setBrush(screen);
    p.drawRoundedRect(QRectF(56, 14, 134, 82), 6, 6);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 255, 255, 230));
    QPolygonF play;
    play << QPointF(112, 38) << QPointF(112, 72) << QPointF(140, 55);
    p.drawPolygon(play);
    p.setPen(QPen(QColor(255, 255, 255, 120), 2));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QPointF(123, 55), 24, 24);
    drawNote(p, QPointF(30, 60), 6, gold, true, 3.5, 1);
    drawBeamedPair(p, QPointF(204, 54), QPointF(220, 46), 6, gold);
    drawNote(p, QPointF(36, 30), 4.5, QColor(255, 255, 255, 190), true, 3.5);
    drawKeyboard(p, QRectF(24, 104, 198, 24), 14);
    return image;
}

// Picture D, the result: a gold medal with an eighth note.
QImage pictureD() {
    QImage image = canvas(32, 32, QImage::Format_ARGB32);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QRadialGradient medal(QPointF(13, 12), 16);
    medal.setColorAt(0, QColor(255, 236, 150));
    medal.setColorAt(1, gold.darker(120));
    p.setPen(QPen(QColor(150, 100, 20), 1.2));
    p.setBrush(medal);
    p.drawEllipse(QPointF(16, 16), 14.5, 14.5);
    drawNote(p, QPointF(13, 22), 4.2, deepBlue, true, 3.2, 1);
    return image;
}

// The program's icon on a 256 x 256 square: a gold treble clef and two beamed notes on a staff, on a blue
// card.
void drawIcon(QPainter& p) {
    p.setRenderHint(QPainter::Antialiasing);
    drawCard(p, QRectF(8, 8, 240, 240), QColor(120, 170, 235), deepBlue, 44);
    const qreal gap = 26;
    const qreal top = 76;
    drawStaff(p, 24, 232, top, gap, QColor(255, 255, 255, 210), 4);
    drawTrebleClef(p, 62, top, gap, gold);
    drawBeamedPair(p, QPointF(146, top + 3 * gap), QPointF(190, top + 2 * gap), gap, Qt::white);
}

constexpr int iconSizes[] = {16, 24, 32, 48, 64, 128, 256};

bool writeIcons(const QString& folder) {
    {
        QSvgGenerator svg;
        svg.setFileName(folder + QStringLiteral("/muzyka.svg"));
        svg.setSize(QSize(256, 256));
        svg.setViewBox(QRect(0, 0, 256, 256));
        svg.setTitle(QStringLiteral("Музыка"));
        QPainter p(&svg);
        if (!p.isActive())
            return false;
        drawIcon(p);
    }
    bool ok = true;
    for (const int size : iconSizes) {
        QImage image = canvas(size, size, QImage::Format_ARGB32);
        {
            QPainter p(&image);
            p.scale(size / 256.0, size / 256.0);
            drawIcon(p);
        }
        ok = image.save(folder + QStringLiteral("/muzyka-%1.png").arg(size)) && ok;
    }
    return ok;
}

bool writeProgressiveJpeg(const QImage& source, const QString& path) {
    const QImage image = source.convertToFormat(QImage::Format_RGB888);
    FILE* out = std::fopen(QFile::encodeName(path).constData(), "wb");
    if (!out)
        return false;
    jpeg_compress_struct info{};
    jpeg_error_mgr err{};
    info.err = jpeg_std_error(&err);
    jpeg_create_compress(&info);
    jpeg_stdio_dest(&info, out);
    info.image_width = static_cast<JDIMENSION>(image.width());
    info.image_height = static_cast<JDIMENSION>(image.height());
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, 82, TRUE);
    jpeg_simple_progression(&info);
    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < info.image_height) {
        auto* row = const_cast<JSAMPROW>(image.constScanLine(static_cast<int>(info.next_scanline)));
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    return std::fclose(out) == 0;
}

} // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    const QString folder =
        argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(ESUN_SOURCE_DIR "/resources/pictures");
    const QString icons =
        argc > 2 ? QString::fromLocal8Bit(argv[2]) : QStringLiteral(ESUN_SOURCE_DIR "/packaging/icons");
    QDir().mkpath(folder);
    QDir().mkpath(icons);
    bool ok = writeProgressiveJpeg(signinBackdrop(), folder + QStringLiteral("/signin.jpg"));
    ok = writeProgressiveJpeg(resultsBackdrop(), folder + QStringLiteral("/results.jpg")) && ok;
    ok = writeProgressiveJpeg(materialsBackdrop(), folder + QStringLiteral("/materials.jpg")) && ok;
    ok = pictureA().save(folder + QStringLiteral("/button_a.png")) && ok;
    ok = pictureB().save(folder + QStringLiteral("/button_b.png")) && ok;
    ok = pictureC().save(folder + QStringLiteral("/button_c.png")) && ok;
    ok = pictureD().save(folder + QStringLiteral("/button_d.png")) && ok;
    if (!ok) {
        std::fprintf(stderr, "make_pictures: cannot write the pictures into %s\n", qPrintable(folder));
        return 1;
    }
    if (!writeIcons(icons)) {
        std::fprintf(stderr, "make_pictures: cannot write the icons into %s\n", qPrintable(icons));
        return 1;
    }
    return 0;
}
