#pragma once

#include <QString>
#include <QTemporaryFile>
#include <memory>
#include <string>
#include <vector>

#include "record/LogSummary.h"
#include "record/ReadingLogStore.h"

struct lxw_workbook;
struct lxw_worksheet;
struct lxw_format;

namespace corvel {

// The log as an Excel workbook: sheet "Log" with typed cells (numbers,
// times of day, texts), a frozen header and an autofilter; a line chart of
// Value by No with the High and Low limits as flat lines; sheet "Summary"
// with the log's figures. A sheet holds at most kSheetRows rows under its
// header, so a longer log goes on in "Log (2)", "Log (3)" and so on.
//
// The rows go out as they come and are not kept (libxlsxwriter's
// constant-memory mode), so a log of millions of rows costs only a small
// buffer. The workbook is written beside the file it replaces and renamed
// over it when whole: a save that fails leaves the old file as it was.
class WorkbookFile {
public:
    static constexpr int kSheetRows = 1048575;

    // `total` rows of `rows` will be written.
    WorkbookFile(const QString& fileName, const ReadingLogStore& rows, int total, const SummaryLimits& limits,
                 int sheetRows = kSheetRows);
    ~WorkbookFile();
    WorkbookFile(const WorkbookFile&) = delete;
    WorkbookFile& operator=(const WorkbookFile&) = delete;

    // Rows [first, last), in order.
    void AppendRows(int first, int last);
    // The summary and the chart, then the file in place; true on success.
    bool Finish();
    // Gives the write up: the old file stays.
    void Cancel();
    bool Failed() const { return failed_; }

    // A sheet's name: "Log", "Log (2)", ...
    static std::string SheetName(int index);
    // A number format showing `decimals` places ("0", "0.0", "0.00", ...).
    static std::string DecimalsFormat(int decimals);

private:
    void Check(int error);
    void StartSheet(int index);
    void WriteValue(int sheetRow, int column, std::string_view text, std::optional<double> number);
    void WriteText(int sheetRow, int column, std::string_view text);
    lxw_format* Decimals(std::string_view text);
    void AddChart();
    void WriteSummary(const LogSummary& summary);
    void Discard();

    const ReadingLogStore& rows_;
    int total_;
    int sheetRows_;
    SummaryLimits limits_;
    SummaryBuilder summary_;
    QString fileName_;
    QTemporaryFile temp_;
    std::string tempDir_;
    lxw_workbook* book_ = nullptr;
    std::vector<lxw_worksheet*> sheets_;
    lxw_worksheet* summarySheet_ = nullptr;
    lxw_format* bold_ = nullptr;
    lxw_format* time_ = nullptr;
    std::vector<lxw_format*> decimals_;
    lxw_format* general_ = nullptr;
    int sheet_ = -1;
    int written_ = 0;
    // The first sheet's smallest and largest record numbers: where the
    // limit lines start and end.
    int firstNoMin_ = 0;
    int firstNoMax_ = 0;
    std::string firstUnit_;
    std::string scratch_;
    std::string utf8_;
    bool failed_ = false;
};

}  // namespace corvel
