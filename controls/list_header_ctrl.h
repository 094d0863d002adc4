#pragma once

#include <QHeaderView>
#include <QSet>

// The column header of the file lists. It remembers the column the list is sorted by and the
// direction, and draws that column's item flat with a small triangle at its right end. A column
// that has once been the sort column stays drawn by this class (without the triangle when it
// no longer is); the others are drawn by the style.
class CListHeaderCtrl : public QHeaderView {
    Q_OBJECT

public:
    explicit CListHeaderCtrl(Qt::Orientation orientation = Qt::Horizontal,
                             QWidget* parent = nullptr);

    // Stores the sort column and direction and redraws; returns the previous sort column
    // (-1 when there was none).
    int SetSortColumn(int column, bool ascending);
    int SortColumn() const { return m_sortColumn; }
    bool SortAscending() const { return m_sortAscending; }

    // The width of one blank in the header's font, the unit of the item layout.
    int BlankWidth() const;

protected:
    void paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void DrawItem(QPainter& painter, const QRect& rect, int logicalIndex) const;

    int m_sortColumn = -1;
    bool m_sortAscending = true;
    // The section under a press, drawn pushed in; -1 when none.
    int m_pressedSection = -1;
    QSet<int> m_ownerDrawn;
};
