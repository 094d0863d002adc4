#pragma once

// The shapes every picture of the program is drawn from: one palette, lit from the top left,
// outlined with the weight of the picture's size. Sizes and places are in pixels of the
// picture; a 1 px outline wants half-pixel coordinates to stay sharp.

#include <QBrush>
#include <QColor>
#include <QPainter>
#include <QPainterPath>
#include <QPen>
#include <QPointF>
#include <QRectF>

#include <functional>
#include <initializer_list>
#include <vector>

namespace shapes {

// The palette. Every fill is one of these, lit by Lit(); every outline is Outline() of its fill.
inline const QColor kPaper(252, 252, 253);
inline const QColor kPaperLine(98, 106, 118);
inline const QColor kTextLine(150, 160, 174);
inline const QColor kInk(52, 60, 72);
inline const QColor kFolder(242, 190, 72);
inline const QColor kBlue(56, 118, 208);
inline const QColor kGreen(54, 158, 70);
inline const QColor kRed(212, 60, 52);
inline const QColor kOrange(240, 148, 36);
inline const QColor kSteel(178, 186, 196);
inline const QColor kGlass(206, 228, 250);
inline const QColor kPurple(122, 82, 172);
inline const QColor kWhite(255, 255, 255);
inline const QColor kBlack(36, 36, 36);
inline const QColor kGold(250, 204, 40);

// Moves a colour towards white (amount > 0) or black (amount < 0).
QColor Shade(const QColor& colour, double amount);

QColor Outline(const QColor& fill);

// The light comes from the top left: lighter there, slightly darker at the bottom right.
QBrush Lit(const QRectF& area, const QColor& base);

// One size of picture: its edge and the outline weight used throughout it.
struct Kit {
    int size;
    double w;
};

QPen LinePen(const QColor& colour, double width);

void Fill(QPainter& p, const QPainterPath& path, const QColor& base, const Kit& k);

void Stroke(QPainter& p, const QPainterPath& path, const QColor& colour, double width);

QPainterPath RectPath(const QRectF& r, double radius = 0);

QPainterPath Polygon(std::initializer_list<QPointF> points);

QPainterPath Circle(QPointF centre, double radius);

// A centre line turned into a closed shape of the given width, so it can be filled and outlined.
QPainterPath Thick(const QPainterPath& centre, double width, Qt::PenCapStyle cap = Qt::RoundCap);

QPainterPath Line(QPointF a, QPointF b);

QPainterPath Polyline(std::initializer_list<QPointF> points);

// A straight arrow from one point to its tip.
QPainterPath ArrowPath(QPointF from, QPointF to, double shaft, double head, double headLength);

// An arc of a circle with an arrow head at its end, as one closed shape.
QPainterPath ArcArrowPath(QPointF centre, double radius, double start, double sweep, double shaft,
                          double head, double headLength);

void Page(QPainter& p, const QRectF& r, double fold, const Kit& k, int lines = 3);

void Folder(QPainter& p, const QRectF& r, const Kit& k, bool open);

// A drive seen from the front: a grey slab with a slot and a green light.
void DriveSlab(QPainter& p, const QRectF& r, const Kit& k);

// A disk drive as a box seen from above the front left: lit top, shaded side, light in front.
void DiskBox(QPainter& p, const QRectF& r, const Kit& k);

void UsbStick(QPainter& p, const QRectF& r, const Kit& k);

void Monitor(QPainter& p, const QRectF& r, const Kit& k);

void Disc(QPainter& p, QPointF centre, double radius, const Kit& k);

void Check(QPainter& p, const QRectF& r, const QColor& colour, const Kit& k);

void Cross(QPainter& p, const QRectF& r, const Kit& k);

void Arrow(QPainter& p, QPointF from, QPointF to, double shaft, const QColor& colour, const Kit& k);

void Funnel(QPainter& p, const QRectF& r, const Kit& k);

void Octagon(QPainter& p, QPointF centre, double radius, const Kit& k);

// What shows through a magnifier's glass, drawn clipped to the lens, under the rim and glint.
using LensView = std::function<void(QPainter&, const QRectF& lens)>;

void Magnifier(QPainter& p, QPointF centre, double radius, const Kit& k,
               const LensView& inside = {});

void Gear(QPainter& p, QPointF centre, double radius, const Kit& k);

// An eye mask: it hides most of what lies behind and lets some show through.
void DominoMask(QPainter& p, const QRectF& r, const Kit& k);

void Eye(QPainter& p, const QRectF& r, const Kit& k);

void Globe(QPainter& p, QPointF centre, double radius, const Kit& k);

void Floppy(QPainter& p, const QRectF& r, const Kit& k);

// Sectors of a disk as a grid of small squares; the cells listed in lit are drawn in the
// colour of found data.
void SectorGrid(QPainter& p, const QRectF& r, int columns, int rows, const std::vector<int>& lit,
                const Kit& k);

// The white signs a round badge can carry.
enum class Sign {
    Info,
    Question,
    Play,
    Check,
    Cross,
    Exclamation,
};

// A round badge with a white sign on it.
void Badge(QPainter& p, QPointF centre, double radius, const QColor& colour, Sign sign,
           const Kit& k);

// A window with a title bar; optionally a tool strip below the title or a status strip at the
// bottom.
void Window(QPainter& p, const QRectF& r, const Kit& k, bool toolStrip, bool statusStrip);

// Lines of a log, each led by a coloured dot.
void LogLines(QPainter& p, const QRectF& r, const Kit& k, int rows);

// Pictograms of the four view styles, in ink on nothing.
void ViewStyle(QPainter& p, const QRectF& r, const Kit& k, int style);

void Flag(QPainter& p, const Kit& k, const std::vector<QColor>& bands, bool vertical,
          const std::vector<double>& weights = {});

void EnglishFlag(QPainter& p, const Kit& k);

} // namespace shapes
