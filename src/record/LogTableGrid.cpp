#include "record/LogTableGrid.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QScrollBar>
#include <QWheelEvent>
#include <algorithm>

#include "record/TiledPaintStyle.h"

namespace corvel {

RowIndicatorHeader::RowIndicatorHeader(QWidget* parent) : QHeaderView(Qt::Vertical, parent) {
    setSectionResizeMode(QHeaderView::Fixed);
    setDefaultSectionSize(LogGrid::kRowHeight);
    setMinimumSectionSize(1);
    setHighlightSections(false);
    setSectionsClickable(false);
    setFixedWidth(kWidth);
}

QSize RowIndicatorHeader::sectionSizeFromContents(int) const {
    return {kWidth, defaultSectionSize()};
}

QSize RowIndicatorHeader::sizeHint() const {
    return {kWidth, QHeaderView::sizeHint().height()};
}

void RowIndicatorHeader::paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const {
    painter->save();
    painter->fillRect(rect, palette().button());
    painter->setPen(palette().dark().color());
    painter->drawLine(rect.topRight(), rect.bottomRight());
    painter->drawLine(rect.bottomLeft(), rect.bottomRight());
    const auto* view = qobject_cast<const QAbstractItemView*>(parent());
    if (view && view->currentIndex().isValid() && view->currentIndex().row() == logicalIndex) {
        const QPoint c = rect.center();
        const QPoint triangle[] = {{c.x() - 2, c.y() - 4}, {c.x() + 2, c.y()}, {c.x() - 2, c.y() + 4}};
        painter->setPen(Qt::NoPen);
        painter->setBrush(palette().windowText());
        painter->drawPolygon(triangle, 3);
    }
    painter->restore();
}

LogGrid::LogGrid(LogTableModel& model, QWidget* parent) : QTableView(parent), model_(model) {
    setObjectName(QStringLiteral("DBGrid1"));
    setVerticalHeader(new RowIndicatorHeader(this));
    setModel(&model_);

    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectItems);
    setTabKeyNavigation(true);
    setShowGrid(true);
    setWordWrap(false);
    setCornerButtonEnabled(false);
    // Rows move on screen by exactly the pixels the view's offset moves,
    // which lets a streamed append repaint only the rows that came in.
    setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);

    QPalette p = palette();
    p.setColor(QPalette::Base, QColor(192, 192, 192));
    p.setColor(QPalette::Window, QColor(192, 192, 192));
    // Selection stays visible when the grid loses focus.
    p.setColor(QPalette::Inactive, QPalette::Highlight, p.color(QPalette::Active, QPalette::Highlight));
    p.setColor(QPalette::Inactive, QPalette::HighlightedText,
               p.color(QPalette::Active, QPalette::HighlightedText));
    setPalette(p);

    QFont gridFont(QStringLiteral("Arial"));
    gridFont.setPixelSize(12);
    setFont(gridFont);
    QFont titleFont(QStringLiteral("MS Sans Serif"));
    titleFont.setPixelSize(11);
    horizontalHeader()->setFont(titleFont);
    horizontalHeader()->setDefaultSectionSize(kDefaultColumnWidth);
    horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    horizontalHeader()->setStretchLastSection(false);
    horizontalHeader()->setHighlightSections(false);
    for (int column = 0; column < static_cast<int>(std::size(kColumnWidths)); ++column)
        setColumnWidth(column, kColumnWidths[column]);
    setColumnWidth(ReadingLogStore::Unit2, kDefaultColumnWidth);

    // Both bars are repainted with every batch of streamed rows (the view
    // lays its children out anew each time).
    for (QScrollBar* bar : {verticalScrollBar(), horizontalScrollBar()}) bar->setStyle(new TiledPaintStyle(bar));

    connect(&model_, &LogTableModel::rowsAppended, this, [this](int first, int) { RowsAppended(first); });
    // Any other change of the model's shape lays the grid out in full.
    connect(&model_, &QAbstractItemModel::modelReset, this, &LogGrid::ForgetAppend);
    connect(&model_, &QAbstractItemModel::layoutChanged, this, &LogGrid::ForgetAppend);
    connect(&model_, &QAbstractItemModel::rowsRemoved, this, &LogGrid::ForgetAppend);
    connect(&model_, &QAbstractItemModel::columnsInserted, this, &LogGrid::ForgetAppend);
    connect(&model_, &QAbstractItemModel::columnsRemoved, this, &LogGrid::ForgetAppend);
    // The indicator marks the current row: repaint the two rows it moves
    // between.
    connect(selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& now, const QModelIndex& before) {
                QHeaderView* rows = verticalHeader();
                for (const QModelIndex& i : {now, before}) {
                    if (!i.isValid()) continue;
                    const int y = rows->sectionViewportPosition(i.row());
                    rows->viewport()->update(0, y, rows->viewport()->width(), rows->sectionSize(i.row()));
                }
            });
}

void LogGrid::RowsAppended(int first) {
    if (appendedFrom_ < 0 || first < appendedFrom_) appendedFrom_ = first;
    if (followPosted_) return;
    followPosted_ = true;
    // A posted call, not a timer: the window's repaint is a posted event of
    // low priority, so the grid moves before it and the new rows, the
    // scroll and the rest of the window go to the screen in one paint.
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (followPosted_) FollowNow();
        },
        Qt::QueuedConnection);
}

void LogGrid::doItemsLayout() {
    const int from = appendedFrom_;
    ForgetAppend();
    if (from < 0 || !isVisible()) {
        QTableView::doItemsLayout();
        return;
    }
    // What the table view's own layout does, but for the whole repaint.
    updateGeometries();
    if (!verticalHeader()->updatesEnabled()) verticalHeader()->setUpdatesEnabled(true);
    const int top = std::max(0, rowViewportPosition(from));
    if (top < viewport()->height()) viewport()->update(0, top, viewport()->width(), viewport()->height() - top);
}

void LogGrid::FollowNow() {
    followPosted_ = false;
    // The rows the view has not laid out yet are laid out first, so that the
    // scroll can reach the newest.
    executeDelayedItemsLayout();
    const int last = model_.rowCount() - 1;
    if (last < 0) return;
    const int column = currentIndex().isValid() ? currentIndex().column() : 0;
    const QModelIndex newest = model_.index(last, column);
    selectionModel()->setCurrentIndex(newest, QItemSelectionModel::ClearAndSelect);
    scrollTo(newest);
    // A scroll bar whose range changed has the scroll area lay its bars out
    // again on a queued call, which would come after this turn's paint and
    // cost a paint of its own. Run now, it goes to the screen with the rows.
    QCoreApplication::sendPostedEvents(this, QEvent::MetaCall);
}

void LogGrid::resizeEvent(QResizeEvent* event) {
    QTableView::resizeEvent(event);
    const QModelIndex current = currentIndex();
    if (current.isValid() && current.row() == model_.rowCount() - 1) scrollTo(current);
}

void LogGrid::verticalScrollbarValueChanged(int value) {
    if (viewport()->underMouse()) {
        QTableView::verticalScrollbarValueChanged(value);
        return;
    }
    if (value == verticalScrollBar()->maximum() && model_.canFetchMore(rootIndex())) model_.fetchMore(rootIndex());
}

void LogGrid::wheelEvent(QWheelEvent* event) {
    const QPoint delta = event->angleDelta();
    if (delta.y() == 0 && delta.x() != 0) {  // a sideways tilt scrolls as usual
        QTableView::wheelEvent(event);
        return;
    }
    // Whatever the size of the turn, one event is one record: the keyboard's
    // up or down moves the current row.
    QKeyEvent key(QEvent::KeyPress, delta.y() > 0 ? Qt::Key_Up : Qt::Key_Down, Qt::NoModifier);
    keyPressEvent(&key);
    event->accept();
}

}  // namespace corvel
