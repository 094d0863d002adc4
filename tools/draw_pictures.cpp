// Draws the pictures of the main window into PNG strips, one picture after another from left
// to right, on a transparent background:
//
//     draw_pictures <output folder>
//
// Every picture is drawn here from a few shapes in one palette, lit from the top left, with one
// outline weight per size (1 px at 16 px, 2 px at 32 and 48 px). The 16 px pictures are drawn
// for their size rather than scaled down, so their lines fall on whole pixels. The hot and
// disabled toolbar strips are computed from the normal one, so the three never drift apart.

#include <QColor>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPainterPathStroker>
#include <QRadialGradient>
#include <QTransform>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <numbers>
#include <string>
#include <vector>

namespace {

// The palette. Every fill is one of these, lit by Lit(); every outline is Outline() of its fill.
const QColor kPaper(252, 252, 253);
const QColor kPaperLine(98, 106, 118);
const QColor kTextLine(150, 160, 174);
const QColor kInk(52, 60, 72);
const QColor kFolder(242, 190, 72);
const QColor kBlue(56, 118, 208);
const QColor kGreen(54, 158, 70);
const QColor kRed(212, 60, 52);
const QColor kOrange(240, 148, 36);
const QColor kSteel(178, 186, 196);
const QColor kGlass(206, 228, 250);
const QColor kPurple(122, 82, 172);
const QColor kWhite(255, 255, 255);
const QColor kBlack(36, 36, 36);
const QColor kGold(250, 204, 40);

// Moves a colour towards white (amount > 0) or black (amount < 0).
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

// The light comes from the top left: lighter there, slightly darker at the bottom right.
QBrush Lit(const QRectF& area, const QColor& base) {
    QLinearGradient gradient(area.topLeft(), area.bottomRight());
    gradient.setColorAt(0.0, Shade(base, 0.4));
    gradient.setColorAt(1.0, Shade(base, -0.08));
    return QBrush(gradient);
}

// One size of picture: its edge and the outline weight used throughout it.
struct Kit {
    int size;
    double w;
};

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

QPainterPath RectPath(const QRectF& r, double radius = 0) {
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

// A centre line turned into a closed shape of the given width, so it can be filled and outlined.
QPainterPath Thick(const QPainterPath& centre, double width, Qt::PenCapStyle cap = Qt::RoundCap) {
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

// A straight arrow from one point to its tip.
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

// An arc of a circle with an arrow head at its end, as one closed shape.
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

void Page(QPainter& p, const QRectF& r, double fold, const Kit& k, int lines = 3) {
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

// A drive seen from the front: a grey slab with a slot and a green light.
void DriveSlab(QPainter& p, const QRectF& r, const Kit& k) {
    Fill(p, RectPath(r, k.w * 1.5), kSteel, k);
    const double y = std::round(r.center().y()) + (k.w == 1 ? 0.5 : 0);
    Stroke(p, Line({r.left() + 2 * k.w, y}, {r.center().x(), y}), Shade(kSteel, -0.45), k.w);
    const double light = std::max(1.5, r.height() * 0.16);
    p.setPen(Qt::NoPen);
    p.setBrush(Shade(kGreen, 0.25));
    p.drawEllipse(QPointF(r.right() - 2.5 * k.w - light, y), light, light);
}

// A disk drive as a box seen from above the front left: lit top, shaded side, light in front.
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

void Magnifier(QPainter& p, QPointF centre, double radius, const Kit& k) {
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

// An eye mask: it hides most of what lies behind and lets some show through.
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

// A round badge with a white sign on it (information, question, play, check, cross).
enum class Sign { Info, Question, Play, Check, Cross, Exclamation };

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

// A window with a title bar; optionally a tool strip below the title or a status strip at the
// bottom.
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

// Lines of a log, each led by a coloured dot.
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

// Pictograms of the four view styles, in ink on nothing.
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
          const std::vector<double>& weights = {}) {
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

// ---- Turning drawings into strips ---------------------------------------------------------

using Drawing = std::function<void(QPainter&)>;

QImage Draw(int size, const Drawing& drawing) {
    QImage cell(size, size, QImage::Format_ARGB32_Premultiplied);
    cell.fill(Qt::transparent);
    QPainter painter(&cell);
    painter.setRenderHint(QPainter::Antialiasing);
    drawing(painter);
    painter.end();
    return cell.convertToFormat(QImage::Format_ARGB32);
}

// Each pixel through a colour change, alpha kept.
QImage Recolour(const QImage& image, const std::function<QColor(const QColor&)>& change) {
    QImage out = image.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < out.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int x = 0; x < out.width(); ++x) {
            if (qAlpha(row[x]) == 0) {
                continue;
            }
            const QColor changed = change(QColor::fromRgba(row[x]));
            row[x] = qRgba(changed.red(), changed.green(), changed.blue(), qAlpha(row[x]));
        }
    }
    return out;
}

QColor Grey(const QColor& c, double lighten) {
    const int grey = qGray(c.rgb());
    return Shade(QColor(grey, grey, grey), lighten);
}

QColor Hot(const QColor& c) {
    float h, s, v, a;
    c.getHsvF(&h, &s, &v, &a);
    s = std::min(1.0f, s * 1.3f + 0.04f);
    v = std::min(1.0f, v * 1.1f + 0.04f);
    return QColor::fromHsvF(h < 0 ? 0 : h, h < 0 ? 0 : s, v, a);
}

// A deleted item: the item greyed, with a red cross at its bottom right.
QImage Deleted(int size, const Drawing& item, const Kit& k) {
    QImage cell = Recolour(Draw(size, item), [](const QColor& c) { return Grey(c, 0.25); });
    QPainter painter(&cell);
    painter.setRenderHint(QPainter::Antialiasing);
    const double edge = std::round(size * 0.4);
    Cross(painter, QRectF(size - edge - 1.5 * k.w, size - edge - 1.5 * k.w, edge, edge), k);
    return cell;
}

QImage Strip(int size, const std::vector<QImage>& cells) {
    QImage strip(size * static_cast<int>(cells.size()), size, QImage::Format_ARGB32);
    strip.fill(Qt::transparent);
    QPainter painter(&strip);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    for (size_t i = 0; i < cells.size(); ++i) {
        painter.drawImage(static_cast<int>(i) * size, 0, cells[i]);
    }
    return strip;
}

std::vector<QImage> DrawAll(int size, const std::vector<Drawing>& drawings) {
    std::vector<QImage> cells;
    for (const Drawing& drawing : drawings) {
        cells.push_back(Draw(size, drawing));
    }
    return cells;
}

// ---- The strips ---------------------------------------------------------------------------

const Kit kBig{48, 2.0};
const Kit kLarge{32, 2.0};
const Kit kSmall{16, 1.0};

std::vector<QImage> Toolbar() {
    const Kit& k = kBig;
    const std::vector<Drawing> drawings = {
        // 0 drive list
        [&](QPainter& p) {
            for (int i = 0; i < 3; ++i) {
                DriveSlab(p, QRectF(5, 5 + i * 13.5, 38, 11), k);
            }
        },
        // 1 refresh drive list
        [&](QPainter& p) {
            DriveSlab(p, QRectF(4, 28, 40, 15), k);
            Fill(p, ArcArrowPath({24, 18}, 11, 200, -150, 5, 12, 7), kGreen, k);
            Fill(p, ArcArrowPath({24, 18}, 11, 20, -150, 5, 12, 7), kGreen, k);
        },
        // 2 recover all
        [&](QPainter& p) {
            Page(p, QRectF(13, 3, 22, 28), 7, k, 0);
            Page(p, QRectF(8, 8, 22, 28), 7, k, 0);
            Page(p, QRectF(3, 13, 22, 28), 7, k, 3);
            Arrow(p, {22, 34}, {46, 34}, 7, kGreen, k);
        },
        // 3 recover selected
        [&](QPainter& p) {
            Page(p, QRectF(4, 3, 26, 34), 8, k, 3);
            Check(p, QRectF(9, 18, 18, 14), kGreen, k);
            Arrow(p, {24, 38}, {46, 38}, 7, kGreen, k);
        },
        // 4 add file filter
        [&](QPainter& p) {
            Funnel(p, QRectF(4, 5, 32, 36), k);
            Fill(p,
                 Thick(Line({38, 30}, {38, 46}), 5)
                     .united(Thick(Line({30, 38}, {46, 38}), 5))
                     .simplified(),
                 kGreen, k);
        },
        // 5 stop
        [&](QPainter& p) {
            Octagon(p, {24, 24}, 21, k);
        },
        // 6 find
        [&](QPainter& p) {
            Magnifier(p, {18, 18}, 13, k);
        },
        // 7 find next
        [&](QPainter& p) {
            Magnifier(p, {21, 15}, 11, k);
            Arrow(p, {3, 39}, {28, 39}, 7, kBlue, k);
        },
        // 8 file mask
        [&](QPainter& p) {
            Page(p, QRectF(10, 3, 28, 36), 8, k, 2);
            DominoMask(p, QRectF(3, 22, 42, 22), k);
        },
        // 9 file preview
        [&](QPainter& p) {
            Page(p, QRectF(9, 2, 28, 34), 8, k, 3);
            Eye(p, QRectF(3, 31, 42, 13), k);
        },
        // 10 toolbar
        [&](QPainter& p) { Window(p, QRectF(3, 5, 42, 38), k, true, false); },
        // 11 status bar
        [&](QPainter& p) { Window(p, QRectF(3, 5, 42, 38), k, false, true); },
        // 12 message log
        [&](QPainter& p) { LogLines(p, QRectF(4, 5, 40, 38), k, 5); },
        // 13 go up
        [&](QPainter& p) {
            Folder(p, QRectF(3, 12, 38, 30), k, false);
            Arrow(p, {34, 44}, {34, 3}, 8, kGreen, k);
        },
        // 14 - 17 view styles
        [&](QPainter& p) { ViewStyle(p, QRectF(5, 5, 38, 38), k, 0); },
        [&](QPainter& p) { ViewStyle(p, QRectF(5, 7, 38, 38), k, 1); },
        [&](QPainter& p) { ViewStyle(p, QRectF(5, 6, 38, 38), k, 2); },
        [&](QPainter& p) { ViewStyle(p, QRectF(5, 6, 38, 38), k, 3); },
        // 18 update
        [&](QPainter& p) {
            Globe(p, {20, 20}, 16, k);
            Arrow(p, {36, 22}, {36, 46}, 8, kGreen, k);
        },
    };
    return DrawAll(k.size, drawings);
}

std::vector<QImage> Menu() {
    const Kit& k = kSmall;
    const std::vector<Drawing> drawings = {
        // 0 drive list
        [&](QPainter& p) {
            for (int i = 0; i < 3; ++i) {
                Fill(p, RectPath(QRectF(1.5, 1.5 + i * 4.5, 13, 3.5), 1), kSteel, k);
                p.setPen(Qt::NoPen);
                p.setBrush(Shade(kGreen, 0.1));
                p.drawRect(QRectF(11, 3 + i * 4.5, 2, 1));
            }
        },
        // 1 refresh
        [&](QPainter& p) {
            Fill(p, ArcArrowPath({8, 8}, 5, 210, -120, 1.6, 6, 3.5), kGreen, k);
            Fill(p, ArcArrowPath({8, 8}, 5, 30, -120, 1.6, 6, 3.5), kGreen, k);
        },
        // 2 recover all
        [&](QPainter& p) {
            Page(p, QRectF(4.5, 0.5, 8, 10), 3, k, 0);
            Page(p, QRectF(1.5, 3.5, 8, 10), 3, k, 2);
            Arrow(p, {7, 12}, {15.5, 12}, 2.5, kGreen, k);
        },
        // 3 recover selected
        [&](QPainter& p) {
            Page(p, QRectF(1.5, 0.5, 10, 12), 3, k, 0);
            Check(p, QRectF(3.5, 4.5, 6, 5), kGreen, k);
            Arrow(p, {7, 13}, {15.5, 13}, 2.5, kGreen, k);
        },
        // 4 add file filter
        [&](QPainter& p) {
            Funnel(p, QRectF(1.5, 1.5, 11, 13), k);
            p.setPen(LinePen(Outline(kGreen), 1));
            p.setBrush(kGreen);
            p.drawPath(Thick(Line({12.5, 10}, {12.5, 15}), 2)
                           .united(Thick(Line({10, 12.5}, {15, 12.5}), 2)));
        },
        // 5 stop
        [&](QPainter& p) {
            Octagon(p, {8, 8}, 7.2, k);
        },
        // 6 advance settings
        [&](QPainter& p) {
            Gear(p, {8, 8}, 7, k);
        },
        // 7 find
        [&](QPainter& p) {
            Magnifier(p, {6.5, 6.5}, 5, k);
        },
        // 8 find next
        [&](QPainter& p) {
            Magnifier(p, {8, 5.5}, 4.5, k);
            Arrow(p, {0.5, 13}, {9, 13}, 2.5, kBlue, k);
        },
        // 9 file mask
        [&](QPainter& p) {
            Page(p, QRectF(3.5, 0.5, 10, 12), 3, k, 1);
            DominoMask(p, QRectF(1, 7.5, 14, 7.5), k);
        },
        // 10 go up
        [&](QPainter& p) {
            Folder(p, QRectF(0.5, 4.5, 12, 10), k, false);
            Arrow(p, {12, 15.5}, {12, 0.5}, 3, kGreen, k);
        },
        // 11 - 15 languages
        [&](QPainter& p) { EnglishFlag(p, k); },
        [&](QPainter& p) {
            Flag(p, k, {QColor(0, 60, 160), kWhite, QColor(220, 40, 50)}, true);
        },
        [&](QPainter& p) {
            Flag(p, k, {kBlack, QColor(220, 30, 30), kGold}, false);
        },
        [&](QPainter& p) {
            Flag(p, k, {QColor(200, 20, 30), kGold, QColor(200, 20, 30)}, false, {1, 2, 1});
        },
        [&](QPainter& p) {
            Flag(p, k, {QColor(0, 146, 70), kWhite, QColor(206, 43, 55)}, true);
        },
        // 16 open scan information
        [&](QPainter& p) { Folder(p, QRectF(0.5, 2.5, 15, 12), k, true); },
        // 17 open image file
        [&](QPainter& p) {
            Page(p, QRectF(1.5, 0.5, 10, 13), 3, k, 0);
            Disc(p, {10, 10}, 5.5, k);
        },
        // 18 help topics
        [&](QPainter& p) {
            Badge(p, {8, 8}, 7, kBlue, Sign::Question, k);
        },
        // 19 save scan information
        [&](QPainter& p) { Floppy(p, QRectF(1.5, 1.5, 13, 13), k); },
        // 20 update
        [&](QPainter& p) {
            Globe(p, {7, 7}, 6, k);
            Arrow(p, {12.5, 7}, {12.5, 15.5}, 3, kGreen, k);
        },
        // 21 about
        [&](QPainter& p) {
            Badge(p, {8, 8}, 7, kBlue, Sign::Info, k);
        },
        // 22 file preview
        [&](QPainter& p) { Eye(p, QRectF(0.5, 4, 15, 8), k); },
        // 23 save log
        [&](QPainter& p) {
            LogLines(p, QRectF(0.5, 0.5, 12, 12), k, 3);
            Floppy(p, QRectF(7.5, 7.5, 8, 8), k);
        },
        // 24 clear log
        [&](QPainter& p) {
            LogLines(p, QRectF(0.5, 0.5, 12, 12), k, 3);
            Cross(p, QRectF(9, 9, 6, 6), k);
        },
    };
    return DrawAll(k.size, drawings);
}

std::vector<QImage> DriveTree() {
    const Kit& k = kSmall;
    return DrawAll(16, {
                           [&](QPainter& p) { Monitor(p, QRectF(0.5, 1.5, 15, 13), k); },
                           [&](QPainter& p) { DiskBox(p, QRectF(0.5, 3.5, 15, 10), k); },
                           [&](QPainter& p) { UsbStick(p, QRectF(4.5, 0.5, 7, 15), k); },
                           [&](QPainter& p) { DriveSlab(p, QRectF(0.5, 4.5, 15, 7), k); },
                           [&](QPainter& p) {
                               Disc(p, {8, 8}, 7, k);
                           },
                           [&](QPainter& p) {
                               Page(p, QRectF(1.5, 0.5, 10, 13), 3, k, 0);
                               Disc(p, {10, 10}, 5.5, k);
                           },
                       });
}

std::vector<QImage> FolderTree() {
    const Kit& k = kSmall;
    const Drawing closed = [&](QPainter& p) { Folder(p, QRectF(0.5, 1.5, 15, 13), k, false); };
    const Drawing open = [&](QPainter& p) { Folder(p, QRectF(0.5, 1.5, 15, 13), k, true); };
    return {Draw(16, [&](QPainter& p) { DriveSlab(p, QRectF(0.5, 4.5, 15, 7), k); }),
            Draw(16, closed), Deleted(16, closed, k), Draw(16, open), Deleted(16, open, k)};
}

std::vector<QImage> CheckStates() {
    const Kit& k = kSmall;
    const QRectF box(2.5, 2.5, 11, 11);
    auto empty = [&](QPainter& p) { Fill(p, RectPath(box), kPaper, k); };
    return DrawAll(16, {
                           [](QPainter&) {},
                           empty,
                           [&](QPainter& p) {
                               empty(p);
                               Stroke(p, Polyline({{5, 8}, {7, 10.5}, {11, 5}}), kInk, 2);
                           },
                           [&](QPainter& p) {
                               empty(p);
                               p.setPen(Qt::NoPen);
                               p.setBrush(Lit(QRectF(5, 5, 6, 6), kBlue));
                               p.drawRect(QRectF(5, 5, 6, 6));
                           },
                       });
}

std::vector<QImage> List(const Kit& k) {
    const double s = k.size;
    const double o = k.w == 1 ? 0.5 : 0;
    const Drawing file = [&](QPainter& p) {
        Page(p, QRectF(s * 0.14 + o, o + k.w / 2, s * 0.66, s - k.w - 2 * o), s * 0.24, k,
             k.size >= 32 ? 4 : 2);
    };
    const Drawing folder = [&](QPainter& p) {
        Folder(p, QRectF(o + k.w / 2, s * 0.12 + o, s - k.w - 2 * o, s * 0.8), k, false);
    };
    return {Draw(k.size, file), Deleted(k.size, file, k), Draw(k.size, folder),
            Deleted(k.size, folder, k)};
}

std::vector<QImage> LogRows() {
    const Kit& k = kSmall;
    return DrawAll(16, {
                           [](QPainter&) {},
                           [&](QPainter& p) {
                               Badge(p, {8, 8}, 7, kBlue, Sign::Play, k);
                           },
                           [&](QPainter& p) {
                               Badge(p, {8, 8}, 7, Shade(kBlue, 0.3), Sign::Info, k);
                           },
                           [&](QPainter& p) {
                               Badge(p, {8, 8}, 7, kOrange, Sign::Exclamation, k);
                           },
                           [&](QPainter& p) {
                               Fill(p, Circle({8, 8}, 7), kPaper, k);
                               QPainterPath half;
                               half.moveTo(8, 8);
                               half.arcTo(QRectF(1, 1, 14, 14), 90, 180);
                               half.closeSubpath();
                               Fill(p, half, kGreen, k);
                               p.setPen(LinePen(Outline(kGreen), k.w));
                               p.setBrush(Qt::NoBrush);
                               p.drawEllipse(QPointF(8, 8), 7, 7);
                           },
                           [&](QPainter& p) {
                               Badge(p, {8, 8}, 7, kGreen, Sign::Check, k);
                           },
                           [&](QPainter& p) {
                               Badge(p, {8, 8}, 7, kRed, Sign::Cross, k);
                           },
                       });
}

bool Save(const QImage& strip, const std::string& folder, const char* name) {
    const std::string path = folder + "/" + name;
    // Quality 0 asks for the strongest compression; the pictures are committed.
    if (!strip.save(QString::fromStdString(path), "PNG", 0)) {
        std::fprintf(stderr, "draw_pictures: cannot write %s\n", path.c_str());
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: draw_pictures <output folder>\n");
        return 2;
    }
    // Painting on images needs the font and raster machinery of a GUI application, not a screen.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv);
    const std::string folder = argv[1];

    const std::vector<QImage> toolbar = Toolbar();
    std::vector<QImage> hot;
    std::vector<QImage> disabled;
    for (const QImage& cell : toolbar) {
        hot.push_back(Recolour(cell, Hot));
        disabled.push_back(Recolour(cell, [](const QColor& c) { return Grey(c, 0.45); }));
    }
    bool saved = true;
    saved &= Save(Strip(48, toolbar), folder, "toolbar_normal.png");
    saved &= Save(Strip(48, hot), folder, "toolbar_hot.png");
    saved &= Save(Strip(48, disabled), folder, "toolbar_disabled.png");
    saved &= Save(Strip(16, Menu()), folder, "menu.png");
    saved &= Save(Strip(16, DriveTree()), folder, "drive_tree.png");
    saved &= Save(Strip(16, FolderTree()), folder, "folder_tree.png");
    saved &= Save(Strip(16, CheckStates()), folder, "check_states.png");
    saved &= Save(Strip(16, List(kSmall)), folder, "list_small.png");
    saved &= Save(Strip(32, List(kLarge)), folder, "list_large.png");
    saved &= Save(Strip(16, LogRows()), folder, "log_rows.png");
    return saved ? 0 : 1;
}
