#pragma once

#include <QFile>
#include <QSaveFile>
#include <QString>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "record/CsvTable.h"
#include "record/LoadedRow.h"
#include "record/LogSummary.h"
#include "record/ReadingLogStore.h"

namespace corvel {

// The first two are read back; the workbook and CSV are written for other
// programs and never read.
enum class LogFileFormat { TextTable, XmlPacket, Workbook, Csv };

class WorkbookFile;

// The part of a file name from its last "." on, empty when the name part
// has none.
std::string_view ExtensionOf(std::string_view fileName);
// ".xml" exactly (case and all) is an XML data packet; any other name,
// ".XML" included, a text table.
LogFileFormat FormatOf(std::string_view fileName);
// What a save writes for a name: as FormatOf, and ".xlsx" a workbook and
// ".csv" comma-separated values (exactly so, as ".xml"). Opening such a
// file reads it as FormatOf says, as it always did.
LogFileFormat SaveFormatOf(std::string_view fileName);

// Writes the rows a log holds when it starts, in steps, so that a log of
// millions of rows can be saved while the program goes on. The file is
// written beside the old one and takes its place only when all of it is
// written: a save that fails leaves the old file as it was. (Saving over a
// writable file in a folder that takes no new files is the exception: the
// file is written in place.) It keeps no more of the file in memory than
// kBufferBytes.
class LogFileWriter {
public:
    // The limits and decimal separator are what a workbook's numbers,
    // chart and summary are taken with.
    LogFileWriter(const ReadingLogStore& rows, const QString& fileName, LogFileFormat format,
                  const SummaryLimits& limits = {});
    ~LogFileWriter();
    LogFileWriter(const LogFileWriter&) = delete;
    LogFileWriter& operator=(const LogFileWriter&) = delete;

    // Writes up to `rows` more rows; true when nothing is left to do (all
    // written, or failed).
    bool Step(int rows);
    // Puts the written file in place; true on success. Unless it is called
    // (or when the write failed), the old file stays.
    bool Commit();
    // Gives the write up: the old file stays.
    void Cancel();

    int Total() const { return total_; }
    int Written() const { return next_; }
    bool Failed() const { return failed_; }

    static constexpr std::size_t kBufferBytes = 256 * 1024;

private:
    void Flush();

    const ReadingLogStore& rows_;
    LogFileFormat format_;
    QSaveFile file_;
    std::unique_ptr<WorkbookFile> workbook_;
    CsvTable csv_;
    std::string buffer_;
    int total_ = 0;
    int next_ = 0;
    bool failed_ = false;
    bool tailWritten_ = false;
};

// Reads a data file in steps and hands its rows to a sink as they come.
// Only regular files are read: a device or a pipe that never ends could
// not be loaded.
class LogFileReader {
public:
    LogFileReader(const QString& fileName, LogFileFormat format, RowSink& sink);
    LogFileReader(const LogFileReader&) = delete;
    LogFileReader& operator=(const LogFileReader&) = delete;
    ~LogFileReader();

    // Reads up to `bytes` more bytes; true when nothing is left to do (the
    // file read to its end, or failed).
    bool Step(std::int64_t bytes);
    // Whether the file was read whole without failing (valid after Step
    // returned true).
    bool Ok() const { return done_ && !failed_; }

    std::int64_t Size() const { return size_; }
    std::int64_t Read() const { return read_; }

    static constexpr std::size_t kChunkBytes = 256 * 1024;

private:
    QFile file_;
    std::unique_ptr<LogFileParser> parser_;
    std::string chunk_;
    std::int64_t size_ = 0;
    std::int64_t read_ = 0;
    bool failed_ = false;
    bool done_ = false;
};

// A sink that appends to a store (texts cut to the table's width).
class StoreSink final : public RowSink {
public:
    explicit StoreSink(ReadingLogStore& rows) : rows_(rows) {}
    void Row(const LoadedRow& row) override;

private:
    ReadingLogStore& rows_;
};

// The whole file at once, for the command-line tools.
bool SaveLogFile(const ReadingLogStore& rows, const std::string& fileName, LogFileFormat format,
                 const SummaryLimits& limits = {});
bool LoadLogFile(const std::string& fileName, LogFileFormat format, RowSink& sink);

}  // namespace corvel
