#pragma once

#include <QHeaderView>
#include <QTableView>

#include "record/LogTableModel.h"

namespace corvel {

// The row indicator beside the grid: a narrow strip that marks the
// current row with a triangle instead of numbering the rows.
class RowIndicatorHeader final : public QHeaderView {
    Q_OBJECT
public:
    explicit RowIndicatorHeader(QWidget* parent = nullptr);
    static constexpr int kWidth = 11;

protected:
    void paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const override;
    QSize sectionSizeFromContents(int logicalIndex) const override;
    QSize sizeHint() const override;
};

// DBGrid1: the read-only grid of the reading log. It follows the newest
// row, and the mouse wheel moves the current row one record a turn step.
class LogGrid final : public QTableView {
    Q_OBJECT
public:
    explicit LogGrid(LogTableModel& model, QWidget* parent = nullptr);

    // Column widths as laid out; the last column keeps the default width.
    static constexpr int kColumnWidths[] = {45, 75, 74, 51, 69};
    static constexpr int kDefaultColumnWidth = 64;
    static constexpr int kRowHeight = 18;

    // Makes the newest row current and brings it into view now, instead of
    // on the next turn of the event loop.
    void FollowNow();

    // Lays the view out again. After rows were only added at the end the
    // picture on screen is still right, so only the rows that came into
    // view are repainted, not the whole grid as a table view would; while a
    // meter streams, that is most of the grid's drawing saved.
    void doItemsLayout() override;

protected:
    void wheelEvent(QWheelEvent* event) override;
    // The scroll bars come (and go) a turn of the event loop after the rows
    // that called for them were scrolled into view; the viewport shrinks
    // under the newest row. A grid following the newest row scrolls to it
    // again.
    void resizeEvent(QResizeEvent* event) override;
    // On every scroll the item view asks the display server where the
    // pointer is, to move its hover along: a round trip for every catch-up
    // while a meter streams. That matters only with the pointer over the
    // rows.
    void verticalScrollbarValueChanged(int value) override;

private:
    void RowsAppended(int first);
    void ForgetAppend() { appendedFrom_ = -1; }

    LogTableModel& model_;
    // Rows can arrive far faster than the screen shows them; the grid
    // moves to the newest row once per turn of the event loop.
    bool followPosted_ = false;
    // The first row of an append not yet laid out; -1 when anything else
    // changed since the last layout, or nothing did.
    int appendedFrom_ = -1;
};

}  // namespace corvel
