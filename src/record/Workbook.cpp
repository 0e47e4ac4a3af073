#include "record/Workbook.h"

#include <sys/stat.h>
#include <xlsxwriter.h>
#include <zlib.h>

#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string_view>
#include <vector>

#include "record/ExportText.h"
#include "record/NumberText.h"

namespace corvel {

namespace {

constexpr const char* kHeader[] = {"No", "Time", "Value", "Unit", "Value2", "Unit2"};
// Wide enough for the header's filter buttons and for what the columns hold.
constexpr double kWidths[] = {10, 10, 12, 9, 12, 9};
constexpr const char* kSummarySheet = "Summary";
constexpr int kMaxDecimals = 15;

// The permissions a new file gets here; an old file's are kept.
mode_t NewFileMode(const QByteArray& target) {
    struct stat st {};
    if (::stat(target.constData(), &st) == 0) return st.st_mode & 07777;
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

std::uint32_t Le(const char* p, int bytes) {
    std::uint32_t v = 0;
    for (int i = bytes - 1; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(p[i]);
    return v;
}

// Whether one XML part of the package inflates whole to its stated size
// and ends as an XML part does.
bool PartWhole(QFile& file, std::uint32_t localHeader, std::uint32_t method, std::uint32_t compressed,
               std::uint32_t size, bool worksheet) {
    char head[30];
    if (!file.seek(localHeader) || file.read(head, 30) != 30 || Le(head, 4) != 0x04034b50) return false;
    if (!file.seek(localHeader + 30 + Le(head + 26, 2) + Le(head + 28, 2))) return false;
    std::string tail;
    std::uint64_t produced = 0;
    std::vector<char> in(64 * 1024), out(256 * 1024);
    auto keepTail = [&](const char* data, std::size_t n) {
        produced += n;
        tail.append(data + (n > 64 ? n - 64 : 0), std::min<std::size_t>(n, 64));
        if (tail.size() > 64) tail.erase(0, tail.size() - 64);
    };
    std::uint32_t left = compressed;
    if (method == 0) {
        while (left > 0) {
            const qint64 n = file.read(in.data(), std::min<qint64>(left, static_cast<qint64>(in.size())));
            if (n <= 0) return false;
            keepTail(in.data(), static_cast<std::size_t>(n));
            left -= static_cast<std::uint32_t>(n);
        }
    } else if (method == 8) {
        z_stream z{};
        if (inflateInit2(&z, -MAX_WBITS) != Z_OK) return false;
        int status = Z_OK;
        while (status != Z_STREAM_END) {
            if (z.avail_in == 0) {
                if (left == 0) break;
                const qint64 n = file.read(in.data(), std::min<qint64>(left, static_cast<qint64>(in.size())));
                if (n <= 0) break;
                left -= static_cast<std::uint32_t>(n);
                z.next_in = reinterpret_cast<Bytef*>(in.data());
                z.avail_in = static_cast<uInt>(n);
            }
            z.next_out = reinterpret_cast<Bytef*>(out.data());
            z.avail_out = static_cast<uInt>(out.size());
            status = inflate(&z, Z_NO_FLUSH);
            keepTail(out.data(), out.size() - z.avail_out);
            if (status != Z_OK && status != Z_STREAM_END) break;
        }
        inflateEnd(&z);
        if (status != Z_STREAM_END) return false;
    } else {
        return false;
    }
    if (produced != size) return false;
    while (!tail.empty() && static_cast<unsigned char>(tail.back()) <= 32) tail.pop_back();
    const std::string_view end = worksheet ? "</worksheet>" : ">";
    return tail.size() >= end.size() && tail.compare(tail.size() - end.size(), end.size(), end) == 0;
}

// The workbook library writes each part of the package to a temporary
// file first and does not notice when such a write fails (a full disk, a
// file size limit): the package then holds a cut-off sheet, and the save
// would report success over a damaged file. So the finished package is
// read back, its XML parts inflated and their ends looked at.
bool PackageWhole(const QString& fileName) {
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly)) return false;
    const qint64 size = file.size();
    const qint64 tailSize = std::min<qint64>(size, 22 + 65535);
    if (tailSize < 22 || !file.seek(size - tailSize)) return false;
    const QByteArray tail = file.read(tailSize);
    qint64 end = -1;
    for (qint64 i = tail.size() - 22; i >= 0; --i)
        if (Le(tail.constData() + i, 4) == 0x06054b50) {
            end = i;
            break;
        }
    if (end < 0) return false;
    const char* eocd = tail.constData() + end;
    const std::uint32_t entries = Le(eocd + 10, 2);
    const std::uint32_t directorySize = Le(eocd + 12, 4);
    const std::uint32_t directoryOffset = Le(eocd + 16, 4);
    if (!file.seek(directoryOffset)) return false;
    const QByteArray directory = file.read(directorySize);
    if (static_cast<std::uint32_t>(directory.size()) != directorySize) return false;
    std::uint32_t at = 0;
    for (std::uint32_t i = 0; i < entries; ++i) {
        if (at + 46 > directorySize) return false;
        const char* e = directory.constData() + at;
        if (Le(e, 4) != 0x02014b50) return false;
        const std::uint32_t nameLength = Le(e + 28, 2);
        if (at + 46 + nameLength > directorySize) return false;
        const std::string_view name(e + 46, nameLength);
        const bool xml = name.size() > 4 &&
                         (name.substr(name.size() - 4) == ".xml" || name.substr(name.size() - 5) == ".rels");
        if (xml && !PartWhole(file, Le(e + 42, 4), Le(e + 10, 2), Le(e + 20, 4), Le(e + 24, 4),
                              name.rfind("xl/worksheets/sheet", 0) == 0))
            return false;
        at += 46 + nameLength + Le(e + 30, 2) + Le(e + 32, 2);
    }
    return entries > 0;
}

}  // namespace

std::string WorkbookFile::SheetName(int index) {
    return index == 0 ? std::string("Log") : "Log (" + std::to_string(index + 1) + ")";
}

std::string WorkbookFile::DecimalsFormat(int decimals) {
    std::string format = "0";
    if (decimals > 0) format += '.' + std::string(static_cast<std::size_t>(decimals), '0');
    return format;
}

WorkbookFile::WorkbookFile(const QString& fileName, const ReadingLogStore& rows, int total,
                           const SummaryLimits& limits, int sheetRows)
    : rows_(rows),
      total_(std::max(total, 0)),
      sheetRows_(std::max(sheetRows, 1)),
      limits_(limits),
      summary_(limits),
      fileName_(fileName) {
    temp_.setFileTemplate(fileName + QStringLiteral(".XXXXXX"));
    if (!temp_.open()) {
        failed_ = true;
        return;
    }
    temp_.close();
    lxw_workbook_options options{};
    // Rows are streamed to a temporary file a sheet and never held. Those
    // files go beside the workbook, whose folder is known to take them, and
    // not into a /tmp that may be memory.
    options.constant_memory = LXW_TRUE;
    tempDir_ = QFile::encodeName(QFileInfo(temp_.fileName()).absolutePath()).toStdString();
    options.tmpdir = tempDir_.data();
    book_ = workbook_new_opt(QFile::encodeName(temp_.fileName()).constData(), &options);
    if (!book_) {
        failed_ = true;
        return;
    }
    const int sheetCount = std::max(1, (total_ + sheetRows_ - 1) / sheetRows_);
    for (int i = 0; i < sheetCount && !failed_; ++i) {
        lxw_worksheet* sheet = workbook_add_worksheet(book_, SheetName(i).c_str());
        if (!sheet) failed_ = true;
        sheets_.push_back(sheet);
    }
    summarySheet_ = workbook_add_worksheet(book_, kSummarySheet);
    if (!summarySheet_) failed_ = true;
    bold_ = workbook_add_format(book_);
    format_set_bold(bold_);
    time_ = workbook_add_format(book_);
    format_set_num_format(time_, "hh:mm:ss");
    general_ = nullptr;
    decimals_.assign(kMaxDecimals + 1, nullptr);
}

WorkbookFile::~WorkbookFile() {
    Discard();
}

void WorkbookFile::Check(int error) {
    if (error != LXW_NO_ERROR) failed_ = true;
}

void WorkbookFile::StartSheet(int index) {
    sheet_ = index;
    lxw_worksheet* sheet = sheets_[static_cast<std::size_t>(index)];
    for (int column = 0; column < 6; ++column) {
        Check(worksheet_write_string(sheet, 0, static_cast<lxw_col_t>(column), kHeader[column], bold_));
        Check(worksheet_set_column(sheet, static_cast<lxw_col_t>(column), static_cast<lxw_col_t>(column),
                                   kWidths[column], nullptr));
    }
    worksheet_freeze_panes(sheet, 1, 0);
    const int rowsHere = std::clamp(total_ - index * sheetRows_, 0, sheetRows_);
    Check(worksheet_autofilter(sheet, 0, 0, static_cast<lxw_row_t>(rowsHere), 5));
}

lxw_format* WorkbookFile::Decimals(std::string_view text) {
    if (text.find_first_of("eE") != std::string_view::npos) return general_;
    const std::size_t point = text.find(limits_.decimal);
    int decimals = 0;
    if (point != std::string_view::npos)
        for (std::size_t i = point + 1; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) ++decimals;
    decimals = std::min(decimals, kMaxDecimals);
    lxw_format*& format = decimals_[static_cast<std::size_t>(decimals)];
    if (!format) {
        format = workbook_add_format(book_);
        format_set_num_format(format, DecimalsFormat(decimals).c_str());
    }
    return format;
}

void WorkbookFile::WriteText(int sheetRow, int column, std::string_view text) {
    if (text.empty()) return;
    utf8_.clear();
    AppendUtf8(text, utf8_);
    Check(worksheet_write_string(sheets_[static_cast<std::size_t>(sheet_)], static_cast<lxw_row_t>(sheetRow),
                                 static_cast<lxw_col_t>(column), utf8_.c_str(), nullptr));
}

void WorkbookFile::WriteValue(int sheetRow, int column, std::string_view text, std::optional<double> number) {
    if (number) {
        Check(worksheet_write_number(sheets_[static_cast<std::size_t>(sheet_)],
                                     static_cast<lxw_row_t>(sheetRow), static_cast<lxw_col_t>(column),
                                     *number, Decimals(text)));
        return;
    }
    WriteText(sheetRow, column, text);
}

void WorkbookFile::AppendRows(int first, int last) {
    if (failed_) return;
    last = std::min(last, total_);
    for (int row = first; row < last && !failed_; ++row) {
        const int index = row / sheetRows_;
        if (index != sheet_) StartSheet(index);
        lxw_worksheet* sheet = sheets_[static_cast<std::size_t>(index)];
        const auto r = static_cast<lxw_row_t>(row - index * sheetRows_ + 1);
        const int no = rows_.RecordNo(row);
        Check(worksheet_write_number(sheet, r, 0, no, nullptr));
        if (const auto second = rows_.SecondOfDay(row)) {
            Check(worksheet_write_number(sheet, r, 1, *second / 86400.0, time_));
        } else {
            scratch_.clear();
            rows_.AppendText(row, ReadingLogStore::Time, scratch_);
            WriteText(static_cast<int>(r), 1, scratch_);
        }
        const std::string_view valueText = rows_.TextView(row, ReadingLogStore::Value);
        const std::string_view value2Text = rows_.TextView(row, ReadingLogStore::Value2);
        const std::optional<double> value = summary_.Number(valueText);
        const std::optional<double> value2 = summary_.Number(value2Text);
        WriteValue(static_cast<int>(r), 2, valueText, value);
        WriteText(static_cast<int>(r), 3,
                  ReadableUnit(rows_.TextView(row, ReadingLogStore::Unit), ReadingLogStore::Unit));
        WriteValue(static_cast<int>(r), 4, value2Text, value2);
        WriteText(static_cast<int>(r), 5,
                  ReadableUnit(rows_.TextView(row, ReadingLogStore::Unit2), ReadingLogStore::Unit2));
        summary_.Add(rows_, row, value, value2);
        if (index == 0) {
            if (row == 0) {
                firstNoMin_ = firstNoMax_ = no;
                firstUnit_ = ReadableUnit(rows_.TextView(row, ReadingLogStore::Unit), ReadingLogStore::Unit);
            }
            firstNoMin_ = std::min(firstNoMin_, no);
            firstNoMax_ = std::max(firstNoMax_, no);
        }
        ++written_;
    }
}

void WorkbookFile::WriteSummary(const LogSummary& summary) {
    // Rows go out in order, as the constant-memory mode takes them: each
    // row's figure, then, in the first rows, the two ends of each limit
    // line for the chart.
    lxw_worksheet* sheet = summarySheet_;
    Check(worksheet_set_column(sheet, 0, 0, 26, nullptr));
    Check(worksheet_set_column(sheet, 1, 1, 14, nullptr));
    const std::vector<SummaryLine> lines = SummaryLines(summary);
    const bool limitLines = written_ > 0 && (summary.high || summary.low);
    const int ends[] = {firstNoMin_, firstNoMax_};
    const auto rowCount = static_cast<lxw_row_t>(std::max<std::size_t>(lines.size() + 1, limitLines ? 4 : 0));
    for (lxw_row_t r = 0; r < rowCount; ++r) {
        if (r == 0) {
            Check(worksheet_write_string(sheet, 0, 0, "Figure", bold_));
            Check(worksheet_write_string(sheet, 0, 1, "Value", bold_));
        } else if (r <= lines.size()) {
            const SummaryLine& line = lines[r - 1];
            Check(worksheet_write_string(sheet, r, 0, line.label.c_str(), nullptr));
            // The first and last time as times of day, as in the log.
            const std::optional<int> second = line.label == "First time"  ? summary.firstSecond
                                              : line.label == "Last time" ? summary.lastSecond
                                                                          : std::nullopt;
            if (second)
                Check(worksheet_write_number(sheet, r, 1, *second / 86400.0, time_));
            else if (line.number)
                Check(worksheet_write_number(sheet, r, 1, *line.number, nullptr));
            else if (!line.text.empty())
                Check(worksheet_write_string(sheet, r, 1, ToUtf8(line.text).c_str(), nullptr));
        }
        if (!limitLines || r > 3) continue;
        if (r == 0) {
            Check(worksheet_write_string(sheet, 0, 3, "Limit lines", bold_));
        } else if (r == 1) {
            Check(worksheet_write_string(sheet, 1, 3, "No", bold_));
            Check(worksheet_write_string(sheet, 1, 4, "High", bold_));
            Check(worksheet_write_string(sheet, 1, 5, "Low", bold_));
        } else {
            Check(worksheet_write_number(sheet, r, 3, ends[r - 2], nullptr));
            if (summary.high) Check(worksheet_write_number(sheet, r, 4, *summary.high, nullptr));
            if (summary.low) Check(worksheet_write_number(sheet, r, 5, *summary.low, nullptr));
        }
    }
}

void WorkbookFile::AddChart() {
    lxw_chart* chart = workbook_add_chart(book_, LXW_CHART_SCATTER_STRAIGHT);
    if (!chart) {
        failed_ = true;
        return;
    }
    const std::string log = SheetName(0);
    // An empty log still gets its chart: one empty point draws nothing.
    const auto last = static_cast<lxw_row_t>(std::max(1, std::min(written_, sheetRows_)));
    lxw_chart_series* value = chart_add_series(chart, nullptr, nullptr);
    chart_series_set_categories(value, log.c_str(), 1, 0, last, 0);
    chart_series_set_values(value, log.c_str(), 1, 2, last, 2);
    chart_series_set_name(value, "Value");
    chart_series_set_marker_type(value, LXW_CHART_MARKER_NONE);
    const LogSummary summary = summary_.Result();
    if (written_ > 0) {
        struct Limit {
            const std::optional<double>& limit;
            const char* name;
            lxw_col_t column;
            lxw_color_t color;
        };
        const Limit limits[] = {{summary.high, "High", 4, 0xC00000}, {summary.low, "Low", 5, 0x00A050}};
        for (const Limit& l : limits) {
            if (!l.limit) continue;
            lxw_chart_series* series = chart_add_series(chart, nullptr, nullptr);
            chart_series_set_categories(series, kSummarySheet, 2, 3, 3, 3);
            chart_series_set_values(series, kSummarySheet, 2, l.column, 3, l.column);
            chart_series_set_name(series, l.name);
            chart_series_set_marker_type(series, LXW_CHART_MARKER_NONE);
            lxw_chart_line line{};
            line.color = l.color;
            line.width = 1.5;
            line.dash_type = LXW_CHART_LINE_DASH_DASH;
            chart_series_set_line(series, &line);
        }
    }
    const bool split = sheets_.size() > 1;
    const std::string title = split ? "Value by No, sheet \"" + log + "\" only" : "Value by No";
    chart_title_set_name(chart, title.c_str());
    chart_axis_set_name(chart->x_axis, "No");
    const std::string yName = firstUnit_.empty() ? "Value" : "Value (" + firstUnit_ + ")";
    chart_axis_set_name(chart->y_axis, yName.c_str());
    chart_legend_set_position(chart, LXW_CHART_LEGEND_BOTTOM);
    lxw_chart_options options{};
    options.x_scale = 1.8;
    options.y_scale = 1.4;
    Check(worksheet_insert_chart_opt(sheets_.front(), 1, 7, chart, &options));
}

bool WorkbookFile::Finish() {
    if (!failed_ && sheet_ < 0) StartSheet(0);
    if (!failed_ && written_ != total_) failed_ = true;
    if (!failed_) {
        WriteSummary(summary_.Result());
        AddChart();
    }
    if (failed_) {
        Discard();
        return false;
    }
    // The rows went to one temporary file a sheet: a write that failed
    // there shows now or never.
    for (lxw_worksheet* sheet : sheets_)
        if (sheet->optimize_tmpfile &&
            (std::fflush(sheet->optimize_tmpfile) != 0 || std::ferror(sheet->optimize_tmpfile)))
            failed_ = true;
    if (failed_) {
        Discard();
        return false;
    }
    lxw_workbook* book = book_;
    book_ = nullptr;
    if (workbook_close(book) != LXW_NO_ERROR || !PackageWhole(temp_.fileName())) {
        failed_ = true;
        temp_.remove();
        return false;
    }
    const QByteArray from = QFile::encodeName(temp_.fileName());
    const QByteArray to = QFile::encodeName(fileName_);
    if (::chmod(from.constData(), NewFileMode(to)) != 0 ||
        std::rename(from.constData(), to.constData()) != 0) {
        failed_ = true;
        temp_.remove();
        return false;
    }
    temp_.setAutoRemove(false);
    return true;
}

void WorkbookFile::Cancel() {
    failed_ = true;
    Discard();
}

void WorkbookFile::Discard() {
    if (book_) {
        lxw_workbook_free(book_);
        book_ = nullptr;
    }
    if (temp_.autoRemove()) temp_.remove();
}

}  // namespace corvel
