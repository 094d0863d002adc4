#include "tools/picture_shapes.h"

#include <QLinearGradient>
#include <QPainterPathStroker>
#include <QPolygonF>
#include <QRadialGradient>
#include <QTransform>

#include <algorithm>
#include <cmath>
#include <numbers>

namespace shapes {

QColor Shade(const QColor& colour, double amount) {
    auto channel = [amount](int c) {
        const double moved = amount >= 0 ? c + amount * (255 - c) : c + amount * c;
        return std::clamp(static_cast<int>(std::lround(moved)), 0, 255);
    };
    return QColor(channel(colour.red()), channel(colour.green()), channel(colour.blue()),
                  colour.alpha());
}

QColor Outline(const QColor& fill) {
    return fill == kPaper ? kPaperLine : Shade(fill, -0.5);
}

QBrush Lit(const QRectF& area, const QColor& base) {
    QLinearGradient gradient(area.topLeft(), area.bottomRight());
    gradient.setColorAt(0.0, Shade(base, 0.4));
    gradient.setColorAt(1.0, Shade(base, -0.08));
    return QBrush(gradient);
}

QPen LinePen(const QColor& colour, double width) {
    QPen pen(colour, width);
    pen.setCapStyle(Qt::RoundCap);
    pen.setJoinStyle(Qt::RoundJoin);
    return pen;
}

void Fill(QPainter& p, const QPainterPath& path, const QColor& base, const Kit& k) {
    p.setPen(LinePen(Outline(base), k.w));
    p.setBrush(Lit(path.boundingRect(), base));
    p.drawPath(path);
}

void Stroke(QPainter& p, const QPainterPath& path, const QColor& colour, double width) {
    p.setPen(LinePen(colour, width));
    p.setBrush(Qt::NoBrush);
    p.drawPath(path);
}

QPainterPath RectPath(const QRectF& r, double radius) {
    QPainterPath path;
    if (radius > 0) {
        path.addRoundedRect(r, radius, radius);
    } else {
        path.addRect(r);
    }
    return path;
}

QPainterPath Polygon(std::initializer_list<QPointF> points) {
    QPainterPath path;
    path.addPolygon(QPolygonF(QList<QPointF>(points.begin(), points.end())));
    path.closeSubpath();
    return path;
}

QPainterPath Circle(QPointF centre, double radius) {
    QPainterPath path;
    path.addEllipse(centre, radius, radius);
    return path;
}

QPainterPath Thick(const QPainterPath& centre, double width, Qt::PenCapStyle cap) {
    QPainterPathStroker stroker;
    stroker.setWidth(width);
    stroker.setCapStyle(cap);
    stroker.setJoinStyle(Qt::RoundJoin);
    return stroker.createStroke(centre).simplified();
}

QPainterPath Line(QPointF a, QPointF b) {
    QPainterPath path(a);
    path.lineTo(b);
    return path;
}

QPainterPath Polyline(std::initializer_list<QPointF> points) {
    QPainterPath path(*points.begin());
    for (auto it = points.begin() + 1; it != points.end(); ++it) {
        path.lineTo(*it);
    }
    return path;
}

QPainterPath ArrowPath(QPointF from, QPointF to, double shaft, double head, double headLength) {
    const QLineF line(from, to);
    const double length = line.length();
    QPainterPath arrow = Polygon({{0, -shaft / 2},
                                  {length - headLength, -shaft / 2},
                                  {length - headLength, -head / 2},
                                  {length, 0},
                                  {length - headLength, head / 2},
                                  {length - headLength, shaft / 2},
                                  {0, shaft / 2}});
    QTransform turn;
    turn.translate(from.x(), from.y());
    turn.rotate(-line.angle());
    return turn.map(arrow);
}

QPainterPath ArcArrowPath(QPointF centre, double radius, double start, double sweep, double shaft,
                          double head, double headLength) {
    const QRectF box(centre.x() - radius, centre.y() - radius, 2 * radius, 2 * radius);
    QPainterPath arc;
    arc.arcMoveTo(box, start);
    arc.arcTo(box, start, sweep);
    const QPointF end = arc.currentPosition();
    const double angle =
        (sweep > 0 ? start + sweep + 90 : start + sweep - 90) * std::numbers::pi / 180.0;
    const QPointF along(std::cos(angle), -std::sin(angle));
    const QPointF across(-along.y(), along.x());
    QPainterPath tip =
        Polygon({end + across * (head / 2), end + along * headLength, end - across * (head / 2)});
    return Thick(arc, shaft, Qt::FlatCap).united(tip).simplified();
}

// ---- Shapes shared by every size ---------------------------------------------------------

void Page(QPainter& p, const QRectF& r, double fold, const Kit& k, int lines) {
    QPainterPath sheet = Polygon({r.topLeft(),
                                  {r.right() - fold, r.top()},
                                  {r.right(), r.top() + fold},
                                  r.bottomRight(),
                                  r.bottomLeft()});
    Fill(p, sheet, kPaper, k);
    QPainterPath corner = Polygon({{r.right() - fold, r.top()},
                                   {r.right() - fold, r.top() + fold},
                                   {r.right(), r.top() + fold}});
    p.setPen(LinePen(kPaperLine, k.w));
    p.setBrush(Shade(kSteel, 0.5));
    p.drawPath(corner);
    const double gap = (r.height() - fold) / (lines + 1.5);
    for (int i = 0; i < lines; ++i) {
        const double y = std::round(r.top() + fold + gap * (i + 0.8)) + (k.w == 1 ? 0.5 : 0);
        const double inset = std::max(2.0 * k.w, r.width() * 0.2);
        const double right = (i == lines - 1) ? r.center().x() : r.right() - inset;
        Stroke(p, Line({r.left() + inset, y}, {right, y}), kTextLine, k.w);
    }
}

void Folder(QPainter& p, const QRectF& r, const Kit& k, bool open) {
    const double tab = std::round(r.height() * 0.18);
    QPainterPath back = Polygon({{r.left(), r.top()},
                                 {r.left() + r.width() * 0.4, r.top()},
                                 {r.left() + r.width() * 0.4 + tab, r.top() + tab},
                                 {r.right(), r.top() + tab},
                                 r.bottomRight(),
                                 r.bottomLeft()});
    Fill(p, back, Shade(kFolder, -0.15), k);
    if (open) {
        const double sheetTop = r.top() + tab * 1.8;
        Fill(p,
             RectPath({r.left() + tab, sheetTop, r.width() - 2.5 * tab, r.height()})
                 .intersected(RectPath(r)),
             kPaper, k);
        const double skew = std::round(r.width() * 0.2);
        const double frontTop = r.top() + std::round(r.height() * 0.42);
        Fill(p,
             Polygon({{r.left() + skew, frontTop},
                      {r.right() + skew * 0.25, frontTop},
                      {r.right() - skew * 0.5, r.bottom()},
                      {r.left(), r.bottom()}}),
             kFolder, k);
    } else {
        const double frontTop = r.top() + tab * 2;
        Fill(p, RectPath({r.left(), frontTop, r.width(), r.bottom() - frontTop}), kFolder, k);
    }
}

void DriveSlab(QPainter& p, const QRectF& r, const Kit& k) {
    Fill(p, RectPath(r, k.w * 1.5), kSteel, k);
    const double y = std::round(r.center().y()) + (k.w == 1 ? 0.5 : 0);
    Stroke(p, Line({r.left() + 2 * k.w, y}, {r.center().x(), y}), Shade(kSteel, -0.45), k.w);
    const double light = std::max(1.5, r.height() * 0.16);
    p.setPen(Qt::NoPen);
    p.setBrush(Shade(kGreen, 0.25));
    p.drawEllipse(QPointF(r.right() - 2.5 * k.w - light, y), light, light);
}

void DiskBox(QPainter& p, const QRectF& r, const Kit& k) {
    const double depth = std::round(r.height() * 0.3);
    const double front = r.width() - depth;
    const double top = r.top() + depth;
    Fill(p,
         Polygon({{r.left(), top},
                  {r.left() + depth, r.top()},
                  {r.right(), r.top()},
                  {r.left() + front, top}}),
         Shade(kSteel, 0.35), k);
    Fill(p,
         Polygon({{r.left() + front, top},
                  {r.right(), r.top()},
                  {r.right(), r.bottom() - depth},
                  {r.left() + front, r.bottom()}}),
         Shade(kSteel, -0.25), k);
    const QRectF face(r.left(), top, front, r.bottom() - top);
    Fill(p, RectPath(face), kSteel, k);
    const double light = std::max(1.0, face.height() * 0.14);
    p.setPen(Qt::NoPen);
    p.setBrush(Shade(kGreen, 0.25));
    p.drawEllipse(QPointF(face.right() - 2 * k.w - light, face.center().y()), light, light);
}

void UsbStick(QPainter& p, const QRectF& r, const Kit& k) {
    const double plugHeight = std::round(r.height() * 0.34);
    const QRectF plug(r.left() + r.width() * 0.2, r.top(), r.width() * 0.6, plugHeight);
    Fill(p, RectPath(plug), kSteel, k);
    const QRectF body(r.left(), r.top() + plugHeight, r.width(), r.height() - plugHeight);
    Fill(p, RectPath(body, k.w * 1.5), kBlue, k);
    p.setPen(Qt::NoPen);
    p.setBrush(kInk);
    const double hole = std::max(1.0, plug.width() * 0.22);
    p.drawRect(
        QRectF(plug.left() + plug.width() * 0.18, plug.top() + plug.height() * 0.35, hole, hole));
    p.drawRect(QRectF(plug.right() - plug.width() * 0.18 - hole, plug.top() + plug.height() * 0.35,
                      hole, hole));
}

void Monitor(QPainter& p, const QRectF& r, const Kit& k) {
    const double standHeight = std::round(r.height() * 0.22);
    const QRectF screen(r.left(), r.top(), r.width(), r.height() - standHeight);
    Fill(p, RectPath(screen, k.w), Shade(kSteel, -0.1), k);
    const double inset = 2 * k.w;
    const QRectF glass = screen.adjusted(inset, inset, -inset, -inset);
    p.setPen(Qt::NoPen);
    p.setBrush(Lit(glass, kBlue));
    p.drawRect(glass);
    const double cx = r.center().x();
    Fill(p, RectPath({cx - r.width() * 0.3, r.bottom() - k.w * 1.5, r.width() * 0.6, k.w * 1.5}),
         kSteel, k);
    Stroke(p, Line({cx, screen.bottom() + k.w / 2}, {cx, r.bottom() - k.w * 1.5}), Outline(kSteel),
           k.w * 2);
}

void Disc(QPainter& p, QPointF centre, double radius, const Kit& k) {
    QPainterPath disc = Circle(centre, radius);
    disc.addEllipse(centre, radius * 0.22, radius * 0.22);
    disc.setFillRule(Qt::OddEvenFill);
    p.setPen(LinePen(Outline(kSteel), k.w));
    QRadialGradient shine(centre, radius, centre - QPointF(radius * 0.4, radius * 0.4));
    shine.setColorAt(0.0, kWhite);
    shine.setColorAt(0.55, Shade(kGlass, -0.05));
    shine.setColorAt(1.0, Shade(kPurple, 0.55));
    p.setBrush(shine);
    p.drawPath(disc);
    p.setBrush(Qt::NoBrush);
    p.setPen(LinePen(Shade(kSteel, -0.2), k.w));
    p.drawEllipse(centre, radius * 0.42, radius * 0.42);
}

void Check(QPainter& p, const QRectF& r, const QColor& colour, const Kit& k) {
    Fill(p,
         Thick(Polyline({{r.left(), r.top() + r.height() * 0.55},
                         {r.left() + r.width() * 0.38, r.bottom()},
                         {r.right(), r.top()}}),
               std::max(2.0, r.width() * 0.26)),
         colour, k);
}

void Cross(QPainter& p, const QRectF& r, const Kit& k) {
    const double width = std::max(1.4, r.width() * 0.22);
    QPainterPath cross = Thick(Line(r.topLeft(), r.bottomRight()), width)
                             .united(Thick(Line(r.topRight(), r.bottomLeft()), width));
    Fill(p, cross.simplified(), kRed, k);
}

void Arrow(QPainter& p, QPointF from, QPointF to, double shaft, const QColor& colour,
           const Kit& k) {
    Fill(p, ArrowPath(from, to, shaft, shaft * 2.4, shaft * 1.6), colour, k);
}

void Funnel(QPainter& p, const QRectF& r, const Kit& k) {
    const double cx = r.center().x();
    const double neck = r.width() * 0.12;
    const double waist = r.top() + r.height() * 0.5;
    Fill(p,
         Polygon({r.topLeft(),
                  r.topRight(),
                  {cx + neck, waist},
                  {cx + neck, r.bottom() - neck},
                  {cx - neck, r.bottom()},
                  {cx - neck, waist}}),
         kBlue, k);
    Fill(p, RectPath({r.left(), r.top(), r.width(), std::max(2.0, r.height() * 0.12)}),
         Shade(kBlue, 0.4), k);
}

void Octagon(QPainter& p, QPointF centre, double radius, const Kit& k) {
    QPolygonF points;
    for (int i = 0; i < 8; ++i) {
        const double angle = (22.5 + 45 * i) * std::numbers::pi / 180.0;
        points << centre + QPointF(radius * std::cos(angle), radius * std::sin(angle));
    }
    QPainterPath sign;
    sign.addPolygon(points);
    sign.closeSubpath();
    Fill(p, sign, kRed, k);
    const double half = radius * 0.36;
    p.setPen(Qt::NoPen);
    p.setBrush(kWhite);
    p.drawRect(QRectF(centre.x() - half, centre.y() - half, 2 * half, 2 * half));
}

void Magnifier(QPainter& p, QPointF centre, double radius, const Kit& k, const LensView& inside) {
    const QPointF rim = centre + QPointF(radius * 0.7071, radius * 0.7071);
    const QPointF end = centre + QPointF(radius * 1.8, radius * 1.8);
    Fill(p, Thick(Line(rim, end), std::max(2.5, radius * 0.55)), kInk, k);
    QPainterPath ring = Circle(centre, radius);
    ring.addEllipse(centre, radius - std::max(1.5, radius * 0.25),
                    radius - std::max(1.5, radius * 0.25));
    ring.setFillRule(Qt::OddEvenFill);
    const double inner = radius - std::max(1.5, radius * 0.25);
    p.setPen(Qt::NoPen);
    p.setBrush(Lit(QRectF(centre.x() - inner, centre.y() - inner, 2 * inner, 2 * inner), kGlass));
    p.drawEllipse(centre, inner, inner);
    if (inside) {
        p.save();
        p.setClipPath(Circle(centre, inner));
        inside(p, QRectF(centre.x() - inner, centre.y() - inner, 2 * inner, 2 * inner));
        p.restore();
    }
    Fill(p, ring, kSteel, k);
    Stroke(
        p,
        [&] {
            QPainterPath glint;
            const QRectF box(centre.x() - inner * 0.6, centre.y() - inner * 0.6, inner * 1.2,
                             inner * 1.2);
            glint.arcMoveTo(box, 100);
            glint.arcTo(box, 100, 60);
            return glint;
        }(),
        kWhite, k.w);
}

void Gear(QPainter& p, QPointF centre, double radius, const Kit& k) {
    QPainterPath gear;
    const int teeth = 8;
    for (int i = 0; i < teeth * 4; ++i) {
        const double angle = (i + 0.5) * 2 * std::numbers::pi / (teeth * 4);
        const double r = ((i / 2) % 2 == 0) ? radius : radius * 0.74;
        const QPointF point = centre + QPointF(r * std::cos(angle), r * std::sin(angle));
        if (i == 0) {
            gear.moveTo(point);
        } else {
            gear.lineTo(point);
        }
    }
    gear.closeSubpath();
    gear.addEllipse(centre, radius * 0.3, radius * 0.3);
    gear.setFillRule(Qt::OddEvenFill);
    Fill(p, gear, Shade(kSteel, -0.2), k);
}

void DominoMask(QPainter& p, const QRectF& r, const Kit& k) {
    auto at = [&r](double x, double y) {
        return QPointF(r.left() + x * r.width(), r.top() + y * r.height());
    };
    QPainterPath mask(at(0, 0.36));
    mask.cubicTo(at(0.17, 0), at(0.36, 0.23), at(0.5, 0.32));
    mask.cubicTo(at(0.64, 0.23), at(0.83, 0), at(1, 0.36));
    mask.cubicTo(at(0.98, 0.91), at(0.69, 1), at(0.5, 0.73));
    mask.cubicTo(at(0.31, 1), at(0.02, 0.91), at(0, 0.36));
    mask.addEllipse(at(0.29, 0.5), r.width() * 0.107, r.height() * 0.14);
    mask.addEllipse(at(0.71, 0.5), r.width() * 0.107, r.height() * 0.14);
    mask.setFillRule(Qt::OddEvenFill);
    Fill(p, mask, kPurple, k);
}

void Eye(QPainter& p, const QRectF& r, const Kit& k) {
    QPainterPath lid(QPointF(r.left(), r.center().y()));
    lid.quadTo(QPointF(r.center().x(), r.top() - r.height() * 0.45),
               QPointF(r.right(), r.center().y()));
    lid.quadTo(QPointF(r.center().x(), r.bottom() + r.height() * 0.45),
               QPointF(r.left(), r.center().y()));
    lid.closeSubpath();
    Fill(p, lid, kPaper, k);
    const double iris = r.height() * 0.42;
    p.save();
    p.setClipPath(lid);
    Fill(p, Circle(r.center(), iris), kBlue, k);
    p.setPen(Qt::NoPen);
    p.setBrush(kInk);
    p.drawEllipse(r.center(), iris * 0.45, iris * 0.45);
    p.setBrush(kWhite);
    p.drawEllipse(r.center() - QPointF(iris * 0.35, iris * 0.35), iris * 0.2, iris * 0.2);
    p.restore();
    p.setPen(LinePen(kInk, k.w));
    p.setBrush(Qt::NoBrush);
    p.drawPath(lid);
}

void Globe(QPainter& p, QPointF centre, double radius, const Kit& k) {
    Fill(p, Circle(centre, radius), kBlue, k);
    p.save();
    p.setClipPath(Circle(centre, radius));
    const QColor grid = Shade(kBlue, 0.55);
    p.setPen(LinePen(grid, k.w));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(centre, radius * 0.45, radius);
    p.drawLine(QPointF(centre.x(), centre.y() - radius), QPointF(centre.x(), centre.y() + radius));
    p.drawLine(QPointF(centre.x() - radius, centre.y()), QPointF(centre.x() + radius, centre.y()));
    // Small globes keep only the equator and one meridian, or the grid turns into a blur.
    if (radius >= 10) {
        const double lat = radius * 0.55;
        const double half = std::sqrt(radius * radius - lat * lat);
        p.drawLine(QPointF(centre.x() - half, centre.y() - lat),
                   QPointF(centre.x() + half, centre.y() - lat));
        p.drawLine(QPointF(centre.x() - half, centre.y() + lat),
                   QPointF(centre.x() + half, centre.y() + lat));
    }
    p.restore();
    p.setPen(LinePen(Outline(kBlue), k.w));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(centre, radius, radius);
}

void Floppy(QPainter& p, const QRectF& r, const Kit& k) {
    const double notch = r.width() * 0.18;
    Fill(p,
         Polygon({r.topLeft(),
                  {r.right() - notch, r.top()},
                  {r.right(), r.top() + notch},
                  r.bottomRight(),
                  r.bottomLeft()}),
         kBlue, k);
    const QRectF shutter(r.left() + r.width() * 0.25, r.top(), r.width() * 0.45, r.height() * 0.32);
    Fill(p, RectPath(shutter), kSteel, k);
    const QRectF label(r.left() + r.width() * 0.18, r.top() + r.height() * 0.52, r.width() * 0.64,
                       r.height() * 0.48);
    Fill(p, RectPath(label), kPaper, k);
}

void SectorGrid(QPainter& p, const QRectF& r, int columns, int rows, const std::vector<int>& lit,
                const Kit& k) {
    const double gap = k.w;
    const double cellWidth = (r.width() - gap * (columns - 1)) / columns;
    const double cellHeight = (r.height() - gap * (rows - 1)) / rows;
    for (int i = 0; i < columns * rows; ++i) {
        const QRectF cell(r.left() + (i % columns) * (cellWidth + gap),
                          r.top() + (i / columns) * (cellHeight + gap), cellWidth, cellHeight);
        const bool found = std::find(lit.begin(), lit.end(), i) != lit.end();
        p.setPen(LinePen(Outline(found ? kGreen : kSteel), k.w / 2));
        p.setBrush(Lit(cell, found ? kGreen : kSteel));
        p.drawRect(cell);
    }
}

void Badge(QPainter& p, QPointF centre, double radius, const QColor& colour, Sign sign,
           const Kit& k) {
    Fill(p, Circle(centre, radius), colour, k);
    const double u = radius / 7.0;
    const double pen = std::max(1.6, 2.0 * u);
    p.setPen(Qt::NoPen);
    p.setBrush(kWhite);
    switch (sign) {
    case Sign::Info:
        p.drawEllipse(centre + QPointF(0, -3.4 * u), 1.2 * u + 0.3, 1.2 * u + 0.3);
        p.drawRect(QRectF(centre.x() - pen / 2, centre.y() - 1.2 * u, pen, 5.2 * u));
        break;
    case Sign::Exclamation:
        p.drawEllipse(centre + QPointF(0, 3.6 * u), 1.2 * u + 0.3, 1.2 * u + 0.3);
        p.drawRect(QRectF(centre.x() - pen / 2, centre.y() - 4.8 * u, pen, 6.2 * u));
        break;
    case Sign::Question: {
        QPainterPath hook;
        const QRectF bow(centre.x() - 2.5 * u, centre.y() - 5.0 * u, 5.0 * u, 5.0 * u);
        hook.arcMoveTo(bow, 160);
        hook.arcTo(bow, 160, -230);
        hook.quadTo(centre + QPointF(0, 0.2 * u), centre + QPointF(0, 1.4 * u));
        Stroke(p, hook, kWhite, pen);
        p.setPen(Qt::NoPen);
        p.setBrush(kWhite);
        p.drawEllipse(centre + QPointF(0, 4.0 * u), 1.2 * u + 0.3, 1.2 * u + 0.3);
        break;
    }
    case Sign::Play:
        p.drawPath(Polygon({centre + QPointF(-2.4 * u, -3.8 * u), centre + QPointF(4.0 * u, 0),
                            centre + QPointF(-2.4 * u, 3.8 * u)}));
        break;
    case Sign::Check:
        Stroke(p,
               Polyline({centre + QPointF(-3.6 * u, 0.2 * u), centre + QPointF(-1.0 * u, 2.8 * u),
                         centre + QPointF(3.6 * u, -2.8 * u)}),
               kWhite, pen);
        break;
    case Sign::Cross:
        Stroke(p, Line(centre + QPointF(-3 * u, -3 * u), centre + QPointF(3 * u, 3 * u)), kWhite,
               pen);
        Stroke(p, Line(centre + QPointF(3 * u, -3 * u), centre + QPointF(-3 * u, 3 * u)), kWhite,
               pen);
        break;
    }
}

void Window(QPainter& p, const QRectF& r, const Kit& k, bool toolStrip, bool statusStrip) {
    Fill(p, RectPath(r, k.w), kPaper, k);
    const double bar = std::round(r.height() * 0.18);
    Fill(p, RectPath({r.left(), r.top(), r.width(), bar}, k.w), kBlue, k);
    const double strip = std::round(r.height() * 0.26);
    if (toolStrip) {
        const QRectF tools(r.left(), r.top() + bar, r.width(), strip);
        Fill(p, RectPath(tools), Shade(kSteel, 0.3), k);
        const double button = strip - 2.5 * k.w;
        for (int i = 0; i < 3; ++i) {
            const QRectF b(tools.left() + 2 * k.w + i * (button + 2 * k.w),
                           tools.top() + 1.25 * k.w, button, button);
            const QColor colours[] = {kGreen, kOrange, kRed};
            Fill(p, RectPath(b), colours[i], k);
        }
    }
    if (statusStrip) {
        const QRectF status(r.left(), r.bottom() - strip, r.width(), strip);
        Fill(p, RectPath(status), kOrange, k);
        const double x = std::round(status.left() + status.width() * 0.6) + (k.w == 1 ? 0.5 : 0);
        Stroke(p, Line({x, status.top()}, {x, status.bottom()}), Outline(kOrange), k.w);
    }
}

void LogLines(QPainter& p, const QRectF& r, const Kit& k, int rows) {
    Fill(p, RectPath(r, k.w), kPaper, k);
    const QColor dots[] = {kBlue, kGreen, kRed, kGreen, kOrange};
    const double gap = r.height() / rows;
    for (int i = 0; i < rows; ++i) {
        const double y = std::round(r.top() + gap * (i + 0.5)) + (k.w == 1 ? 0.5 : 0);
        const double dot = std::max(1.2, gap * 0.26);
        p.setPen(Qt::NoPen);
        p.setBrush(dots[i % 5]);
        p.drawEllipse(QPointF(r.left() + 2 * k.w + dot, y), dot, dot);
        Stroke(p,
               Line({r.left() + 3 * k.w + 2 * dot + k.w, y},
                    {r.right() - 2 * k.w - (i % 2) * r.width() * 0.2, y}),
               kTextLine, k.w);
    }
}

void ViewStyle(QPainter& p, const QRectF& r, const Kit& k, int style) {
    p.setPen(LinePen(Outline(kBlue), k.w));
    p.setBrush(Lit(r, kBlue));
    auto box = [&](double x, double y, double edge) { p.drawRect(QRectF(x, y, edge, edge)); };
    auto text = [&](double x1, double x2, double y) {
        Stroke(p, Line({x1, y}, {x2, y}), kInk, k.w);
    };
    const double s = r.width();
    switch (style) {
    case 0: // large: two by two big squares
        for (int i = 0; i < 4; ++i) {
            box(r.left() + (i % 2) * s * 0.56, r.top() + (i / 2) * s * 0.56, s * 0.44);
        }
        break;
    case 1: // small: two columns of small squares with short names
        for (int i = 0; i < 6; ++i) {
            const double x = r.left() + (i % 2) * s * 0.54;
            const double y = r.top() + (i / 2) * s * 0.36;
            p.setPen(LinePen(Outline(kBlue), k.w));
            p.setBrush(Lit(r, kBlue));
            box(x, y, s * 0.22);
            text(x + s * 0.3, x + s * 0.44, y + s * 0.11);
        }
        break;
    case 2: // list: one column, long names
        for (int i = 0; i < 4; ++i) {
            const double y = r.top() + i * s * 0.27;
            p.setPen(LinePen(Outline(kBlue), k.w));
            p.setBrush(Lit(r, kBlue));
            box(r.left(), y, s * 0.19);
            text(r.left() + s * 0.3, r.right() - (i % 2) * s * 0.2, y + s * 0.095);
        }
        break;
    default: // details: a header and rows split in columns
        Fill(p, RectPath({r.left(), r.top(), s, s * 0.2}), kSteel, k);
        for (int i = 0; i < 3; ++i) {
            const double y = r.top() + s * 0.34 + i * s * 0.24;
            text(r.left(), r.left() + s * 0.42, y);
            text(r.left() + s * 0.56, r.left() + s * 0.74, y);
            text(r.left() + s * 0.86, r.right(), y);
        }
        break;
    }
}

void Flag(QPainter& p, const Kit& k, const std::vector<QColor>& bands, bool vertical,
          const std::vector<double>& weights) {
    const QRectF r(1.5, 3.5, 13, 9);
    double total = 0;
    for (size_t i = 0; i < bands.size(); ++i) {
        total += weights.empty() ? 1.0 : weights[i];
    }
    double at = 0;
    p.setPen(Qt::NoPen);
    for (size_t i = 0; i < bands.size(); ++i) {
        const double part = (weights.empty() ? 1.0 : weights[i]) / total;
        const QRectF band =
            vertical ? QRectF(r.left() + at * r.width(), r.top(), part * r.width(), r.height())
                     : QRectF(r.left(), r.top() + at * r.height(), r.width(), part * r.height());
        p.setBrush(bands[i]);
        p.drawRect(band);
        at += part;
    }
    // The same light as every other picture, laid over the cloth.
    QLinearGradient light(r.topLeft(), r.bottomRight());
    light.setColorAt(0.0, QColor(255, 255, 255, 90));
    light.setColorAt(1.0, QColor(0, 0, 0, 30));
    p.setBrush(light);
    p.drawRect(r);
    p.setPen(LinePen(kPaperLine, k.w));
    p.setBrush(Qt::NoBrush);
    p.drawRect(r);
}

void EnglishFlag(QPainter& p, const Kit& k) {
    Flag(p, k, {kWhite}, false);
    p.setPen(Qt::NoPen);
    p.setBrush(kRed);
    p.drawRect(QRectF(6.5, 4, 3, 8));
    p.drawRect(QRectF(2, 6.5, 12, 3));
}

} // namespace shapes
