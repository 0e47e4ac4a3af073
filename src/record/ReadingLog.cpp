#include "record/ReadingLog.h"

#include <algorithm>
#include <cmath>

namespace corvel {

namespace {

constexpr std::string_view kFieldNames[ReadingLog::kFieldCount] = {"No",   "time",   "Value",
                                                                   "Unit", "Value2", "Unit2"};

bool SameIgnoringCase(std::string_view a, std::string_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
        return lower(x) == lower(y);
    });
}

}  // namespace

int ReadingLog::LimitOf(LimitEntry entry) {
    switch (entry) {
        case LimitEntry::N1000: return 1000;
        case LimitEntry::N5000: return 5000;
        case LimitEntry::N10000: return 10000;
        case LimitEntry::N50000: return 50000;
        case LimitEntry::N100000: return 100000;
        case LimitEntry::Limitless: return 10000000;
    }
    return 10000;
}

std::string_view ReadingLog::LimitCaption(LimitEntry entry) {
    switch (entry) {
        case LimitEntry::N1000: return "1000";
        case LimitEntry::N5000: return "5000";
        case LimitEntry::N10000: return "10000";
        case LimitEntry::N50000: return "50000";
        case LimitEntry::N100000: return "100000";
        case LimitEntry::Limitless: return "limitless";
    }
    return {};
}

ReadingLog::ReadingLog(const Reading& reading, LcdMirror& mirror, ReadingLogChart& chart,
                       UserPrompts& prompts, const Clock& clock, std::string timeSeparator)
    : reading_(reading),
      mirror_(mirror),
      chart_(chart),
      prompts_(prompts),
      clock_(clock),
      rows_(std::move(timeSeparator)) {}

void ReadingLog::AddObserver(Observer* observer) {
    if (observer && std::find(observers_.begin(), observers_.end(), observer) == observers_.end())
        observers_.push_back(observer);
}

void ReadingLog::RemoveObserver(Observer* observer) {
    observers_.erase(std::remove(observers_.begin(), observers_.end(), observer), observers_.end());
}

std::string_view ReadingLog::FieldName(int field) {
    return field >= 0 && field < kFieldCount ? kFieldNames[field] : std::string_view();
}

int ReadingLog::FieldIndex(std::string_view name) {
    for (int i = 0; i < kFieldCount; ++i)
        if (SameIgnoringCase(name, kFieldNames[i])) return i;
    return -1;
}

void ReadingLog::AppendRow(int no, std::string_view time, std::string_view value, std::string_view unit,
                           std::string_view value2, std::string_view unit2) {
    BeforeAppend(rows_.RowCount());
    rows_.Append(no, time, value, unit, value2, unit2);
    AfterAppend();
}

void ReadingLog::BeforeAppend(int row) {
    if (batchDepth_ == 0) Notify([&](Observer& o) { o.RowsAboutToBeAppended(row, row); });
}

void ReadingLog::AfterAppend() {
    if (batchDepth_ == 0) Notify([](Observer& o) { o.RowsAppended(); });
}

void ReadingLog::BeginAppendBatch() {
    if (batchDepth_++ == 0) batchFirst_ = rows_.RowCount();
}

void ReadingLog::EndAppendBatch() {
    if (batchDepth_ == 0 || --batchDepth_ > 0) return;
    const int last = rows_.RowCount() - 1;
    if (last < batchFirst_) return;
    Notify([&](Observer& o) { o.RowsAboutToBeAppended(batchFirst_, last); });
    Notify([](Observer& o) { o.RowsAppended(); });
}

void ReadingLog::ReleaseLoggedRows() {
    if (holdDepth_ == 0 || --holdDepth_ > 0 || held_.empty()) return;
    std::vector<HeldRow> rows;
    rows.swap(held_);
    const AppendBatch batch(*this);
    for (const HeldRow& r : rows) {
        const int row = rows_.RowCount();
        rows_.Append(r.no, r.secondOfDay, r.value, r.unit, r.value2, r.unit2);
        Notify([&](Observer& o) { o.RowLogged(row, r.measuredValue); });
    }
}

void ReadingLog::Empty() {
    Notify([](Observer& o) { o.AboutToBeEmptied(); });
    rows_.Clear();
    batchFirst_ = 0;
    ++generation_;
    Notify([](Observer& o) { o.Emptied(); });
}

void ReadingLog::ReplaceRows(ReadingLogStore&& rows) {
    Notify([](Observer& o) { o.AboutToBeEmptied(); });
    rows_ = std::move(rows);
    batchFirst_ = 0;
    ++generation_;
    Notify([](Observer& o) { o.Emptied(); });
    if (rows_.RowCount() > 0) {
        const int last = rows_.RowCount() - 1;
        Notify([&](Observer& o) { o.RowsAboutToBeAppended(0, last); });
        Notify([](Observer& o) { o.RowsAppended(); });
    }
}

void ReadingLog::SetRepeatSetChecked(bool checked) {
    if (repeatSet_ == checked) return;
    repeatSet_ = checked;
    Notify([](Observer& o) { o.ControlsChanged(); });
}

void ReadingLog::SetRecordSIChecked(bool checked) {
    if (recordSI_ == checked) return;
    recordSI_ = checked;
    Notify([](Observer& o) { o.ControlsChanged(); });
}

void ReadingLog::SetLimit(LimitEntry entry) {
    recordLimit_ = LimitOf(entry);
    if (checkedLimit_ == entry) return;
    checkedLimit_ = entry;
    Notify([](Observer& o) { o.ControlsChanged(); });
}

std::optional<int> ReadingLog::IntervalFromText() const {
    if (recordSITime_.empty() || recordSITime_ == "-" || recordSITime_ == "+") return 0;
    return ReadInt32(recordSITime_);
}

void ReadingLog::RecordSITimeChange(std::string_view text) {
    if (recordSITime_ != text) {
        recordSITime_.assign(text);
        Notify([](Observer& o) { o.ControlsChanged(); });
    }
    if (const auto interval = IntervalFromText())
        sampleCountdown_ = *interval;
    else
        prompts_.Message(UserPrompts::Kind::Error, NotAnIntegerMessage(recordSITime_));
}

bool ReadingLog::RecordSITimeKeyPress(char& key) {
    if ((key >= '0' && key <= '9') || key == '\b') return true;
    key = 0;
    return false;
}

void ReadingLog::TrecordTimer() {
    if (recordSI_ && sampleCountdown_ > 0) --sampleCountdown_;
}

void ReadingLog::INDataToTable() {
    if (recordLimit_ <= recordCount_) return;
    if (recordSI_ && sampleCountdown_ != 0) return;

    // The key is the value text followed by the unit text; compared in
    // pieces so that a reading costs no string building.
    const std::string& value = reading_.ValueText;
    const std::string& unit = reading_.UnitText;
    const bool sameKey = lastRowKey_.size() == value.size() + unit.size() &&
                         lastRowKey_.compare(0, value.size(), value) == 0 &&
                         lastRowKey_.compare(value.size(), unit.size(), unit) == 0;
    if (!repeatSet_ && sameKey) return;

    // An interval text that is no integer stops the reading before anything
    // changes, the key included: a reading that was not logged must not
    // hold back the next one like it.
    const auto interval = IntervalFromText();
    if (!interval) {
        prompts_.Message(UserPrompts::Kind::Error, NotAnIntegerMessage(recordSITime_));
        return;
    }
    if (!sameKey) {
        lastRowKey_.assign(value);
        lastRowKey_.append(unit);
    }
    sampleCountdown_ = *interval;
    ++recordCount_;

    const QTime now = clock_.LocalTime();
    const int second = now.isValid() ? now.msecsSinceStartOfDay() / 1000 : 0;
    const int no = nextRecordNo_++;
    if (holdDepth_ > 0) {
        held_.push_back(
            {no, second, value, unit, reading_.Value2Text, reading_.Unit2Text, reading_.MeasuredValue});
    } else {
        BeforeAppend(rows_.RowCount());
        const int row = rows_.RowCount();
        rows_.Append(no, second, value, unit, reading_.Value2Text, reading_.Unit2Text);
        Notify([&](Observer& o) { o.RowLogged(row, reading_.MeasuredValue); });
        AfterAppend();
    }

    // The bar takes the value's size, cut toward zero; it clamps the rest.
    const double size = std::fabs(reading_.MeasuredValue);
    mirror_.setBar(std::isnan(size) ? 0
                   : size >= 1e18   ? static_cast<long long>(1e18)
                                    : static_cast<long long>(size));

    chart_.AddValue(reading_.MeasuredValue);
    chart_.SetPageCaption(chart_.Page());
}

void ReadingLog::RecordNewClick() {
    if (prompts_.Ask(UserPrompts::Kind::Information, std::string(kNewLogQuestion)) !=
        UserPrompts::Answer::Yes)
        return;
    Empty();
    chart_.ClearView();
    nextRecordNo_ = 1;
    recordCount_ = 0;
    chart_.BtNewClick();
    Notify([](Observer& o) { o.NewLogStarted(); });
}

void ReadingLog::Restore(RestoredLog&& state) {
    Empty();
    chart_.ClearView();
    chart_.BtNewClick();
    const int count = state.rows.RowCount();
    if (count > 0) Notify([&](Observer& o) { o.RowsAboutToBeAppended(0, count - 1); });
    rows_ = std::move(state.rows);
    if (count > 0) Notify([](Observer& o) { o.RowsAppended(); });
    nextRecordNo_ = state.nextRecordNo;
    recordCount_ = state.recordCount;
    lastRowKey_ = std::move(state.lastRowKey);
    if (state.limitEntry && *state.limitEntry >= 0 && *state.limitEntry < kLimitEntryCount)
        SetLimit(static_cast<LimitEntry>(*state.limitEntry));
    chart_.AddRestoredValues(state.points);
    chart_.SetPageCaption(chart_.Page());
}

}  // namespace corvel
