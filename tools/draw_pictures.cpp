// Draws the pictures of the main window into PNG strips, one picture after another from left
// to right, and the one large picture of the start panel, all on a transparent background:
//
//     draw_pictures <output folder>
//
// Every picture is composed of the shapes of picture_shapes.h: one palette, lit from the top left,
// one outline weight per size (1 px at 16 px, 2 px at 32 and 48 px). The 16 px pictures are drawn
// for their size rather than scaled down, so their lines fall on whole pixels. The hot and
// disabled toolbar strips, and the hover, pressed and disabled states of the action buttons, are
// computed from the normal pictures, so the states never drift apart. The range slider's bar,
// side and lever pictures are written as BMP files, the form the data folder delivers them in.

#include "controls/sector_map_geometry.h"
#include "tools/picture_shapes.h"

#include <QColor>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>

#include <cmath>
#include <cstdio>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

namespace {

using namespace shapes;

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

QColor Disabled(const QColor& c) {
    return Grey(c, 0.45);
}

// The picture moved by the given pixels, cut where it leaves the cell.
QImage Shifted(const QImage& image, int dx, int dy) {
    QImage out(image.size(), QImage::Format_ARGB32);
    out.fill(Qt::transparent);
    QPainter painter(&out);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.drawImage(dx, dy, image);
    return out;
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
const Kit kAction{40, 2.0};
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

// A file picture receiving what an arrow carries in from its left.
void IntoFile(QPainter& p, const Kit& k) {
    Page(p, QRectF(23, 13, 15, 24), 5, k, 3);
    Arrow(p, {11, 30}, {27, 30}, 5, kGreen, k);
}

// The actions of the action dialogs, one normal picture each.
std::vector<QImage> Actions() {
    const Kit& k = kAction;
    const std::vector<Drawing> drawings = {
        // standard scan: one quick sweep seen through the glass
        [&](QPainter& p) {
            DriveSlab(p, QRectF(2, 24, 36, 13), k);
            Magnifier(p, {15, 14}, 11, k, [&](QPainter& q, const QRectF& lens) {
                Stroke(q, Line({lens.left(), lens.center().y()}, {lens.right(), lens.center().y()}),
                       kGreen, 2.5);
            });
        },
        // advance scan: every cluster looked at
        [&](QPainter& p) {
            DriveSlab(p, QRectF(2, 24, 36, 13), k);
            Magnifier(p, {15, 14}, 11, k, [&](QPainter& q, const QRectF& lens) {
                // Fine lines, or the grid fills in at this size.
                SectorGrid(q, lens.adjusted(1.5, 1.5, -1.5, -1.5), 3, 3, {0, 4, 8},
                           Kit{k.size, 1.0});
            });
        },
        // image of a CD / DVD
        [&](QPainter& p) {
            Disc(p, {13, 13}, 11, k);
            IntoFile(p, k);
        },
        // image of a disk
        [&](QPainter& p) {
            DiskBox(p, QRectF(2, 3, 24, 17), k);
            IntoFile(p, k);
        },
        // image of a volume
        [&](QPainter& p) {
            DriveSlab(p, QRectF(2, 5, 26, 11), k);
            IntoFile(p, k);
        },
        // raw recovery: a file rising out of bare sectors
        [&](QPainter& p) {
            SectorGrid(p, QRectF(2, 21, 36, 16), 5, 3, {7, 8, 12, 13}, k);
            Page(p, QRectF(12, 2, 15, 19), 5, k, 2);
            Arrow(p, {33, 20}, {33, 3}, 4, kGreen, k);
        },
        // search for a logical drive: a partition found on the disk
        [&](QPainter& p) {
            DiskBox(p, QRectF(2, 2, 30, 20), k);
            Magnifier(p, {20, 22}, 11, k, [&](QPainter& q, const QRectF& lens) {
                // The disk's partitions side by side; the one in the middle is the find.
                const double third = lens.width() / 3;
                const QRectF band(lens.left() - 1, lens.center().y() - 3.5, third + 1, 7);
                Fill(q, RectPath(band), kBlue, k);
                Fill(q, RectPath(band.translated(third + 1, 0)), kGreen, k);
                Fill(q, RectPath(band.translated(2 * third + 2, 0)), kOrange, k);
            });
        },
    };
    return DrawAll(k.size, drawings);
}

// The legend of the imaging panel's sector map: one cell of the map in each state, in the map's
// own colours, so the legend always names what the map shows.
std::vector<QImage> SectorMapLegend() {
    const SectorMapCellState states[] = {
        SectorMapCellState::NotProcessed,
        SectorMapCellState::Done,
        SectorMapCellState::Reading,
        SectorMapCellState::Failed,
    };
    std::vector<QImage> cells;
    for (SectorMapCellState state : states) {
        QImage cell(16, 16, QImage::Format_ARGB32);
        cell.fill(Qt::transparent);
        QPainter painter(&cell);
        // Flat, on whole pixels, like the map's cells.
        painter.fillRect(QRect(1, 2, 14, 12), SectorMapGeometry::GridColour());
        painter.fillRect(QRect(2, 3, 12, 10), SectorMapGeometry::StateColour(state));
        painter.end();
        cells.push_back(cell);
    }
    return cells;
}

// Beside the imaging counters: the disk's sectors going into the image file.
QImage ImagingCounters() {
    const Kit& k = kLarge;
    return Draw(k.size, [&](QPainter& p) {
        DiskBox(p, QRectF(1, 1, 20, 14), k);
        Page(p, QRectF(15, 10, 16, 21), 5, k, 0);
        SectorGrid(p, QRectF(18, 17, 10, 10), 2, 2, {0, 1, 2}, Kit{k.size, 1.0});
        Arrow(p, {4, 18}, {13, 27}, 3, kGreen, k);
    });
}

// The panel over the file view before a scan, without words: pick a drive in the list at the
// left, scan it, recover its files into a folder.
QImage StartPanel() {
    const Kit k{192, 4.0};
    QImage panel(800, 440, QImage::Format_ARGB32_Premultiplied);
    panel.fill(Qt::transparent);
    QPainter p(&panel);
    p.setRenderHint(QPainter::Antialiasing);
    // The drive list, its chosen drive framed, and the way to the tree at the window's left.
    for (int i = 0; i < 3; ++i) {
        DriveSlab(p, QRectF(70, 130 + i * 64, 160, 46), k);
    }
    Stroke(p, RectPath(QRectF(60, 184, 180, 66), 10), kBlue, 5);
    Arrow(p, {56, 217}, {8, 217}, 12, kBlue, k);
    Arrow(p, {250, 217}, {300, 217}, 12, kGreen, k);
    // The scan: every sector of the drive under the glass.
    SectorGrid(p, QRectF(318, 250, 168, 72), 7, 3, {3, 8, 9, 16}, k);
    Magnifier(p, {392, 170}, 64, k, [&](QPainter& q, const QRectF& lens) {
        SectorGrid(q, lens.adjusted(10, 10, -10, -10), 4, 4, {1, 6, 11, 13}, k);
    });
    Arrow(p, {500, 217}, {550, 217}, 12, kGreen, k);
    // The recovery: the files found, saved into a folder.
    Page(p, QRectF(604, 110, 64, 84), 20, k, 3);
    Page(p, QRectF(664, 128, 64, 84), 20, k, 3);
    Folder(p, QRectF(572, 196, 200, 150), k, true);
    Check(p, QRectF(640, 240, 64, 52), kGreen, k);
    p.end();
    return panel.convertToFormat(QImage::Format_ARGB32);
}

// ---- The range slider of the image-selection dialog ---------------------------------------
//
// Delivered as BMP files in the data folder. The slider draws the side and lever pictures with
// a colour key (black to 0x323232 is transparent), so they are opaque with black where the bar
// shows through; nothing else in them may be that dark.

constexpr int kSliderWidth = 500;
constexpr int kSliderHeight = 60;
constexpr int kLeverEdge = 12;

// A track standing for the drive between the levers' lane at the top and a ruler at the bottom.
QImage SliderBar() {
    QImage bar(kSliderWidth, kSliderHeight, QImage::Format_RGB32);
    bar.fill(kWhite);
    QPainter p(&bar);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF track(1.5, 15.5, kSliderWidth - 3, 26);
    Fill(p, RectPath(track, 4), kBlue, Kit{kSliderHeight, 1.0});
    // Sector bands across the track, as the sector map shows them.
    p.setPen(LinePen(Shade(kBlue, 0.25), 1.0));
    for (int x = 25; x < kSliderWidth; x += 25) {
        p.drawLine(QPointF(x + 0.5, track.top() + 3), QPointF(x + 0.5, track.bottom() - 3));
    }
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setPen(kPaperLine);
    p.drawLine(0, 45, kSliderWidth - 1, 45);
    for (int x = 0; x < kSliderWidth; x += 25) {
        const int length = x % 100 == 0 ? 10 : 5;
        p.drawLine(x, 46, x, 45 + length);
    }
    p.drawLine(kSliderWidth - 1, 46, kSliderWidth - 1, 55);
    return bar;
}

// A veil of grey lines over what lies outside the chosen range; every other line is keyed away,
// so the bar shows through dimmed. One column, as the slider stretches it across each shade.
QImage SliderSide() {
    QImage side(1, kSliderHeight, QImage::Format_RGB32);
    for (int y = 0; y < kSliderHeight; ++y) {
        side.setPixelColor(0, y, y % 2 == 0 ? QColor(196, 202, 210) : QColor(0, 0, 0));
    }
    return side;
}

// A lever pointing down into the bar, on black. Drawn without smoothing: smoothed edges on
// black would give a dark seam just above the key.
QImage SliderLever() {
    QImage lever(kLeverEdge, kLeverEdge, QImage::Format_RGB32);
    lever.fill(Qt::black);
    QPainter p(&lever);
    const QPolygon shape(
        {QPoint(1, 0), QPoint(10, 0), QPoint(10, 6), QPoint(6, 11), QPoint(5, 11), QPoint(1, 6)});
    p.setPen(Shade(kOrange, -0.45));
    p.setBrush(kOrange);
    p.drawPolygon(shape);
    p.setPen(Shade(kOrange, 0.55));
    p.drawLine(2, 1, 9, 1);
    return lever;
}

// The cursor shown while a lever is dragged: a double arrow, left and right, hot spot in the
// middle of the picture.
QImage SliderLeverCursor() {
    return Draw(32, [](QPainter& p) {
        const QPainterPath arrow = Polygon({{2, 16},
                                            {10, 8},
                                            {10, 13},
                                            {22, 13},
                                            {22, 8},
                                            {30, 16},
                                            {22, 24},
                                            {22, 19},
                                            {10, 19},
                                            {10, 24}});
        p.setPen(LinePen(kBlack, 1.5));
        p.setBrush(kWhite);
        p.drawPath(arrow);
    });
}

bool SaveBitmap(const QImage& picture, const std::string& folder, const char* name) {
    const std::string path = folder + "/" + name;
    if (!picture.convertToFormat(QImage::Format_RGB32).save(QString::fromStdString(path), "BMP")) {
        std::fprintf(stderr, "draw_pictures: cannot write %s\n", path.c_str());
        return false;
    }
    return true;
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
        disabled.push_back(Recolour(cell, Disabled));
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

    // One strip per action, in the order of the hover button's states.
    const char* const actionFiles[] = {
        "action_standard_scan.png",        "action_advance_scan.png", "action_image_cd_dvd.png",
        "action_image_disk.png",           "action_image_volume.png", "action_raw_recovery.png",
        "action_search_logical_drive.png",
    };
    const std::vector<QImage> actions = Actions();
    for (size_t i = 0; i < actions.size() && i < std::size(actionFiles); ++i) {
        const QImage& normal = actions[i];
        const QImage pressed =
            Shifted(Recolour(normal, [](const QColor& c) { return Shade(c, -0.15); }), 1, 1);
        saved &= Save(Strip(kAction.size,
                            {normal, Recolour(normal, Hot), pressed, Recolour(normal, Disabled)}),
                      folder, actionFiles[i]);
    }
    saved &= Save(Strip(16, {Draw(16,
                                  [](QPainter& p) {
                                      Badge(p, {8, 8}, 7, kBlue, Sign::Info, kSmall);
                                  })}),
                  folder, "balloon_icon.png");
    saved &= Save(Strip(16, SectorMapLegend()), folder, "sector_map_legend.png");
    saved &= Save(ImagingCounters(), folder, "imaging_counters.png");
    saved &= Save(StartPanel(), folder, "start_panel.png");
    saved &= SaveBitmap(SliderBar(), folder, "MainBar.bmp");
    saved &= SaveBitmap(SliderSide(), folder, "SideBar.bmp");
    saved &= SaveBitmap(SliderLever(), folder, "lever.bmp");
    saved &= Save(SliderLeverCursor(), folder, "lever_cursor.png");
    return saved ? 0 : 1;
}
