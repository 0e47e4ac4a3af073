#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "decode/LcdMirror.h"
#include "record/Clock.h"
#include "record/JournalReplay.h"
#include "record/NumberText.h"
#include "record/ReadingLogChart.h"
#include "record/ReadingLogStore.h"
#include "record/UserPrompts.h"

namespace corvel {

// The reading log cds1: the table of logged readings, its counters and the
// rules that decide whether a reading becomes a row. It holds the state of
// the controls those rules read (Repeat, Sampling Interval and its edit, the
// Record menu's limit entries); the window mirrors that state.
class ReadingLog {
public:
    using Field = ReadingLogStore::Field;
    static constexpr int kFieldCount = ReadingLogStore::kFieldCount;

    // The Record menu's limit entries, in menu order.
    enum class LimitEntry { N1000, N5000, N10000, N50000, N100000, Limitless };
    static constexpr int kLimitEntryCount = 6;
    static int LimitOf(LimitEntry entry);
    static std::string_view LimitCaption(LimitEntry entry);

    // The question Record -> New asks.
    static constexpr std::string_view kNewLogQuestion = "Are you ensure to exit the program\xEF\xBC\x9F";

    // Whoever shows the table learns of every change through this.
    class Observer {
    public:
        virtual ~Observer() = default;
        virtual void RowsAboutToBeAppended(int /*first*/, int /*last*/) {}
        virtual void RowsAppended() {}
        virtual void AboutToBeEmptied() {}
        virtual void Emptied() {}
        // A limit entry's check mark, Repeat, Sampling Interval or the
        // interval text changed.
        virtual void ControlsChanged() {}
        // INDataToTable recorded this row, and the chart got this value.
        // Told before RowsAppended.
        virtual void RowLogged(int /*row*/, double /*measuredValue*/) {}
        // Record -> New reset the counters and the chart (the rows went
        // with Emptied before).
        virtual void NewLogStarted() {}
    };

    ReadingLog(const Reading& reading, LcdMirror& mirror, ReadingLogChart& chart, UserPrompts& prompts,
               const Clock& clock, std::string timeSeparator = SystemTimeSeparator());
    ReadingLog(const ReadingLog&) = delete;
    ReadingLog& operator=(const ReadingLog&) = delete;

    void AddObserver(Observer* observer);
    void RemoveObserver(Observer* observer);

    // ---- the table
    static std::string_view FieldName(int field);
    // The field with this name, whatever its case; -1 if there is none.
    static int FieldIndex(std::string_view name);
    int RowCount() const { return rows_.RowCount(); }
    int RecordNo(int row) const { return rows_.RecordNo(row); }
    std::string Text(int row, int field) const { return rows_.Text(row, field); }
    void AppendText(int row, int field, std::string& out) const { rows_.AppendText(row, field, out); }
    const ReadingLogStore& Rows() const { return rows_; }
    // Rows read from a file: appended as they are, counters untouched.
    void AppendRow(int no, std::string_view time, std::string_view value, std::string_view unit,
                   std::string_view value2, std::string_view unit2);
    // A batch of appends tells observers once, at the end.
    void BeginAppendBatch();
    void EndAppendBatch();
    class AppendBatch {
    public:
        explicit AppendBatch(ReadingLog& log) : log_(log) { log_.BeginAppendBatch(); }
        ~AppendBatch() { log_.EndAppendBatch(); }
        AppendBatch(const AppendBatch&) = delete;
        AppendBatch& operator=(const AppendBatch&) = delete;

    private:
        ReadingLog& log_;
    };
    // While a file's rows are appended a slice at a time, the readings
    // logged between the slices wait, and join the table after the file's
    // last row when the hold ends, in their order: a file's rows stay
    // together. Counters, bar and chart take a reading when it arrives;
    // only its row waits.
    void HoldLoggedRows() { ++holdDepth_; }
    void ReleaseLoggedRows();
    class LoggedRowsHeld {
    public:
        explicit LoggedRowsHeld(ReadingLog& log) : log_(log) { log_.HoldLoggedRows(); }
        ~LoggedRowsHeld() { log_.ReleaseLoggedRows(); }
        LoggedRowsHeld(const LoggedRowsHeld&) = delete;
        LoggedRowsHeld& operator=(const LoggedRowsHeld&) = delete;

    private:
        ReadingLog& log_;
    };
    void Empty();
    // Puts these rows in place of the table's (an ".xml" file opened).
    void ReplaceRows(ReadingLogStore&& rows);
    // Counts the times the table was emptied or replaced, so that a long
    // walk over its rows can tell that they went away beneath it.
    int Generation() const { return generation_; }

    // ---- counters
    int NextRecordNo() const { return nextRecordNo_; }
    int RecordCount() const { return recordCount_; }
    int RecordLimit() const { return recordLimit_; }
    int SampleCountdown() const { return sampleCountdown_; }
    const std::string& LastRowKey() const { return lastRowKey_; }

    // ---- control state
    bool RepeatSetChecked() const { return repeatSet_; }
    void SetRepeatSetChecked(bool checked);
    bool RecordSIChecked() const { return recordSI_; }
    void SetRecordSIChecked(bool checked);
    const std::string& RecordSITimeText() const { return recordSITime_; }
    bool LimitEntryChecked(LimitEntry entry) const { return checkedLimit_ == entry; }
    LimitEntry CheckedLimitEntry() const { return checkedLimit_; }

    // ---- rules
    void INDataToTable();
    void TrecordTimer();
    // The interval edit's change event, with its new text.
    void RecordSITimeChange(std::string_view text);
    // Key filter of the interval and page-size edits: digits and Backspace
    // pass, any other character is discarded (set to 0). Returns whether it
    // passed.
    static bool RecordSITimeKeyPress(char& key);

    void N10001Click() { SetLimit(LimitEntry::N1000); }
    void N50001Click() { SetLimit(LimitEntry::N5000); }
    void N100001Click() { SetLimit(LimitEntry::N10000); }
    void N500001Click() { SetLimit(LimitEntry::N50000); }
    void N1000001Click() { SetLimit(LimitEntry::N100000); }
    void limitessClick() { SetLimit(LimitEntry::Limitless); }
    void SetLimit(LimitEntry entry);

    void RecordNewClick();

    // Takes over a log read back from its journal: rows, counters, the
    // limit entry and the chart's points, which the chart adds without
    // drawing and draws once at the end.
    void Restore(RestoredLog&& state);

private:
    // The countdown the interval text gives; empty when it is no integer.
    std::optional<int> IntervalFromText() const;
    template <typename F>
    void Notify(F&& f) {
        for (Observer* o : observers_) f(*o);
    }
    void BeforeAppend(int row);
    void AfterAppend();

    const Reading& reading_;
    LcdMirror& mirror_;
    ReadingLogChart& chart_;
    UserPrompts& prompts_;
    const Clock& clock_;
    ReadingLogStore rows_;
    std::vector<Observer*> observers_;
    int batchDepth_ = 0;
    struct HeldRow {
        int no;
        int secondOfDay;
        std::string value, unit, value2, unit2;
        double measuredValue;
    };
    int holdDepth_ = 0;
    std::vector<HeldRow> held_;
    int batchFirst_ = 0;
    int generation_ = 0;

    int nextRecordNo_ = 1;
    int recordCount_ = 0;
    int recordLimit_ = 10000;
    int sampleCountdown_ = 0;
    std::string lastRowKey_;

    bool repeatSet_ = true;
    bool recordSI_ = false;
    std::string recordSITime_ = "1";
    LimitEntry checkedLimit_ = LimitEntry::N10000;
};

}  // namespace corvel
