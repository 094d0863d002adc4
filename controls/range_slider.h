#pragma once

#include "controls/range_slider_model.h"

#include <QCursor>
#include <QImage>
#include <QString>
#include <QWidget>

#include <cstdint>
#include <optional>

class QPainter;

// The two-lever range slider: a bar picture, the side picture over what lies outside the two
// levers, and the lever picture in each lever's box. The user drags either lever; the levers
// keep RangeSliderModel's bounds. A picture that is missing or unreadable is drawn plainly
// (RangeSliderLook). The slider is Init's size, one unit a pixel; its parent places it.
class CRangeSlider : public QWidget {
    Q_OBJECT

public:
    explicit CRangeSlider(QWidget* parent = nullptr);

    // width units long, height pixels high, levers at both ends.
    void Init(int width, int height);

    // The bar, side and lever pictures from files. True when all three were read; those that
    // were not are drawn plainly.
    bool LoadBitmaps(const QString& barPath, const QString& sidePath, const QString& leverPath);
    void FreeBitmaps();
    bool HasBarPicture() const { return !m_bar.isNull(); }
    bool HasSidePicture() const { return !m_side.isNull(); }
    bool HasLeverPicture() const { return !m_lever.isNull(); }

    // Moves a lever within its bounds (no LeverMoved: the caller knows).
    void SetPosition(int64_t value, SliderLever lever);
    int64_t Position(SliderLever lever) const { return m_model.Position(lever); }
    const RangeSliderModel& Model() const { return m_model; }

    // The cursor shown while a lever is dragged.
    void SetDragCursor(const QCursor& cursor) { m_dragCursor = cursor; }

    // Draws the slider with its top left at the painter's origin.
    void Draw(QPainter& painter) const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

signals:
    // A lever was dragged to a new position.
    void LeverMoved(SliderLever lever, qint64 position);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void EndDrag();

    RangeSliderModel m_model;
    QImage m_bar;
    QImage m_side;
    QImage m_lever;
    std::optional<QCursor> m_dragCursor;
};
