#include "record/LogFileJobs.h"

#include <QFileInfo>
#include <algorithm>
#include <exception>

#include "record/TextTable.h"
#include "record/TextTableReader.h"
#include "record/Workbook.h"
#include "record/XmlPacket.h"
#include "record/XmlPacketReader.h"

namespace corvel {

std::string_view ExtensionOf(std::string_view fileName) {
    const std::size_t slash = fileName.find_last_of('/');
    const std::size_t nameStart = slash == std::string_view::npos ? 0 : slash + 1;
    const std::size_t dot = fileName.find_last_of('.');
    if (dot == std::string_view::npos || dot < nameStart) return {};
    return fileName.substr(dot);
}

LogFileFormat FormatOf(std::string_view fileName) {
    return ExtensionOf(fileName) == ".xml" ? LogFileFormat::XmlPacket : LogFileFormat::TextTable;
}

LogFileFormat SaveFormatOf(std::string_view fileName) {
    const std::string_view extension = ExtensionOf(fileName);
    if (extension == ".xlsx") return LogFileFormat::Workbook;
    if (extension == ".csv") return LogFileFormat::Csv;
    return FormatOf(fileName);
}

LogFileWriter::LogFileWriter(const ReadingLogStore& rows, const QString& fileName, LogFileFormat format,
                             const SummaryLimits& limits)
    : rows_(rows), format_(format), file_(fileName), total_(rows.RowCount()) {
    if (format_ == LogFileFormat::Workbook) {
        // The workbook library writes its own file (beside the old one,
        // renamed when whole), so no buffer here.
        workbook_ = std::make_unique<WorkbookFile>(fileName, rows, total_, limits);
        failed_ = workbook_->Failed();
        return;
    }
    buffer_.reserve(kBufferBytes + 4096);
    // A file the user may write in a folder they may not: no new file can
    // be made beside it to take its place, so it is written where it is,
    // and a failure part way leaves it cut short. Only then; wherever the
    // folder takes a new file, the old one stays whole until the new one
    // is complete.
    file_.setDirectWriteFallback(true);
    if (!file_.open(QIODevice::WriteOnly)) {
        failed_ = true;
        return;
    }
    if (format_ == LogFileFormat::XmlPacket)
        XmlPacket::AppendHead(buffer_);
    else if (format_ == LogFileFormat::Csv)
        CsvTable::AppendHeader(buffer_);
    else
        TextTable::AppendHeader(buffer_);
}

LogFileWriter::~LogFileWriter() = default;

void LogFileWriter::Flush() {
    if (failed_ || buffer_.empty()) return;
    if (file_.write(buffer_.data(), static_cast<qint64>(buffer_.size())) !=
        static_cast<qint64>(buffer_.size()))
        failed_ = true;
    buffer_.clear();
}

bool LogFileWriter::Step(int rows) {
    if (failed_) return true;
    // Rows go out in small runs, so the buffer stays near its size
    // whatever a row holds.
    constexpr int kRun = 256;
    const int stop = std::min(total_, next_ + std::max(rows, 0));
    while (next_ < stop && !failed_) {
        const int last = std::min(stop, next_ + kRun);
        if (format_ == LogFileFormat::Workbook) {
            workbook_->AppendRows(next_, last);
            failed_ = workbook_->Failed();
        } else if (format_ == LogFileFormat::XmlPacket) {
            XmlPacket::AppendRows(rows_, next_, last, buffer_);
        } else if (format_ == LogFileFormat::Csv) {
            csv_.AppendLines(rows_, next_, last, buffer_);
        } else {
            TextTable::AppendLines(rows_, next_, last, buffer_);
        }
        next_ = last;
        if (buffer_.size() >= kBufferBytes) Flush();
    }
    if (next_ < total_) return failed_;
    if (!tailWritten_) {
        if (format_ == LogFileFormat::XmlPacket) XmlPacket::AppendTail(buffer_);
        tailWritten_ = true;
    }
    Flush();
    return true;
}

bool LogFileWriter::Commit() {
    if (!failed_) {
        while (!Step(1 << 16)) {
        }
    }
    if (workbook_) {
        if (failed_) {
            workbook_->Cancel();
            return false;
        }
        failed_ = !workbook_->Finish();
        return !failed_;
    }
    if (failed_) {
        file_.cancelWriting();
        if (file_.isOpen()) file_.commit();  // removes the temporary file, the old one stays
        return false;
    }
    if (!file_.commit()) failed_ = true;
    return !failed_;
}

void LogFileWriter::Cancel() {
    failed_ = true;
    if (workbook_) workbook_->Cancel();
    file_.cancelWriting();
    if (file_.isOpen()) file_.commit();
}

LogFileReader::LogFileReader(const QString& fileName, LogFileFormat format, RowSink& sink) : file_(fileName) {
    if (format == LogFileFormat::XmlPacket)
        parser_ = std::make_unique<XmlPacketReader>(sink);
    else
        parser_ = std::make_unique<TextTableReader>(sink);
    const QFileInfo info(fileName);
    if (!info.isFile() || !file_.open(QIODevice::ReadOnly)) {
        failed_ = done_ = true;
        return;
    }
    size_ = file_.size();
    chunk_.resize(kChunkBytes);
}

LogFileReader::~LogFileReader() = default;

bool LogFileReader::Step(std::int64_t bytes) {
    if (done_) return true;
    std::int64_t left = std::max<std::int64_t>(bytes, 1);
    while (left > 0) {
        const qint64 n =
            file_.read(chunk_.data(), std::min<qint64>(left, static_cast<qint64>(chunk_.size())));
        if (n < 0) {
            failed_ = done_ = true;
            return true;
        }
        if (n == 0) {
            try {
                failed_ = !parser_->Finish();
            } catch (const std::exception&) {
                failed_ = true;
            }
            done_ = true;
            return true;
        }
        read_ += n;
        left -= n;
        bool fed = false;
        try {
            fed = parser_->Feed(chunk_.data(), static_cast<std::size_t>(n));
        } catch (const std::exception&) {
            // More rows than a table can hold, or no memory left for them.
        }
        if (!fed) {
            failed_ = done_ = true;
            return true;
        }
    }
    return false;
}

void StoreSink::Row(const LoadedRow& row) {
    rows_.Append(row.no, row.texts[0], row.texts[1], row.texts[2], row.texts[3], row.texts[4]);
}

bool SaveLogFile(const ReadingLogStore& rows, const std::string& fileName, LogFileFormat format,
                 const SummaryLimits& limits) {
    LogFileWriter writer(rows, QString::fromStdString(fileName), format, limits);
    return writer.Commit();
}

bool LoadLogFile(const std::string& fileName, LogFileFormat format, RowSink& sink) {
    LogFileReader reader(QString::fromStdString(fileName), format, sink);
    while (!reader.Step(std::int64_t{1} << 30)) {
    }
    return reader.Ok();
}

}  // namespace corvel
