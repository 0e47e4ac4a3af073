#pragma once

#include <QAbstractTableModel>
#include <QFont>

#include "record/CatchUpThrottle.h"
#include "record/ReadingLog.h"

namespace corvel {

// The reading log as the grid sees it. It reads every cell from the log
// when asked and keeps nothing of its own but the number of rows it has
// announced, so ten million rows cost the model nothing.
class LogTableModel final : public QAbstractTableModel, private ReadingLog::Observer {
    Q_OBJECT
public:
    explicit LogTableModel(ReadingLog& log, QObject* parent = nullptr);
    ~LogTableModel() override;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    // Column looks of the grid: alignment, and the font of the unit
    // columns (the others use the grid's font).
    static Qt::Alignment ColumnAlignment(int column);
    static std::optional<QFont> ColumnFont(int column);

    // The shortest time between two announcements of appended rows; 0
    // tells the grid of each row as it comes. A meter streams many rows a
    // second, and the grid need not redraw for every one.
    void SetAnnounceDelay(int ms) { announce_.SetInterval(ms); }
    CatchUpThrottle& AnnounceThrottle() { return announce_; }

signals:
    // After rows were appended (the grid follows the newest one).
    void rowsAppended(int first, int last);

private:
    void RowsAboutToBeAppended(int first, int last) override;
    void RowsAppended() override;
    void AboutToBeEmptied() override;
    void Emptied() override;
    void AnnounceGathered();

    ReadingLog& log_;
    int shownRows_ = 0;
    int pendingLast_ = -1;
    int pendingFirst_ = -1;
    CatchUpThrottle announce_;
};

}  // namespace corvel
