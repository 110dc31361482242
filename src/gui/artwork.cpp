#include "gui/artwork.h"

#include <QFont>
#include <QFontMetricsF>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPen>
#include <QPolygonF>
#include <QRadialGradient>
#include <QString>

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>

namespace korvane::gui {

namespace {

// One palette for every picture and the help pages: deep navy for structure,
// teal for "checked / alive", warm amber as the accent, soft paper tones behind.
constexpr QRgb kNavy = 0xFF1B3358;
constexpr QRgb kNavyDeep = 0xFF0E1D33;
constexpr QRgb kNavyLight = 0xFF2D4C78;
constexpr QRgb kTeal = 0xFF1E9C8F;
constexpr QRgb kTealDeep = 0xFF146F66;
constexpr QRgb kTealLight = 0xFF5ED3C3;
constexpr QRgb kAmber = 0xFFF2A541;
constexpr QRgb kAmberDeep = 0xFFC9761E;
constexpr QRgb kAmberLight = 0xFFF9CD88;
constexpr QRgb kPaper = 0xFFFBFAF6;
constexpr QRgb kWindow = 0xFFECEFF2; // near the usual light window grey
constexpr QRgb kMist = 0xFFD5DEE6;
constexpr QRgb kSlate = 0xFF8796A8;
constexpr QRgb kSlateLight = 0xFFA9B8C9;
constexpr QRgb kEdge = 0xFF9FAEBD;
constexpr QRgb kWhite = 0xFFFFFFFF;
constexpr QRgb kSplashTransparent = 0xFF0000FF;

constexpr int kLogWidth = 494;
constexpr int kLogHeight = 279;
constexpr int kLogoWidth = 85;
constexpr int kLogoHeight = 53;
constexpr int kSplashWidth = 400;
constexpr int kSplashHeight = 198;

constexpr QRectF kTileRect{4.0, 4.0, 72.0, 72.0};
constexpr qreal kTileRadius = 13.0;

QColor Colour(QRgb rgb, int alpha = 255) {
    QColor colour = QColor::fromRgb(rgb);
    colour.setAlpha(alpha);
    return colour;
}

QPen RoundPen(const QColor& colour, qreal width) {
    return QPen(colour, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

QFont WordmarkFont(int pixelSize) {
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setBold(true);
    font.setPixelSize(pixelSize);
    return font;
}

// --- shared shapes -------------------------------------------------------

// The Korvane badge: a navy rounded square carrying a "K" whose arms end in
// nodes, a nod to linked pages. Below ~28 px the nodes and gloss only blur.
void DrawBadge(QPainter& p, const QRectF& box) {
    const qreal s = box.width();
    const bool detailed = s >= 28.0;
    const auto at = [&](qreal x, qreal y) {
        return QPointF(box.left() + x * s, box.top() + y * s);
    };

    QPainterPath shape;
    shape.addRoundedRect(box, s * 0.23, s * 0.23);
    QLinearGradient fill(box.topLeft(), box.bottomLeft());
    fill.setColorAt(0.0, Colour(kNavyLight));
    fill.setColorAt(1.0, Colour(kNavyDeep));
    p.fillPath(shape, fill);

    if (detailed) {
        p.save();
        p.setClipPath(shape);
        p.setPen(Qt::NoPen);
        p.setBrush(Colour(kWhite, 20));
        p.drawEllipse(at(0.5, -0.22), s * 0.85, s * 0.62);
        p.restore();

        QPainterPath rim;
        const qreal inset = s * 0.035;
        rim.addRoundedRect(box.adjusted(inset, inset, -inset, -inset), s * 0.2, s * 0.2);
        p.strokePath(rim, QPen(Colour(kTealLight, 70), std::max(1.0, s * 0.014)));
    }

    const qreal stroke = std::max(1.5, s * 0.11);
    const QPointF upperEnd = at(0.69, 0.27);
    const QPointF lowerEnd = at(0.70, 0.74);
    p.setPen(RoundPen(Colour(kAmber), stroke * 0.92));
    p.drawLine(at(0.48, 0.45), lowerEnd);
    p.setPen(RoundPen(Colour(kTealLight), stroke * 0.92));
    p.drawLine(at(0.40, 0.53), upperEnd);
    p.setPen(RoundPen(Colour(kWhite), stroke));
    p.drawLine(at(0.33, 0.25), at(0.33, 0.75));

    if (detailed) {
        const qreal node = s * 0.075;
        p.setPen(QPen(Colour(kNavyDeep), s * 0.02));
        p.setBrush(Colour(kTealLight));
        p.drawEllipse(upperEnd, node, node);
        p.setBrush(Colour(kAmber));
        p.drawEllipse(lowerEnd, node, node);
    }
}

// Raised button face; pressed, it sinks: darker at the top, shadowed inside.
void DrawButtonFace(QPainter& p, bool pressed) {
    p.fillRect(QRectF(0, 0, kButtonPictureSize, kButtonPictureSize), Colour(kWindow));
    QPainterPath face;
    face.addRoundedRect(kTileRect, kTileRadius, kTileRadius);

    if (!pressed) {
        for (int i = 3; i >= 1; --i) {
            const qreal spread = 0.6 * i;
            QPainterPath shadow;
            shadow.addRoundedRect(
                kTileRect.translated(0, 1.2 + spread).adjusted(-spread, -spread, spread, spread),
                kTileRadius + spread, kTileRadius + spread);
            p.fillPath(shadow, Colour(kNavyDeep, 16));
        }
    }

    QLinearGradient fill(kTileRect.topLeft(), kTileRect.bottomLeft());
    fill.setColorAt(0.0, Colour(pressed ? 0xFFCFD9E2 : kWhite));
    fill.setColorAt(1.0, Colour(pressed ? 0xFFE6ECF0 : 0xFFE2E8EE));
    p.fillPath(face, fill);

    p.save();
    p.setClipPath(face);
    if (pressed) {
        // Stroke a copy shifted down-right: only its top-left band lands inside.
        const QPainterPath shifted = face.translated(2.0, 2.0);
        p.strokePath(shifted, QPen(Colour(kNavyDeep, 34), 5.0));
        p.strokePath(shifted, QPen(Colour(kNavyDeep, 30), 2.5));
    } else {
        QLinearGradient gleam(kTileRect.topLeft(), kTileRect.bottomLeft());
        gleam.setColorAt(0.0, Colour(kWhite, 255));
        gleam.setColorAt(0.5, Colour(kWhite, 0));
        p.strokePath(face.translated(0.0, 1.0), QPen(QBrush(gleam), 2.0));
    }
    p.restore();

    p.strokePath(face, QPen(Colour(pressed ? kSlate : kEdge), 1.2));
}

// A sheet with its top-right corner folded down.
void DrawDocument(QPainter& p, const QRectF& r, QRgb paper, QRgb edge) {
    const qreal fold = r.width() * 0.28;
    QPainterPath sheet;
    sheet.moveTo(r.topLeft());
    sheet.lineTo(r.right() - fold, r.top());
    sheet.lineTo(r.right(), r.top() + fold);
    sheet.lineTo(r.bottomRight());
    sheet.lineTo(r.bottomLeft());
    sheet.closeSubpath();

    QLinearGradient fill(r.topLeft(), r.bottomRight());
    fill.setColorAt(0.0, Colour(paper));
    fill.setColorAt(1.0, Colour(paper).darker(106));
    p.fillPath(sheet, fill);
    p.strokePath(sheet, RoundPen(Colour(edge), 2.0));

    QPainterPath flap;
    flap.moveTo(r.right() - fold, r.top());
    flap.lineTo(r.right() - fold, r.top() + fold);
    flap.lineTo(r.right(), r.top() + fold);
    flap.closeSubpath();
    p.fillPath(flap, Colour(kMist));
    p.strokePath(flap, RoundPen(Colour(edge), 2.0));
}

// Ragged "text" lines; the fixed pattern keeps every picture reproducible.
void DrawTextLines(QPainter& p, QPointF origin, qreal width, int count, qreal spacing,
                   const QColor& colour) {
    constexpr std::array<qreal, 5> kLengths{1.0, 0.78, 0.92, 0.62, 0.85};
    p.setPen(RoundPen(colour, 2.4));
    for (int i = 0; i < count; ++i) {
        const qreal y = origin.y() + i * spacing;
        const qreal length = width * kLengths[static_cast<std::size_t>(i) % kLengths.size()];
        p.drawLine(QPointF(origin.x(), y), QPointF(origin.x() + length, y));
    }
}

// Teal disc with a white tick, ringed in paper so it reads over anything.
void DrawCheckBadge(QPainter& p, QPointF centre, qreal radius) {
    p.setPen(Qt::NoPen);
    p.setBrush(Colour(kPaper));
    p.drawEllipse(centre, radius + 2.5, radius + 2.5);

    QLinearGradient fill(centre.x(), centre.y() - radius, centre.x(), centre.y() + radius);
    fill.setColorAt(0.0, Colour(kTeal).lighter(115));
    fill.setColorAt(1.0, Colour(kTealDeep));
    p.setBrush(fill);
    p.drawEllipse(centre, radius, radius);

    QPainterPath tick;
    tick.moveTo(centre + QPointF(-0.46 * radius, 0.02 * radius));
    tick.lineTo(centre + QPointF(-0.12 * radius, 0.36 * radius));
    tick.lineTo(centre + QPointF(0.48 * radius, -0.32 * radius));
    p.strokePath(tick, RoundPen(Colour(kWhite), radius * 0.27));
}

// Open folder in the warm accent, a sheet peeking out of it.
void DrawFolder(QPainter& p, const QRectF& r) {
    const qreal w = r.width();
    const qreal h = r.height();
    const qreal tab = h * 0.16;
    const QColor outline = Colour(kAmberDeep).darker(115);

    QPainterPath back;
    back.addRoundedRect(QRectF(r.left(), r.top() + tab, w, h - tab), 4.0, 4.0);
    QPainterPath tabShape;
    tabShape.addRoundedRect(QRectF(r.left(), r.top(), w * 0.4, tab * 2.0), 4.0, 4.0);
    back = back.united(tabShape);
    p.fillPath(back, Colour(kAmberDeep));
    p.strokePath(back, RoundPen(outline, 1.6));

    const QRectF sheet(r.left() + w * 0.1, r.top() + tab * 1.7, w * 0.8, h * 0.5);
    p.setPen(RoundPen(Colour(kEdge), 1.4));
    p.setBrush(Colour(kPaper));
    p.drawRect(sheet);
    DrawTextLines(p, sheet.topLeft() + QPointF(5.0, 6.0), sheet.width() - 12.0, 2, 5.0,
                  Colour(kSlateLight));

    QPolygonF front;
    front << QPointF(r.left() + w * 0.1, r.top() + h * 0.38)
          << QPointF(r.right(), r.top() + h * 0.38) << QPointF(r.right() - w * 0.05, r.bottom())
          << QPointF(r.left(), r.bottom());
    QPainterPath flap;
    flap.addPolygon(front);
    flap.closeSubpath();
    QLinearGradient fill(r.left(), r.top() + h * 0.38, r.left(), r.bottom());
    fill.setColorAt(0.0, Colour(kAmberLight));
    fill.setColorAt(1.0, Colour(kAmber));
    p.fillPath(flap, fill);
    p.strokePath(flap, RoundPen(outline, 1.6));
}

// Teal globe with a light graticule, lit from the top left.
void DrawGlobe(QPainter& p, QPointF centre, qreal radius) {
    QRadialGradient fill(centre + QPointF(-0.35 * radius, -0.4 * radius), radius * 1.5);
    fill.setColorAt(0.0, Colour(kTealLight));
    fill.setColorAt(0.55, Colour(kTeal));
    fill.setColorAt(1.0, Colour(kTealDeep));
    p.setPen(Qt::NoPen);
    p.setBrush(fill);
    p.drawEllipse(centre, radius, radius);

    QPainterPath disc;
    disc.addEllipse(centre, radius, radius);
    p.save();
    p.setClipPath(disc);
    p.setPen(QPen(Colour(kWhite, 140), 1.5));
    p.setBrush(Qt::NoBrush);
    for (const qreal y : {-0.5, 0.0, 0.5}) {
        p.drawLine(QPointF(centre.x() - radius, centre.y() + y * radius),
                   QPointF(centre.x() + radius, centre.y() + y * radius));
    }
    p.drawLine(QPointF(centre.x(), centre.y() - radius), QPointF(centre.x(), centre.y() + radius));
    p.drawEllipse(centre, radius * 0.5, radius);
    p.restore();

    p.setPen(QPen(Colour(kNavy), 2.6));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(centre, radius, radius);
}

// Ring, glint and handle of a magnifying glass; the caller paints the lens.
void DrawMagnifierFrame(QPainter& p, QPointF centre, qreal radius) {
    const qreal diagonal = 1.0 / std::numbers::sqrt2;
    const QPointF direction(diagonal, diagonal);
    const QPointF handleStart = centre + direction * (radius + 1.5);
    const QPointF handleEnd = centre + direction * (radius + 13.0);
    p.setPen(RoundPen(Colour(kAmberDeep), 8.0));
    p.drawLine(handleStart, handleEnd);
    p.setPen(RoundPen(Colour(kAmber), 5.0));
    p.drawLine(handleStart, handleEnd);

    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(Colour(kNavy), 3.6));
    p.drawEllipse(centre, radius, radius);

    const QRectF glintBox(centre.x() - radius * 0.7, centre.y() - radius * 0.7, radius * 1.4,
                          radius * 1.4);
    p.setPen(RoundPen(Colour(kWhite, 220), 2.0));
    p.drawArc(glintBox, 100 * 16, 55 * 16);
}

// One oval chain link lying along the x axis of the current transform.
QPainterPath ChainLink(qreal centreX, qreal length, qreal width) {
    QPainterPath link;
    link.addRoundedRect(QRectF(centreX - length / 2, -width / 2, length, width), width / 2,
                        width / 2);
    return link;
}

void StrokeChainLink(QPainter& p, const QPainterPath& link, QRgb body, QRgb outline) {
    p.strokePath(link, RoundPen(Colour(outline), 8.4));
    p.strokePath(link, RoundPen(Colour(body), 5.6));
    p.strokePath(link, RoundPen(Colour(kWhite, 70), 1.4));
}

// --- button glyphs -------------------------------------------------------

void DrawHeaderGlyph(QPainter& p) {
    const QRectF page(14.0, 11.0, 38.0, 52.0);
    DrawDocument(p, page, kPaper, kNavy);
    p.setPen(Qt::NoPen);
    p.setBrush(Colour(kTeal));
    p.drawRoundedRect(QRectF(19.0, 25.0, 28.0, 8.0), 2.0, 2.0);
    DrawTextLines(p, QPointF(20.0, 40.0), 24.0, 4, 5.5, Colour(kSlateLight));

    // The lens shows the header band enlarged, "key: value" bars and all.
    const QPointF lens(50.0, 46.0);
    const qreal radius = 12.5;
    QPainterPath disc;
    disc.addEllipse(lens, radius, radius);
    p.save();
    p.setClipPath(disc);
    p.fillRect(disc.boundingRect(), Colour(kPaper));
    p.fillRect(QRectF(36.0, 38.0, 30.0, 13.0), Colour(kTeal));
    p.setPen(RoundPen(Colour(kWhite), 2.6));
    p.drawLine(QPointF(41.0, 44.5), QPointF(46.0, 44.5));
    p.drawLine(QPointF(50.0, 44.5), QPointF(59.0, 44.5));
    p.setPen(RoundPen(Colour(kSlateLight), 3.0));
    p.drawLine(QPointF(40.0, 56.0), QPointF(56.0, 56.0));
    p.restore();
    DrawMagnifierFrame(p, lens, radius);
}

void DrawVerifyFileGlyph(QPainter& p) {
    const QRectF remote(31.0, 9.0, 33.0, 45.0);
    DrawDocument(p, remote, 0xFFEEF2F5, kSlate);
    DrawTextLines(p, QPointF(36.0, 25.0), 20.0, 4, 5.5, Colour(kSlateLight));

    const QRectF local(15.0, 20.0, 34.0, 47.0);
    DrawDocument(p, local, kPaper, kNavy);
    p.setPen(RoundPen(Colour(kTeal), 3.0));
    p.drawLine(QPointF(20.5, 28.0), QPointF(33.0, 28.0));
    DrawTextLines(p, QPointF(20.5, 37.0), 22.0, 5, 5.5, Colour(kSlate));

    DrawCheckBadge(p, QPointF(55.0, 58.0), 11.5);
}

void DrawVerifyFolderGlyph(QPainter& p) {
    DrawFolder(p, QRectF(9.0, 16.0, 58.0, 45.0));
    DrawCheckBadge(p, QPointF(58.0, 59.0), 11.5);
}

void DrawCheckSiteGlyph(QPainter& p) {
    DrawGlobe(p, QPointF(40.0, 38.0), 23.0);

    // A heartbeat across the globe: the site is being watched and answers.
    QPainterPath pulse;
    pulse.moveTo(10.0, 44.0);
    pulse.lineTo(25.0, 44.0);
    pulse.lineTo(30.0, 33.0);
    pulse.lineTo(37.0, 57.0);
    pulse.lineTo(44.0, 24.0);
    pulse.lineTo(50.0, 44.0);
    pulse.lineTo(70.0, 44.0);
    p.strokePath(pulse, RoundPen(Colour(kWhite), 7.0));
    p.strokePath(pulse, RoundPen(Colour(kAmberDeep), 4.2));
    p.strokePath(pulse, RoundPen(Colour(kAmber), 2.2));
}

void DrawLinksGlyph(QPainter& p) {
    constexpr qreal kLength = 42.0;
    constexpr qreal kWidth = 21.0;
    // Cap centres one radius apart, so the links cross cleanly at +/-60 degrees.
    constexpr qreal kOffset = (kLength - kWidth / 2) / 2;

    p.save();
    p.translate(40.0, 40.0);
    p.rotate(-45.0);
    const QPainterPath first = ChainLink(-kOffset, kLength, kWidth);
    const QPainterPath second = ChainLink(kOffset, kLength, kWidth);
    StrokeChainLink(p, first, kNavy, kNavyDeep);
    StrokeChainLink(p, second, kTeal, kTealDeep);

    // Bring the first link back on top at one crossing so they interlock.
    const qreal crossingY = kWidth / 2 * std::sqrt(3.0) / 2;
    QPainterPath over;
    over.addEllipse(QPointF(0.0, crossingY), 6.5, 6.5);
    p.setClipPath(over);
    StrokeChainLink(p, first, kNavy, kNavyDeep);
    p.restore();
}

void DrawGlyph(QPainter& p, int index) {
    switch (index) {
    case 0:
        DrawHeaderGlyph(p);
        break;
    case 1:
        DrawVerifyFileGlyph(p);
        break;
    case 2:
        DrawVerifyFolderGlyph(p);
        break;
    case 3:
        DrawCheckSiteGlyph(p);
        break;
    case 4:
        DrawLinksGlyph(p);
        break;
    default:
        break;
    }
}

// Soft wave bands along the bottom of the splash card.
void DrawWaves(QPainter& p, qreal width, qreal height) {
    QPainterPath back;
    back.moveTo(0, height * 0.74);
    back.cubicTo(width * 0.3, height * 0.62, width * 0.6, height * 0.9, width, height * 0.70);
    back.lineTo(width, height);
    back.lineTo(0, height);
    back.closeSubpath();
    p.fillPath(back, Colour(kTeal, 34));

    QPainterPath front;
    front.moveTo(0, height * 0.86);
    front.cubicTo(width * 0.35, height * 0.78, width * 0.7, height * 0.98, width, height * 0.82);
    front.lineTo(width, height);
    front.lineTo(0, height);
    front.closeSubpath();
    p.fillPath(front, Colour(kTealLight, 26));
}

// Largest pixel size up to `start` at which `text` fits in `width`.
QFont FitWordmark(const QString& text, int start, qreal width) {
    int size = start;
    while (size > 8 && QFontMetricsF(WordmarkFont(size)).horizontalAdvance(text) > width) {
        --size;
    }
    return WordmarkFont(size);
}

} // namespace

QImage ButtonPicture(int index, bool pressed) {
    QImage image(kButtonPictureSize, kButtonPictureSize, QImage::Format_RGB32);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    DrawButtonFace(p, pressed);

    p.save();
    if (pressed) {
        p.translate(1.5, 1.5);
    }
    DrawGlyph(p, index);
    p.restore();

    if (pressed) {
        QPainterPath face;
        face.addRoundedRect(kTileRect, kTileRadius, kTileRadius);
        p.fillPath(face, Colour(kNavyDeep, 14));
    }
    return image;
}

QImage LogBackground() {
    QImage image(kLogWidth, kLogHeight, QImage::Format_RGB32);
    QPainter p(&image);

    // Ends in the window colour so the logo strip underneath continues it.
    QLinearGradient paper(0, 0, 0, kLogHeight);
    paper.setColorAt(0.0, Colour(kPaper));
    paper.setColorAt(0.7, Colour(0xFFF5F6F4));
    paper.setColorAt(1.0, Colour(kWindow));
    p.fillRect(image.rect(), paper);

    QRadialGradient tint(QPointF(kLogWidth, 0), kLogWidth * 0.9);
    tint.setColorAt(0.0, Colour(kTeal, 16));
    tint.setColorAt(1.0, Colour(kTeal, 0));
    p.fillRect(image.rect(), tint);

    // Faint squared paper, crisp single pixels.
    constexpr int kGrid = 19;
    p.setPen(QPen(Colour(kMist, 60), 1.0));
    for (int x = kGrid; x < kLogWidth; x += kGrid) {
        p.drawLine(x, 0, x, kLogHeight);
    }
    for (int y = kGrid; y < kLogHeight; y += kGrid) {
        p.drawLine(0, y, kLogWidth, y);
    }

    p.setRenderHint(QPainter::Antialiasing);
    constexpr int kMark = 150;
    QImage mark(kMark, kMark, QImage::Format_ARGB32_Premultiplied);
    mark.fill(Qt::transparent);
    {
        QPainter m(&mark);
        m.setRenderHint(QPainter::Antialiasing);
        DrawBadge(m, QRectF(0, 0, kMark, kMark));
    }
    p.setOpacity(0.055);
    p.drawImage(QPointF(kLogWidth - kMark - 30, (kLogHeight - kMark) / 2.0), mark);
    return image;
}

QImage Logo() {
    QImage image(kLogoWidth, kLogoHeight, QImage::Format_RGB32);
    image.fill(Colour(kWindow));
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);

    constexpr qreal kBadge = 32.0;
    DrawBadge(p, QRectF((kLogoWidth - kBadge) / 2, 2.0, kBadge, kBadge));

    const QString name = QStringLiteral("Korvane");
    const QFont font = FitWordmark(name, 14, kLogoWidth - 6.0);
    const QFontMetricsF metrics(font);
    const qreal x = (kLogoWidth - metrics.horizontalAdvance(name)) / 2;
    p.setFont(font);
    p.setPen(Colour(kNavy));
    p.drawText(QPointF(x, kLogoHeight - 4.0), name);
    return image;
}

QImage SplashPicture() {
    const QRectF card(4.0, 4.0, kSplashWidth - 8.0, kSplashHeight - 8.0);
    constexpr qreal kRadius = 26.0;

    // The outline is decided without anti-aliasing: each pixel is plainly card
    // or plainly background, so no edge pixel comes out tinted towards the key.
    QImage mask(kSplashWidth, kSplashHeight, QImage::Format_ARGB32_Premultiplied);
    mask.fill(Qt::transparent);
    {
        QPainter m(&mask);
        QPainterPath shape;
        shape.addRoundedRect(card, kRadius, kRadius);
        m.fillPath(shape, Qt::white);
    }

    QImage art(kSplashWidth, kSplashHeight, QImage::Format_RGB32);
    {
        QPainter p(&art);
        p.setRenderHint(QPainter::Antialiasing);
        QLinearGradient ground(0, 0, kSplashWidth, kSplashHeight);
        ground.setColorAt(0.0, Colour(kNavyLight));
        ground.setColorAt(0.55, Colour(kNavy));
        ground.setColorAt(1.0, Colour(kNavyDeep));
        p.fillRect(art.rect(), ground);
        DrawWaves(p, kSplashWidth, kSplashHeight);

        const QRectF badge(30.0, 36.0, 118.0, 118.0);
        QRadialGradient glow(badge.center(), badge.width() * 0.8);
        glow.setColorAt(0.0, Colour(kTealLight, 70));
        glow.setColorAt(1.0, Colour(kTealLight, 0));
        p.fillRect(badge.adjusted(-40, -40, 40, 40), glow);
        DrawBadge(p, badge);

        constexpr qreal kTextLeft = 172.0;
        const QString name = QStringLiteral("Korvane");
        p.setFont(FitWordmark(name, 46, kSplashWidth - kTextLeft - 26.0));
        p.setPen(Colour(kWhite));
        p.drawText(QPointF(kTextLeft, 92.0), name);

        p.setPen(Qt::NoPen);
        p.setBrush(Colour(kAmber));
        p.drawRoundedRect(QRectF(kTextLeft + 2.0, 104.0, 46.0, 4.0), 2.0, 2.0);

        QFont tagline(QStringLiteral("DejaVu Sans"));
        tagline.setPixelSize(18);
        p.setFont(tagline);
        p.setPen(Colour(kTealLight));
        p.drawText(QPointF(kTextLeft, 134.0), QStringLiteral("Web site tools"));

        QFont release(QStringLiteral("DejaVu Sans"));
        release.setPixelSize(12);
        p.setFont(release);
        p.setPen(Colour(kSlateLight));
        p.drawText(QPointF(kTextLeft, 160.0), QStringLiteral("Release 52.00"));
    }

    const auto inside = [&mask](int x, int y) {
        return x >= 0 && y >= 0 && x < kSplashWidth && y < kSplashHeight &&
               qAlpha(mask.pixel(x, y)) > 127;
    };
    // A rim two pixels wide, wherever the outside is that close.
    const auto onRim = [&inside](int x, int y) {
        for (int dy = -2; dy <= 2; ++dy) {
            for (int dx = -2; dx <= 2; ++dx) {
                if (!inside(x + dx, y + dy)) {
                    return true;
                }
            }
        }
        return false;
    };

    QImage image(kSplashWidth, kSplashHeight, QImage::Format_RGB32);
    for (int y = 0; y < kSplashHeight; ++y) {
        for (int x = 0; x < kSplashWidth; ++x) {
            QRgb pixel = kSplashTransparent;
            if (inside(x, y)) {
                pixel = onRim(x, y) ? kTeal : art.pixel(x, y);
                if (pixel == kSplashTransparent) {
                    pixel = 0xFF0000FE; // never let the card show through as a hole
                }
            }
            image.setPixel(x, y, pixel);
        }
    }
    return image;
}

QImage ApplicationIcon(int size) {
    size = std::max(size, 1);
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);

    // Large icons get room for a soft shadow; small ones need every pixel.
    const qreal margin = size >= 48 ? size * 0.06 : (size >= 32 ? 1.0 : 0.0);
    const QRectF box(margin, margin * 0.7, size - 2 * margin, size - 2 * margin);
    if (size >= 48) {
        for (int i = 3; i >= 1; --i) {
            const qreal spread = size * 0.008 * i;
            QPainterPath shadow;
            shadow.addRoundedRect(
                box.translated(0, size * 0.02).adjusted(-spread, -spread, spread, spread),
                box.width() * 0.23 + spread, box.width() * 0.23 + spread);
            p.fillPath(shadow, Colour(kNavyDeep, 28));
        }
    }
    DrawBadge(p, box);
    p.end();
    return image.convertToFormat(QImage::Format_ARGB32);
}

} // namespace korvane::gui
