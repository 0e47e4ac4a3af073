#include "record/LogTableModel.h"

namespace corvel {

LogTableModel::LogTableModel(ReadingLog& log, QObject* parent)
    : QAbstractTableModel(parent), log_(log), shownRows_(log.RowCount()), announce_([this] { AnnounceGathered(); }) {
    log_.AddObserver(this);
}

LogTableModel::~LogTableModel() {
    log_.RemoveObserver(this);
}

int LogTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : shownRows_;
}

int LogTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ReadingLog::kFieldCount;
}

Qt::Alignment LogTableModel::ColumnAlignment(int column) {
    switch (column) {
        case ReadingLogStore::Time: return Qt::AlignHCenter | Qt::AlignVCenter;
        case ReadingLogStore::Value:
        case ReadingLogStore::Unit: return Qt::AlignRight | Qt::AlignVCenter;
        default: return Qt::AlignLeft | Qt::AlignVCenter;
    }
}

std::optional<QFont> LogTableModel::ColumnFont(int column) {
    const auto font = [](const char* family) {
        QFont f(QString::fromLatin1(family));
        f.setPixelSize(12);
        return f;
    };
    if (column == ReadingLogStore::Unit) return font("KORA-A2");
    if (column == ReadingLogStore::Unit2) return font("Corvel7SegFont");
    return std::nullopt;
}

QVariant LogTableModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= shownRows_ || index.row() >= log_.RowCount()) return {};
    switch (role) {
        case Qt::DisplayRole: return QString::fromStdString(log_.Text(index.row(), index.column()));
        case Qt::TextAlignmentRole: return QVariant::fromValue(ColumnAlignment(index.column()));
        case Qt::FontRole:
            if (const auto font = ColumnFont(index.column())) return *font;
            return {};
        default: return {};
    }
}

QVariant LogTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole)
        return QString::fromLatin1(ReadingLog::FieldName(section));
    return {};
}

Qt::ItemFlags LogTableModel::flags(const QModelIndex& index) const {
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
}

void LogTableModel::RowsAboutToBeAppended(int first, int last) {
    if (announce_.Interval() > 0) return;  // told afterwards, all at once
    // The log may already hold rows the model has not shown (a batch):
    // announce from where the model stands.
    first = shownRows_;
    if (last < first) return;
    beginInsertRows({}, first, last);
    pendingFirst_ = first;
    pendingLast_ = last;
}

void LogTableModel::AnnounceGathered() {
    const int first = shownRows_;
    const int last = log_.RowCount() - 1;
    if (last < first) return;
    beginInsertRows({}, first, last);
    shownRows_ = last + 1;
    endInsertRows();
    emit rowsAppended(first, last);
}

void LogTableModel::RowsAppended() {
    if (announce_.Interval() > 0) {
        announce_.Changed();
        return;
    }
    if (pendingLast_ < 0) return;
    const int first = pendingFirst_;
    const int last = pendingLast_;
    shownRows_ = last + 1;
    pendingFirst_ = pendingLast_ = -1;
    endInsertRows();
    emit rowsAppended(first, last);
}

void LogTableModel::AboutToBeEmptied() {
    announce_.Cancel();
    beginResetModel();
}

void LogTableModel::Emptied() {
    shownRows_ = 0;
    pendingFirst_ = pendingLast_ = -1;
    endResetModel();
}

}  // namespace corvel
